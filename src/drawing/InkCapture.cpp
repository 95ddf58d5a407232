#include "drawing/InkCapture.h"

#include <algorithm>
#include <cstring>

namespace INKCAPTURE {

bool ArgbCapture::Allocate(int32_t width, int32_t height) {
  ready_ =
      width > 0 && height > 0 && black_.Allocate(width, height) && white_.Allocate(width, height);
  return ready_;
}

RowSpan ArgbCapture::Capture(const std::function<void(uint8_t*)>& draw,
                             std::pair<int32_t, int32_t> inkRows, uint8_t* argb) {
  if (!ready_) return {};
  const int32_t width = black_.Width(), height = black_.Height();
  const int32_t first = std::clamp(inkRows.first, 0, height);
  const int32_t end = std::clamp(inkRows.first + std::max(inkRows.second, 0), first, height);
  const size_t rowBytes = size_t(width) * 3;
  for (int32_t row = first; row < end; ++row) {
    std::memset(black_.Row(row), 0, rowBytes);
    std::memset(white_.Row(row), 255, rowBytes);
  }
  draw(black_.data());
  draw(white_.data());
  RowSpan inked{height, 0};
  for (int32_t row = first; row < end; ++row) {
    const uint8_t* over = black_.Row(row);
    const uint8_t* under = white_.Row(row);
    const int32_t fromTop = height - 1 - row;
    uint8_t* out = argb + size_t(fromTop) * size_t(width) * 4;
    bool any = false;
    for (int32_t x = 0; x < width; ++x) {
      // What of white still shows is what the drawing leaves of the picture.
      int shown = 0;
      for (int c = 0; c < 3; ++c) shown += under[3 * x + c] - over[3 * x + c];
      const int alpha = std::clamp(255 - (shown + 1) / 3, 0, 255);
      for (int c = 0; c < 3; ++c) out[4 * x + c] = uint8_t(std::min<int>(over[3 * x + c], alpha));
      out[4 * x + 3] = uint8_t(alpha);
      any = any || alpha != 0;
    }
    if (!any) continue;
    inked.Top = std::min(inked.Top, fromTop);
    inked.End = std::max(inked.End, fromTop + 1);
  }
  return inked.Empty() ? RowSpan{} : inked;
}

bool InkCapture::Allocate(int32_t width, int32_t height) {
  const bool ready = capture_.Allocate(width, height) && planar_.Allocate(width, height);
  if (ready) argb_.assign(size_t(width) * size_t(height) * 4, 0);
  return ready;
}

const PLANARBLEND::PlanarBlendPicture* InkCapture::Capture(
    const std::function<void(uint8_t*)>& draw, std::pair<int32_t, int32_t> inkRows) {
  if (!capture_.Ready() || argb_.empty()) return nullptr;
  const int32_t width = capture_.Width(), height = capture_.Height();
  const int32_t first = std::clamp(inkRows.first, 0, height);
  const int32_t end = std::clamp(inkRows.first + std::max(inkRows.second, 0), first, height);
  capture_.Capture(draw, inkRows, argb_.data());
  planar_.StoreArgb(argb_.data(), size_t(width) * 4, 0, height - end, width, height - first);
  return &planar_;
}

}  // namespace INKCAPTURE
