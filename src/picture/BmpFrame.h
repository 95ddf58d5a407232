#pragma once

// The program's one picture type: a complete BMP file image of a bottom-up
// 24-bit picture in memory. A 14-byte file header, the 40-byte
// BITMAPINFOHEADER from byte 14, and the pixel rows from byte 54, bottom row
// first, blue-green-red, each row padded to a multiple of 4 bytes. The
// decoder fills one, the overlay draws on it, the compressors read it, the
// job writes it and the preview shows it.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/WinTypes.h"

namespace BMPFRAME {

constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderOffset = kFileHeaderSize;
constexpr int32_t kInfoHeaderSize = 40;
constexpr int32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize;

// Bytes per row: width x 3 rounded up to a multiple of 4.
uint32_t RowStride(int32_t width);
// Bytes of the pixel rows of a picture.
uint32_t ImageBytes(int32_t width, int32_t height);

// Writes the two headers of a picture of that size at image.
void WriteHeaders(uint8_t* image, int32_t width, int32_t height);

// A complete image that somebody else owns, read through its headers.
class BmpView {
 public:
  explicit BmpView(uint8_t* image) : image_(image) {}

  const BITMAPINFOHEADER* Info() const {
    return reinterpret_cast<const BITMAPINFOHEADER*>(image_ + kInfoHeaderOffset);
  }
  int32_t Width() const;
  int32_t Height() const;  // rows stored; positive for bottom-up images
  uint32_t Stride() const { return RowStride(Width()); }
  // biSize: the length of the format the compressed stream takes.
  uint32_t FormatSize() const;
  // biSizeImage: the byte count of the pixel rows.
  uint32_t ImageSize() const;
  uint8_t* Pixels() const { return image_ + kPixelOffset; }
  // Row r counted from the bottom of the picture.
  uint8_t* Row(int32_t r) const { return Pixels() + size_t(r) * Stride(); }

 private:
  uint8_t* image_;
};

// Owns an image: allocated once per picture size and reused. The pixel rows
// start on an `alignment` boundary, with `slack` bytes after them for vector
// stores that run past a row's end.
class BmpFrame {
 public:
  // False (and empty) when the memory cannot be had. The headers are written
  // and the pixels zeroed.
  bool Allocate(int32_t width, int32_t height, size_t alignment = 64, size_t slack = 256);
  // Empty again; the memory is kept for the next Allocate.
  void Clear();
  // Empty, with the memory given back.
  void Release();

  bool empty() const { return image_ == nullptr; }
  // The whole image, headers included.
  uint8_t* data() const { return image_; }
  size_t size() const { return size_; }
  BmpView View() const { return BmpView(image_); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t Stride() const { return RowStride(width_); }
  uint8_t* Pixels() const { return image_ + kPixelOffset; }
  uint8_t* Row(int32_t r) const { return Pixels() + size_t(r) * Stride(); }

 private:
  std::unique_ptr<uint8_t[]> storage_;
  size_t capacity_ = 0;
  uint8_t* image_ = nullptr;
  size_t size_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace BMPFRAME
