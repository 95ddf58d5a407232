#pragma once

// Subtitle colours for an HDR picture. A subtitle is made for an SDR
// display (BT.709 primaries, BT.1886 gamma); drawn into a PQ or HLG picture
// with its code values kept, its white would land near the top of the
// range, far brighter than the picture's own whites. Here its white goes to
// the level graphics take in HDR (ITU-R BT.2408: 203 cd/m2, or what the
// user asks for), its colours into BT.2020 and the picture's transfer, and
// the result into 10-bit BT.2020 YCbCr on video levels.
#include <cstdint>

#include "picture/PlanarPicture.h"

namespace HDRINK {

constexpr double kReferenceWhiteNits = 203.0;
// Nits a subtitle's white may be set to; HLG's reference display peaks at
// 1000 cd/m2.
constexpr double kLeastNits = 10.0;
constexpr double kMostNits = 1000.0;

class HdrInkColours : public PLANARPICTURE::InkColours {
 public:
  // transfer: the picture's (H.273 code, PQ or HLG); nits: the subtitle's
  // white, held to kLeastNits .. kMostNits.
  HdrInkColours(int transfer, double nits);
  void Map(const uint8_t yuv[3], uint16_t out[3]) const override;

 private:
  // Display light of an SDR value (0..1), relative to its white.
  double Linear(double value) const;
  // Signal of a BT.2020 light relative to the subtitle's white.
  void Encode(const double light[3], double signal[3]) const;

  bool pq_;
  double nits_;
};

}  // namespace HDRINK
