#pragma once

// A decoded picture kept in planar YUV 4:2:0 on video levels, so that an
// encoder that works on that form takes it without a round trip through
// blue-green-red; only the band where text is drawn goes through BGR.
#include <cstdint>

struct AVFrame;

namespace PLANARPICTURE {

// Top row first; the chroma planes have half the rows and columns. A sample
// is a byte in 8 bits; deeper, two bytes, little-endian, the value in the
// low bits (Stride still counts bytes).
struct PlanarPicture {
  const uint8_t* Data[3] = {nullptr, nullptr, nullptr};  // Y, U, V
  int Stride[3] = {0, 0, 0};
  int32_t Width = 0, Height = 0;
  int BitDepth = 8;
  // The decoded picture that holds the planes, when they are in counted
  // buffers: an encoder may keep a reference to it rather than a copy, and
  // may write the drawn band into it when no one else holds its buffers.
  const AVFrame* Frame = nullptr;
};

// Rows Top .. Top + Count - 1 counted from the top (both even).
struct RowBand {
  int32_t Top = 0, Count = 0;
};

// Turns ink coded in 8-bit BT.601 video levels into the samples of a deep
// picture of another colour description (an HDR one).
class InkColours {
 public:
  virtual ~InkColours() = default;
  // yuv: the ink's colour; out: Y, U and V in the picture's depth.
  virtual void Map(const uint8_t yuv[3], uint16_t out[3]) const = 0;
};

// Writable planes of a picture, laid out as PlanarPicture's; in a deep
// picture, ink is mapped by Colours, or when there is none its values are
// only widened.
struct PlanarRows {
  uint8_t* Data[3] = {nullptr, nullptr, nullptr};
  int Stride[3] = {0, 0, 0};
  int BitDepth = 8;
  const InkColours* Colours = nullptr;
};

// Text blended straight into a planar picture's rows, for the styled
// drawing, whose coverage bitmaps need no round trip through BGR.
class PlanarInk {
 public:
  virtual ~PlanarInk() = default;
  // Into rows band.Top .. band.Top + band.Count - 1 (both even) and their
  // chroma rows; the planes are as wide and high as the ink's picture.
  virtual void BlendInto(const PlanarRows& planes, RowBand band) const = 0;
};

// The picture an encoder takes: the planar picture, except the rows of Band,
// where the text was drawn. They come from Bgr (a complete bottom-up 24-bit
// BMP image of the same size), or, when Ink is set, from the planar rows
// with the ink blended in (Bgr is then not read).
struct MixedPicture {
  PlanarPicture Planes;
  const uint8_t* Bgr = nullptr;
  RowBand Band;
  const PlanarInk* Ink = nullptr;
  // How the ink's colours land in a deep picture; null: widened as they are.
  const InkColours* Colours = nullptr;
};

// The band, widened to even rows, that holds rows top .. end - 1 counted
// from the top of a picture `height` rows high; clipped to the picture.
inline RowBand BandOfRows(int64_t top, int64_t end, int32_t height) {
  if (end <= top || height <= 0) return {};
  top = top < 0 ? 0 : top & ~int64_t(1);
  end = end > height ? height : end;
  end = (end + 1) & ~int64_t(1);
  if (end > (height & ~1)) end = height & ~1;
  if (end <= top) return {};
  return {int32_t(top), int32_t(end - top)};
}

// The same for rows first .. first + count - 1 of a bottom-up BMP image.
inline RowBand BandOfBmpRows(int32_t first, int32_t count, int32_t height) {
  if (count <= 0) return {};
  return BandOfRows(int64_t(height) - first - count, int64_t(height) - first, height);
}

}  // namespace PLANARPICTURE
