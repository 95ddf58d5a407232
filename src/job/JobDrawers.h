#pragma once

// The drawer a job or a still draws its subtitles with, made from the
// options: none for a copy without subtitles, pictures for disc subtitles (a
// picture track of the source or a .sup or .idx file), styled for the
// source's own text track or a file read styled, plain otherwise. Both set
// it up alike, so a still shows what the job writes.
#include <functional>
#include <memory>
#include <string>

#include "drawing/StyledOverlay.h"
#include "drawing/SubtitleDrawer.h"
#include "drawing/SubtitleOverlay.h"
#include "job/JobOptions.h"
#include "job/PictureDrawing.h"
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
  PICTUREDRAWING::PictureFeed& Pictures;
  // Called now and then while a picture file is aligned to the speech.
  std::function<void()> Pulse = nullptr;
};

// After the decoder opened the source. Null with `error` when the drawing
// can't be set up.
std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> MakeDrawer(const JOBOPTIONS::JobOptions& options,
                                                           VELAVCODEC::VelAvCodec& decoder,
                                                           DrawingTools tools, std::string& error);

}  // namespace JOBDRAWERS
