#pragma once

// Picture subtitles as the decoders of disc subtitle streams give them: a
// display set is a few paletted bitmaps placed on the stream's own canvas,
// shown from one time until its end or the next set.
#include <algorithm>
#include <array>
#include <cstddef>
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

// When a set shows: from its start to its end, or, where it gives none, to
// the next set's start (at most kUntimedLimitMs unless the stream's sets
// last until the next).
struct SetTime {
  int64_t StartMs = 0, EndMs = -1;
  bool Shows = false;
};
struct ShownSpan {
  int64_t StartMs = 0, EndMs = 0;
  std::size_t Set = 0;  // which of the sets
};
inline std::vector<ShownSpan> ShownSpans(const std::vector<SetTime>& sets, bool untilNext) {
  std::vector<ShownSpan> spans;
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (!sets[k].Shows) continue;
    int64_t end = sets[k].EndMs;
    if (end < 0) {
      const int64_t limit = sets[k].StartMs + kUntimedLimitMs;
      end = k + 1 < sets.size() ? sets[k + 1].StartMs : limit;
      if (!untilNext) end = std::min(end, limit);
    }
    if (end > sets[k].StartMs) spans.push_back({sets[k].StartMs, end, k});
  }
  return spans;
}

}  // namespace SUBTITLEBITMAPS
