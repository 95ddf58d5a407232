#include <algorithm>
#include <cstdlib>

#include "media/MediaFixtures.h"

namespace {

using mediatest::Le16;
using mediatest::Le32;
using mediatest::MakeMedia;
using mediatest::NewDecoder;
using mediatest::QuadrantInput;
using VELAVCODEC::VelAvCodec;

struct Bgr {
  int b, g, r;
};

// Pixel (x, y) of a delivered picture, y counted from the top.
Bgr PixelAt(const std::vector<uint8_t>& image, int width, int height, int x, int y) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const uint8_t* p = image.data() + 54 + size_t(height - 1 - y) * stride + size_t(x) * 3;
  return {p[0], p[1], p[2]};
}

void ExpectColour(const Bgr& pixel, int b, int g, int r, const char* where) {
  const int tolerance = 24;
  EXPECT_NEAR(pixel.b, b, tolerance) << where;
  EXPECT_NEAR(pixel.g, g, tolerance) << where;
  EXPECT_NEAR(pixel.r, r, tolerance) << where;
}

void ExpectBmpHeader(const std::vector<uint8_t>& image, int width, int height) {
  const uint32_t imageSize = uint32_t((width * 3 + 3) / 4 * 4 * height);
  ASSERT_EQ(image.size(), 54 + imageSize);
  EXPECT_EQ(image[0], 'B');
  EXPECT_EQ(image[1], 'M');
  EXPECT_EQ(Le32(&image[2]), 54 + imageSize);
  EXPECT_EQ(Le32(&image[6]), 0u);
  EXPECT_EQ(Le32(&image[10]), 54u);
  EXPECT_EQ(Le32(&image[14]), 40u);
  EXPECT_EQ(Le32(&image[18]), uint32_t(width));
  EXPECT_EQ(Le32(&image[22]), uint32_t(height));
  EXPECT_EQ(Le16(&image[26]), 1);
  EXPECT_EQ(Le16(&image[28]), 24);
  EXPECT_EQ(Le32(&image[30]), 0u);
  EXPECT_EQ(Le32(&image[34]), imageSize);
  for (int offset = 38; offset < 54; offset += 4) EXPECT_EQ(Le32(&image[offset]), 0u);
}

void ExpectQuadrants(const std::vector<uint8_t>& image, int width, int height) {
  const int right = width - 1, bottom = height - 1;
  ExpectColour(PixelAt(image, width, height, 0, 0), 0, 0, 255, "top left red");
  ExpectColour(PixelAt(image, width, height, right, 0), 0, 255, 0, "top right green");
  ExpectColour(PixelAt(image, width, height, 0, bottom), 255, 0, 0, "bottom left blue");
  ExpectColour(PixelAt(image, width, height, right, bottom), 255, 255, 255, "bottom right white");
}

// The delivered pixel rows, flipped back to top-down without padding, equal
// what ffmpeg's own conversion makes of the same source.
void ExpectSameAsFfmpeg(const std::string& path, const std::vector<uint8_t>& pictures, int width,
                        int height) {
  const std::vector<uint8_t> reference = mediatest::FfmpegBgr24(path);
  const size_t stride = size_t(width * 3 + 3) / 4 * 4, row = size_t(width) * 3;
  const size_t count = pictures.size() / (stride * height);
  ASSERT_EQ(reference.size(), count * row * height);
  int worst = 0;
  for (size_t n = 0; n < count; ++n)
    for (int y = 0; y < height; ++y) {
      const uint8_t* ours = &pictures[(n * height + (height - 1 - y)) * stride];
      const uint8_t* theirs = &reference[(n * height + y) * row];
      for (size_t i = 0; i < row; ++i) worst = std::max(worst, std::abs(ours[i] - theirs[i]));
    }
  EXPECT_LE(worst, 1);
}

class PictureWidths : public testing::TestWithParam<int> {};

TEST_P(PictureWidths, PicturesAreBottomUpBgrImagesOfEveryFrame) {
  const int width = GetParam(), height = 16;
  const std::string path =
      MakeMedia("quadrants" + std::to_string(width) + ".mp4",
                QuadrantInput(width, height, 1) + " -c:v libx264 -qp 0 -pix_fmt yuv444p");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const auto delivery = mediatest::ReadAll(*d, true);
  EXPECT_EQ(delivery.pictures, 25);
  ExpectBmpHeader(delivery.firstPicture, width, height);
  ExpectQuadrants(delivery.firstPicture, width, height);
  ExpectSameAsFfmpeg(path, delivery.allPictures, width, height);
}

// 10: a 32-byte stride written in place; 22: a 68-byte stride that goes
// through the aligned copy; 64: no padding at all.
INSTANTIATE_TEST_SUITE_P(Read, PictureWidths, testing::Values(10, 22, 64));

TEST(Read, EveryPictureOfABFrameSourceIsDeliveredAndThenTheEndIsReported) {
  const std::string path =
      MakeMedia("bframes.mp4", "-f lavfi -i testsrc=s=160x120:r=25:d=3 -c:v libx264 -bf 3 -g 30");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const auto delivery = mediatest::ReadAll(*d);
  EXPECT_EQ(delivery.pictures, 75);
  EXPECT_EQ(delivery.pictures, mediatest::FrameCountOf(path));
  EXPECT_EQ(delivery.endText, "[VelAvCodec::GetNextData] No usable data found...");
  int32_t kind = 0, size = 0;
  EXPECT_EQ(d->GetNextData(kind, size), nullptr);  // stays at the end
  EXPECT_EQ(size, 0);
}

TEST(Read, VariableFrameRateSourceDeliversEachStoredFrame) {
  const std::string path =
      MakeMedia("vfr.mkv",
                "-f lavfi -i testsrc=s=64x48:r=25:d=4 "
                "-vf \"select='lt(mod(n,10),3)+gt(n,80)'\" -fps_mode vfr -c:v libx264");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const auto delivery = mediatest::ReadAll(*d);
  EXPECT_EQ(delivery.pictures, mediatest::FrameCountOf(path));
  EXPECT_GT(delivery.pictures, 30);
}

TEST(Read, UltraHdPicturesFitTheFrameBuffer) {
  const std::string path =
      MakeMedia("uhd.mp4", QuadrantInput(3840, 2160, 0.08) + " -c:v libx264 -preset ultrafast");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  EXPECT_EQ(d->FrameImageSize, 3840 * 3 * 2160);
  const auto delivery = mediatest::ReadAll(*d);
  EXPECT_EQ(delivery.pictures, 2);
  ExpectBmpHeader(delivery.firstPicture, 3840, 2160);
  ExpectQuadrants(delivery.firstPicture, 3840, 2160);
}

// Formats numbered far past the old library's 60: 10-bit 4:2:0 and planar RGB.
TEST(Read, PixelFormatsOfEveryNumberAreConverted) {
  const std::pair<const char*, const char*> sources[] = {
      {"yuv10.mkv", " -c:v libx264 -pix_fmt yuv420p10le"},
      {"gbrp.mkv", " -c:v libx264rgb -qp 0"},
  };
  for (const auto& [name, codec] : sources) {
    const std::string path = MakeMedia(name, QuadrantInput(64, 48, 0.2) + codec);
    auto d = NewDecoder();
    mediatest::OpenSource(*d, path);
    const auto delivery = mediatest::ReadAll(*d);
    EXPECT_EQ(delivery.pictures, 5) << name;
    ExpectQuadrants(delivery.firstPicture, 64, 48);
  }
}

TEST(Read, PacketsOfOtherStreamsAreSkipped) {
  const std::string srt = (mediatest::MediaDir() / "skip.srt").string();
  testsupport::WriteFile(srt, "1\n00:00:00,000 --> 00:00:01,000\nWords\n");
  const std::string path = MakeMedia(
      "skip.mkv",
      "-f lavfi -i testsrc=s=64x48:d=1 -f lavfi -i testsrc2=s=32x24:d=2 "
      "-f lavfi -i sine=duration=1 -f lavfi -i sine=duration=2 -i '" +
          srt + "' -map 0 -map 1 -map 2 -map 3 -map 4 -c:v libx264 -c:a pcm_s16le -c:s srt");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path, 0, 0);
  const auto delivery = mediatest::ReadAll(*d);
  EXPECT_EQ(delivery.pictures, 25);
  EXPECT_NEAR(double(delivery.audioBytes) / d->AudioBytesPerSecond, 1.0, 0.05);
}

}  // namespace
