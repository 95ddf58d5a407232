#pragma once

// What a job works with and leaves behind for the next one: the decoder, the
// subtitle file and the overlay. Whoever drives jobs owns them for as long as
// it lives (the window from its start to its close, the command line for one
// job) and lends them to each job and still as one.
#include <memory>

#include "drawing/StyledRenderer.h"
#include "drawing/SubtitleOverlay.h"
#include "media/VelAvCodec.h"
#include "subtitles/SubtitleUnit.h"

namespace JOBMATERIALS {

struct JobMaterials {
  // Null when the decoder's libraries could not be bound.
  std::unique_ptr<VELAVCODEC::VelAvCodec> Decoder;
  std::unique_ptr<SUBTITLEFILE::SubtitleFile> Subtitles =
      std::make_unique<SUBTITLEFILE::SubtitleFile>();
  std::unique_ptr<SUBTITLEOVERLAY::SubtitleOverlay> Overlay =
      std::make_unique<SUBTITLEOVERLAY::SubtitleOverlay>();
  std::unique_ptr<STYLEDRENDERER::StyledRenderer> Styled =
      std::make_unique<STYLEDRENDERER::StyledRenderer>();
};

}  // namespace JOBMATERIALS
