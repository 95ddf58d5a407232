// The bars found from sampled pictures: never into the picture, whatever
// dark scenes or noise the samples hold.
#include "picture/PictureExtent.h"

#include <gtest/gtest.h>

#include <vector>

using namespace PICTUREEXTENT;

namespace {

// A luma plane of black with a lit rectangle, in 8 or 16-bit samples.
struct Plane {
  int width, height, depth;
  std::vector<uint8_t> bytes;
  Plane(int w, int h, int bits = 8, int black = 16)
      : width(w), height(h), depth(bits), bytes(size_t(w) * h * (bits > 8 ? 2 : 1)) {
    Fill(0, 0, w, h, black << (bits - 8));
  }
  void Set(int x, int y, int value) {
    if (depth > 8) {
      bytes[(size_t(y) * width + x) * 2] = uint8_t(value);
      bytes[(size_t(y) * width + x) * 2 + 1] = uint8_t(value >> 8);
    } else {
      bytes[size_t(y) * width + x] = uint8_t(value);
    }
  }
  void Fill(int x0, int y0, int w, int h, int value) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Set(x, y, value);
  }
  ptrdiff_t Stride() const { return ptrdiff_t(width) * (depth > 8 ? 2 : 1); }
  void AddTo(ExtentFinder& finder, bool fullRange = false) const {
    finder.AddPicture(bytes.data(), Stride(), width, height, depth, fullRange);
  }
};

}  // namespace

TEST(PictureExtentTest, LetterboxAndPillarboxAreFound) {
  ExtentFinder letterbox(64, 48);
  Plane film(64, 48);
  film.Fill(0, 7, 64, 33, 120);  // rows 7..39: odd edges widen outward
  film.AddTo(letterbox);
  EXPECT_EQ(letterbox.Extent(), (Rect{0, 6, 64, 34}));
  EXPECT_STREQ(BarsText(letterbox.Extent(), 64, 48), "black bars above and below");

  ExtentFinder pillarbox(64, 48);
  Plane narrow(64, 48);
  narrow.Fill(8, 0, 48, 48, 200);
  narrow.AddTo(pillarbox);
  EXPECT_EQ(pillarbox.Extent(), (Rect{8, 0, 48, 48}));
  EXPECT_STREQ(BarsText(pillarbox.Extent(), 64, 48), "black bars left and right");
}

TEST(PictureExtentTest, DarkScenesAndSpecksNeverNarrowThePicture) {
  ExtentFinder finder(64, 48);
  Plane black(64, 48);
  black.AddTo(finder);  // the film opens on black
  EXPECT_EQ(finder.Lit(), 0);
  EXPECT_EQ(finder.Extent(), (Rect{0, 0, 64, 48}));
  EXPECT_STREQ(BarsText(finder.Extent(), 64, 48), "no black bars");
  Plane lamp(64, 48);
  lamp.Fill(20, 20, 8, 8, 230);  // a dark scene with one light in it
  lamp.Set(1, 1, 255);           // and a speck of noise in the bar
  lamp.AddTo(finder);
  EXPECT_EQ(finder.Extent(), (Rect{20, 20, 8, 8}));
  Plane scene(64, 48);
  scene.Fill(0, 6, 64, 36, 90);
  scene.AddTo(finder);
  EXPECT_EQ(finder.Extent(), (Rect{0, 6, 64, 36}));
  EXPECT_EQ(finder.Lit(), 2);
  // Noise just above black is no picture.
  ExtentFinder noisy(64, 48);
  Plane grain(64, 48);
  grain.Fill(0, 0, 64, 48, 16 + 20);
  grain.Fill(0, 10, 64, 28, 100);
  grain.AddTo(noisy);
  EXPECT_EQ(noisy.Extent(), (Rect{0, 10, 64, 28}));
}

TEST(PictureExtentTest, DeepAndFullRangeSamplesAndOddFrames) {
  ExtentFinder deep(32, 24);
  Plane ten(32, 24, 10);
  ten.Fill(0, 4, 32, 16, 16 * 4 + 20 * 4);  // below the noise in 10 bits
  ten.Fill(0, 6, 32, 12, 400);
  ten.AddTo(deep);
  EXPECT_EQ(deep.Extent(), (Rect{0, 6, 32, 12}));

  // On full range black is 0: a sample of 30 is picture there.
  ExtentFinder full(32, 24);
  Plane range(32, 24, 8, 0);
  range.Fill(0, 2, 32, 20, 30);
  range.AddTo(full, true);
  EXPECT_EQ(full.Extent(), (Rect{0, 2, 32, 20}));

  // An odd frame lit to its edges keeps an even size inside it.
  ExtentFinder odd(33, 25);
  Plane whole(33, 25);
  whole.Fill(0, 0, 33, 25, 150);
  whole.AddTo(odd);
  EXPECT_EQ(odd.Extent(), (Rect{0, 0, 32, 24}));
  EXPECT_STREQ(BarsText(odd.Extent(), 33, 25), "no black bars");
  // A picture of another size says nothing.
  Plane other(32, 24);
  other.AddTo(odd);
  EXPECT_EQ(odd.Lit(), 1);
  EXPECT_STREQ(BarsText({0, 2, 32, 20}, 32, 24), "black bars above and below");
  EXPECT_STREQ(BarsText({0, 0, 32, 20}, 32, 24), "a black bar below");
  EXPECT_STREQ(BarsText({2, 2, 28, 20}, 32, 24), "black bars on every side");
}
