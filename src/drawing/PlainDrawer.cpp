#include "drawing/PlainDrawer.h"

namespace PLAINDRAWER {

PlainDrawer::PlainDrawer(const SUBTITLEFILE::SubtitleFile& file,
                         SUBTITLEOVERLAY::SubtitleOverlay& overlay)
    : overlay_(overlay) {
  schedule_.Begin(file, 0);
}

SUBTITLEDRAWER::Coverage PlainDrawer::Prepare(int32_t frame, int64_t, bool) {
  const auto actions = schedule_.ForFrame(frame);
  if (actions.Draw || (passed_ && actions.Overlay)) overlay_.DrawSubtitle(schedule_.Lines());
  passed_ = passed_ && !actions.Overlay;
  SUBTITLEDRAWER::Coverage coverage;
  coverage.Shows = actions.Overlay;
  if (coverage.Shows) coverage.InkRows = overlay_.InkRows();
  return coverage;
}

void PlainDrawer::DrawOnto(uint8_t* bmpImage) { overlay_.OverlaySubtitle(bmpImage); }

void PlainDrawer::PictureDone(int32_t nextFrame) { schedule_.AfterFrame(nextFrame); }

void PlainDrawer::Pass(int32_t frame) {
  schedule_.ForFrame(frame);
  schedule_.AfterFrame(frame + 1);
  passed_ = true;
}

}  // namespace PLAINDRAWER
