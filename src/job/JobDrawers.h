#pragma once

// The drawer a job or a still draws its subtitles with, made from the
// options: none for a copy without subtitles, styled for the source's own
// track or a file read styled, plain otherwise. Both set it up alike, so a
// still shows what the job writes.
#include <memory>
#include <string>

#include "drawing/StyledOverlay.h"
#include "drawing/SubtitleDrawer.h"
#include "drawing/SubtitleOverlay.h"
#include "job/JobOptions.h"
#include "job/StyledDrawing.h"
#include "media/VelAvCodec.h"
#include "subtitles/SubtitleUnit.h"

namespace JOBDRAWERS {

// What the drawers draw with; they must outlive the drawer.
struct DrawingTools {
  SUBTITLEFILE::SubtitleFile& Subtitles;  // opened, its timing set (unless a track or a copy)
  SUBTITLEOVERLAY::SubtitleOverlay& Overlay;
  STYLEDOVERLAY::StyledOverlay& Styled;
  STYLEDDRAWING::TrackFeed& Feed;
};

// After the decoder opened the source. Null with `error` when the drawing
// can't be set up.
std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> MakeDrawer(const JOBOPTIONS::JobOptions& options,
                                                           VELAVCODEC::VelAvCodec& decoder,
                                                           DrawingTools tools, std::string& error);

}  // namespace JOBDRAWERS
