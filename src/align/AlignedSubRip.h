#pragma once

// A subtitle file written again as SubRip in UTF-8 with its cues re-timed:
// every cue that gives an entry, in file order, its text as read.
#include <string>

#include "align/TimeMap.h"
#include "subtitles/SubtitleModel.h"

namespace ALIGNEDSUBRIP {

std::string AlignedSubRipText(const SUBTITLEFILE::SubtitleDocument& document,
                              double videoFramesPerSecond, const TIMEMAP::TimeMap& map);

// False with `error` when the file can't be written.
bool WriteAlignedSubRip(const std::string& fileName, const std::string& text, std::string& error);

}  // namespace ALIGNEDSUBRIP
