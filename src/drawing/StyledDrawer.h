#pragma once

// Styled drawing as the job's drawer: the renderer draws what shows at each
// picture's time, laid over a BGR picture or blended into a planar one's
// planes. Its events come with the script, or are fed in as the source's
// track is read.
#include "drawing/StyledRenderer.h"
#include "drawing/SubtitleDrawer.h"

namespace STYLEDDRAWER {

// Adds the events that arrived since the last call.
class EventFeed {
 public:
  virtual ~EventFeed() = default;
  virtual void Feed(STYLEDRENDERER::StyledRenderer& renderer) = 0;
};

class StyledDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  // The renderer (set up) and the feed (when any) must outlive the drawer.
  explicit StyledDrawer(STYLEDRENDERER::StyledRenderer& renderer, EventFeed* feed = nullptr)
      : renderer_(renderer), feed_(feed) {}

  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override { renderer_.Overlay(bmpImage); }
  std::vector<std::string> TakeNotes() override { return renderer_.TakeNotes(); }

 private:
  STYLEDRENDERER::StyledRenderer& renderer_;
  EventFeed* feed_;
};

}  // namespace STYLEDDRAWER
