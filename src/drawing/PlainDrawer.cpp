#include "drawing/PlainDrawer.h"

namespace PLAINDRAWER {

PlainDrawer::PlainDrawer(const SUBTITLEFILE::SubtitleFile& file,
                         SUBTITLEOVERLAY::SubtitleOverlay& overlay)
    : overlay_(overlay) {
  schedule_.Begin(file, 0);
}

SUBTITLEDRAWER::Coverage PlainDrawer::Prepare(int32_t frame, int64_t, bool planar) {
  const auto actions = schedule_.ForFrame(frame);
  const bool drawn = actions.Draw || (passed_ && actions.Overlay);
  if (drawn) {
    overlay_.DrawSubtitle(schedule_.Lines());
    ink_ = nullptr;
  }
  passed_ = passed_ && !actions.Overlay;
  SUBTITLEDRAWER::Coverage coverage;
  coverage.Shows = actions.Overlay;
  if (coverage.Shows) coverage.InkRows = overlay_.InkRows();
  if (coverage.Shows && planar && capture_) {
    if (ink_ == nullptr)
      ink_ = capture_->Capture([this](uint8_t* bmp) { overlay_.OverlaySubtitle(bmp); },
                               coverage.InkRows);
    coverage.PlanarInk = ink_;
    coverage.Shows = ink_ != nullptr && !ink_->empty();
  }
  return coverage;
}

bool PlainDrawer::GivePlanarInk(int32_t width, int32_t height) {
  capture_ = std::make_unique<INKCAPTURE::InkCapture>();
  if (capture_->Allocate(width, height)) return true;
  capture_.reset();
  return false;
}

void PlainDrawer::DrawOnto(uint8_t* bmpImage) { overlay_.OverlaySubtitle(bmpImage); }

void PlainDrawer::PictureDone(int32_t nextFrame) { schedule_.AfterFrame(nextFrame); }

void PlainDrawer::Pass(int32_t frame) {
  schedule_.ForFrame(frame);
  schedule_.AfterFrame(frame + 1);
  passed_ = true;
}

}  // namespace PLAINDRAWER
