#pragma once

// Test media for the AVI service: pictures from ffmpeg's test source, a file
// written the way the subtitling job writes one, and what ffprobe reads back.
#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "avi/Vfw.h"
#include "support/TestSupport.h"

namespace avitest {

struct TestVideo {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> frames;  // top-down BGR rows, unpadded
};

// count pictures of ffmpeg's moving test pattern.
TestVideo MakeTestVideo(const testsupport::TempDir& dir, int width, int height, int count);
// One picture as the job hands it over: bottom-up rows padded to 4 bytes.
std::vector<uint8_t> BottomUp(const TestVideo& video, int frame);
BITMAPINFOHEADER FrameFormat(const TestVideo& video);

struct JobFile {
  FOURCC code = MakeFourCC('D', 'I', 'B', ' ');
  DWORD quality = ICQUALITY_DEFAULT;
  DWORD keyFrameEvery = 0;  // with AVICOMPRESSF_KEYFRAMES when not 0
  DWORD bytesPerSecond = 0;
  bool audio = true;
  DWORD audioSampleSize = 4;  // 0: every audio chunk counts as one sample
  int framesToWrite = -1;     // all
  std::string videoName = "Video Stream [Subtitled]";
};

struct JobResult {
  HRESULT open = -1, setFormat = -1, lastWrite = -1;
  int64_t videoBytes = 0;
  int64_t audioBytes = 0;
  int audioChunks = 0;
};

// 16-bit stereo PCM at 44100 Hz in chunks of 1024 samples, kept in step with
// the pictures (25 a second).
constexpr int kAudioChunkBytes = 4096;

// Follows the job's calls from opening the file to releasing it.
JobResult WriteJobFile(const std::string& path, const TestVideo& video, const JobFile& job);

// The 96-byte software block the job writes as LIST/INFO.
std::string SoftwareBlock(const std::string& text);

// "key=value" lines of ffprobe -of flat for the entries asked.
std::map<std::string, std::string> Probe(const std::string& path, const std::string& entries);
// The packets of one stream ("v" or "a"): size, key flag and where the
// packet ends in seconds.
struct Packet {
  int size;
  bool key;
  double end;
};
std::vector<Packet> Packets(const std::string& path, const std::string& stream);
// ffmpeg's complaints while decoding every frame (empty when none) and the
// number of frames it decoded.
std::string DecodeErrors(const std::string& path, int* frames = nullptr);
// Expects every frame to decode without a complaint, and frames of them.
void ExpectDecodesCleanly(const std::string& path, int frames);
// The decoded pictures as top-down BGR.
std::vector<std::vector<uint8_t>> DecodeBgr(const std::string& path, int width, int height);

// The top-level chunks of a RIFF file: RIFF forms with their form type.
struct RiffChunk {
  std::string id;
  std::string type;  // form or list type; empty for plain chunks
  uint64_t offset;
  uint32_t size;
};
std::vector<RiffChunk> TopLevelChunks(const std::string& path);
// The 32-bit value that follows the first occurrence of a chunk id plus
// skip bytes of its data (data starts 8 bytes after the id).
uint32_t ChunkValue(const std::string& bytes, const std::string& id, size_t skip);

// Writes beyond a file size limit fail as on a full disk, while the object
// lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_;
  sighandler_t previousHandler_;
};

}  // namespace avitest
