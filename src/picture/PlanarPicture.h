#pragma once

// A decoded picture kept in planar YUV 4:2:0 on video levels, so that an
// encoder that works on that form takes it without a round trip through
// blue-green-red; only the band where text is drawn goes through BGR.
#include <cstdint>

struct AVFrame;

namespace PLANARPICTURE {

// Top row first; the chroma planes have half the rows and columns.
struct PlanarPicture {
  const uint8_t* Data[3] = {nullptr, nullptr, nullptr};  // Y, U, V
  int Stride[3] = {0, 0, 0};
  int32_t Width = 0, Height = 0;
  // The decoded picture that holds the planes, when they are in counted
  // buffers: an encoder may keep a reference to it rather than a copy, and
  // may write the drawn band into it when no one else holds its buffers.
  const AVFrame* Frame = nullptr;
};

// Rows Top .. Top + Count - 1 counted from the top (both even).
struct RowBand {
  int32_t Top = 0, Count = 0;
};

// The picture an encoder takes: the planar picture, except the rows of Band,
// which come from Bgr (a complete bottom-up 24-bit BMP image of the same
// size) where the text was drawn.
struct MixedPicture {
  PlanarPicture Planes;
  const uint8_t* Bgr = nullptr;
  RowBand Band;
};

// The band, widened to even rows, that holds rows first .. first + count - 1
// of a bottom-up BMP image `height` rows high; clipped to the picture.
inline RowBand BandOfBmpRows(int32_t first, int32_t count, int32_t height) {
  if (count <= 0 || height <= 0) return {};
  int64_t top = int64_t(height) - first - count, end = int64_t(height) - first;
  top = top < 0 ? 0 : top & ~int64_t(1);
  end = end > height ? height : end;
  end = (end + 1) & ~int64_t(1);
  if (end > (height & ~1)) end = height & ~1;
  if (end <= top) return {};
  return {int32_t(top), int32_t(end - top)};
}

}  // namespace PLANARPICTURE
