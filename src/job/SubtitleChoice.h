#pragma once

// The subtitles a job takes where the options name languages or the forced
// track instead of a file or a track number: a file beside the source or
// one of its tracks, found before anything is opened.
#include <string>
#include <vector>

#include "job/JobOptions.h"

namespace VELAVCODEC {
class VelAvCodec;
}

namespace SUBTITLECHOICE {

struct Chosen {
  bool Found = true;
  std::vector<std::string> Log;  // what was taken and why
  std::string Error;             // when nothing could be
};

// After PreOpen and the stream choices: what is found takes the options'
// file or track (a track drawn styled, as the table makes a numbered one).
// The forced track not found burns nothing: the job then copies the film.
Chosen ChooseSubtitles(JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder);

}  // namespace SUBTITLECHOICE
