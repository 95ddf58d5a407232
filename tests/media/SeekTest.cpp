// Finding one picture by its number from the key frame before it.
#include <gtest/gtest.h>

#include "media/MediaFixtures.h"

using mediatest::MakeMedia;
using mediatest::NewDecoder;
using SeekResult = VELAVCODEC::VelAvCodec::SeekResult;

namespace {

// The pixel rows of picture `index` as reading from the start delivers them.
std::vector<uint8_t> CountedPicture(const std::vector<uint8_t>& all, int32_t index,
                                    size_t pictureBytes) {
  const auto begin = all.begin() + std::ptrdiff_t(size_t(index) * pictureBytes);
  return std::vector<uint8_t>(begin, begin + std::ptrdiff_t(pictureBytes));
}

std::vector<uint8_t> Sought(const std::string& path, int32_t index, SeekResult& result,
                            std::string* error = nullptr) {
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const uint8_t* picture = d->SeekPicture(index, result);
  if (error != nullptr) *error = d->ErrorText;
  if (picture == nullptr) return {};
  return std::vector<uint8_t>(picture + 54, picture + 54 + d->FrameImageSize);
}

}  // namespace

TEST(Seek, PictureFromTheKeyFrameBeforeItIsTheCountedOne) {
  // Key frames every 25 pictures, B-frames between, audio beside.
  const std::string path = MakeMedia(
      "seek.mp4",
      "-f lavfi -i testsrc2=s=96x64:r=25:d=6 -f lavfi -i sine=d=6 -c:v libx264 -bf 3 -g 25 "
      "-keyint_min 25 -sc_threshold 0 -c:a aac");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const auto all = mediatest::ReadAll(*d, true);
  ASSERT_EQ(all.pictures, 150);
  const size_t bytes = size_t(d->FrameImageSize);
  for (int32_t index : {0, 1, 24, 25, 26, 80, 99, 149}) {
    SeekResult result;
    const std::vector<uint8_t> picture = Sought(path, index, result);
    ASSERT_EQ(result, SeekResult::Found) << index;
    EXPECT_EQ(picture, CountedPicture(all.allPictures, index, bytes)) << index;
  }
}

TEST(Seek, PastTheLastPictureIsMissing) {
  const std::string path =
      MakeMedia("seek-short.mkv", "-f lavfi -i testsrc2=s=64x48:r=25:d=2 -c:v libx264 -g 10");
  for (int32_t index : {50, 51, 5000}) {
    SeekResult result;
    std::string error;
    EXPECT_TRUE(Sought(path, index, result, &error).empty());
    EXPECT_EQ(result, SeekResult::Missing) << index;
    EXPECT_EQ(error, "[VelAvCodec::SeekPicture] No picture at that time...");
  }
  SeekResult result;
  EXPECT_FALSE(Sought(path, 49, result).empty());
  EXPECT_EQ(result, SeekResult::Found);
}

// Pictures are numbered by their place among the packets' timestamps, not
// by the timestamps' values: a gap in time changes nothing.
TEST(Seek, PicturesAfterAGapInTimeAreFoundByTheirPlace) {
  const std::string path = MakeMedia(
      "seek-gap.mkv",
      "-f lavfi -i testsrc2=s=160x96:r=25:d=4 -vf \"select='lt(n,40)+gt(n,60)'\" -fps_mode vfr "
      "-c:v libx264 -bf 2 -g 10");
  auto d = NewDecoder();
  mediatest::OpenSource(*d, path);
  const auto all = mediatest::ReadAll(*d, true);
  ASSERT_EQ(all.pictures, 79);
  for (int32_t index : {5, 39, 40, 45, 70, 78}) {
    SeekResult result;
    const std::vector<uint8_t> picture = Sought(path, index, result);
    ASSERT_EQ(result, SeekResult::Found) << index;
    EXPECT_EQ(picture, CountedPicture(all.allPictures, index, size_t(d->FrameImageSize))) << index;
  }
  SeekResult result;
  EXPECT_TRUE(Sought(path, 79, result).empty());
  EXPECT_EQ(result, SeekResult::Missing);
}

// A stream without timestamps can only be counted from its start.
TEST(Seek, PacketsWithoutTimestampsAreReportedUncounted) {
  const std::string path =
      MakeMedia("seek-raw.h264", "-f lavfi -i testsrc2=s=64x48:r=25:d=2 -c:v libx264 -g 10");
  SeekResult result;
  std::string error;
  EXPECT_TRUE(Sought(path, 20, result, &error).empty());
  EXPECT_EQ(result, SeekResult::Uncounted);
  EXPECT_EQ(error, "[VelAvCodec::SeekPicture] No picture at that time...");
}
