#pragma once

// Picture subtitles as the decoders of disc subtitle streams give them: a
// display set is a few paletted bitmaps placed on the stream's own canvas,
// shown from one time until its end or the next set.
#include <array>
#include <cstdint>
#include <vector>

namespace SUBTITLEBITMAPS {

// One object of a set: Width x Height palette indexes, Stride apart, top row
// first, its top-left corner at (X, Y) on the canvas. Palette entries are
// 0xAARRGGBB, not premultiplied; an index the stream defines no colour for
// is transparent.
struct Bitmap {
  int32_t X = 0, Y = 0, Width = 0, Height = 0, Stride = 0;
  std::vector<uint8_t> Indexes;
  std::array<uint32_t, 256> Palette{};
  bool Forced = false;
};

struct DisplaySet {
  // Milliseconds from the first picture; EndMs below 0: until the next set
  // (and at most UntimedLimitMs when the stream times its sets).
  int64_t StartMs = 0;
  int64_t EndMs = -1;
  int32_t CanvasWidth = 0, CanvasHeight = 0;
  // No bitmaps: the set clears what showed.
  std::vector<Bitmap> Bitmaps;
};

// How long a set of a stream that ends its sets lasts when one does not.
constexpr int64_t kUntimedLimitMs = 10000;

}  // namespace SUBTITLEBITMAPS
