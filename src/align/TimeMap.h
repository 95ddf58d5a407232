#pragma once

// How subtitle times move to the film's: one ratio for the whole file and an
// offset per stretch; a stretch starts at a split, placed in a gap between
// cues, and runs to the next one.
#include <cstddef>
#include <limits>
#include <vector>

namespace TIMEMAP {

struct Stretch {
  double FromSeconds;  // on the subtitle file's clock
  double Offset;       // seconds added after the ratio
  std::size_t FirstCue = 0;
};

struct TimeMap {
  double Ratio = 1.0;
  std::vector<Stretch> Stretches{{-std::numeric_limits<double>::infinity(), 0.0, 0}};

  double Apply(double seconds) const { return Apply(seconds, seconds); }
  // A time of a cue that starts at `cueStart`: a cue moves as a whole, by
  // the stretch its start is in, even where its end runs past a split.
  double Apply(double seconds, double cueStart) const {
    std::size_t k = 0;
    while (k + 1 < Stretches.size() && cueStart >= Stretches[k + 1].FromSeconds) ++k;
    return Ratio * seconds + Stretches[k].Offset;
  }
  bool IsIdentity() const {
    return Ratio == 1.0 && Stretches.size() == 1 && Stretches[0].Offset == 0.0;
  }
};

}  // namespace TIMEMAP
