#pragma once

// Finds how a subtitle file's timing maps onto the film's speech: a ratio
// (one of the frame-rate conversions, or a free one close to 1 for a slow
// drift), an offset of up to ten minutes either way, and up to five splits
// where the offset changes. "Leave it as it is" is always one of the answers,
// and a timing is trusted only when the cues fit the speech far better than
// chance and clearly better than the runner-up.
#include <cstddef>
#include <string>
#include <vector>

#include "align/CueTime.h"
#include "align/SpeechTrack.h"
#include "align/TimeMap.h"

namespace ALIGNER {

struct Finding {
  bool Trusted = false;
  std::string Reason;  // why not, when not trusted
  TIMEMAP::TimeMap Map;
  // 0 to 1: how far above chance the mapped cues sit on speech.
  double Confidence = 0.0;
  // Share of the mapped cues' time that is speech, and of the film's.
  double CueSpeechShare = 0.0;
  double FilmSpeechShare = 0.0;
  // How far the best coarse match stands out of the spread of all offsets.
  double PeakOverChance = 0.0;
  // How far the mapped cues' share on speech stands above its spread with
  // the whole map moved to offsets where it fits nothing.
  double CoverOverChance = 0.0;
  // The chance, as a power of ten, that the placed cues start on as many
  // speech onsets as they do if they fit nothing.
  double OnsetChance = 0.0;
  // Each stretch's confidence, reckoned as Confidence is over its own cues.
  std::vector<double> StretchConfidence;
  // Runs of cues that fit no timing clearly (most often the lines of a scene
  // the film lacks): left at their neighbours' offset rather than moved on a
  // guess. A job does not go on with them.
  struct Unplaced {
    std::size_t FirstCue = 0, EndCue = 0;
    double FromSeconds = 0.0, ToSeconds = 0.0;  // on the file's clock
  };
  std::vector<Unplaced> NotPlaced;
};

Finding Align(const SPEECHTRACK::SpeechTrack& track, const std::vector<CueTime>& cues);

}  // namespace ALIGNER
