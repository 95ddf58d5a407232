// Ink for deep and HDR pictures: the PQ and HLG curves at the points the
// standards fix, subtitle colours mapped to reference white, the ink
// widened or mapped into 10-bit planes with the picture under it kept, and
// planar ink captured from a drawing that only knows BGR.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "drawing/HdrInk.h"
#include "drawing/InkCapture.h"
#include "drawing/PlanarBlend.h"
#include "picture/PictureColour.h"
#include "picture/TransferCurves.h"

namespace {

constexpr int kWidth = 32, kHeight = 16;

std::array<uint16_t, 3> Mapped(const HDRINK::HdrInkColours& colours, uint8_t y, uint8_t u,
                               uint8_t v) {
  const uint8_t yuv[3] = {y, u, v};
  std::array<uint16_t, 3> out{};
  colours.Map(yuv, out.data());
  return out;
}

// 10-bit planes filled with one value each.
struct DeepPlanes {
  std::vector<uint16_t> Y, U, V;
  explicit DeepPlanes(uint16_t luma = 100, uint16_t chroma = 512)
      : Y(kWidth * kHeight, luma),
        U(kWidth * kHeight / 4, chroma),
        V(kWidth * kHeight / 4, chroma) {}
  PLANARPICTURE::PlanarRows Rows(const PLANARPICTURE::InkColours* colours = nullptr) {
    PLANARPICTURE::PlanarRows rows;
    rows.Data[0] = reinterpret_cast<uint8_t*>(Y.data());
    rows.Data[1] = reinterpret_cast<uint8_t*>(U.data());
    rows.Data[2] = reinterpret_cast<uint8_t*>(V.data());
    rows.Stride[0] = kWidth * 2;
    rows.Stride[1] = rows.Stride[2] = kWidth;  // half the samples, two bytes each
    rows.BitDepth = 10;
    rows.Colours = colours;
    return rows;
  }
};

// Premultiplied blue-green-red-alpha, top-down: an opaque white square at
// columns 4..11 of rows 4..11, and a half-covering white one at columns 20..27.
std::vector<uint8_t> TwoSquares() {
  std::vector<uint8_t> argb(kWidth * kHeight * 4, 0);
  for (int y = 4; y < 12; ++y)
    for (int x = 0; x < 8; ++x) {
      std::memset(&argb[(y * kWidth + 4 + x) * 4], 255, 4);
      uint8_t* half = &argb[(y * kWidth + 20 + x) * 4];
      half[0] = half[1] = half[2] = half[3] = 128;
    }
  return argb;
}

}  // namespace

TEST(HdrCurvesTest, PqAndHlgMeetTheStandardsPoints) {
  EXPECT_NEAR(TRANSFERCURVES::PqSignalOf(10000), 1.0, 1e-9);
  EXPECT_NEAR(TRANSFERCURVES::PqSignalOf(0), 0.0, 1e-5);
  EXPECT_NEAR(TRANSFERCURVES::PqSignalOf(100), 0.5081, 5e-4);
  EXPECT_NEAR(TRANSFERCURVES::PqSignalOf(203), 0.5806, 5e-4);  // BT.2408's 58%
  EXPECT_NEAR(TRANSFERCURVES::PqSignalOf(1000), 0.7518, 5e-4);
  EXPECT_NEAR(TRANSFERCURVES::HlgSignalOf(1.0 / 12), 0.5, 1e-9);
  EXPECT_NEAR(TRANSFERCURVES::HlgSignalOf(1.0), 1.0, 1e-6);
  EXPECT_NEAR(TRANSFERCURVES::HlgSignalOf(0.0), 0.0, 1e-9);
}

TEST(HdrInkColoursTest, WhiteLandsAtReferenceWhiteAndColoursKeepTheirHue) {
  const HDRINK::HdrInkColours pq(PICTURECOLOUR::kTransferPq, HDRINK::kReferenceWhiteNits);
  const auto white = Mapped(pq, 235, 128, 128);
  EXPECT_NEAR(white[0], 572, 2);
  EXPECT_NEAR(white[1], 512, 1);
  EXPECT_NEAR(white[2], 512, 1);
  EXPECT_NEAR(Mapped(pq, 16, 128, 128)[0], 64, 1);
  // Red (BT.601 coded) stays red: Cr far above neutral, and dimmer than white.
  const auto red = Mapped(pq, 81, 90, 240);
  EXPECT_GT(red[2], 600);
  EXPECT_LT(red[0], white[0] - 100);
  // Grey is darker than white in PQ, but far from black.
  const auto grey = Mapped(pq, 126, 128, 128);
  EXPECT_GT(grey[0], 300);
  EXPECT_LT(grey[0], white[0]);

  const HDRINK::HdrInkColours hlg(PICTURECOLOUR::kTransferHlg, HDRINK::kReferenceWhiteNits);
  EXPECT_NEAR(Mapped(hlg, 235, 128, 128)[0], 721, 2);

  // The level is held to its range; what is not a number is the default.
  const HDRINK::HdrInkColours bright(PICTURECOLOUR::kTransferPq, 1e9);
  const HDRINK::HdrInkColours peak(PICTURECOLOUR::kTransferPq, HDRINK::kMostNits);
  EXPECT_EQ(Mapped(bright, 235, 128, 128), Mapped(peak, 235, 128, 128));
  const HDRINK::HdrInkColours unknown(PICTURECOLOUR::kTransferPq, std::nan(""));
  EXPECT_EQ(Mapped(unknown, 235, 128, 128), white);
}

TEST(DeepBlendTest, InkIsWidenedOrMappedAndThePictureElsewhereKept) {
  PLANARBLEND::PlanarBlendPicture ink;
  ASSERT_TRUE(ink.Allocate(kWidth, kHeight));
  const std::vector<uint8_t> argb = TwoSquares();
  ink.StoreArgb(argb.data(), kWidth * 4, 0, 0, kWidth, kHeight);

  DeepPlanes widened;
  ink.BlendInto(widened.Rows(), ink.Band());
  EXPECT_EQ(widened.Y[8 * kWidth + 8], 940);  // 235 in 10 bits
  // Half white over 100: halfway, within rounding.
  EXPECT_NEAR(widened.Y[8 * kWidth + 24], (940 + 100) / 2, 8);
  EXPECT_EQ(widened.Y[8 * kWidth + 16], 100);
  EXPECT_EQ(widened.Y[1 * kWidth + 8], 100);
  EXPECT_EQ(widened.U[4 * kWidth / 2 + 4], 512);

  const HDRINK::HdrInkColours pq(PICTURECOLOUR::kTransferPq, HDRINK::kReferenceWhiteNits);
  DeepPlanes mapped;
  ink.BlendInto(mapped.Rows(&pq), ink.Band());
  EXPECT_NEAR(mapped.Y[8 * kWidth + 8], 572, 2);
  EXPECT_NEAR(mapped.U[4 * kWidth / 2 + 4], 512, 1);
  // The half-covering white is mapped as white, then half laid over the
  // picture (not mapped as the grey its premultiplied value reads as).
  EXPECT_NEAR(mapped.Y[8 * kWidth + 24], (572 + 100) / 2, 8);
  // Outside the ink, and outside the band asked for, nothing changes.
  EXPECT_EQ(mapped.Y[8 * kWidth + 16], 100);
  DeepPlanes banded;
  ink.BlendInto(banded.Rows(&pq), {4, 2});
  EXPECT_NEAR(banded.Y[5 * kWidth + 8], 572, 2);
  EXPECT_EQ(banded.Y[8 * kWidth + 8], 100);
}

TEST(InkCaptureTest, ADrawingOverBgrComesBackAsTheInkItLaysDown) {
  INKCAPTURE::InkCapture capture;
  ASSERT_TRUE(capture.Allocate(kWidth, kHeight));
  // Bottom-up rows 2..5: opaque yellow at columns 2..9, and a 50% red wash at
  // columns 12..19.
  const auto draw = [](uint8_t* image) {
    BMPFRAME::BmpView frame(image);
    for (int row = 2; row < 6; ++row)
      for (int x = 0; x < 8; ++x) {
        uint8_t* solid = frame.Row(row) + 3 * (2 + x);
        solid[0] = 0;
        solid[1] = solid[2] = 255;
        uint8_t* wash = frame.Row(row) + 3 * (12 + x);
        wash[0] = uint8_t(wash[0] / 2);
        wash[1] = uint8_t(wash[1] / 2);
        wash[2] = uint8_t(wash[2] / 2 + 128);
      }
  };
  const PLANARBLEND::PlanarBlendPicture* ink = capture.Capture(draw, {2, 4});
  ASSERT_NE(ink, nullptr);
  EXPECT_EQ(ink->Band().Top, kHeight - 6);
  EXPECT_EQ(ink->Band().Count, 4);

  // The same ink stored directly, for comparison.
  std::vector<uint8_t> argb(kWidth * kHeight * 4, 0);
  for (int y = kHeight - 6; y < kHeight - 2; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t* solid = &argb[(y * kWidth + 2 + x) * 4];
      solid[0] = 0;
      solid[1] = solid[2] = solid[3] = 255;
      uint8_t* wash = &argb[(y * kWidth + 12 + x) * 4];
      wash[2] = 128;
      wash[3] = 128;
    }
  PLANARBLEND::PlanarBlendPicture expected;
  ASSERT_TRUE(expected.Allocate(kWidth, kHeight));
  expected.StoreArgb(argb.data(), kWidth * 4, 0, 0, kWidth, kHeight);

  DeepPlanes captured(300, 400), direct(300, 400);
  ink->BlendInto(captured.Rows(), {0, kHeight});
  expected.BlendInto(direct.Rows(), {0, kHeight});
  for (size_t i = 0; i < captured.Y.size(); ++i) ASSERT_NEAR(captured.Y[i], direct.Y[i], 4) << i;
  for (size_t i = 0; i < captured.V.size(); ++i) ASSERT_NEAR(captured.V[i], direct.V[i], 4) << i;
  EXPECT_NE(captured.Y[(kHeight - 4) * kWidth + 4], 300);
}
