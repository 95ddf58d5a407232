#pragma once

// Plain drawing: the schedule's entry drawn with the font and look into the
// overlay's band on its first picture, and copied onto every picture it
// covers.
#include <memory>

#include "drawing/InkCapture.h"
#include "drawing/SubtitleDrawer.h"
#include "drawing/SubtitleOverlay.h"
#include "subtitles/SubtitleSchedule.h"
#include "subtitles/SubtitleUnit.h"

namespace PLAINDRAWER {

class PlainDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  // The file (open, its timing set) and the overlay (set up) must outlive
  // the drawer.
  PlainDrawer(const SUBTITLEFILE::SubtitleFile& file, SUBTITLEOVERLAY::SubtitleOverlay& overlay);

  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override;
  void PictureDone(int32_t nextFrame) override;
  void Pass(int32_t frame) override;
  bool GivePlanarInk(int32_t width, int32_t height) override;
  bool IsBottomLine() const override { return true; }

 private:
  // The entry's drawing as planar ink, taken once per entry when asked for.
  std::unique_ptr<INKCAPTURE::InkCapture> capture_;
  const PLANARBLEND::PlanarBlendPicture* ink_ = nullptr;

  SUBTITLEOVERLAY::SubtitleOverlay& overlay_;
  SUBTITLESCHEDULE::SubtitleSchedule schedule_;
  // Pictures went by undrawn since the entry began: its lines are drawn at
  // the next picture that shows it.
  bool passed_ = false;
};

}  // namespace PLAINDRAWER
