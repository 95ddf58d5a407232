// The keyframes of H.264 and HEVC streams made by x264 and x265, read from
// their packets: where each is, and whether it needs nothing before it.
#include "media/KeyframeIndex.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "media/BoundLibraries.h"
#include "media/MediaFixtures.h"

using namespace VELAVCODEC;

namespace {

class Index : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(libraries_.Error, ""); }

  KeyframeIndex Read(const std::string& name, const std::string& encoding) {
    const std::string path = mediatest::MakeMedia(
        name, mediatest::QuadrantInput(64, 48, 9.0) + " -sc_threshold 0 " + encoding);
    KeyframeIndex index;
    std::string error;
    EXPECT_TRUE(ReadKeyframeIndex(libraries_.Api, path, 0, index, error)) << error;
    return index;
  }
  static std::vector<double> Times(const KeyframeIndex& index) {
    std::vector<double> times;
    for (const IndexedKeyframe& keyframe : index.Keyframes) times.push_back(keyframe.Seconds);
    return times;
  }

  mediatest::BoundLibraries libraries_;
};

}  // namespace

TEST_F(Index, ClosedGroupsEveryTwoSecondsWithBPictures) {
  for (const char* name : {"closed.mkv", "closed.mp4"}) {
    SCOPED_TRACE(name);
    const KeyframeIndex index = Read(name, "-c:v libx264 -g 50 -keyint_min 50 -bf 3");
    EXPECT_EQ(index.Codec, "h264");
    EXPECT_EQ(Times(index), (std::vector<double>{0.0, 2.0, 4.0, 6.0, 8.0}));
    for (const IndexedKeyframe& keyframe : index.Keyframes) EXPECT_TRUE(keyframe.Closed);
    EXPECT_EQ(index.Pictures, 225);
    EXPECT_NEAR(index.EndSeconds, 9.0, 1e-6);
    EXPECT_GT(index.ReorderSeconds, 0.0);
  }
}

TEST_F(Index, OpenGroupsAreToldApart) {
  const KeyframeIndex h264 =
      Read("open.mkv", "-c:v libx264 -g 50 -keyint_min 50 -bf 3 -x264-params open-gop=1");
  ASSERT_EQ(h264.Keyframes.size(), 5u);
  EXPECT_TRUE(h264.Keyframes[0].Closed);
  for (std::size_t k = 1; k < h264.Keyframes.size(); ++k)
    EXPECT_FALSE(h264.Keyframes[k].Closed) << k;

  const KeyframeIndex hevc = Read(
      "open.mp4", "-c:v libx265 -x265-params keyint=50:min-keyint=50:open-gop=1:log-level=error");
  EXPECT_EQ(hevc.Codec, "hevc");
  ASSERT_GE(hevc.Keyframes.size(), 4u);
  EXPECT_TRUE(hevc.Keyframes[0].Closed);
  EXPECT_FALSE(hevc.Keyframes[1].Closed);
  const KeyframeIndex idr =
      Read("closed-hevc.mkv",
           "-c:v libx265 -x265-params keyint=50:min-keyint=50:open-gop=0:log-level=error");
  ASSERT_GE(idr.Keyframes.size(), 4u);
  for (const IndexedKeyframe& keyframe : idr.Keyframes) EXPECT_TRUE(keyframe.Closed);
}

TEST_F(Index, IrregularKeyframesAndOtherCodecs) {
  const KeyframeIndex index =
      Read("irregular.mkv", "-c:v libx264 -g 1000 -force_key_frames 0,0.72,3.12,3.52");
  EXPECT_EQ(Times(index), (std::vector<double>{0.0, 0.72, 3.12, 3.52}));

  const std::string mpeg4 =
      mediatest::MakeMedia("mpeg4.mkv", mediatest::QuadrantInput(64, 48, 1.0) + " -c:v mpeg4");
  KeyframeIndex other;
  std::string error;
  EXPECT_FALSE(ReadKeyframeIndex(libraries_.Api, mpeg4, 0, other, error));
  EXPECT_EQ(error, "the source's video is neither H.264 nor HEVC");
  EXPECT_FALSE(ReadKeyframeIndex(libraries_.Api, mediatest::MediaDir().string() + "/none.mkv", 0,
                                 other, error));
  EXPECT_FALSE(ReadKeyframeIndex(libraries_.Api, mpeg4, 5, other, error));
}

// A cut parts the pictures shown before it from those shown after, in
// decoding order too: before each P-picture whose B-pictures follow it.
TEST(Cuts, OnlyWhereDecodingAndShowingOrderPartAlike) {
  EXPECT_EQ(CutsOf({0, 3, 1, 2, 6, 4, 5}), (std::vector<double>{1, 4}));
  EXPECT_EQ(CutsOf({0, 1, 2}), (std::vector<double>{1, 2}));
  // Times shown twice, or out of every order, part nothing twice.
  EXPECT_EQ(CutsOf({0, 2, 2, 1}), (std::vector<double>{1}));
  EXPECT_EQ(CutsOf({5, 4, 3}), (std::vector<double>{}));
  EXPECT_TRUE(CutsOf({}).empty());
  EXPECT_TRUE(CutsOf({1}).empty());
}

TEST_F(Index, EveryClosedKeyframeIsACutAndBPicturesAreNever) {
  const KeyframeIndex index = Read("cuts.mkv", "-c:v libx264 -g 50 -keyint_min 50 -bf 3");
  for (double keyframe : {2.0, 4.0, 6.0, 8.0})
    EXPECT_TRUE(std::binary_search(index.CutSeconds.begin(), index.CutSeconds.end(), keyframe))
        << keyframe;
  // Fewer cuts than pictures, since B-pictures come after the P-picture
  // they lean on; more than the keyframes.
  EXPECT_GT(index.CutSeconds.size(), 8u);
  EXPECT_LT(index.CutSeconds.size(), 150u);
  EXPECT_TRUE(std::is_sorted(index.CutSeconds.begin(), index.CutSeconds.end()));
  const KeyframeIndex plain = Read("cuts-plain.mkv", "-c:v libx264 -g 50 -bf 0");
  EXPECT_EQ(plain.CutSeconds.size(), 224u);
}
