#include "picture/BmpFrame.h"

#include <climits>
#include <cstring>
#include <new>

namespace BMPFRAME {
namespace {

void Put16(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value);
  Put16(at + 2, value >> 16);
}

uint32_t Get32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// Offsets inside the info header.
constexpr int32_t kWidthField = 4;
constexpr int32_t kHeightField = 8;
constexpr int32_t kImageSizeField = 20;

// The one place the row padding is worked out, wide enough for any width.
uint64_t WideStride(int32_t width) {
  return (uint64_t(width > 0 ? width : 0) * 3 + 3) & ~uint64_t(3);
}

}  // namespace

uint32_t RowStride(int32_t width) { return uint32_t(WideStride(width)); }

uint32_t ImageBytes(int32_t width, int32_t height) { return RowStride(width) * uint32_t(height); }

void WriteHeaders(uint8_t* image, int32_t width, int32_t height) {
  const uint32_t imageSize = ImageBytes(width, height);
  std::memset(image, 0, kPixelOffset);
  image[0] = 'B';
  image[1] = 'M';
  Put32(image + 2, uint32_t(kPixelOffset) + imageSize);
  Put32(image + 10, kPixelOffset);
  uint8_t* info = image + kInfoHeaderOffset;
  Put32(info, kInfoHeaderSize);
  Put32(info + kWidthField, uint32_t(width));
  Put32(info + kHeightField, uint32_t(height));  // positive: bottom-up rows
  Put16(info + 12, 1);
  Put16(info + 14, 24);
  Put32(info + kImageSizeField, imageSize);
}

int32_t BmpView::Width() const { return int32_t(Get32(image_ + kInfoHeaderOffset + kWidthField)); }

int32_t BmpView::Height() const {
  return int32_t(Get32(image_ + kInfoHeaderOffset + kHeightField));
}

uint32_t BmpView::FormatSize() const { return Get32(image_ + kInfoHeaderOffset); }

uint32_t BmpView::ImageSize() const { return Get32(image_ + kInfoHeaderOffset + kImageSizeField); }

bool BmpFrame::Allocate(int32_t width, int32_t height, size_t alignment, size_t slack) {
  // The headers and the writes count the pixel bytes in 32 bits.
  const uint64_t pixelBytes = WideStride(width) * uint64_t(height > 0 ? height : 0);
  if (width <= 0 || height <= 0 || alignment == 0 ||
      pixelBytes > uint64_t(INT32_MAX) - kPixelOffset) {
    Clear();
    return false;
  }
  const size_t size = size_t(kPixelOffset) + size_t(ImageBytes(width, height));
  const size_t needed = size + alignment + slack;
  if (capacity_ < needed) {
    Release();
    storage_.reset(new (std::nothrow) uint8_t[needed]);
    if (!storage_) return false;
    capacity_ = needed;
  }
  // The image starts so that its pixel rows fall on the boundary.
  const auto pixels = reinterpret_cast<uintptr_t>(storage_.get()) + kPixelOffset;
  image_ = storage_.get() + (alignment - pixels % alignment) % alignment;
  size_ = size;
  width_ = width;
  height_ = height;
  std::memset(image_, 0, size_);
  WriteHeaders(image_, width, height);
  return true;
}

void BmpFrame::Clear() {
  image_ = nullptr;
  size_ = 0;
  width_ = height_ = 0;
}

void BmpFrame::Release() {
  Clear();
  storage_.reset();
  capacity_ = 0;
}

}  // namespace BMPFRAME
