#pragma once

// The job's speech alignment: before the first picture, the opened subtitle
// file is re-timed to the source's speech, or the job fails rather than burn
// a guess.
#include <functional>
#include <string>
#include <vector>

#include "align/CueTime.h"
#include "align/TimeMap.h"
#include "job/JobOptions.h"
#include "subtitles/SubtitleUnit.h"

namespace JOBALIGN {

// Sets the file's time map from the options: none unless AlignToSpeech, else
// the timing found. `log` gets the finding's lines; false with `error` when
// the audio can't be read or no trustworthy timing is found. `pulse` is called
// every few seconds of audio read.
bool ApplyAlignment(const JOBOPTIONS::JobOptions& options, SUBTITLEFILE::SubtitleFile& subtitles,
                    std::vector<std::string>& log, std::string& error,
                    const std::function<void()>& pulse = nullptr);

// The same for cues whose times are in seconds already (subtitle pictures):
// `map` is the timing found, or none unless AlignToSpeech.
bool FindAlignment(const JOBOPTIONS::JobOptions& options, const std::vector<ALIGNER::CueTime>& cues,
                   TIMEMAP::TimeMap& map, std::vector<std::string>& log, std::string& error,
                   const std::function<void()>& pulse = nullptr);

}  // namespace JOBALIGN
