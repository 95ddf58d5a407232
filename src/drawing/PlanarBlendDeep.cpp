// The ink blended into pictures of 10-bit samples. Its colours are composed
// in 8 bits as for any picture; the picture under it keeps its depth. An
// HDR picture takes each ink colour mapped into its own terms, which needs
// the whole colour at each sample: the luma and chroma of the ink are
// brought back from their premultiplied form and mapped together.
#include <algorithm>

#include "drawing/PlanarBlend.h"

namespace PLANARBLEND {
namespace {

uint16_t* SampleRow(const PLANARPICTURE::PlanarRows& planes, int plane, int32_t row) {
  return reinterpret_cast<uint16_t*>(planes.Data[plane] + ptrdiff_t(row) * planes.Stride[plane]);
}

// ink * alpha + under * (255 - alpha), / 255, rounded.
uint16_t Over(uint32_t ink, uint32_t under, int alpha) {
  return uint16_t((ink * uint32_t(alpha) + under * uint32_t(255 - alpha) + 127) / 255);
}

// The last colour mapped, kept: most ink is a few colours over many samples.
class MappedColour {
 public:
  explicit MappedColour(const PLANARPICTURE::InkColours& colours) : colours_(colours) {}
  const uint16_t* Of(uint8_t y, uint8_t u, uint8_t v) {
    if (!known_ || y != yuv_[0] || u != yuv_[1] || v != yuv_[2]) {
      yuv_[0] = y;
      yuv_[1] = u;
      yuv_[2] = v;
      colours_.Map(yuv_, out_);
      known_ = true;
    }
    return out_;
  }

 private:
  const PLANARPICTURE::InkColours& colours_;
  uint8_t yuv_[3] = {0, 0, 0};
  uint16_t out_[3] = {0, 0, 0};
  bool known_ = false;
};

}  // namespace

uint8_t PlanarBlendPicture::Plane::InkAt(int32_t row, int32_t x, int& alpha) const {
  alpha = 0;
  if (row < 0 || row >= Height || !RowInked(row)) return 0;
  const size_t r = size_t(row);
  if (x < Begin[r] || x >= End[r]) return 0;
  const size_t at = Offset(row, x);
  alpha = 255 - Rest[at];
  if (alpha == 0) return 0;
  return uint8_t(std::min((Colour[at] * 255 + alpha / 2) / alpha, 255));
}

void PlanarBlendPicture::BlendDeep(const PLANARPICTURE::PlanarRows& planes,
                                   PLANARPICTURE::RowBand band) const {
  const int widen = std::clamp(planes.BitDepth - 8, 0, 8);
  for (int p = 0; p < 3; ++p) {
    const int shift = p == 0 ? 0 : 1;
    const Plane& plane = planes_[p];
    const int32_t first = std::max(band.Top >> shift, 0);
    const int32_t end = std::min((band.Top + band.Count) >> shift, plane.Height);
    for (int32_t row = first; row < end; ++row) {
      if (!plane.RowInked(row)) continue;
      uint16_t* target = SampleRow(planes, p, row);
      const size_t r = size_t(row);
      for (int32_t x = plane.Begin[r]; x < plane.End[r]; ++x) {
        const size_t at = plane.Offset(row, x);
        const uint32_t rest = plane.Rest[at];
        if (rest == 255) continue;
        target[x] = uint16_t((uint32_t(plane.Colour[at]) << widen) +
                             (uint32_t(target[x]) * rest + 127) / 255);
      }
    }
  }
}

void PlanarBlendPicture::BlendDeepMapped(const PLANARPICTURE::PlanarRows& planes,
                                         PLANARPICTURE::RowBand band) const {
  const int32_t first = std::max(band.Top, 0);
  const int32_t end = std::min(band.Top + band.Count, planes_[0].Height);
  for (int32_t row = first; row < end; ++row) MappedLuma(planes, row);
  for (int32_t row = first >> 1; row < std::min(end >> 1, planes_[1].Height); ++row)
    MappedChroma(planes, row);
}

void PlanarBlendPicture::MappedLuma(const PLANARPICTURE::PlanarRows& planes, int32_t row) const {
  const Plane& luma = planes_[0];
  if (!luma.RowInked(row)) return;
  MappedColour mapped(*planes.Colours);
  uint16_t* target = SampleRow(planes, 0, row);
  const size_t r = size_t(row);
  for (int32_t x = luma.Begin[r]; x < luma.End[r]; ++x) {
    int alpha = 0, chromaAlpha = 0;
    const uint8_t y = luma.InkAt(row, x, alpha);
    if (alpha == 0) continue;
    uint8_t u = planes_[1].InkAt(row >> 1, x >> 1, chromaAlpha);
    uint8_t v = planes_[2].InkAt(row >> 1, x >> 1, chromaAlpha);
    if (chromaAlpha == 0) u = v = 128;
    target[x] = Over(mapped.Of(y, u, v)[0], target[x], alpha);
  }
}

// A chroma sample's ink takes the luma of the ink over its four samples.
void PlanarBlendPicture::MappedChroma(const PLANARPICTURE::PlanarRows& planes, int32_t row) const {
  const Plane& blue = planes_[1];
  if (!blue.RowInked(row)) return;
  MappedColour mapped(*planes.Colours);
  uint16_t* targets[2] = {SampleRow(planes, 1, row), SampleRow(planes, 2, row)};
  const size_t r = size_t(row);
  for (int32_t x = blue.Begin[r]; x < blue.End[r]; ++x) {
    int alpha = 0;
    const uint8_t u = blue.InkAt(row, x, alpha);
    if (alpha == 0) continue;
    int redAlpha = 0;
    const uint8_t v = planes_[2].InkAt(row, x, redAlpha);
    uint32_t sum = 0, weight = 0;
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) {
        int lumaAlpha = 0;
        const uint8_t y = planes_[0].InkAt(2 * row + dy, 2 * x + dx, lumaAlpha);
        sum += uint32_t(y) * uint32_t(lumaAlpha);
        weight += uint32_t(lumaAlpha);
      }
    const uint8_t y = weight > 0 ? uint8_t((sum + weight / 2) / weight) : 126;
    const uint16_t* out = mapped.Of(y, u, redAlpha > 0 ? v : 128);
    targets[0][x] = Over(out[1], targets[0][x], alpha);
    if (redAlpha > 0) targets[1][x] = Over(out[2], targets[1][x], redAlpha);
  }
}

}  // namespace PLANARBLEND
