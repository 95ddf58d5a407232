#include "drawing/HdrInk.h"

#include <algorithm>
#include <cmath>

#include "picture/PictureColour.h"
#include "picture/TransferCurves.h"

namespace HDRINK {
namespace {

// BT.2087: linear BT.709 light into BT.2020 primaries.
constexpr double k709To2020[3][3] = {
    {0.627404, 0.329283, 0.043313}, {0.069097, 0.919540, 0.011362}, {0.016391, 0.088013, 0.895595}};
constexpr double kKr2020 = 0.2627, kKb2020 = 0.0593;
constexpr double kHlgPeakNits = 1000.0, kHlgSystemGamma = 1.2;

uint16_t VideoLevel(double value, double offset, double scale) {
  return uint16_t(std::clamp(std::lround(offset + value * scale), 0L, 1023L));
}

}  // namespace

HdrInkColours::HdrInkColours(int transfer, double nits)
    : pq_(transfer != PICTURECOLOUR::kTransferHlg),
      nits_(std::clamp(std::isfinite(nits) ? nits : kReferenceWhiteNits, kLeastNits, kMostNits)) {}

double HdrInkColours::Linear(double value) const {
  return std::pow(std::clamp(value, 0.0, 1.0), 2.4);  // BT.1886 on a display of black 0
}

// PQ takes display light straight. HLG's signal is scene light, which its
// reference display (1000 cd/m2, system gamma 1.2) shows through the OOTF;
// the inverse OOTF brings the wanted display light back to the scene.
void HdrInkColours::Encode(const double light[3], double signal[3]) const {
  if (pq_) {
    for (int i = 0; i < 3; ++i) signal[i] = TRANSFERCURVES::PqSignalOf(light[i] * nits_);
    return;
  }
  double display[3];
  for (int i = 0; i < 3; ++i) display[i] = light[i] * nits_ / kHlgPeakNits;
  const double luminance =
      kKr2020 * display[0] + (1 - kKr2020 - kKb2020) * display[1] + kKb2020 * display[2];
  const double gain =
      luminance > 0 ? std::pow(luminance, (1 - kHlgSystemGamma) / kHlgSystemGamma) : 0.0;
  for (int i = 0; i < 3; ++i) signal[i] = TRANSFERCURVES::HlgSignalOf(display[i] * gain);
}

// The ink comes coded as every drawing here codes it: BT.601 on 8-bit video
// levels.
void HdrInkColours::Map(const uint8_t yuv[3], uint16_t out[3]) const {
  constexpr double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
  const double y = (yuv[0] - 16) / 219.0, cb = (yuv[1] - 128) / 224.0, cr = (yuv[2] - 128) / 224.0;
  const double red = y + 2 * (1 - kr) * cr, blue = y + 2 * (1 - kb) * cb;
  const double sdr[3] = {Linear(red), Linear((y - kr * red - kb * blue) / kg), Linear(blue)};
  double light[3], signal[3];
  for (int i = 0; i < 3; ++i)
    light[i] = k709To2020[i][0] * sdr[0] + k709To2020[i][1] * sdr[1] + k709To2020[i][2] * sdr[2];
  Encode(light, signal);
  const double luma =
      kKr2020 * signal[0] + (1 - kKr2020 - kKb2020) * signal[1] + kKb2020 * signal[2];
  out[0] = VideoLevel(luma, 64, 876);
  out[1] = VideoLevel((signal[2] - luma) / (2 * (1 - kKb2020)), 512, 896);
  out[2] = VideoLevel((signal[0] - luma) / (2 * (1 - kKr2020)), 512, 896);
}

}  // namespace HDRINK
