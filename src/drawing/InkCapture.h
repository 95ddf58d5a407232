#pragma once

// Planar ink from a drawing that only lays itself over BGR pictures (the
// plain drawing, with or without a look), for pictures that must never go
// through BGR: deep ones. The drawing is laid once over black and once over
// white. Where the two differ the picture showed through, which gives each
// pixel's alpha; over black it gives the colour times the alpha.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "drawing/PlanarBlend.h"
#include "picture/BmpFrame.h"

namespace INKCAPTURE {

// Rows of a picture counted from the top: Top .. End - 1.
struct RowSpan {
  int32_t Top = 0, End = 0;
  bool Empty() const { return End <= Top; }
};

// The drawing as premultiplied ARGB, whatever kind of drawing it is.
class ArgbCapture {
 public:
  // Once per job, for pictures of this size.
  bool Allocate(int32_t width, int32_t height);
  bool Ready() const { return ready_; }
  int32_t Width() const { return black_.Width(); }
  int32_t Height() const { return black_.Height(); }
  // draw lays the drawing over a complete bottom-up BGR picture of the
  // allocated size, touching only inkRows (the first from the bottom, and how
  // many). Those rows are written into argb: top-down, blue-green-red-alpha,
  // premultiplied, Width() pixels a row. Returns the rows among them that
  // hold ink; empty when nothing was allocated.
  RowSpan Capture(const std::function<void(uint8_t*)>& draw, std::pair<int32_t, int32_t> inkRows,
                  uint8_t* argb);

 private:
  BMPFRAME::BmpFrame black_, white_;
  bool ready_ = false;
};

class InkCapture {
 public:
  // Once per job, for pictures of this size (both even).
  bool Allocate(int32_t width, int32_t height);
  // As ArgbCapture's, into planar ink. Null when nothing was allocated.
  const PLANARBLEND::PlanarBlendPicture* Capture(const std::function<void(uint8_t*)>& draw,
                                                 std::pair<int32_t, int32_t> inkRows);

 private:
  ArgbCapture capture_;
  std::vector<uint8_t> argb_;
  PLANARBLEND::PlanarBlendPicture planar_;
};

}  // namespace INKCAPTURE
