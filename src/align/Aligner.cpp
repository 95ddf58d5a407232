#include "align/Aligner.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "align/CoarseSearch.h"

namespace ALIGNER {
namespace {

using COARSESEARCH::RatioResult;
using SPEECHTRACK::kFrameSeconds;

constexpr double kMaxOffset = 600.0;
constexpr std::size_t kMaxSplits = 5;
// What a split must gain, in seconds of cue time moved onto speech: a few
// cues' worth, so that chance never pays for one.
constexpr double kSplitCost = 4.0;
// The fine search around each stretch's coarse offset, and around the ratio.
constexpr double kFineReach = 0.5;
constexpr double kRatioReach = 0.0002;
constexpr int kRatioSteps = 10;
// A cue's start on a speech onset counts this much, in seconds of cue time.
constexpr double kOnsetWeight = 0.5;
constexpr int kOnsetReach = 5;  // frames
// How much better than leaving the file alone a timing must fit; and a
// timing that moves no cue further than this is no reason to move the file at
// all: people time a line's start a little before the voice, and within this
// a file reads as right.
constexpr double kKeepMargin = 0.01;
constexpr double kStayPut = 0.15;
// Trust: the peak this far out of the spread of all offsets, the cues this
// much more on speech than the film is, and the runner-up this far behind.
constexpr double kMinPeakOverChance = 5.0;
constexpr double kMinConfidence = 0.35;
// A short film gives chance a wide spread: there a peak less far out will do
// when the cues sit on speech far more than the film does.
constexpr double kMinPeakOverChanceShort = 3.0;
constexpr double kMinConfidenceShort = 0.6;
constexpr double kMaxRunnerUp = 0.85;
// A ratio is taken only where the two ends of its longest stretch, each
// fitted alone, keep to it: they may stray from it by this share of what it
// says at most. A stretch of fewer cues cannot tell.
constexpr double kDriftAgreement = 0.5;
constexpr std::size_t kMinCuesToTellDrift = 9;

// The speech track as sums, so that a cue's fit costs two look-ups.
class Fit {
 public:
  explicit Fit(const SPEECHTRACK::SpeechTrack& track) {
    const std::size_t n = track.Speech.size();
    speech_.assign(n + 1, 0.0);
    for (std::size_t t = 0; t < n; ++t) speech_[t + 1] = speech_[t] + track.Speech[t];
    onset_.assign(n, 0.0);
    for (std::size_t t = 0; t < n; ++t) {
      if (!track.Onset[t]) continue;
      for (int d = -kOnsetReach; d <= kOnsetReach; ++d) {
        const int64_t at = int64_t(t) + d;
        if (at < 0 || at >= int64_t(n)) continue;
        const double weight = 1.0 - std::abs(d) / double(kOnsetReach + 1);
        onset_[std::size_t(at)] = std::max(onset_[std::size_t(at)], weight);
      }
    }
  }
  // Seconds of speech under the span less half its length: positive when
  // mostly on speech. Outside the film there is none.
  double Cover(double from, double to) const {
    const int64_t a = Frame(from), b = Frame(to);
    if (b <= a) return 0.0;
    return (SpeechBefore(b) - SpeechBefore(a) - 0.5 * double(b - a)) * kFrameSeconds;
  }
  double OnsetAt(double seconds) const {
    const int64_t t = Frame(seconds);
    return t >= 0 && t < int64_t(onset_.size()) ? onset_[std::size_t(t)] : 0.0;
  }
  double Cue(const CueTime& cue, double ratio, double offset) const {
    const double start = ratio * cue.Start + offset;
    return Cover(start, ratio * cue.End + offset) + kOnsetWeight * OnsetAt(start);
  }
  double SpeechShare(double from, double to) const {
    const int64_t a = Frame(from), b = Frame(to);
    return b > a ? (SpeechBefore(b) - SpeechBefore(a)) / double(b - a) : 0.0;
  }

 private:
  static int64_t Frame(double seconds) { return int64_t(std::lround(seconds / kFrameSeconds)); }
  double SpeechBefore(int64_t t) const {
    return speech_[std::size_t(std::clamp<int64_t>(t, 0, int64_t(speech_.size()) - 1))];
  }
  std::vector<double> speech_;
  std::vector<double> onset_;
};

enum class RatioKind { None, FrameRate, Drift };

RatioKind KindOf(double ratio) {
  if (ratio == 1.0) return RatioKind::None;
  return COARSESEARCH::IsFrameRateRatio(ratio) ? RatioKind::FrameRate : RatioKind::Drift;
}

// The best coarse answer of one kind: no ratio, a frame-rate conversion, or
// a drift close to 1.
const RatioResult* BestRatio(const std::vector<RatioResult>& results, RatioKind kind) {
  const RatioResult* best = nullptr;
  for (const RatioResult& result : results) {
    if (result.Peaks.empty() || KindOf(result.Ratio) != kind) continue;
    if (best == nullptr || result.Peaks[0].Score > best->Peaks[0].Score) best = &result;
  }
  return best;
}

// Which coarse offset each cue takes: the best path through the cues that
// pays kSplitCost for every change, with at most kMaxSplits changes, and a
// change only where the cues stay in order.
std::vector<std::size_t> ChooseOffsets(const Fit& fit, const std::vector<CueTime>& cues,
                                       double ratio, const std::vector<double>& offsets) {
  const std::size_t n = cues.size(), k = offsets.size(), s = kMaxSplits + 1;
  const double none = -std::numeric_limits<double>::infinity();
  // best[(i * k + j) * s + used]: cue i at offset j after `used` splits.
  std::vector<double> best(n * k * s, none);
  std::vector<std::size_t> from(n * k * s, 0);
  auto at = [&](std::size_t i, std::size_t j, std::size_t used) { return (i * k + j) * s + used; };
  for (std::size_t j = 0; j < k; ++j) best[at(0, j, 0)] = fit.Cue(cues[0], ratio, offsets[j]);
  for (std::size_t i = 1; i < n; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      const double gain = fit.Cue(cues[i], ratio, offsets[j]);
      for (std::size_t used = 0; used < s; ++used) {
        double top = best[at(i - 1, j, used)];
        std::size_t origin = j * s + used;
        for (std::size_t p = 0; used > 0 && p < k; ++p) {
          if (p == j || best[at(i - 1, p, used - 1)] == none) continue;
          const bool inOrder = ratio * cues[i].Start + offsets[j] >=
                               ratio * cues[i - 1].End + offsets[p] - kFrameSeconds;
          const double value = best[at(i - 1, p, used - 1)] - kSplitCost;
          if (inOrder && value > top) top = value, origin = p * s + used - 1;
        }
        if (top == none) continue;
        best[at(i, j, used)] = top + gain;
        from[at(i, j, used)] = origin;
      }
    }
  }
  std::size_t state = 0;
  for (std::size_t candidate = 0; candidate < k * s; ++candidate)
    if (best[(n - 1) * k * s + candidate] > best[(n - 1) * k * s + state]) state = candidate;
  std::vector<std::size_t> choice(n);
  for (std::size_t i = n; i-- > 0;) {
    choice[i] = state / s;
    state = from[i * k * s + state];
  }
  return choice;
}

TIMEMAP::TimeMap MapOfChoice(const std::vector<CueTime>& cues, double ratio,
                             const std::vector<double>& offsets,
                             const std::vector<std::size_t>& choice) {
  TIMEMAP::TimeMap map;
  map.Ratio = ratio;
  map.Stretches[0].Offset = offsets[choice[0]];
  for (std::size_t i = 1; i < cues.size(); ++i) {
    if (choice[i] == choice[i - 1]) continue;
    // In the middle of the gap, on the file's clock.
    const double at = 0.5 * (cues[i - 1].End + cues[i].Start);
    map.Stretches.push_back({at, offsets[choice[i]], i});
  }
  return map;
}

std::size_t StretchEnd(const TIMEMAP::TimeMap& map, std::size_t k, std::size_t cueCount) {
  return k + 1 < map.Stretches.size() ? map.Stretches[k + 1].FirstCue : cueCount;
}

// The best offset for each stretch at this ratio, near the ones given.
double FitStretches(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                    TIMEMAP::TimeMap& map) {
  double total = 0.0;
  for (std::size_t k = 0; k < map.Stretches.size(); ++k) {
    TIMEMAP::Stretch& stretch = map.Stretches[k];
    const std::size_t end = StretchEnd(map, k, cues.size());
    const double centre = stretch.Offset;
    double bestScore = -std::numeric_limits<double>::infinity();
    for (double step = -kFineReach; step <= kFineReach + 1e-9; step += kFrameSeconds) {
      const double offset = centre + step;
      double score = 0.0;
      for (std::size_t i = stretch.FirstCue; i < end; ++i) score += fit.Cue(cues[i], ratio, offset);
      if (score > bestScore) bestScore = score, stretch.Offset = offset;
    }
    total += bestScore;
  }
  map.Ratio = ratio;
  return total;
}

double Score(const Fit& fit, const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map) {
  double total = 0.0;
  for (std::size_t k = 0; k < map.Stretches.size(); ++k)
    for (std::size_t i = map.Stretches[k].FirstCue; i < StretchEnd(map, k, cues.size()); ++i)
      total += fit.Cue(cues[i], map.Ratio, map.Stretches[k].Offset);
  return total;
}

// The ratio close to the coarse one that fits best, each stretch's offset
// refined with it; an exact frame-rate ratio is kept unless another fits
// clearly better.
TIMEMAP::TimeMap Refine(const Fit& fit, const std::vector<CueTime>& cues, TIMEMAP::TimeMap map) {
  const double coarse = map.Ratio;
  TIMEMAP::TimeMap best = map;
  double bestScore = FitStretches(fit, cues, coarse, best);
  for (int i = -kRatioSteps; i <= kRatioSteps; ++i) {
    if (i == 0) continue;
    TIMEMAP::TimeMap trial = map;
    const double score =
        FitStretches(fit, cues, coarse * (1.0 + i * kRatioReach / kRatioSteps), trial);
    const double margin =
        COARSESEARCH::IsFrameRateRatio(coarse) ? kKeepMargin * std::fabs(bestScore) : 0.0;
    if (score > bestScore + margin) bestScore = score, best = trial;
  }
  return best;
}

// The share of cues [first, end)'s time, mapped, that is speech.
double CueShare(const Fit& fit, const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map,
                std::size_t first, std::size_t end) {
  double speech = 0.0, length = 0.0;
  for (std::size_t i = first; i < end; ++i) {
    const double from = map.Apply(cues[i].Start), to = map.Apply(cues[i].End);
    speech += fit.SpeechShare(from, to) * (to - from);
    length += to - from;
  }
  return length > 0.0 ? speech / length : 0.0;
}

// How much more the cues are on speech than the film is, 0 to 1.
double ConfidenceOf(double cueShare, double filmShare) {
  return std::clamp((cueShare - filmShare) / std::max(1.0 - filmShare, 1e-9), 0.0, 1.0);
}

// The best other coarse answer the map does not use, against the best.
double RunnerUp(const RatioResult& best, const TIMEMAP::TimeMap& map) {
  const double top = best.Peaks[0].Score - best.Median;
  for (const COARSESEARCH::Peak& peak : best.Peaks) {
    bool used = false;
    for (const TIMEMAP::Stretch& stretch : map.Stretches)
      used = used || std::fabs(stretch.Offset - peak.Offset) < 2.0;
    if (!used && top > 0.0) return (peak.Score - best.Median) / top;
  }
  return 0.0;
}

void Judge(const Fit& fit, const std::vector<CueTime>& cues, const RatioResult& best,
           double filmShare, Finding& finding) {
  finding.FilmSpeechShare = filmShare;
  finding.CueSpeechShare = CueShare(fit, cues, finding.Map, 0, cues.size());
  finding.PeakOverChance = (best.Peaks[0].Score - best.Median) / best.Spread;
  finding.Confidence = ConfidenceOf(finding.CueSpeechShare, filmShare);
  for (std::size_t k = 0; k < finding.Map.Stretches.size(); ++k)
    finding.StretchConfidence.push_back(
        ConfidenceOf(CueShare(fit, cues, finding.Map, finding.Map.Stretches[k].FirstCue,
                              StretchEnd(finding.Map, k, cues.size())),
                     filmShare));
  const double runnerUp = RunnerUp(best, finding.Map);
  const bool standsOut =
      (finding.PeakOverChance >= kMinPeakOverChance && finding.Confidence >= kMinConfidence) ||
      (finding.PeakOverChance >= kMinPeakOverChanceShort &&
       finding.Confidence >= kMinConfidenceShort);
  if (!standsOut)
    finding.Reason = "the subtitles don't match the speech";
  else if (runnerUp > kMaxRunnerUp)
    finding.Reason = "two timings fit the speech about as well";
  finding.Trusted = finding.Reason.empty();
}

double LargestMove(const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map) {
  double largest = 0.0;
  for (const CueTime& cue : cues)
    largest = std::max({largest, std::fabs(map.Apply(cue.Start) - cue.Start),
                        std::fabs(map.Apply(cue.End) - cue.End)});
  return largest;
}

// The offset that fits cues [first, end) best at the ratio, within
// kFineReach of `centre`.
double EndOffset(const Fit& fit, const std::vector<CueTime>& cues, std::size_t first,
                 std::size_t end, double ratio, double centre) {
  double best = centre, bestScore = -std::numeric_limits<double>::infinity();
  for (double step = -kFineReach; step <= kFineReach + 1e-9; step += kFrameSeconds) {
    double score = 0.0;
    for (std::size_t i = first; i < end; ++i) score += fit.Cue(cues[i], ratio, centre + step);
    if (score > bestScore) bestScore = score, best = centre + step;
  }
  return best;
}

// Whether the speech at both ends of the map's longest stretch keeps to its
// ratio: a ratio that only hides a misplaced split, or noise, does not.
// Under a right ratio both ends take the stretch's offset; under a wrong one
// they part by the error over the distance between them.
bool EndsSupportRatio(const Fit& fit, const std::vector<CueTime>& cues,
                      const TIMEMAP::TimeMap& map) {
  if (map.Ratio == 1.0) return true;
  std::size_t longest = 0;
  for (std::size_t k = 1; k < map.Stretches.size(); ++k)
    if (StretchEnd(map, k, cues.size()) - map.Stretches[k].FirstCue >
        StretchEnd(map, longest, cues.size()) - map.Stretches[longest].FirstCue)
      longest = k;
  const std::size_t first = map.Stretches[longest].FirstCue;
  const std::size_t end = StretchEnd(map, longest, cues.size());
  if (end - first < kMinCuesToTellDrift) return true;
  const std::size_t third = (end - first) / 3;
  const auto middle = [&](std::size_t a, std::size_t b) {
    return 0.5 * (cues[a].Start + cues[b - 1].End);
  };
  const double early = middle(first, first + third), late = middle(end - third, end);
  if (late <= early) return true;
  const double offset = map.Stretches[longest].Offset;
  const double earlyFound = EndOffset(fit, cues, first, first + third, map.Ratio, offset);
  const double lateFound = EndOffset(fit, cues, end - third, end, map.Ratio, offset);
  const double strayed = (lateFound - earlyFound) / (late - early);
  return std::fabs(strayed) <= kDriftAgreement * std::fabs(map.Ratio - 1.0);
}

struct Candidate {
  const RatioResult* Coarse = nullptr;
  TIMEMAP::TimeMap Map;
  double Score = -std::numeric_limits<double>::infinity();
};

Candidate Follow(const Fit& fit, const std::vector<CueTime>& cues, const RatioResult* coarse) {
  Candidate candidate;
  if (coarse == nullptr) return candidate;
  candidate.Coarse = coarse;
  std::vector<double> offsets;
  for (const COARSESEARCH::Peak& peak : coarse->Peaks) offsets.push_back(peak.Offset);
  const auto choice = ChooseOffsets(fit, cues, coarse->Ratio, offsets);
  candidate.Map = Refine(fit, cues, MapOfChoice(cues, coarse->Ratio, offsets, choice));
  candidate.Score = Score(fit, cues, candidate.Map);
  return candidate;
}

}  // namespace

Finding Align(const SPEECHTRACK::SpeechTrack& track, const std::vector<CueTime>& cues) {
  Finding finding;
  const double speechSeconds = track.SpeechSeconds();
  if (cues.size() < 2) {
    finding.Reason = "the subtitle file has too few cues";
    return finding;
  }
  if (speechSeconds < 10.0) {
    finding.Reason = "no speech was found in the audio";
    return finding;
  }
  const std::vector<RatioResult> results =
      COARSESEARCH::Search(track, cues, COARSESEARCH::CandidateRatios(), kMaxOffset);
  const Fit fit(track);
  // The simplest timing that explains the speech: offsets and splits alone,
  // then a frame-rate conversion, then a drift, each taken only when it fits
  // clearly better and both ends of the film bear its ratio out.
  Candidate best = Follow(fit, cues, BestRatio(results, RatioKind::None));
  if (best.Coarse != nullptr && !EndsSupportRatio(fit, cues, best.Map)) {
    FitStretches(fit, cues, 1.0, best.Map);
    best.Score = Score(fit, cues, best.Map);
  }
  for (const RatioKind kind : {RatioKind::FrameRate, RatioKind::Drift}) {
    const Candidate other = Follow(fit, cues, BestRatio(results, kind));
    if (other.Coarse == nullptr) continue;
    if (best.Coarse == nullptr || (other.Score > best.Score + kKeepMargin * std::fabs(best.Score) &&
                                   EndsSupportRatio(fit, cues, other.Map)))
      best = other;
  }
  if (best.Coarse == nullptr) {
    finding.Reason = "the subtitles don't match the speech";
    return finding;
  }
  const TIMEMAP::TimeMap unchanged;
  const double kept = Score(fit, cues, unchanged);
  const bool better = best.Score > kept + kKeepMargin * std::fabs(kept);
  finding.Map = better && LargestMove(cues, best.Map) > kStayPut ? best.Map : unchanged;
  Judge(fit, cues, *best.Coarse, speechSeconds / std::max(track.Seconds(), 1e-9), finding);
  return finding;
}

}  // namespace ALIGNER
