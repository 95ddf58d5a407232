// The tone curve that brings HDR to SDR: black kept, reference white at SDR
// white, highlights compressed in order up to the source's peak, and the
// peak taken from what the source states.
#include <gtest/gtest.h>

#include <utility>

#include "media/private/ToneMapper.h"

namespace {

using VELAVCODEC::ToneCurve;

// 8-bit BT.709 luma of a neutral 10-bit code.
double Luma(const ToneCurve& curve, int code) {
  double out[3];
  curve.Map((code - 64) / 876.0, 0, 0, out);
  EXPECT_NEAR(out[1], 128, 0.01);
  EXPECT_NEAR(out[2], 128, 0.01);
  return out[0];
}

}  // namespace

TEST(ToneCurveTest, BlackStaysWhiteIsWhiteAndHighlightsKeepTheirOrder) {
  // Reference white (203 cd/m2) at 98% of the signal for a 1000 cd/m2
  // master; a brighter master's knee starts lower, to keep its highlights
  // apart, and puts it a little lower.
  for (const auto [peak, white] : {std::pair{1000.0, 228.0}, std::pair{4000.0, 208.0}}) {
    const ToneCurve pq(PICTURECOLOUR::kTransferPq, peak);
    EXPECT_NEAR(Luma(pq, 64), 16, 0.5) << peak;
    EXPECT_GE(Luma(pq, 573), white) << peak;
    EXPECT_LE(Luma(pq, 573), 236) << peak;
    // Up to the peak every step is brighter; nothing passes super-white.
    double last = 0;
    for (int code = 64; code <= 940; code += 4) {
      const double value = Luma(pq, code);
      EXPECT_GE(value, last) << peak << " " << code;
      EXPECT_LE(value, 16 + 219 * 1.09 + 1e-6) << peak << " " << code;
      last = value;
    }
    EXPECT_GT(Luma(pq, 723) - Luma(pq, 636), 2) << peak;  // 1000 against 400
  }
  // Below the knee the curve leaves the light as it is: 50 cd/m2 is 50.
  const ToneCurve pq(PICTURECOLOUR::kTransferPq, 1000);
  EXPECT_NEAR(pq.Eetf(50), 50, 0.5);
  EXPECT_LT(pq.Eetf(1000), pq.TargetPeak() + 0.5);

  // HLG's reference white (0.75 of the signal) is white too.
  const ToneCurve hlg(PICTURECOLOUR::kTransferHlg, 1000);
  EXPECT_NEAR(Luma(hlg, 64), 16, 0.5);
  EXPECT_GE(Luma(hlg, 721), 220);
}

TEST(ToneCurveTest, ColoursKeepTheirHueAndStayInRange) {
  const ToneCurve pq(PICTURECOLOUR::kTransferPq, 1000);
  double out[3];
  // BT.2020 red at about 200 cd/m2: still red, well inside the codes.
  pq.Map(0.45, -0.15, 0.45, out);
  EXPECT_GT(out[2], 200);
  EXPECT_LT(out[1], 128);
  for (const double value : out) {
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 255);
  }
}

TEST(ToneCurveTest, ThePeakComesFromTheSourcesMetadata) {
  PICTURECOLOUR::PictureForm form;
  form.Transfer = PICTURECOLOUR::kTransferPq;
  EXPECT_EQ(VELAVCODEC::SourcePeakNits(form), 1000);
  form.Hdr.Mastering = {true, {34000, 13250, 7500}, {16000, 34500, 3000}, 15635, 16450, 40000000,
                        50};
  EXPECT_EQ(VELAVCODEC::SourcePeakNits(form), 4000);
  form.Hdr.Light = {true, 1500, 400};
  EXPECT_EQ(VELAVCODEC::SourcePeakNits(form), 1500);
  form.Hdr.Light.MaxCll = 10;  // held to its range
  EXPECT_EQ(VELAVCODEC::SourcePeakNits(form), 400);
  form.Transfer = PICTURECOLOUR::kTransferHlg;
  EXPECT_EQ(VELAVCODEC::SourcePeakNits(form), 1000);
}
