// The AVI file service as the subtitling job uses it, read back with ffprobe
// and ffmpeg.
#include <gtest/gtest.h>

#include "platform/AviTestSupport.h"
#include "platform/CompressorCatalog.h"
#include "platform/Vfw.h"

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

  int frames = 0;
  EXPECT_EQ(avitest::DecodeErrors(path, &frames), "");
  EXPECT_EQ(frames, 30);
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

TEST_F(AviServiceTest, Mpeg4FileDecodesWithKeyFramesAsChosen) {
  if (!COMPRESSORCATALOG::FindCompressor(kXvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  const std::string path = Path("xvid.avi");
  JobFile job;
  job.code = kXvid;
  job.keyFrameEvery = 10;
  const avitest::JobResult result = avitest::WriteJobFile(path, *video_, job);
  EXPECT_EQ(result.setFormat, AVIERR_OK);
  EXPECT_EQ(result.lastWrite, AVIERR_OK);
  int frames = 0;
  EXPECT_EQ(avitest::DecodeErrors(path, &frames), "");
  EXPECT_EQ(frames, 30);
  const auto packets = avitest::Packets(path, "v");
  ASSERT_EQ(packets.size(), 30u);
  int64_t sizes = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].key, i % 10 == 0) << "frame " << i;
    sizes += packets[i].size;
  }
  EXPECT_EQ(sizes, result.videoBytes);
  const auto values = avitest::Probe(path, "stream=codec_name,codec_tag_string,width,height");
  EXPECT_EQ(values.at("streams.stream.0.codec_name"), "mpeg4");
  EXPECT_EQ(values.at("streams.stream.0.codec_tag_string"), "XVID");
  EXPECT_EQ(values.at("streams.stream.0.width"), "322");
}

}  // namespace
