#pragma once

// A cue's times as the alignment searches with them.
namespace ALIGNER {

struct CueTime {
  double Start;  // seconds on the subtitle file's clock
  double End;
};

}  // namespace ALIGNER
