#pragma once

// Plain drawing: the schedule's entry drawn with the font and look into the
// overlay's band on its first picture, and copied onto every picture it
// covers.
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

 private:
  SUBTITLEOVERLAY::SubtitleOverlay& overlay_;
  SUBTITLESCHEDULE::SubtitleSchedule schedule_;
  // Pictures went by undrawn since the entry began: its lines are drawn at
  // the next picture that shows it.
  bool passed_ = false;
};

}  // namespace PLAINDRAWER
