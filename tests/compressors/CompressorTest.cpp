// Every installed compressor writing through the AVI service, read back with
// ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <filesystem>

#include "avi/AviTestSupport.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorEncoder.h"

namespace {

using avitest::JobFile;
using COMPRESSORCATALOG::CompressorInfo;
using testsupport::TempDir;

constexpr FOURCC kXvid = MakeFourCC('X', 'V', 'I', 'D');
constexpr FOURCC kH264 = MakeFourCC('H', '2', '6', '4');

bool IsLossless(const CompressorInfo& info) { return !info.HasQuality(); }

class CompressorTest : public ::testing::TestWithParam<CompressorInfo> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    video_ = new avitest::TestVideo(avitest::MakeTestVideo(*dir_, 176, 144, 40));
    odd_ = new avitest::TestVideo(avitest::MakeTestVideo(*dir_, 175, 143, 5));
  }
  static void TearDownTestSuite() {
    delete odd_;
    delete video_;
    delete dir_;
  }
  std::string Path(const std::string& name) { return (*dir_ / name).string(); }

  static TempDir* dir_;
  static avitest::TestVideo* video_;
  static avitest::TestVideo* odd_;
};

TempDir* CompressorTest::dir_ = nullptr;
avitest::TestVideo* CompressorTest::video_ = nullptr;
avitest::TestVideo* CompressorTest::odd_ = nullptr;

TEST_P(CompressorTest, WritesAFileThatDecodesFrameForFrame) {
  const CompressorInfo& info = GetParam();
  const std::string path = Path(COMPRESSORCATALOG::CodeText(info.code) + ".avi");
  JobFile job;
  job.code = info.code;
  const avitest::JobResult result = avitest::WriteJobFile(path, *video_, job);
  ASSERT_EQ(result.setFormat, AVIERR_OK);
  ASSERT_EQ(result.lastWrite, AVIERR_OK);

  avitest::ExpectDecodesCleanly(path, 40);
  const auto packets = avitest::Packets(path, "v");
  ASSERT_EQ(packets.size(), 40u);
  EXPECT_TRUE(packets.front().key);
  // Frames held back by the encoder are written at release, after the
  // last write reported its bytes.
  int64_t sizes = 0;
  for (const avitest::Packet& packet : packets) sizes += packet.size;
  EXPECT_GE(sizes, result.videoBytes);
  EXPECT_GT(result.videoBytes, 0);

  const auto values = avitest::Probe(path, "stream=codec_tag_string,nb_frames");
  const std::string code = COMPRESSORCATALOG::CodeText(info.code);
  EXPECT_EQ(values.at("streams.stream.0.codec_tag_string"),
            info.code == COMPRESSORCATALOG::kFullFrames ? "[0][0][0][0]" : code);
  EXPECT_EQ(values.at("streams.stream.0.nb_frames"), "40");
  EXPECT_EQ(int(avitest::Packets(path, "a").size()), result.audioChunks);
}

// Lossless compressors give the pictures back exactly; lossy ones close
// enough to tell that they are upright.
TEST_P(CompressorTest, DecodedPicturesMatchThoseWritten) {
  const CompressorInfo& info = GetParam();
  const std::string path = Path("match-" + COMPRESSORCATALOG::CodeText(info.code) + ".avi");
  JobFile job;
  job.code = info.code;
  job.audio = false;
  avitest::WriteJobFile(path, *video_, job);
  const auto decoded = avitest::DecodeBgr(path, video_->width, video_->height);
  ASSERT_EQ(decoded.size(), video_->frames.size());
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (IsLossless(info)) {
      ASSERT_TRUE(decoded[i] == video_->frames[i]) << "frame " << i;
      continue;
    }
    // Mean difference per byte: small when upright, large when upside down.
    double difference = 0;
    for (size_t at = 0; at < decoded[i].size(); ++at)
      difference += std::abs(int(decoded[i][at]) - int(video_->frames[i][at]));
    ASSERT_LT(difference / decoded[i].size(), 8.0) << "frame " << i;
  }
}

TEST_P(CompressorTest, OddSizedPicturesAreWrittenTooCroppedOnlyFor420) {
  const CompressorInfo& info = GetParam();
  const std::string path = Path("odd-" + COMPRESSORCATALOG::CodeText(info.code) + ".avi");
  JobFile job;
  job.code = info.code;
  job.audio = false;
  const avitest::JobResult result = avitest::WriteJobFile(path, *odd_, job);
  ASSERT_EQ(result.setFormat, AVIERR_OK);
  EXPECT_EQ(result.lastWrite, AVIERR_OK);
  avitest::ExpectDecodesCleanly(path, 5);
  const auto values = avitest::Probe(path, "stream=width,height");
  // The 4:2:0 encoders drop the odd last column and bottom row.
  const bool cropped = info.HasQuality();
  EXPECT_EQ(values.at("streams.stream.0.width"), cropped ? "174" : "175");
  EXPECT_EQ(values.at("streams.stream.0.height"), cropped ? "142" : "143");
  if (!cropped) {
    const auto decoded = avitest::DecodeBgr(path, 175, 143);
    ASSERT_EQ(decoded.size(), 5u);
    EXPECT_TRUE(decoded[4] == odd_->frames[4]);
  }
}

std::string CodeName(const ::testing::TestParamInfo<CompressorInfo>& info) {
  std::string name;
  for (char c : COMPRESSORCATALOG::CodeText(info.param.code))
    if (std::isalnum((unsigned char)c)) name += c;
  return name;
}

// The compressors an AVI file carries; the others go to the muxed outputs.
std::vector<CompressorInfo> AviCompressors() {
  std::vector<CompressorInfo> carried;
  for (const CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors())
    if (info.aviCarries) carried.push_back(info);
  return carried;
}

INSTANTIATE_TEST_SUITE_P(Installed, CompressorTest, ::testing::ValuesIn(AviCompressors()),
                         CodeName);

// Sizes at the default quality against what ffmpeg makes from the same
// pictures with its usual settings.
class CompressorQualityTest : public ::testing::Test {
 protected:
  void SetUp() override { video_ = avitest::MakeTestVideo(dir_, 320, 240, 50); }

  // Bytes of the video packets of a file.
  static int64_t VideoBytes(const std::string& path) {
    int64_t bytes = 0;
    for (const avitest::Packet& packet : avitest::Packets(path, "v")) bytes += packet.size;
    return bytes;
  }

  int64_t OursAt(FOURCC code, DWORD quality, DWORD bytesPerSecond = 0) {
    const std::string path = (dir_ / "ours.avi").string();
    JobFile job;
    job.code = code;
    job.quality = quality;
    job.bytesPerSecond = bytesPerSecond;
    job.audio = false;
    avitest::WriteJobFile(path, video_, job);
    return VideoBytes(path);
  }

  int64_t Ffmpegs(const std::string& settings) {
    const std::string path = (dir_ / "theirs.avi").string();
    testsupport::Ffmpeg("-f lavfi -i testsrc2=s=320x240:r=25 -frames:v 50 -bf 0 " + settings + " " +
                        path);
    return VideoBytes(path);
  }

  TempDir dir_;
  avitest::TestVideo video_;
};

TEST_F(CompressorQualityTest, DefaultQualityMatchesFfmpegsUsualSettings) {
  if (COMPRESSORCATALOG::FindCompressor(kXvid)) {
    const double ratio = double(OursAt(kXvid, ICQUALITY_DEFAULT)) /
                         double(Ffmpegs("-c:v mpeg4 -vtag XVID -q:v 3 -g 250"));
    EXPECT_NEAR(ratio, 1.0, 0.2);
  }
  if (COMPRESSORCATALOG::FindCompressor(kH264)) {
    const double ratio =
        double(OursAt(kH264, ICQUALITY_DEFAULT)) / double(Ffmpegs("-c:v libx264 -crf 23"));
    EXPECT_NEAR(ratio, 1.0, 0.2);
  }
}

TEST_F(CompressorQualityTest, QualityAndDataRateSteerTheSize) {
  for (const CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors()) {
    if (!info.HasQuality()) continue;
    SCOPED_TRACE(COMPRESSORCATALOG::CodeText(info.code));
    const int64_t low = OursAt(info.code, 2000), high = OursAt(info.code, 9500);
    EXPECT_LT(low * 2, high);
    if (!info.rate.hasDataRate) continue;
    // 50 pictures at 25 a second: two seconds at a rate of a quarter of the
    // default quality's bytes, which every one of them can reach.
    const int64_t usual = OursAt(info.code, ICQUALITY_DEFAULT);
    const int64_t limited = OursAt(info.code, ICQUALITY_DEFAULT, DWORD(usual / 4));
    EXPECT_NEAR(double(limited), usual / 2.0, usual * 0.15);
  }
}

TEST(CompressorQualityScale, EndsAndDefaultLandWhereExpected) {
  EXPECT_EQ(COMPRESSOR::QuantiserForQuality(ICQUALITY_DEFAULT), 3);
  EXPECT_EQ(COMPRESSOR::QuantiserForQuality(7500), 3);
  EXPECT_EQ(COMPRESSOR::QuantiserForQuality(0), 31);
  EXPECT_EQ(COMPRESSOR::QuantiserForQuality(10000), 1);
  EXPECT_EQ(COMPRESSOR::QuantiserForQuality(50000), 1);  // clamped
  EXPECT_EQ(COMPRESSOR::RateFactorForQuality(ICQUALITY_DEFAULT), 23);
  EXPECT_EQ(COMPRESSOR::RateFactorForQuality(0), 51);
}

}  // namespace
