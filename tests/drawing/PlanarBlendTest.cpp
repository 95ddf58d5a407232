// The planar blend picture: coverage bitmaps composed and blended straight
// into YUV planes give what the BGR picture gives once the frame is
// converted, and write nothing outside the band they are given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "compressors/CompressorYuv.h"
#include "drawing/PlanarBlend.h"
#include "drawing/SubtitleBlend.h"
#include "picture/BmpFrame.h"
#include "support/PlanarRows.h"

namespace {

constexpr int kWidth = 96, kHeight = 64;

struct Planes {
  std::vector<uint8_t> Y = std::vector<uint8_t>(kWidth * kHeight);
  std::vector<uint8_t> U = std::vector<uint8_t>(kWidth * kHeight / 4);
  std::vector<uint8_t> V = std::vector<uint8_t>(kWidth * kHeight / 4);
  PLANARPICTURE::PlanarRows Rows() { return TESTSUPPORT::PlanarRowsOf(Y, U, V, kWidth); }
  // The luma rows that differ from another's.
  std::vector<int> ChangedRows(const Planes& other) const {
    std::vector<int> rows;
    for (int y = 0; y < kHeight; ++y)
      if (!std::equal(Y.begin() + y * kWidth, Y.begin() + (y + 1) * kWidth,
                      other.Y.begin() + y * kWidth))
        rows.push_back(y);
    return rows;
  }
  bool operator==(const Planes&) const = default;
};

// A background that changes slowly, so that a chroma block's mean colour and
// its pixels' colours are close.
void PaintBackground(BMPFRAME::BmpFrame& frame) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = frame.Row(y) + 3 * x;
      p[0] = uint8_t(40 + x);
      p[1] = uint8_t(90 + y);
      p[2] = uint8_t(200 - x / 2);
    }
}

Planes Converted(const BMPFRAME::BmpFrame& frame) {
  Planes planes;
  const PLANARPICTURE::PlanarRows rows = planes.Rows();
  const COMPRESSOR::YuvPlanes target{{rows.Data[0], rows.Data[1], rows.Data[2]},
                                     {rows.Stride[0], rows.Stride[1], rows.Stride[2]}};
  COMPRESSOR::BgrToYuv420(frame.Row(kHeight - 1), -ptrdiff_t(frame.Stride()), kWidth, 0, kHeight,
                          COMPRESSOR::YuvRange::Limited, target);
  return planes;
}

// A bitmap with soft edges, as a drawn glyph has.
struct Bitmap {
  SUBTITLEBLEND::CoverageImage Image;
  std::vector<uint8_t> Bytes;
  Bitmap(int left, int top, int width, int height, uint8_t red, uint8_t green, uint8_t blue,
         uint8_t opacity) {
    const int stride = width + 5;  // rows apart by more than their width
    Bytes.assign(size_t(stride) * height, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int edge = std::min({x, y, width - 1 - x, height - 1 - y});
        Bytes[size_t(y) * stride + x] = uint8_t(std::min(255, 60 * edge + ((x * 7 + y) % 3) * 20));
      }
    Image = {left, top, width, height, stride, Bytes.data(), blue, green, red, opacity};
  }
};

int WorstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

TEST(PlanarBlend, GivesWhatTheBgrPictureGivesOnceConverted) {
  // Overlapping, half opaque, and hanging off every edge.
  const Bitmap bitmaps[] = {
      {10, 30, 50, 20, 255, 255, 255, 255}, {20, 35, 40, 16, 200, 30, 30, 128},
      {-7, -5, 30, 21, 20, 220, 40, 255},   {81, 41, 30, 40, 30, 40, 230, 200},
      {33, 11, 1, 1, 255, 255, 0, 255},
  };
  BMPFRAME::BmpFrame frame;
  ASSERT_TRUE(frame.Allocate(kWidth, kHeight));
  PaintBackground(frame);
  Planes planar = Converted(frame);
  const Planes bare = planar;

  SUBTITLEBLEND::BlendPicture bgr;
  PLANARBLEND::PlanarBlendPicture ink;
  ASSERT_TRUE(bgr.Allocate(kWidth, kHeight));
  ASSERT_TRUE(ink.Allocate(kWidth, kHeight));
  bgr.BeginComposite();
  ink.BeginComposite();
  for (const Bitmap& bitmap : bitmaps) {
    const SUBTITLEBLEND::CoverageImage& i = bitmap.Image;
    bgr.Composite(i);
    ink.Composite(i, PLANARBLEND::VideoLevelsOf(i.Red, i.Green, i.Blue, false));
  }
  bgr.EndComposite();
  bgr.Blend(frame.data(), 0);
  ASSERT_FALSE(ink.empty());
  EXPECT_EQ(ink.Band().Top, 0);
  EXPECT_EQ(ink.Band().Count, kHeight);
  ink.BlendInto(planar.Rows(), ink.Band());

  const Planes expected = Converted(frame);
  EXPECT_GT(WorstDifference(expected.Y, bare.Y), 100);  // the text is there
  EXPECT_LE(WorstDifference(planar.Y, expected.Y), 2);
  EXPECT_LE(WorstDifference(planar.U, expected.U), 4);
  EXPECT_LE(WorstDifference(planar.V, expected.V), 4);
}

TEST(PlanarBlend, WritesOnlyTheBandAndForgetsTheLastComposite) {
  PLANARBLEND::PlanarBlendPicture ink;
  ASSERT_TRUE(ink.Allocate(kWidth, kHeight));
  EXPECT_TRUE(ink.empty());
  const Bitmap first(4, 13, 40, 9, 255, 255, 255, 255);
  ink.BeginComposite();
  ink.Composite(first.Image, {235, 128, 128});
  // Rows 13 .. 21 widened to even rows.
  EXPECT_EQ(ink.Band().Top, 12);
  EXPECT_EQ(ink.Band().Count, 10);

  Planes planes;
  std::fill(planes.Y.begin(), planes.Y.end(), 50);
  std::fill(planes.U.begin(), planes.U.end(), 100);
  std::fill(planes.V.begin(), planes.V.end(), 150);
  const Planes bare = planes;
  // Half the ink's band: rows 12 .. 15 change (12 is bare), the rows after stay.
  ink.BlendInto(planes.Rows(), {12, 4});
  EXPECT_EQ(planes.ChangedRows(bare), (std::vector<int>{13, 14, 15}));

  // A new drawing lower down: the first one's rows are bare again.
  const Bitmap second(50, 44, 20, 6, 255, 0, 0, 255);
  ink.BeginComposite();
  ink.Composite(second.Image, {81, 90, 240});
  EXPECT_EQ(ink.Band().Top, 44);
  EXPECT_EQ(ink.Band().Count, 6);
  Planes again = bare;
  ink.BlendInto(again.Rows(), {0, kHeight});
  EXPECT_EQ(again.ChangedRows(bare), (std::vector<int>{44, 45, 46, 47, 48, 49}));
  EXPECT_NE(again.V, bare.V);

  // Over the first drawing's place again: as a fresh picture draws it.
  const Bitmap third(10, 14, 20, 4, 255, 255, 255, 128);
  PLANARBLEND::PlanarBlendPicture fresh;
  ASSERT_TRUE(fresh.Allocate(kWidth, kHeight));
  for (PLANARBLEND::PlanarBlendPicture* picture : {&ink, &fresh}) {
    picture->BeginComposite();
    picture->Composite(third.Image, {235, 128, 128});
  }
  Planes reused = bare, made = bare;
  ink.BlendInto(reused.Rows(), {0, kHeight});
  fresh.BlendInto(made.Rows(), {0, kHeight});
  EXPECT_TRUE(reused == made);

  // Nothing covered at all: no ink, nothing written.
  const Bitmap outside(kWidth + 3, 2, 10, 10, 255, 255, 255, 255);
  ink.BeginComposite();
  ink.Composite(outside.Image, {235, 128, 128});
  EXPECT_TRUE(ink.empty());
  EXPECT_EQ(ink.Band().Count, 0);
  Planes untouched = bare;
  ink.BlendInto(untouched.Rows(), {0, kHeight});
  EXPECT_TRUE(untouched == bare);
}

TEST(PlanarBlend, ColoursAreCodedOnVideoLevels) {
  const auto expect = [](PLANARBLEND::YuvColour got, int y, int u, int v) {
    EXPECT_EQ(got.Y, y);
    EXPECT_EQ(got.U, u);
    EXPECT_EQ(got.V, v);
  };
  expect(PLANARBLEND::VideoLevelsOf(255, 255, 255, false), 235, 128, 128);
  expect(PLANARBLEND::VideoLevelsOf(0, 0, 0, true), 16, 128, 128);
  expect(PLANARBLEND::VideoLevelsOf(255, 0, 0, false), 81, 90, 240);
  expect(PLANARBLEND::VideoLevelsOf(255, 0, 0, true), 63, 102, 240);
  expect(PLANARBLEND::VideoLevelsOf(0, 0, 255, false), 41, 240, 110);
}

TEST(PlanarBlend, OddSidesAreRefused) {
  PLANARBLEND::PlanarBlendPicture ink;
  EXPECT_FALSE(ink.Allocate(kWidth + 1, kHeight));
  EXPECT_FALSE(ink.Allocate(kWidth, 0));
  EXPECT_EQ(ink.Width(), 0);
}

}  // namespace
