#include "media/BitmapImage.h"

#include <cstring>

namespace VELAVCODEC {
namespace {

void Put16(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value);
  Put16(at + 2, value >> 16);
}

}  // namespace

int32_t BmpStride(int32_t width) { return (width * 3 + 3) / 4 * 4; }

void WriteBmpHeader(uint8_t* buffer, int32_t width, int32_t height, int32_t imageSize) {
  std::memset(buffer, 0, kBmpHeaderSize);
  buffer[0] = 'B';
  buffer[1] = 'M';
  Put32(buffer + 2, uint32_t(kBmpHeaderSize + imageSize));
  Put32(buffer + 10, kBmpHeaderSize);
  uint8_t* info = buffer + kBmpInfoHeaderOffset;
  Put32(info, 40);
  Put32(info + 4, uint32_t(width));
  Put32(info + 8, uint32_t(height));  // positive: bottom-up rows
  Put16(info + 12, 1);
  Put16(info + 14, 24);
  Put32(info + 20, uint32_t(imageSize));
}

}  // namespace VELAVCODEC
