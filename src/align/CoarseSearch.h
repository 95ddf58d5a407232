#pragma once

// The first, coarse look: speech and cues as signals in 100 ms bins, and for
// each candidate ratio the correlation over every offset at once (by FFT).
#include <cstddef>
#include <vector>

#include "align/CueTime.h"
#include "align/SpeechTrack.h"

namespace COARSESEARCH {

constexpr double kBinSeconds = 0.1;

struct Peak {
  double Offset;  // seconds
  double Score;   // mean (centred) speech under the cues at this offset
};

struct RatioResult {
  double Ratio = 1.0;
  std::vector<Peak> Peaks;  // best first, at least 2 s apart
  double Median = 0.0;      // of the scores over all offsets
  double Spread = 0.0;      // their robust standard deviation
};

// The frame-rate conversions and a fine grid of ratios close to 1.
std::vector<double> CandidateRatios();
bool IsFrameRateRatio(double ratio);

std::vector<RatioResult> Search(const SPEECHTRACK::SpeechTrack& track,
                                const std::vector<ALIGNER::CueTime>& cues,
                                const std::vector<double>& ratios, double maxOffsetSeconds);

// Each window of consecutive cues correlated alone at one ratio, for the
// offsets of stretches too short to stand out of the whole file's search.
// Windows overlap by half.
struct Window {
  std::size_t FirstCue = 0, EndCue = 0;
  std::vector<Peak> Peaks;  // best first
};
std::vector<Window> LocalSearch(const SPEECHTRACK::SpeechTrack& track,
                                const std::vector<ALIGNER::CueTime>& cues, double ratio,
                                double maxOffsetSeconds, std::size_t cuesPerWindow);

}  // namespace COARSESEARCH
