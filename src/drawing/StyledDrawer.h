#pragma once

// Styled drawing: libass draws what shows at each picture's time, laid over
// a BGR picture or blended into a planar one's planes. Its events come with
// the script, or are fed in as the source's track is read.
#include "drawing/StyledOverlay.h"
#include "drawing/SubtitleDrawer.h"

namespace STYLEDDRAWER {

// Adds the events that arrived since the last call.
class EventFeed {
 public:
  virtual ~EventFeed() = default;
  virtual void Feed(STYLEDOVERLAY::StyledOverlay& overlay) = 0;
};

class StyledDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  // The overlay (set up) and the feed (when any) must outlive the drawer.
  explicit StyledDrawer(STYLEDOVERLAY::StyledOverlay& overlay, EventFeed* feed = nullptr)
      : overlay_(overlay), feed_(feed) {}

  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override { overlay_.Overlay(bmpImage); }
  std::vector<std::string> TakeNotes() override { return overlay_.TakeNotes(); }

 private:
  STYLEDOVERLAY::StyledOverlay& overlay_;
  EventFeed* feed_;
};

}  // namespace STYLEDDRAWER
