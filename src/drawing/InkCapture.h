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

class InkCapture {
 public:
  // Once per job, for pictures of this size (both even).
  bool Allocate(int32_t width, int32_t height);
  // draw lays the drawing over a complete bottom-up BGR picture of the
  // allocated size, touching only inkRows (the first from the bottom, and how
  // many). Null when nothing was allocated.
  const PLANARBLEND::PlanarBlendPicture* Capture(const std::function<void(uint8_t*)>& draw,
                                                 std::pair<int32_t, int32_t> inkRows);

 private:
  BMPFRAME::BmpFrame black_, white_;
  std::vector<uint8_t> argb_;  // top-down, premultiplied, blue-green-red-alpha
  PLANARBLEND::PlanarBlendPicture planar_;
  bool ready_ = false;
};

}  // namespace INKCAPTURE
