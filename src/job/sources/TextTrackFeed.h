#pragma once

// The source's own text track for the styled drawing: its header made the
// script, its packets made events as the reading meets them.
#include <string>
#include <vector>

#include "drawing/StyledDrawer.h"
#include "drawing/StyledRenderer.h"
#include "job/JobOptions.h"
#include "job/SmartPlan.h"
#include "media/VelAvCodec.h"

namespace TEXTTRACKFEED {

// The options' font and look as the base style of a script.
STYLEDSCRIPT::BaseStyle BaseOf(const JOBOPTIONS::JobOptions& options);

// The source's subtitle track, its events added as the reading meets them.
class TextTrackFeed : public STYLEDDRAWER::EventFeed {
 public:
  // After the decoder opened with the track chosen; the decoder must
  // outlive the feed. aheadTrack (from 0): that track instead, read whole
  // now rather than with the job's reading. Empty on success.
  std::string SetUp(STYLEDRENDERER::StyledRenderer& renderer, VELAVCODEC::VelAvCodec& decoder,
                    const JOBOPTIONS::JobOptions& options, int aheadTrack = -1);
  // The packets read since the last call, into the drawing.
  void Feed(STYLEDRENDERER::StyledRenderer& renderer) override;
  // After SetUp: when each of the track's events is on, in seconds from the
  // first picture, read from the whole track ahead of the job. Empty on
  // success, else why they can't be known.
  std::string ShownTimes(std::vector<SMARTPLAN::Shown>& shown) const;

 private:
  void AddPackets(STYLEDRENDERER::StyledRenderer& renderer);

  VELAVCODEC::VelAvCodec* decoder_ = nullptr;
  int aheadTrack_ = -1;
  STYLEDSCRIPT::TrackText form_ = STYLEDSCRIPT::TrackText::SubRip;
  bool movText_ = false;
  STYLEDSCRIPT::EventLayout layout_;
  int64_t delayMs_ = 0;
  std::size_t order_ = 0;
  std::vector<SUBTITLETRACK::TrackPacket> packets_;
};

// A track's packet without a duration lasts this long.
constexpr int64_t kUntimedPacketMs = 5000;

}  // namespace TEXTTRACKFEED
