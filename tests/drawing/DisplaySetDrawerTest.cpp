// Disc subtitle pictures drawn: where each bitmap's ink lands, in what
// colour, on a stretched canvas too, and for how long a set shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "drawing/DisplaySetDrawer.h"
#include "picture/BmpFrame.h"
#include "support/PlanarRows.h"

namespace {

using SUBTITLEBITMAPS::Bitmap;
using SUBTITLEBITMAPS::DisplaySet;

constexpr int kWidth = 192, kHeight = 108;
constexpr double kRate = 25.0;

// Hands over whatever the test queued, as a stream's reading would.
class QueuedSets : public DISPLAYSETDRAWER::SetFeed {
 public:
  explicit QueuedSets(bool untilNext = true) : untilNext_(untilNext) {}
  void Feed(int64_t, std::vector<DisplaySet>& sets) override {
    for (DisplaySet& set : queued) sets.push_back(std::move(set));
    queued.clear();
  }
  bool SetsLastUntilNext() const override { return untilNext_; }
  std::vector<DisplaySet> queued;

 private:
  bool untilNext_;
};

Bitmap Rectangle(int x, int y, int width, int height, uint32_t argb, uint8_t index = 1) {
  Bitmap bitmap;
  bitmap.X = x;
  bitmap.Y = y;
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.Stride = (width + 3) & ~3;
  bitmap.Indexes.assign(size_t(bitmap.Stride) * size_t(height), index);
  bitmap.Palette[1] = argb;
  return bitmap;
}

DisplaySet SetOf(int64_t startMs, std::vector<Bitmap> bitmaps, int canvasWidth = kWidth,
                 int canvasHeight = kHeight) {
  DisplaySet set;
  set.StartMs = startMs;
  set.CanvasWidth = canvasWidth;
  set.CanvasHeight = canvasHeight;
  set.Bitmaps = std::move(bitmaps);
  return set;
}

// The box of the picture's pixels that are not black, top row 0; empty
// when there are none.
struct Box {
  int Left = kWidth, Top = kHeight, Right = -1, Bottom = -1;
  bool empty() const { return Right < 0; }
};

class BlackPicture {
 public:
  BlackPicture() {
    frame.Allocate(kWidth, kHeight);
    std::fill(frame.Pixels(), frame.Pixels() + size_t(frame.Stride()) * kHeight, 0);
  }
  const uint8_t* At(int x, int y) const { return frame.Row(kHeight - 1 - y) + 3 * x; }
  Box Ink() const {
    Box box;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = At(x, y);
        if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
        box.Left = std::min(box.Left, x);
        box.Right = std::max(box.Right, x);
        box.Top = std::min(box.Top, y);
        box.Bottom = std::max(box.Bottom, y);
      }
    return box;
  }
  BMPFRAME::BmpFrame frame;
};

// What the drawer lays over a black picture at that time.
BlackPicture DrawnAt(DISPLAYSETDRAWER::DisplaySetDrawer& drawer, int64_t ms) {
  BlackPicture picture;
  const SUBTITLEDRAWER::Coverage coverage = drawer.Prepare(0, ms, false);
  if (coverage.Shows) drawer.DrawOnto(picture.frame.data());
  return picture;
}

bool ShowsAt(DISPLAYSETDRAWER::DisplaySetDrawer& drawer, int64_t ms) {
  return !DrawnAt(drawer, ms).Ink().empty();
}

}  // namespace

TEST(DisplaySetDrawerTest, BitmapsLandWhereTheStreamPutsThemInTheirPaletteColours) {
  QueuedSets feed;
  feed.queued.push_back(
      SetOf(0, {Rectangle(30, 20, 21, 11, 0xFFFF0000), Rectangle(100, 70, 10, 5, 0x80FFFFFF)}));
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, kWidth, kHeight, kRate);
  const BlackPicture drawn = DrawnAt(drawer, 40);
  const Box ink = drawn.Ink();
  EXPECT_EQ(ink.Left, 30);
  EXPECT_EQ(ink.Top, 20);
  EXPECT_EQ(ink.Right, 109);
  EXPECT_EQ(ink.Bottom, 74);
  const uint8_t* red = drawn.At(40, 25);
  EXPECT_EQ((std::vector<int>{red[0], red[1], red[2]}), (std::vector<int>{0, 0, 255}));
  // Half-transparent white over black.
  const uint8_t* grey = drawn.At(105, 72);
  EXPECT_NEAR(grey[1], 128, 2);
  EXPECT_EQ(drawn.At(60, 50)[2], 0);  // between the two
}

// The planar ink gives what the BGR drawing gives once converted: the same
// rows, and the BT.601 video levels of its colours.
TEST(DisplaySetDrawerTest, PlanarInkHoldsTheSameRectangleOnVideoLevels) {
  QueuedSets feed;
  feed.queued.push_back(SetOf(0, {Rectangle(30, 20, 20, 10, 0xFFFF0000)}));
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, kWidth, kHeight, kRate);
  const SUBTITLEDRAWER::Coverage coverage = drawer.Prepare(0, 0, true);
  ASSERT_TRUE(coverage.Shows);
  ASSERT_NE(coverage.PlanarInk, nullptr);
  std::vector<uint8_t> y(kWidth * kHeight, 16), u(kWidth * kHeight / 4, 128),
      v(kWidth * kHeight / 4, 128);
  coverage.PlanarInk->BlendInto(TESTSUPPORT::PlanarRowsOf(y, u, v, kWidth), {0, kHeight});
  EXPECT_NEAR(y[25 * kWidth + 35], 81, 1);  // 16 + 0.299 * 219
  EXPECT_NEAR(v[12 * (kWidth / 2) + 20], 240, 1);
  EXPECT_EQ(y[25 * kWidth + 29], 16);
  EXPECT_EQ(y[19 * kWidth + 35], 16);
  EXPECT_EQ(y[30 * kWidth + 35], 16);
  EXPECT_EQ(y[25 * kWidth + 50], 16);
}

// A 1920x1080 stream over a picture a tenth its size: the canvas is
// stretched, not cropped.
TEST(DisplaySetDrawerTest, AnotherCanvasIsStretchedOverThePicture) {
  QueuedSets feed;
  feed.queued.push_back(SetOf(0, {Rectangle(600, 900, 400, 100, 0xFFFFFF00)}, 1920, 1080));
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, kWidth, kHeight, kRate);
  const Box ink = DrawnAt(drawer, 0).Ink();
  EXPECT_NEAR(ink.Left, 60, 1);
  EXPECT_NEAR(ink.Right, 99, 1);
  EXPECT_NEAR(ink.Top, 90, 1);
  EXPECT_NEAR(ink.Bottom, 99, 1);
}

TEST(DisplaySetDrawerTest, ASetShowsUntilTheNextOrItsEnd) {
  QueuedSets untilNext(true);
  untilNext.queued.push_back(SetOf(1000, {Rectangle(10, 10, 8, 8, 0xFFFFFFFF)}));
  untilNext.queued.push_back(SetOf(30000, {}));  // clears
  DISPLAYSETDRAWER::DisplaySetDrawer pgs(untilNext, kWidth, kHeight, kRate);
  EXPECT_FALSE(ShowsAt(pgs, 999));
  EXPECT_TRUE(ShowsAt(pgs, 1000));
  EXPECT_TRUE(ShowsAt(pgs, 29999));  // no limit of its own
  EXPECT_FALSE(ShowsAt(pgs, 30000));

  QueuedSets timed(false);
  DisplaySet ended = SetOf(1000, {Rectangle(10, 10, 8, 8, 0xFFFFFFFF)});
  ended.EndMs = 2500;
  timed.queued.push_back(ended);
  timed.queued.push_back(SetOf(20000, {Rectangle(10, 10, 8, 8, 0xFFFFFFFF)}));
  DISPLAYSETDRAWER::DisplaySetDrawer dvd(timed, kWidth, kHeight, kRate);
  EXPECT_TRUE(ShowsAt(dvd, 2499));
  EXPECT_FALSE(ShowsAt(dvd, 2500));
  EXPECT_TRUE(ShowsAt(dvd, 29999));  // no end given: ten seconds
  EXPECT_FALSE(ShowsAt(dvd, 30000));
}

// A damaged stream's sets: out of order, colours never defined, objects
// past the canvas. What can be drawn is, within the picture.
TEST(DisplaySetDrawerTest, DamagedSetsDrawWhatTheyCanWithinThePicture) {
  QueuedSets feed;
  feed.queued.push_back(SetOf(5000, {Rectangle(0, 0, 4, 4, 0xFFFFFFFF)}));
  feed.queued.push_back(SetOf(1000, {Rectangle(180, 100, 50, 50, 0xFFFFFFFF)}));
  Bitmap undefined = Rectangle(40, 40, 10, 10, 0xFFFFFFFF, 9);  // index 9 has no colour
  feed.queued.push_back(SetOf(8000, {undefined}));
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, kWidth, kHeight, kRate);
  const Box clipped = DrawnAt(drawer, 2000).Ink();
  EXPECT_EQ(clipped.Left, 180);
  EXPECT_EQ(clipped.Top, 100);
  EXPECT_EQ(clipped.Right, kWidth - 1);
  EXPECT_EQ(clipped.Bottom, kHeight - 1);
  EXPECT_EQ(DrawnAt(drawer, 6000).Ink().Right, 3);
  EXPECT_TRUE(DrawnAt(drawer, 9000).Ink().empty());
  EXPECT_FALSE(drawer.Prepare(0, 9000, true).Shows);
}

// A still walks to its picture with Pass: the sets passed over go, and the
// one due shows as the job draws it.
TEST(DisplaySetDrawerTest, PassingPicturesLeavesTheDueSetAsTheJobHasIt) {
  QueuedSets feed;
  for (int k = 0; k < 50; ++k)
    feed.queued.push_back(SetOf(k * 200, {Rectangle(k, 0, 2, 2, 0xFFFFFFFF)}));
  DISPLAYSETDRAWER::DisplaySetDrawer drawer(feed, kWidth, kHeight, kRate);
  for (int frame = 0; frame < 100; ++frame) drawer.Pass(frame);
  // Picture 100 is at 4000 ms: set 20's.
  EXPECT_EQ(DrawnAt(drawer, 4000).Ink().Left, 20);
}
