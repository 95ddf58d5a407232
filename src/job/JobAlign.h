#pragma once

// The job's speech alignment: before the first picture, the opened subtitle
// file is re-timed to the source's speech, or the job fails rather than burn
// a guess.
#include <functional>
#include <string>
#include <vector>

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

}  // namespace JOBALIGN
