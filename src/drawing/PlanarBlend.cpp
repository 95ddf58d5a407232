#include "drawing/PlanarBlend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "drawing/BlendKernels.h"

namespace PLANARBLEND {
namespace {

using BLENDKERNELS::Div255;

uint8_t Level(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

// Where picture row y, column x lies in the bitmap (both inside it).
const uint8_t* CoverageRow(const SUBTITLEBLEND::CoverageImage& image, int32_t y, int32_t x) {
  return image.Bitmap + size_t(y - image.Top) * size_t(image.Stride) + size_t(x - image.Left);
}

// Trims the bare ends of alpha[first .. last - 1].
void TrimBare(const uint8_t* alpha, int32_t& first, int32_t& last) {
  while (first < last && alpha[first] == 0) ++first;
  while (last > first && alpha[last - 1] == 0) --last;
}

// alpha = the mean of each 2x2 block of two rows of coverage, times the
// opacity / 255. The pairs of columns keep the compiler from vectorising
// this, so SSE2 does it by hand: the rows' rounded mean, then the columns'.
uint8_t BlockMean(const uint8_t* upper, const uint8_t* lower, uint8_t opacity, size_t k) {
  const int rows[2] = {(upper[2 * k] + lower[2 * k] + 1) >> 1,
                       (upper[2 * k + 1] + lower[2 * k + 1] + 1) >> 1};
  return uint8_t(Div255(uint16_t(((rows[0] + rows[1] + 1) >> 1) * opacity)));
}

void BlockMeans(const uint8_t* upper, const uint8_t* lower, uint8_t opacity, uint8_t* alpha,
                size_t n) {
  size_t k = 0;
#ifdef __SSE2__
  const __m128i low = _mm_set1_epi16(0xFF), half = _mm_set1_epi16(128);
  const __m128i scale = _mm_set1_epi16(opacity);
  for (; k + 8 <= n; k += 8) {
    const __m128i rows =
        _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + 2 * k)),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + 2 * k)));
    const __m128i mean = _mm_avg_epu16(_mm_and_si128(rows, low), _mm_srli_epi16(rows, 8));
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(mean, scale), half);
    const __m128i scaled = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(alpha + k), _mm_packus_epi16(scaled, scaled));
  }
#endif
  for (; k < n; ++k) alpha[k] = BlockMean(upper, lower, opacity, k);
}

}  // namespace

YuvColour VideoLevelsOf(double red, double green, double blue, bool bt709) {
  const double kr = bt709 ? 0.2126 : 0.299, kb = bt709 ? 0.0722 : 0.114;
  const double luma = kr * red + (1 - kr - kb) * green + kb * blue;
  return {Level(16 + luma * 219 / 255), Level(128 + (blue - luma) / (2 * (1 - kb)) * 224 / 255),
          Level(128 + (red - luma) / (2 * (1 - kr)) * 224 / 255)};
}

bool PlanarBlendPicture::Plane::Allocate(int32_t width, int32_t height) {
  // Left unwritten until a row is used, as the BGR picture's rows are.
  Colour.reset(new (std::nothrow) uint8_t[size_t(width) * size_t(height)]);
  Rest.reset(new (std::nothrow) uint8_t[size_t(width) * size_t(height)]);
  if (Colour == nullptr || Rest == nullptr) return false;
  Width = width;
  Height = height;
  Ready.assign(size_t(height), 0);
  Begin.assign(size_t(height), 0);
  End.assign(size_t(height), 0);
  DirtyTop = DirtyEnd = 0;
  return true;
}

void PlanarBlendPicture::Plane::ClearRow(int32_t row) {
  std::memset(ColourAt(row, 0), 0, size_t(Width));
  std::memset(RestAt(row, 0), 255, size_t(Width));
  Ready[size_t(row)] = 1;
  Begin[size_t(row)] = End[size_t(row)] = 0;
}

void PlanarBlendPicture::Plane::Touch(int32_t row, int32_t begin, int32_t end) {
  const size_t r = size_t(row);
  if (Ready[r] == 0) ClearRow(row);
  if (Begin[r] >= End[r]) {
    Begin[r] = begin;
    End[r] = end;
  } else {
    Begin[r] = std::min(Begin[r], begin);
    End[r] = std::max(End[r], end);
  }
  if (DirtyTop >= DirtyEnd) {
    DirtyTop = row;
    DirtyEnd = row + 1;
  } else {
    DirtyTop = std::min(DirtyTop, row);
    DirtyEnd = std::max(DirtyEnd, row + 1);
  }
}

// Only the inked columns of the inked rows are bare again.
void PlanarBlendPicture::Plane::ClearInk() {
  for (int32_t row = DirtyTop; row < DirtyEnd; ++row) {
    const size_t r = size_t(row);
    if (Begin[r] >= End[r]) continue;
    std::memset(ColourAt(row, Begin[r]), 0, size_t(End[r] - Begin[r]));
    std::memset(RestAt(row, Begin[r]), 255, size_t(End[r] - Begin[r]));
    Begin[r] = End[r] = 0;
  }
  DirtyTop = DirtyEnd = 0;
}

void PlanarBlendPicture::Plane::Blend(int32_t row, uint8_t* target) const {
  const size_t r = size_t(row);
  if (row < DirtyTop || row >= DirtyEnd || Begin[r] >= End[r]) return;
  const size_t at = Offset(row, Begin[r]);
  BLENDKERNELS::BlendBytes(target + Begin[r], Colour.get() + at, Rest.get() + at,
                           size_t(End[r] - Begin[r]));
}

bool PlanarBlendPicture::Allocate(int32_t width, int32_t height) {
  for (Plane& plane : planes_) plane = Plane{};
  if (width <= 0 || height <= 0 || (width | height) & 1) return false;
  const bool made = planes_[0].Allocate(width, height) &&
                    planes_[1].Allocate(width / 2, height / 2) &&
                    planes_[2].Allocate(width / 2, height / 2);
  if (!made) {
    for (Plane& plane : planes_) plane = Plane{};
    return false;
  }
  alpha_.assign(size_t(width), 0);
  upper_.assign(size_t(width), 0);
  lower_.assign(size_t(width), 0);
  return true;
}

void PlanarBlendPicture::BeginComposite() {
  for (Plane& plane : planes_) plane.ClearInk();
}

void PlanarBlendPicture::Composite(const SUBTITLEBLEND::CoverageImage& image, YuvColour colour) {
  const Plane& luma = planes_[0];
  if (image.Bitmap == nullptr || image.Opacity == 0 || luma.Width == 0) return;
  const int32_t left = std::max(image.Left, 0);
  const int32_t right = int32_t(std::min<int64_t>(int64_t(image.Left) + image.Width, luma.Width));
  const int32_t top = std::max(image.Top, 0);
  const int32_t bottom = int32_t(std::min<int64_t>(int64_t(image.Top) + image.Height, luma.Height));
  if (left >= right || top >= bottom) return;
  CompositeLuma(image, colour.Y, left, right, top, bottom);
  CompositeChroma(image, colour, left, right, top, bottom);
}

void PlanarBlendPicture::CompositeLuma(const SUBTITLEBLEND::CoverageImage& image, uint8_t value,
                                       int32_t left, int32_t right, int32_t top, int32_t bottom) {
  Plane& plane = planes_[0];
  uint8_t* alpha = alpha_.data();
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* coverage = CoverageRow(image, y, left);
    BLENDKERNELS::ScaleCoverage(coverage, image.Opacity, alpha, size_t(right - left));
    int32_t first = 0, last = right - left;
    TrimBare(alpha, first, last);
    if (first == last) continue;
    plane.Touch(y, left + first, left + last);
    BLENDKERNELS::CompositeValue(plane.ColourAt(y, left + first), plane.RestAt(y, left + first),
                                 value, alpha + first, size_t(last - first));
  }
}

// Each chroma sample takes the mean coverage of its 2x2 block, as the
// encoders' own conversion takes the mean colour. The two rows are read
// from scratch rows padded with bare coverage, so that a bitmap's edges
// need no care.
void PlanarBlendPicture::CompositeChroma(const SUBTITLEBLEND::CoverageImage& image,
                                         YuvColour colour, int32_t left, int32_t right, int32_t top,
                                         int32_t bottom) {
  const int32_t from = left / 2, to = (right + 1) / 2;  // chroma columns
  const size_t span = size_t(to - from) * 2;
  const auto fill = [&](std::vector<uint8_t>& row, int32_t y) {
    std::memset(row.data(), 0, span);
    if (y >= top && y < bottom)
      std::memcpy(row.data() + (left - 2 * from), CoverageRow(image, y, left),
                  size_t(right - left));
  };
  uint8_t* alpha = alpha_.data();
  for (int32_t cy = top / 2; cy < (bottom + 1) / 2; ++cy) {
    fill(upper_, 2 * cy);
    fill(lower_, 2 * cy + 1);
    BlockMeans(upper_.data(), lower_.data(), image.Opacity, alpha, size_t(to - from));
    int32_t first = 0, last = to - from;
    TrimBare(alpha, first, last);
    if (first == last) continue;
    for (int p = 1; p < 3; ++p) {
      Plane& plane = planes_[p];
      plane.Touch(cy, from + first, from + last);
      BLENDKERNELS::CompositeValue(plane.ColourAt(cy, from + first), plane.RestAt(cy, from + first),
                                   p == 1 ? colour.U : colour.V, alpha + first,
                                   size_t(last - first));
    }
  }
}

namespace {

// A premultiplied ARGB32 pixel's colour, no longer premultiplied, on video
// levels; `sum` holds blue, green, red and alpha, of one pixel or of a sum.
YuvColour ColourOfPremultiplied(const int32_t sum[4]) {
  const auto plain = [&](int32_t value) { return std::min(255.0, 255.0 * value / sum[3]); };
  return VideoLevelsOf(plain(sum[2]), plain(sum[1]), plain(sum[0]), false);
}

}  // namespace

void PlanarBlendPicture::StoreArgb(const uint8_t* pixels, size_t stride, int32_t left, int32_t top,
                                   int32_t right, int32_t bottom) {
  BeginComposite();
  const Plane& luma = planes_[0];
  left = std::max(left, 0) & ~1;
  top = std::max(top, 0) & ~1;
  right = std::min(right + (right & 1), luma.Width);
  bottom = std::min(bottom + (bottom & 1), luma.Height);
  if (pixels == nullptr || left >= right || top >= bottom) return;
  for (int32_t y = top; y < bottom; ++y) StoreLumaRow(pixels + size_t(y) * stride, y, left, right);
  for (int32_t y = top; y < bottom; y += 2)
    StoreChromaRow(pixels + size_t(y) * stride, pixels + size_t(y + 1) * stride, y / 2, left / 2,
                   right / 2);
}

void PlanarBlendPicture::StoreLumaRow(const uint8_t* argb, int32_t row, int32_t left,
                                      int32_t right) {
  int32_t first = left, last = right;
  while (first < last && argb[4 * first + 3] == 0) ++first;
  while (last > first && argb[4 * (last - 1) + 3] == 0) --last;
  if (first == last) return;
  Plane& plane = planes_[0];
  plane.Touch(row, first, last);
  for (int32_t x = first; x < last; ++x) {
    const uint8_t* pixel = argb + 4 * x;
    if (pixel[3] == 0) continue;
    const int32_t sum[4] = {pixel[0], pixel[1], pixel[2], pixel[3]};
    *plane.ColourAt(row, x) = uint8_t(Div255(uint16_t(ColourOfPremultiplied(sum).Y * pixel[3])));
    *plane.RestAt(row, x) = uint8_t(255 - pixel[3]);
  }
}

// Columns from .. to - 1 of chroma row `row`, from the two luma rows over it.
void PlanarBlendPicture::StoreChromaRow(const uint8_t* upper, const uint8_t* lower, int32_t row,
                                        int32_t from, int32_t to) {
  for (int32_t cx = from; cx < to; ++cx) {
    int32_t sum[4] = {0, 0, 0, 0};
    for (const uint8_t* line : {upper, lower})
      for (int32_t x = 2 * cx; x < 2 * cx + 2; ++x)
        for (int c = 0; c < 4; ++c) sum[c] += line[4 * x + c];
    const int32_t alpha = (sum[3] + 2) / 4;
    if (alpha == 0) continue;
    const YuvColour colour = ColourOfPremultiplied(sum);
    for (int p = 1; p < 3; ++p) {
      Plane& plane = planes_[p];
      plane.Touch(row, cx, cx + 1);
      *plane.ColourAt(row, cx) = uint8_t(Div255(uint16_t((p == 1 ? colour.U : colour.V) * alpha)));
      *plane.RestAt(row, cx) = uint8_t(255 - alpha);
    }
  }
}

PLANARPICTURE::RowBand PlanarBlendPicture::Band() const {
  const Plane& luma = planes_[0];
  if (luma.DirtyTop >= luma.DirtyEnd) return {};
  return PLANARPICTURE::BandOfRows(luma.DirtyTop + rowShift_, luma.DirtyEnd + rowShift_,
                                   luma.Height);
}

// A moved ink blends as if composed in place: the picture's rows are taken
// from as far off as it moved.
void PlanarBlendPicture::BlendInto(const PLANARPICTURE::PlanarRows& planes,
                                   PLANARPICTURE::RowBand band) const {
  if (rowShift_ == 0) return BlendPlaced(planes, band);
  PLANARPICTURE::PlanarRows moved = planes;
  for (int p = 0; p < 3; ++p)
    moved.Data[p] += ptrdiff_t(p == 0 ? rowShift_ : rowShift_ / 2) * planes.Stride[p];
  BlendPlaced(moved, {band.Top - rowShift_, band.Count});
}

void PlanarBlendPicture::BlendPlaced(const PLANARPICTURE::PlanarRows& planes,
                                     PLANARPICTURE::RowBand band) const {
  if (planes.BitDepth > 8) {
    if (planes.Colours != nullptr)
      BlendDeepMapped(planes, band);
    else
      BlendDeep(planes, band);
    return;
  }
  for (int p = 0; p < 3; ++p) {
    const int shift = p == 0 ? 0 : 1;
    const Plane& plane = planes_[p];
    const int32_t first = std::max(band.Top >> shift, 0);
    const int32_t end = std::min((band.Top + band.Count) >> shift, plane.Height);
    for (int32_t row = first; row < end; ++row)
      plane.Blend(row, planes.Data[p] + ptrdiff_t(row) * planes.Stride[p]);
  }
}

}  // namespace PLANARBLEND
