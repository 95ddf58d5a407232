#pragma once

// One subtitle file taken through everything a job would do with it: read
// with the reading options, every entry looked up at a frame rate and delay,
// and with styled drawing the script the drawing would be handed. Shared by
// the targets of the single formats.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

namespace FUZZTARGETS {

struct SubtitleRun {
  uint8_t Timing = 0;   // frame rate, delay, a re-timing map
  uint8_t Reading = 0;  // the reading options (low five bits); the rest is the target's
  uint8_t Drawing = 0;  // picture size, base style, through a file or not
};

SubtitleRun ReadSubtitleRun(Input& input);

// Reads the file and checks what its reading and lookup promise; with the
// styled option (or `styled`) also the script for the drawing.
void RunSubtitleFile(const std::string& contents, const SubtitleRun& run, bool styled);

}  // namespace FUZZTARGETS
