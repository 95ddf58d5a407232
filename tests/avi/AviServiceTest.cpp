// The AVI file service as the subtitling job uses it, read back with ffprobe
// and ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "avi/AviTestSupport.h"
#include "avi/AviWriter.h"
#include "avi/Vfw.h"
#include "compressors/CompressorCatalog.h"

namespace {

using avitest::JobFile;
using testsupport::TempDir;

constexpr FOURCC kDib = MakeFourCC('D', 'I', 'B', ' ');
constexpr FOURCC kXvid = MakeFourCC('X', 'V', 'I', 'D');

class AviServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    video_ = new avitest::TestVideo(avitest::MakeTestVideo(*dir_, 322, 240, 30));
  }
  static void TearDownTestSuite() {
    delete video_;
    delete dir_;
  }
  std::string Path(const std::string& name) { return (*dir_ / name).string(); }

  static TempDir* dir_;
  static avitest::TestVideo* video_;
};

TempDir* AviServiceTest::dir_ = nullptr;
avitest::TestVideo* AviServiceTest::video_ = nullptr;

TEST_F(AviServiceTest, FullFramesFileKeepsEveryPictureUpright) {
  const std::string path = Path("dib.avi");
  const avitest::JobResult result = avitest::WriteJobFile(path, *video_, JobFile{});
  ASSERT_EQ(result.open, AVIERR_OK);
  EXPECT_EQ(result.setFormat, AVIERR_OK);
  EXPECT_EQ(result.lastWrite, AVIERR_OK);
  // Rows of 322 pixels are padded to 968 bytes.
  EXPECT_EQ(result.videoBytes, 30 * 968 * 240);

  avitest::ExpectDecodesCleanly(path, 30);
  const auto decoded = avitest::DecodeBgr(path, 322, 240);
  ASSERT_EQ(decoded.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(decoded[i], video_->frames[i]) << "frame " << i;
  for (const avitest::Packet& packet : avitest::Packets(path, "v")) EXPECT_TRUE(packet.key);
}

TEST_F(AviServiceTest, HeadersNamesAndSoftwareText) {
  const std::string path = Path("headers.avi");
  JobFile job;
  job.videoName = "Video Stream [Transcoded]";
  avitest::WriteJobFile(path, *video_, job);
  const auto values = avitest::Probe(
      path,
      "stream=codec_type,codec_name,codec_tag_string,width,height,r_frame_rate,nb_frames,"
      "sample_rate,channels:stream_tags=title:format_tags=software");
  EXPECT_EQ(values.at("streams.stream.0.codec_type"), "video");
  EXPECT_EQ(values.at("streams.stream.0.codec_name"), "rawvideo");
  EXPECT_EQ(values.at("streams.stream.0.width"), "322");
  EXPECT_EQ(values.at("streams.stream.0.height"), "240");
  EXPECT_EQ(values.at("streams.stream.0.r_frame_rate"), "25/1");
  EXPECT_EQ(values.at("streams.stream.0.nb_frames"), "30");
  EXPECT_EQ(values.at("streams.stream.0.tags.title"), "Video Stream [Transcoded]");
  EXPECT_EQ(values.at("streams.stream.1.codec_type"), "audio");
  EXPECT_EQ(values.at("streams.stream.1.sample_rate"), "44100");
  EXPECT_EQ(values.at("streams.stream.1.channels"), "2");
  EXPECT_EQ(values.at("streams.stream.1.tags.title"), "Audio Stream [Unchanged]");
  EXPECT_EQ(values.at("format.tags.software"), "Tolvane v2.02 | test");
}

TEST_F(AviServiceTest, AudioChunksArriveWholeAndLastAsLongAsWritten) {
  for (DWORD sampleSize : {4u, 0u}) {
    SCOPED_TRACE(sampleSize);
    const std::string path = Path("audio" + std::to_string(sampleSize) + ".avi");
    JobFile job;
    job.audioSampleSize = sampleSize;
    const avitest::JobResult result = avitest::WriteJobFile(path, *video_, job);
    EXPECT_EQ(result.audioBytes, int64_t(result.audioChunks) * avitest::kAudioChunkBytes);
    const auto packets = avitest::Packets(path, "a");
    ASSERT_EQ(int(packets.size()), result.audioChunks);
    for (const avitest::Packet& packet : packets) EXPECT_EQ(packet.size, avitest::kAudioChunkBytes);
    const auto values = avitest::Probe(path, "stream=nb_frames -select_streams a");
    // Readers time PCM by its bytes, so only the fixed sample size gives its
    // true duration.
    if (sampleSize) EXPECT_NEAR(packets.back().end, result.audioChunks * 1024 / 44100.0, 0.001);
    // The header's length counts what was written, not the caller's estimate.
    const int samples = sampleSize ? result.audioChunks * 1024 : result.audioChunks;
    EXPECT_EQ(values.at("streams.stream.0.nb_frames"), std::to_string(samples));
  }
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + size_t(i)]);
  return value;
}

// The ids of the chunks in the movi list, in file order.
std::vector<std::string> MoviChunkIds(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> ids;
  const size_t movi = bytes.find("movi");
  if (movi == std::string::npos || movi < 4) return ids;
  // The list's size, just before its type, counts from the type on.
  const size_t end = std::min(bytes.size(), movi + LittleEndian32(bytes, movi - 4));
  for (size_t at = movi + 4; at + 8 <= end;) {
    const uint32_t size = LittleEndian32(bytes, at + 4);
    ids.push_back(bytes.substr(at, 4));
    at += 8 + size + (size & 1);
  }
  return ids;
}

// An encoder that compresses on a thread of its own hands its chunks back
// later, yet the file is written as by a compressor that does not: each
// picture's chunk, then the audio written after it. So the same job makes
// the same file every time.
TEST_F(AviServiceTest, ChunksOfAllStreamsKeepTheOrderTheyWereWrittenIn) {
  if (!COMPRESSORCATALOG::FindCompressor(kXvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  JobFile job;
  job.code = kDib;
  avitest::WriteJobFile(Path("order-dib.avi"), *video_, job);
  job.code = kXvid;
  avitest::WriteJobFile(Path("order-xvid.avi"), *video_, job);
  avitest::WriteJobFile(Path("order-xvid-again.avi"), *video_, job);
  std::vector<std::string> expected = MoviChunkIds(Path("order-dib.avi"));
  ASSERT_GT(expected.size(), video_->frames.size());
  // Compressed pictures' chunks are named so.
  std::replace(expected.begin(), expected.end(), std::string("00db"), std::string("00dc"));
  EXPECT_EQ(expected.front(), "01wb");  // audio up to the first picture's end comes first
  EXPECT_EQ(MoviChunkIds(Path("order-xvid.avi")), expected);
  std::ifstream a(Path("order-xvid.avi"), std::ios::binary),
      b(Path("order-xvid-again.avi"), std::ios::binary);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                         std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>()));
}

TEST_F(AviServiceTest, Mpeg4FileDecodesWithKeyFramesAsChosen) {
  if (!COMPRESSORCATALOG::FindCompressor(kXvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  const std::string path = Path("xvid.avi");
  JobFile job;
  job.code = kXvid;
  job.keyFrameEvery = 10;
  const avitest::JobResult result = avitest::WriteJobFile(path, *video_, job);
  EXPECT_EQ(result.setFormat, AVIERR_OK);
  EXPECT_EQ(result.lastWrite, AVIERR_OK);
  avitest::ExpectDecodesCleanly(path, 30);
  const auto packets = avitest::Packets(path, "v");
  ASSERT_EQ(packets.size(), 30u);
  for (size_t i = 0; i < packets.size(); ++i)
    EXPECT_EQ(packets[i].key, i % 10 == 0) << "frame " << i;
  // The writes report the chunks written so far, which trail the pictures
  // handed in by the few being compressed meanwhile; the rest are written at
  // release.
  int64_t reported = 0;
  size_t counted = 0;
  while (counted < packets.size() && reported < result.videoBytes)
    reported += packets[counted++].size;
  EXPECT_EQ(reported, result.videoBytes);
  EXPECT_GE(counted, packets.size() - 4);
  const auto values = avitest::Probe(path, "stream=codec_name,codec_tag_string,width,height");
  EXPECT_EQ(values.at("streams.stream.0.codec_name"), "mpeg4");
  EXPECT_EQ(values.at("streams.stream.0.codec_tag_string"), "XVID");
  EXPECT_EQ(values.at("streams.stream.0.width"), "322");
}

// A file with one Full Frames video stream, driven call by call.
struct DibFile {
  PAVIFILE file = nullptr;
  PAVISTREAM raw = nullptr, compressed = nullptr;
  AVICOMPRESSOPTIONS options{};

  explicit DibFile(const std::string& path, const avitest::TestVideo& video) {
    EXPECT_EQ(AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_READWRITE, nullptr), AVIERR_OK);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = {0, 0, video.width, video.height};
    EXPECT_EQ(AVIFileCreateStreamA(file, &raw, &info), AVIERR_OK);
    options.fccHandler = kDib;
    EXPECT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), AVIERR_OK);
  }
  HRESULT SetFormat(const avitest::TestVideo& video) {
    const BITMAPINFOHEADER format = avitest::FrameFormat(video);
    return AVIStreamSetFormat(compressed, 0, &format, sizeof format);
  }
  HRESULT Write(const avitest::TestVideo& video, int frame, LONG position) {
    const std::vector<uint8_t> pixels = avitest::BottomUp(video, frame);
    return AVIStreamWrite(compressed, position, 1, pixels.data(), LONG(pixels.size()), 0, nullptr,
                          nullptr);
  }
  void Release() {
    AVIStreamRelease(raw);
    AVIStreamRelease(compressed);
    AVIFileRelease(file);
  }
};

TEST_F(AviServiceTest, FileReleasedAfterAStopPlaysToTheLastFrameWritten) {
  // A job stopped half-way releases everything without further writes; the
  // first picture is written at sample 1, as the job once did.
  const std::string path = Path("stopped.avi");
  DibFile dib(path, *video_);
  ASSERT_EQ(dib.SetFormat(*video_), AVIERR_OK);
  for (int frame = 0; frame < 12; ++frame)
    ASSERT_EQ(dib.Write(*video_, frame, frame + 1), AVIERR_OK);
  dib.Release();
  avitest::ExpectDecodesCleanly(path, 12);
  EXPECT_EQ(avitest::Probe(path, "stream=nb_frames").at("streams.stream.0.nb_frames"), "12");
  const auto decoded = avitest::DecodeBgr(path, video_->width, video_->height);
  ASSERT_EQ(decoded.size(), 12u);
  EXPECT_TRUE(decoded.back() == video_->frames[11]);
}

TEST_F(AviServiceTest, StreamsMayOutliveTheFileHandle) {
  // The file is completed when its last stream goes, whatever the order.
  const std::string path = Path("order.avi");
  DibFile dib(path, *video_);
  ASSERT_EQ(dib.SetFormat(*video_), AVIERR_OK);
  EXPECT_EQ(AVIFileRelease(dib.file), 2u);
  ASSERT_EQ(dib.Write(*video_, 0, 0), AVIERR_OK);
  AVIStreamRelease(dib.raw);
  EXPECT_EQ(AVIStreamRelease(dib.compressed), 0u);
  avitest::ExpectDecodesCleanly(path, 1);
}

TEST_F(AviServiceTest, CancelledJobLeavesAnEmptyButValidFile) {
  const std::string path = Path("cancelled.avi");
  PAVIFILE file = nullptr;
  PAVISTREAM raw = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_READWRITE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, 64, 48};
  ASSERT_EQ(AVIFileCreateStreamA(file, &raw, &info), AVIERR_OK);
  AVICOMPRESSOPTIONS options{};
  AVICOMPRESSOPTIONS* list[] = {&options};
  EXPECT_EQ(
      AVISaveOptions([](void*, UINT, AVICOMPRESSOPTIONS*) { return 0; }, nullptr, 3, 1, &raw, list),
      0);
  EXPECT_EQ(AVISaveOptions(SaveOptionsChooser(), nullptr, 3, 1, &raw, list), 0);  // no chooser
  AVIFileEndRecord(file);
  AVIStreamRelease(raw);
  AVIFileRelease(file);
  const auto values = avitest::Probe(path, "stream=codec_type,width");
  EXPECT_EQ(values.at("streams.stream.0.codec_type"), "video");
  EXPECT_EQ(values.at("streams.stream.0.width"), "64");
  EXPECT_EQ(avitest::DecodeErrors(path), "");
  EXPECT_TRUE(avitest::Packets(path, "v").empty());
}

TEST_F(AviServiceTest, FileOfAWriterThatNeverFinishedStillPlays) {
  // As when the program dies during a job: nothing completes the file.
  const std::string path = Path("unfinished.avi");
  {
    AVIWRITER::AviWriter writer;
    ASSERT_EQ(writer.Create(path), AVIERR_OK);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 25;
    int video = -1;
    ASSERT_EQ(writer.AddStream(info, &video), AVIERR_OK);
    const BITMAPINFOHEADER format = avitest::FrameFormat(*video_);
    ASSERT_EQ(writer.SetFormat(video, &format, sizeof format), AVIERR_OK);
    for (int frame = 0; frame < 10; ++frame) {
      const std::vector<uint8_t> pixels = avitest::BottomUp(*video_, frame);
      ASSERT_EQ(writer.WriteChunk(video, pixels.data(), uint32_t(pixels.size()), true, nullptr),
                AVIERR_OK);
    }
  }
  avitest::ExpectDecodesCleanly(path, 10);
}

TEST_F(AviServiceTest, AFormatSetAfterTheFirstChunkReachesTheHeaderOnDiskAtOnce) {
  // Audio comes first, as from most sources: the movi list starts before
  // the video's format is known.
  const std::string path = Path("late-format.avi");
  AVIWRITER::AviWriter writer;
  ASSERT_EQ(writer.Create(path), AVIERR_OK);
  AVISTREAMINFOA video{}, audio{};
  video.fccType = streamtypeVIDEO;
  video.dwScale = 1;
  video.dwRate = 25;
  audio.fccType = streamtypeAUDIO;
  audio.dwScale = 1;
  audio.dwRate = 44100;
  int videoIndex = -1, audioIndex = -1;
  ASSERT_EQ(writer.AddStream(video, &videoIndex), AVIERR_OK);
  ASSERT_EQ(writer.AddStream(audio, &audioIndex), AVIERR_OK);
  const WAVEFORMATEX wave{1, 2, 44100, 44100 * 4, 4, 16, 0};
  ASSERT_EQ(writer.SetFormat(audioIndex, &wave, sizeof wave), AVIERR_OK);
  const uint8_t packet[16] = {};
  ASSERT_EQ(writer.WriteChunk(audioIndex, packet, sizeof packet, true, nullptr), AVIERR_OK);
  BITMAPINFOHEADER format = avitest::FrameFormat(*video_);
  format.biCompression = MakeFourCC('X', 'V', 'I', 'D');
  format.biBitCount = 12;
  ASSERT_EQ(writer.SetFormat(videoIndex, &format, sizeof format), AVIERR_OK);
  // Read while the writer is still open, as after a crash.
  const std::string bytes = testsupport::ReadFile(path);
  const size_t strf = bytes.find("strf");
  ASSERT_NE(strf, std::string::npos);
  BITMAPINFOHEADER onDisk{};
  std::memcpy(&onDisk, bytes.data() + strf + 8, sizeof onDisk);
  EXPECT_EQ(onDisk.biCompression, format.biCompression);
  EXPECT_EQ(onDisk.biBitCount, 12);
  EXPECT_EQ(onDisk.biWidth, format.biWidth);
}

TEST_F(AviServiceTest, WriteFailingOnAFullDiskIsReportedAndKeepsWhatWasWritten) {
  const std::string path = Path("full.avi");
  int written = 0;
  HRESULT failure = AVIERR_OK;
  {
    DibFile dib(path, *video_);
    ASSERT_EQ(dib.SetFormat(*video_), AVIERR_OK);
    avitest::FileSizeLimit limit(2'000'000);  // room for about eight pictures
    for (int frame = 0; frame < 30 && failure == AVIERR_OK; ++frame) {
      failure = dib.Write(*video_, frame, frame);
      if (failure == AVIERR_OK) ++written;
    }
    dib.Release();
  }
  EXPECT_EQ(failure, AVIERR_FILEWRITE);
  EXPECT_GT(written, 4);
  EXPECT_LE(std::filesystem::file_size(path), 2'000'000u);
  avitest::ExpectDecodesCleanly(path, written);
  const auto decoded = avitest::DecodeBgr(path, video_->width, video_->height);
  ASSERT_EQ(int(decoded.size()), written);
  EXPECT_TRUE(decoded.back() == video_->frames[written - 1]);
}

TEST_F(AviServiceTest, FailuresAnswerWithTheirErrorCodes) {
  PAVIFILE file = reinterpret_cast<PAVIFILE>(1);
  const UINT create = OF_CREATE | OF_SHARE_DENY_NONE | OF_READWRITE;
  EXPECT_EQ(AVIFileOpenA(&file, (Path("missing") + "/x.avi").c_str(), create, nullptr),
            AVIERR_FILEOPEN);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(AVIFileOpenA(&file, "", create, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpenA(&file, Path("read.avi").c_str(), OF_READ, nullptr), AVIERR_UNSUPPORTED);
  int handlerClass = 0;
  EXPECT_EQ(AVIFileOpenA(&file, Path("h.avi").c_str(), create, &handlerClass), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(AVIFileOpenA(nullptr, Path("n.avi").c_str(), create, nullptr), AVIERR_BADPARAM);

  ASSERT_EQ(AVIFileOpenA(&file, Path("errors.avi").c_str(), create, nullptr), AVIERR_OK);
  AVISTREAMINFOA videoInfo{};
  videoInfo.fccType = streamtypeVIDEO;
  videoInfo.dwScale = 1;
  videoInfo.dwRate = 25;
  AVISTREAMINFOA audioInfo{};
  audioInfo.fccType = streamtypeAUDIO;
  PAVISTREAM video = nullptr, audio = nullptr, compressed = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &video, &videoInfo), AVIERR_OK);
  ASSERT_EQ(AVIFileCreateStreamA(file, &audio, &audioInfo), AVIERR_OK);
  PAVISTREAM none = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(nullptr, &none, &videoInfo), AVIERR_BADHANDLE);

  AVICOMPRESSOPTIONS options{};
  options.fccHandler = MakeFourCC('N', 'O', 'N', 'E');
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, video, &options, nullptr), AVIERR_NOCOMPRESSOR);
  options.fccHandler = kDib;
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, audio, &options, nullptr), AVIERR_UNSUPPORTED);
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, nullptr, &options, nullptr), AVIERR_BADHANDLE);
  options.lpParms = 0xBAD;
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, video, &options, nullptr), AVIERR_BADPARAM);
  options.lpParms = 0;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, video, &options, nullptr), AVIERR_OK);

  // Writing before the format, formats that are not 24-bit pictures, a
  // second different format, a short picture.
  std::vector<uint8_t> pixels(64 * 3 * 48);
  EXPECT_EQ(
      AVIStreamWrite(compressed, 0, 1, pixels.data(), LONG(pixels.size()), 0, nullptr, nullptr),
      AVIERR_BADFORMAT);
  EXPECT_EQ(AVIStreamWrite(audio, 0, 1, pixels.data(), 4, 0, nullptr, nullptr), AVIERR_BADFORMAT);
  BITMAPINFOHEADER format{40, 64, 48, 1, 32, BI_RGB, 64 * 4 * 48, 0, 0, 0, 0};
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_BADFORMAT);
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, 20), AVIERR_BADFORMAT);
  format.biBitCount = 24;
  format.biSizeImage = 64 * 3 * 48;
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_OK);
  format.biWidth = 32;
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_UNSUPPORTED);
  EXPECT_EQ(AVIStreamWrite(compressed, 0, 1, pixels.data(), 100, 0, nullptr, nullptr),
            AVIERR_BADSIZE);
  EXPECT_EQ(AVIStreamWrite(nullptr, 0, 1, pixels.data(), 100, 0, nullptr, nullptr),
            AVIERR_BADHANDLE);
  LONG samples = -1, bytes = -1;
  EXPECT_EQ(
      AVIStreamWrite(compressed, 0, 1, pixels.data(), LONG(pixels.size()), 0, &samples, &bytes),
      AVIERR_OK);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, LONG(pixels.size()));
  // Streams cannot be added once pictures are in the file.
  PAVISTREAM late = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(file, &late, &audioInfo), AVIERR_UNSUPPORTED);
  EXPECT_EQ(AVIFileWriteData(file, ckidLIST, nullptr, 4), AVIERR_BADPARAM);
  EXPECT_EQ(AVIFileEndRecord(nullptr), AVIERR_BADHANDLE);
  AVIStreamRelease(video);
  AVIStreamRelease(compressed);
  AVIStreamRelease(audio);
  AVIFileRelease(file);
}

TEST(AviBlocks, OptionBlocksAreHandedOutResolvedAndFreed) {
  const char text[] = "preset=ultrafast";
  AVICOMPRESSOPTIONS options{};
  options.lpParms = AVIAllocBlock(text, sizeof text);
  options.cbParms = sizeof text;
  options.lpFormat = AVIAllocBlock(nullptr, 8);
  EXPECT_NE(options.lpParms, 0u);
  EXPECT_NE(options.lpParms, options.lpFormat);
  std::vector<BYTE> data;
  ASSERT_TRUE(AVIReadBlock(options.lpParms, &data));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data())), "preset=ultrafast");
  const BLOCKHANDLE parms = options.lpParms, format = options.lpFormat;
  AVICOMPRESSOPTIONS* list[] = {&options};
  EXPECT_EQ(AVISaveOptionsFree(1, list), AVIERR_OK);
  EXPECT_EQ(options.lpParms, 0u);
  EXPECT_EQ(options.cbParms, 0u);
  EXPECT_FALSE(AVIReadBlock(parms, nullptr));
  EXPECT_FALSE(AVIReadBlock(format, nullptr));
}

}  // namespace
