#pragma once

// Conversion of 24-bit BGR pictures to planar YUV 4:2:0 (BT.601) for the
// encoders that take it. Written by hand because the library's scaler either
// spends several milliseconds a 720p picture or, on its fast path, takes each
// block's chroma from one pixel, which frays the edges of coloured text.
#include <cstddef>
#include <cstdint>

namespace COMPRESSOR {

enum class YuvRange { Limited, Full };  // 16..235 video levels, or 0..255

struct YuvPlanes {
  uint8_t* data[3];  // Y, U, V
  int linesize[3];
};

// Rows firstRow .. firstRow + rowCount - 1 (firstRow and rowCount even) of a
// picture whose top row starts at `top`, rows `stride` bytes apart (negative
// for bottom-up storage). width is even; each chroma sample is the mean of
// its 2x2 block.
void BgrToYuv420(const uint8_t* top, ptrdiff_t stride, int width, int firstRow, int rowCount,
                 YuvRange range, const YuvPlanes& planes);

}  // namespace COMPRESSOR
