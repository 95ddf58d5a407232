#include "drawing/SubtitleBlend.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "drawing/BlendKernels.h"
#include "picture/BmpFrame.h"

namespace SUBTITLEBLEND {
namespace {

using BLENDKERNELS::BlendBytes;
using BLENDKERNELS::CompositeBytes;
using BLENDKERNELS::Div255;

// Each pixel's coverage times the opacity, three times over (one a byte of
// the picture): a byte spread over four by multiplication and stored so,
// each store overlapping the next; `alpha` has a byte to spare at its end.
void SpreadAlpha(const uint8_t* __restrict coverage, uint8_t opacity, uint8_t* __restrict alpha,
                 size_t n) {
  for (size_t x = 0; x < n; ++x) {
    const uint32_t a = Div255(uint16_t(coverage[x] * opacity));
    const uint32_t spread = a * 0x01010101u;
    std::memcpy(alpha + 3 * x, &spread, 4);
  }
}

}  // namespace

bool BlendPicture::Allocate(int32_t width, int32_t height) {
  Clear();
  width_ = height_ = 0;
  rowBytes_ = 0;
  if (width <= 0 || height <= 0) return false;
  const size_t rowBytes = size_t(width) * 3;
  // Left unwritten until a row is used: a frame-sized picture whose text
  // covers a few rows costs the memory of those rows only.
  colour_.reset(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
  rest_.reset(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
  try {
    rowReady_.assign(size_t(height), 0);
  } catch (const std::bad_alloc&) {
    colour_.reset();
  }
  if (colour_ == nullptr || rest_ == nullptr) {
    colour_.reset();
    rest_.reset();
    return false;
  }
  width_ = width;
  height_ = height;
  rowBytes_ = rowBytes;
  dirtyFirst_ = dirtyEnd_ = 0;
  return true;
}

void BlendPicture::Clear() {
  runs_.clear();
  stored_ = false;
}

void BlendPicture::Store(const QImage& band) {
  Clear();
  if (width_ == 0 || band.width() != width_ || band.height() != height_ ||
      band.format() != QImage::Format_ARGB32_Premultiplied)
    return;
  for (int32_t r = 0; r < height_; ++r) {
    const auto* source = reinterpret_cast<const QRgb*>(band.constScanLine(height_ - 1 - r));
    uint8_t* colour = colour_.get() + size_t(r) * rowBytes_;
    uint8_t* rest = rest_.get() + size_t(r) * rowBytes_;
    rowReady_[size_t(r)] = 1;  // written whole below
    for (int32_t x = 0; x < width_; ++x) {
      const QRgb pixel = source[x];
      const uint8_t left = uint8_t(255 - qAlpha(pixel));
      colour[3 * x] = uint8_t(qBlue(pixel));
      colour[3 * x + 1] = uint8_t(qGreen(pixel));
      colour[3 * x + 2] = uint8_t(qRed(pixel));
      rest[3 * x] = rest[3 * x + 1] = rest[3 * x + 2] = left;
    }
    FindRuns(r, rest);
  }
  stored_ = true;
}

// Stretches of covered pixels, split where a pixel turns opaque or stops
// being so.
void BlendPicture::FindRuns(int32_t row, const uint8_t* rest) {
  size_t k = 0;
  while (k < rowBytes_) {
    if (rest[k] == 255) {
      k += 3;
      continue;
    }
    const bool opaque = rest[k] == 0;
    const size_t begin = k;
    while (k < rowBytes_ && rest[k] != 255 && (rest[k] == 0) == opaque) k += 3;
    runs_.push_back({row, uint32_t(begin), uint32_t(k), opaque});
  }
}

void BlendPicture::Blend(uint8_t* frameBuffer, int32_t raise) const {
  if (frameBuffer == nullptr || !stored_ || raise < 0) return;
  const BMPFRAME::BmpView frame(frameBuffer);
  const int32_t frameWidth = frame.Width(), frameHeight = frame.Height();
  if (frameWidth <= 0 || raise >= frameHeight) return;
  const size_t rowBytes = size_t(std::min(width_, frameWidth)) * 3;
  const int32_t rows = frameHeight - raise;
  // Runs come bottom row first.
  for (const Run& run : runs_) {
    if (run.row >= rows) break;
    const size_t end = std::min(size_t(run.end), rowBytes);
    if (run.begin >= end) continue;
    uint8_t* target = frame.Row(run.row + raise) + run.begin;
    const size_t at = size_t(run.row) * rowBytes_ + run.begin;
    if (run.opaque)
      std::memcpy(target, colour_.get() + at, end - run.begin);
    else
      BlendBytes(target, colour_.get() + at, rest_.get() + at, end - run.begin);
  }
}

// Rows never used are bare already.
void BlendPicture::ClearRows(int32_t first, int32_t end) {
  for (int32_t row = first; row < end; ++row)
    if (rowReady_[size_t(row)] != 0) ClearRow(row);
}

void BlendPicture::ClearRow(int32_t row) {
  const size_t from = size_t(row) * rowBytes_;
  std::memset(colour_.get() + from, 0, rowBytes_);
  std::memset(rest_.get() + from, 255, rowBytes_);
  rowReady_[size_t(row)] = 1;
}

void BlendPicture::BeginComposite() {
  Clear();
  ClearRows(dirtyFirst_, dirtyEnd_);
  dirtyFirst_ = dirtyEnd_ = 0;
}

// Over in premultiplied form: colour = c * a + colour * (1 - a), and the
// share of the frame left under it shrinks by (1 - a). Each row's covered
// stretch is spread to one alpha a byte and blended byte by byte, in blocks
// the compiler turns into vector code.
void BlendPicture::Composite(const CoverageImage& image) {
  if (image.Bitmap == nullptr || image.Opacity == 0) return;
  const int32_t left = std::max(image.Left, 0);
  const int32_t right = std::min<int64_t>(int64_t(image.Left) + image.Width, width_);
  const int32_t top = std::max(image.Top, 0);
  const int32_t bottom = std::min<int64_t>(int64_t(image.Top) + image.Height, height_);
  if (left >= right || top >= bottom) return;
  const size_t span = size_t(right - left) * 3;
  if (alpha_.size() < span + 1) {
    alpha_.resize(size_t(width_) * 3 + 1);
    pattern_.resize(size_t(width_) * 3);
  }
  for (size_t k = 0; k < span; k += 3) {
    pattern_[k] = image.Blue;
    pattern_[k + 1] = image.Green;
    pattern_[k + 2] = image.Red;
  }
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* coverage =
        image.Bitmap + size_t(y - image.Top) * size_t(image.Stride) + (left - image.Left);
    int32_t first = 0, last = right - left;
    while (first < last && coverage[first] == 0) ++first;
    while (last > first && coverage[last - 1] == 0) --last;
    if (first == last) continue;
    SpreadAlpha(coverage + first, image.Opacity, alpha_.data() + 3 * size_t(first),
                size_t(last - first));
    const int32_t row = height_ - 1 - y;
    if (rowReady_[size_t(row)] == 0) ClearRow(row);
    const size_t at = size_t(row) * rowBytes_ + size_t(left + first) * 3;
    CompositeBytes(colour_.get() + at, rest_.get() + at, pattern_.data() + 3 * size_t(first),
                   alpha_.data() + 3 * size_t(first), size_t(last - first) * 3);
    if (dirtyEnd_ <= dirtyFirst_) {
      dirtyFirst_ = row;
      dirtyEnd_ = row + 1;
    } else {
      dirtyFirst_ = std::min(dirtyFirst_, row);
      dirtyEnd_ = std::max(dirtyEnd_, row + 1);
    }
  }
}

void BlendPicture::EndComposite() {
  runs_.clear();
  for (int32_t row = dirtyFirst_; row < dirtyEnd_; ++row)
    if (rowReady_[size_t(row)] != 0) FindRuns(row, rest_.get() + size_t(row) * rowBytes_);
  stored_ = !runs_.empty();
}

std::pair<int32_t, int32_t> BlendPicture::InkRows(int32_t raise) const {
  if (!stored_ || runs_.empty() || raise < 0) return {0, 0};
  return {runs_.front().row + raise, runs_.back().row - runs_.front().row + 1};
}

}  // namespace SUBTITLEBLEND
