#include "drawing/StyledDrawer.h"

namespace STYLEDDRAWER {

// A planar picture takes the drawing as ink, with no rows converted; ink
// that leaves the picture as it is shows nothing.
SUBTITLEDRAWER::Coverage StyledDrawer::Prepare(int32_t, int64_t milliseconds, bool planar) {
  if (feed_ != nullptr) feed_->Feed(renderer_);
  SUBTITLEDRAWER::Coverage coverage;
  coverage.Shows = renderer_.Render(milliseconds);
  if (coverage.Shows && planar) {
    coverage.PlanarInk = renderer_.PlanarInk();
    coverage.Shows = coverage.PlanarInk != nullptr;
  }
  return coverage;
}

}  // namespace STYLEDDRAWER
