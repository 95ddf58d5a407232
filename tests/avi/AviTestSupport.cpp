#include "avi/AviTestSupport.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

namespace avitest {

using testsupport::ReadFile;
using testsupport::RunShell;

TestVideo MakeTestVideo(const testsupport::TempDir& dir, int width, int height, int count) {
  TestVideo video;
  video.width = width;
  video.height = height;
  const auto raw = dir / "source.bgr";
  // The pattern comes in even sizes only; odd ones are scaled from it.
  const std::string exact = std::to_string(width) + "x" + std::to_string(height);
  const std::string even = std::to_string(width & ~1) + "x" + std::to_string(height & ~1);
  testsupport::Ffmpeg("-f lavfi -i testsrc2=s=" + even + ":r=25 -frames:v " +
                      std::to_string(count) + " -s " + exact + " -f rawvideo -pix_fmt bgr24 " +
                      raw.string());
  const std::string bytes = ReadFile(raw);
  const size_t size = size_t(width) * height * 3;
  for (size_t at = 0; at + size <= bytes.size(); at += size)
    video.frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + size));
  return video;
}

std::vector<uint8_t> BottomUp(const TestVideo& video, int frame) {
  const size_t row = size_t(video.width) * 3, padded = (row + 3) & ~size_t(3);
  std::vector<uint8_t> image(padded * video.height, 0);
  for (int y = 0; y < video.height; ++y)
    std::memcpy(&image[padded * (video.height - 1 - y)], &video.frames[frame][row * y], row);
  return image;
}

BITMAPINFOHEADER FrameFormat(const TestVideo& video) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = video.width;
  header.biHeight = video.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = uint32_t(((video.width * 3 + 3) & ~3) * video.height);
  return header;
}

std::string SoftwareBlock(const std::string& text) {
  std::string block(96, '\0');
  std::memcpy(&block[0], "INFOISFT", 8);
  block[8] = 84;
  std::memcpy(&block[12], text.data(), std::min<size_t>(text.size(), 83));
  return block;
}

namespace {

int ChooseFromJob(const JobFile& job, AVICOMPRESSOPTIONS* options) {
  options->fccHandler = job.code;
  options->dwQuality = job.quality;
  if (job.keyFrameEvery) {
    options->dwFlags |= AVICOMPRESSF_KEYFRAMES;
    options->dwKeyFrameEvery = job.keyFrameEvery;
  }
  if (job.bytesPerSecond) {
    options->dwFlags |= AVICOMPRESSF_DATARATE;
    options->dwBytesPerSecond = job.bytesPerSecond;
  }
  return 1;
}

AVISTREAMINFOA VideoInfo(const TestVideo& video, const JobFile& job) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.dwSuggestedBufferSize = FrameFormat(video).biSizeImage;
  info.rcFrame = {0, 0, video.width, video.height};
  std::strncpy(info.szName, job.videoName.c_str(), sizeof info.szName - 1);
  return info;
}

AVISTREAMINFOA AudioInfo(const JobFile& job) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeAUDIO;
  info.dwScale = job.audioSampleSize ? 1 : 1024;
  info.dwRate = 44100;
  info.dwLength = 123456;  // the source's estimate; the writer counts for itself
  info.dwInitialFrames = 1;
  info.dwQuality = 0xFFFFFFFF;
  info.dwSampleSize = job.audioSampleSize;
  std::strcpy(info.szName, "Audio Stream [Unchanged]");
  return info;
}

WAVEFORMATEX PcmFormat() { return WAVEFORMATEX{1, 2, 44100, 44100 * 4, 4, 16, 0}; }

}  // namespace

JobResult WriteJobFile(const std::string& path, const TestVideo& video, const JobFile& job) {
  JobResult result;
  PAVIFILE file = nullptr;
  PAVISTREAM raw = nullptr, compressed = nullptr, audio = nullptr;
  AVICOMPRESSOPTIONS options{};
  AVICOMPRESSOPTIONS* optionList[] = {&options};
  const SaveOptionsChooser chooser = [&](void*, UINT, AVICOMPRESSOPTIONS* o) {
    return ChooseFromJob(job, o);
  };
  result.open =
      AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_SHARE_DENY_NONE | OF_READWRITE, nullptr);
  const AVISTREAMINFOA videoInfo = VideoInfo(video, job);
  EXPECT_EQ(AVIFileCreateStreamA(file, &raw, &videoInfo), AVIERR_OK);
  EXPECT_EQ(AVISaveOptions(chooser, nullptr, ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE, 1, &raw,
                           optionList),
            1);
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), AVIERR_OK);
  if (job.audio) {
    const AVISTREAMINFOA audioInfo = AudioInfo(job);
    EXPECT_EQ(AVIFileCreateStreamA(file, &audio, &audioInfo), AVIERR_OK);
    const WAVEFORMATEX format = PcmFormat();
    EXPECT_EQ(AVIStreamSetFormat(audio, 0, &format, sizeof format), AVIERR_OK);
  }
  const std::string info = SoftwareBlock("Tolvane v2.02 | test");
  EXPECT_EQ(AVIFileWriteData(file, ckidLIST, info.data(), LONG(info.size())), AVIERR_OK);
  const std::vector<uint8_t> silence(kAudioChunkBytes, 0);
  const int frames = job.framesToWrite < 0 ? int(video.frames.size()) : job.framesToWrite;
  const BITMAPINFOHEADER format = FrameFormat(video);
  for (int frame = 0; frame < frames; ++frame) {
    // Audio up to the end of this picture, the way a demuxer interleaves.
    while (job.audio && int64_t(result.audioChunks) * 1024 * 25 < int64_t(frame + 1) * 44100) {
      LONG bytes = 0;
      EXPECT_EQ(AVIStreamWrite(audio, result.audioChunks, 1, silence.data(), kAudioChunkBytes,
                               AVIIF_KEYFRAME, nullptr, &bytes),
                AVIERR_OK);
      result.audioBytes += bytes;
      ++result.audioChunks;
    }
    if (frame == 0) result.setFormat = AVIStreamSetFormat(compressed, 0, &format, sizeof format);
    const std::vector<uint8_t> pixels = BottomUp(video, frame);
    LONG bytes = 0;
    result.lastWrite = AVIStreamWrite(compressed, frame, 1, pixels.data(), LONG(pixels.size()), 0,
                                      nullptr, &bytes);
    result.videoBytes += bytes;
  }
  AVIFileEndRecord(file);
  AVIStreamRelease(raw);
  AVIStreamRelease(compressed);
  AVIStreamRelease(audio);
  AVISaveOptionsFree(1, optionList);
  AVIFileRelease(file);
  return result;
}

std::map<std::string, std::string> Probe(const std::string& path, const std::string& entries) {
  std::istringstream lines(
      testsupport::Ffprobe("-show_entries " + entries + " -of flat '" + path + "'"));
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    values[line.substr(0, equals)] = value;
  }
  return values;
}

std::vector<Packet> Packets(const std::string& path, const std::string& stream) {
  std::istringstream lines(testsupport::Ffprobe(
      "-select_streams " + stream +
      " -show_entries packet=size,flags,pts_time,duration_time -of compact '" + path + "'"));
  std::vector<Packet> packets;
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> fields;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '|');) {
      const size_t equals = part.find('=');
      if (equals != std::string::npos) fields[part.substr(0, equals)] = part.substr(equals + 1);
    }
    if (!fields.count("size")) continue;
    Packet packet{std::stoi(fields["size"]), fields["flags"].front() == 'K', 0};
    if (fields["pts_time"] != "N/A" && fields["duration_time"] != "N/A")
      packet.end = std::stod(fields["pts_time"]) + std::stod(fields["duration_time"]);
    packets.push_back(packet);
  }
  return packets;
}

std::string DecodeErrors(const std::string& path, int* frames) {
  std::string output;
  const int status = RunShell("ffmpeg -nostdin -v error -i '" + path + "' -f null -", &output);
  if (status != 0) output += "\nffmpeg exit status " + std::to_string(status);
  if (frames) {
    const auto count = Probe(path, "stream=nb_read_frames -count_frames -select_streams v");
    auto found = count.find("streams.stream.0.nb_read_frames");
    const bool number = found != count.end() && !found->second.empty() &&
                        std::isdigit((unsigned char)found->second[0]);
    *frames = number ? std::stoi(found->second) : -1;
  }
  return output;
}

void ExpectDecodesCleanly(const std::string& path, int frames) {
  int decoded = 0;
  EXPECT_EQ(DecodeErrors(path, &decoded), "") << path;
  EXPECT_EQ(decoded, frames) << path;
}

std::vector<std::vector<uint8_t>> DecodeBgr(const std::string& path, int width, int height) {
  std::string output;
  RunShell("ffmpeg -nostdin -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -", &output);
  std::vector<std::vector<uint8_t>> frames;
  const size_t size = size_t(width) * height * 3;
  for (size_t at = 0; at + size <= output.size(); at += size)
    frames.emplace_back(output.begin() + long(at), output.begin() + long(at + size));
  return frames;
}

std::vector<RiffChunk> TopLevelChunks(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<RiffChunk> chunks;
  char header[12];
  for (uint64_t at = 0; file.seekg(std::streamoff(at)) && file.read(header, 12);) {
    RiffChunk chunk{std::string(header, 4), "", at, 0};
    std::memcpy(&chunk.size, header + 4, 4);
    if (chunk.id == "RIFF" || chunk.id == "LIST") chunk.type = std::string(header + 8, 4);
    chunks.push_back(chunk);
    at += 8 + chunk.size + chunk.size % 2;
  }
  return chunks;
}

uint32_t ChunkValue(const std::string& bytes, const std::string& id, size_t skip) {
  const size_t at = bytes.find(id);
  uint32_t value = 0;
  if (at != std::string::npos && at + 8 + skip + 4 <= bytes.size())
    std::memcpy(&value, &bytes[at + 8 + skip], 4);
  return value;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  previousHandler_ = signal(SIGXFSZ, SIG_IGN);
  getrlimit(RLIMIT_FSIZE, &previous_);
  rlimit limit = previous_;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &previous_);
  signal(SIGXFSZ, previousHandler_);
}

}  // namespace avitest
