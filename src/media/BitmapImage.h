#pragma once

// The frame buffer's layout: a complete BMP file image of a bottom-up
// 24-bit picture, pixels blue-green-red, rows padded to 4 bytes.
#include <cstdint>

namespace VELAVCODEC {

constexpr int32_t kBmpHeaderSize = 54;        // file header and info header
constexpr int32_t kBmpInfoHeaderOffset = 14;  // where the info header starts

// Bytes per row: width x 3 rounded up to a multiple of 4.
int32_t BmpStride(int32_t width);

// Writes the 54 header bytes for a picture of imageSize pixel bytes.
void WriteBmpHeader(uint8_t* buffer, int32_t width, int32_t height, int32_t imageSize);

}  // namespace VELAVCODEC
