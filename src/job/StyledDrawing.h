#pragma once

// Setting up the styled drawing of a job or a still from its options and
// its opened subtitle file, so that both draw alike.
#include <string>

#include "job/JobOptions.h"
#include "subtitles/StyledOverlay.h"

namespace STYLEDDRAWING {

// Empty on success, else the error for the log.
std::string SetUp(STYLEDOVERLAY::StyledOverlay& overlay, const SUBTITLEFILE::SubtitleFile& file,
                  const JOBOPTIONS::JobOptions& options, int32_t width, int32_t height);

// The picture's time for the drawing; frames count at the file's rate.
int64_t PictureTime(const SUBTITLEFILE::SubtitleFile& file, int32_t frame);

}  // namespace STYLEDDRAWING
