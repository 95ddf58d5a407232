#pragma once

// Setting up the styled drawing of a job or a still from its options and
// its subtitles (an opened file, or the source's own track), so that both
// draw alike.
#include <string>
#include <vector>

#include "drawing/StyledDrawer.h"
#include "drawing/StyledOverlay.h"
#include "job/JobOptions.h"
#include "job/SmartPlan.h"
#include "media/VelAvCodec.h"

namespace STYLEDDRAWING {

// Empty on success, else the error for the log.
std::string SetUp(STYLEDOVERLAY::StyledOverlay& overlay, const SUBTITLEFILE::SubtitleFile& file,
                  const JOBOPTIONS::JobOptions& options, int32_t width, int32_t height);

// The picture's time for the drawing.
int64_t PictureTime(double framesPerSecond, int32_t frame);

// The source's subtitle track, its events added as the reading meets them.
class TrackFeed : public STYLEDDRAWER::EventFeed {
 public:
  // After the decoder opened with the track chosen; the decoder must
  // outlive the feed. Empty on success.
  std::string SetUp(STYLEDOVERLAY::StyledOverlay& overlay, VELAVCODEC::VelAvCodec& decoder,
                    const JOBOPTIONS::JobOptions& options);
  // The packets read since the last call, into the drawing.
  void Feed(STYLEDOVERLAY::StyledOverlay& overlay) override;
  // After SetUp: when each of the track's events is on, in seconds from the
  // first picture, read from the whole track ahead of the job. Empty on
  // success, else why they can't be known.
  std::string ShownTimes(std::vector<SMARTPLAN::Shown>& shown) const;

 private:
  VELAVCODEC::VelAvCodec* decoder_ = nullptr;
  STYLEDSCRIPT::TrackText form_ = STYLEDSCRIPT::TrackText::SubRip;
  bool movText_ = false;
  STYLEDSCRIPT::EventLayout layout_;
  int64_t delayMs_ = 0;
  std::size_t order_ = 0;
  std::vector<SUBTITLETRACK::TrackPacket> packets_;
};

constexpr char kNoSuchTrack[] =
    "[SubtitleJob] The source has no such subtitle track, or none of text...";

// A track's packet without a duration lasts this long.
constexpr int64_t kUntimedPacketMs = 5000;

}  // namespace STYLEDDRAWING
