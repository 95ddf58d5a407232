#include "align/Aligner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <numeric>
#include <set>

#include "align/CoarseSearch.h"

namespace ALIGNER {
namespace {

using COARSESEARCH::RatioResult;
using SPEECHTRACK::kFrameSeconds;

constexpr double kMaxOffset = 600.0;
constexpr std::size_t kMaxSplits = 5;
// The search may split more often than that, since the lines of scenes the
// film lacks can each take a stretch of chance; those are set aside after.
constexpr std::size_t kSearchSplits = kMaxSplits + 4;
// A stretch is placed only when this many of its cues, and this share,
// start within the tolerance of a speech onset.
constexpr std::size_t kMinOnsetHits = 3;
constexpr double kMinOnsetShare = 0.35;
constexpr int kOnsetTolerance = 8;  // frames
// Where, about a cue's start, the voice's onset is looked for: on time, or
// as people time lines, the cue up to 0.6 s ahead of the voice. Each is
// weighed against its own chance, so the wider one is no easier to pass.
struct OnsetWindow {
  int Before, After;  // frames
};
constexpr OnsetWindow kOnTime{kOnsetTolerance, kOnsetTolerance};
constexpr OnsetWindow kLeading{kOnsetTolerance, 60};
// A stretch short of kMinOnsetShare is kept when it holds kMinCuesBeyondChance
// cues at least and its onset hits are no likelier than kMaxChanceOfStretch by
// chance. Chance is measured with the cues at these shifts (seconds) either
// way, where they fit nothing, and taken as no less than kMinChanceRate.
constexpr std::size_t kMinCuesBeyondChance = 8;
constexpr double kMaxChanceOfStretch = 1e-6;
constexpr double kChanceShifts[] = {2.3, 4.1, 6.7, 9.2, 13.9, 19.6, 27.1, 37.3};
constexpr double kMinChanceRate = 0.05;
// How far cues cover speech above chance: their share on speech against
// its spread with them at the shifts below (seconds, either way), the
// spread taken as no less than kMinCoverSpread.
constexpr double kCoverShifts[] = {2.1,  3.3,  4.7,  6.1,  7.9,  9.7,  12.1, 14.9,
                                   18.3, 22.1, 26.9, 31.7, 37.9, 44.3, 52.1, 61.3};
constexpr double kMinCoverSpread = 0.02;
// A stretch short of onsets goes back to a neighbour's offset; its cues are
// named only when even there they cover speech no further above chance than
// this: cue starts that lead the voice by half a second, or fall inside a
// speech that goes on, meet no onset, yet the lines lie on the speech. (At
// a stretch's own offset, chosen for its cover, the cover says little.)
constexpr double kMinMergedCoverOverChance = 3.0;
// The end of a stretch that starts on this share of onsets at most is of
// chance (the lines of a scene the film lacks, met by the next stretch's
// offset).
constexpr double kMaxOffOnsetShare = 0.1;
// What a split must gain, in seconds of cue time moved onto speech: a few
// cues' worth, so that chance never pays for one.
constexpr double kSplitCost = 4.0;
// The least a split moves the cues after it: a scene put in or taken out.
// Smaller steps are what a drift looks like, and a ratio explains those.
constexpr double kMinJump = 1.0;
// The windows whose own offsets the splits may take: short enough that a
// stretch of this many cues stands out in one of them.
constexpr std::size_t kCuesPerWindow = 16;
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
// Where the film's speech is found well beyond the lines (music, a crowd)
// or the lines run on past the voice, the cues sit on speech little more
// than the film does; their starts on speech onsets then tell instead: a
// peak this far out with the onsets met this unlikely by chance in all, or
// a peak less far out with them this unlikely per cue as well.
constexpr double kMinPeakWithOnsets = 6.0;
constexpr double kMaxOnsetChanceWithPeak = -4.0;
constexpr double kMinPeakWithOnsetsPerCue = 3.0;
constexpr double kMaxOnsetChance = -6.0;
constexpr double kMaxOnsetChancePerCue = -0.2;
// Onsets met this unlikely by chance tell at any peak: a short film, or a
// ratio that smears the coarse search's peak, keeps it low.
constexpr double kMaxOnsetChanceAlone = -9.0;
// So do starts ahead of their onsets met this unlikely, the wider window's
// own chance, where the starts on time are beyond chance as well: then the
// timing is not a few tenths of a second out.
constexpr double kMaxLeadingChanceAlone = -12.0;
constexpr double kMaxOnTimeChanceWithLeading = -3.0;
// Where the lines' starts meet onsets no more than this likely by chance
// (a crowd heard as talk fills every pause), their cover places them only
// to a second or so: the file is not moved on that.
constexpr double kMaxOnsetChanceToMove = -2.0;
// A ratio is taken only where the two ends of its longest stretch, each
// fitted alone, keep to it: they may stray from it by this share of what it
// says at most. A stretch of fewer cues cannot tell.
constexpr double kDriftAgreement = 0.5;
constexpr std::size_t kMinCuesToTellDrift = 9;
// The parts a file of one offset is cut into, each to hold alone, before
// that offset is taken where the search's timing was refused; and the chance
// a part's onset hits may have at most, at a timing found for the rest.
constexpr std::size_t kParts = 3;
constexpr double kMaxPartChance = 1e-3;
constexpr double kMaxPartChanceWithCover = 1e-2;
constexpr double kMinPartCover = 1.0;

// Fewest cues that are searched for an offset of their own when the file is
// read a stretch at a time, and how many of their search's best offsets are
// tried.
constexpr std::size_t kMinPeelCues = 4;
constexpr std::size_t kPeelPeaks = 3;
// The onset search's steps, how far apart the offsets it offers lie, and
// how many it offers for each window.
constexpr double kOnsetSearchStep = 0.05;
constexpr double kMinPeakApart = 2.0;
constexpr std::size_t kOnsetPeaks = 2;
// What the onset search's choice costs its evidence, as a power of ten: of
// the offsets over ten minutes either way, those a window's width apart are
// as many tries, and the best of both windows' is taken (some 1700 for the
// leading window and 7000 for the one on time).
double OnsetSearchCost() {
  double tries = 0.0;
  for (const OnsetWindow window : {kLeading, kOnTime})
    tries += 2.0 * kMaxOffset / (double(window.Before + window.After + 1) * kFrameSeconds);
  return std::log10(tries);
}
// How often a right cue's start leads an onset, for the evidence of each
// cue; a film whose onsets are so thick that chance comes close tells
// little by them.
constexpr double kRightLeadRate = 0.75;
constexpr double kMaxChanceLeadRate = 0.6;

// The speech track as sums, so that a cue's fit costs two look-ups.
class Fit {
 public:
  explicit Fit(const SPEECHTRACK::SpeechTrack& track) {
    const std::size_t n = track.Speech.size();
    speech_.assign(n + 1, 0.0);
    for (std::size_t t = 0; t < n; ++t) speech_[t + 1] = speech_[t] + track.Speech[t];
    onsetsBefore_.assign(n + 1, 0);
    for (std::size_t t = 0; t < n; ++t) onsetsBefore_[t + 1] = onsetsBefore_[t] + track.Onset[t];
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
  bool NearOnset(double seconds, OnsetWindow window) const {
    const int64_t t = Frame(seconds), frames = int64_t(onsetsBefore_.size()) - 1;
    const int64_t from = std::clamp<int64_t>(t - window.Before, 0, frames);
    const int64_t to = std::clamp<int64_t>(t + window.After + 1, 0, frames);
    return to > from && onsetsBefore_[std::size_t(to)] > onsetsBefore_[std::size_t(from)];
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
  std::vector<uint32_t> onsetsBefore_;  // onsets in frames [0, t)
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

// The offsets each cue may take: the whole file's best, and the best of
// each window of cues it lies in, so that a stretch too short to stand out
// of the whole file still finds its own.
struct Offsets {
  std::vector<double> Pool;
  std::vector<std::vector<std::size_t>> OfCue;  // indices into Pool
};

Offsets GatherOffsets(const RatioResult& coarse, const std::vector<COARSESEARCH::Window>& windows,
                      std::size_t cueCount) {
  Offsets offsets;
  std::map<int64_t, std::size_t> pooled;  // by coarse bin
  const auto index = [&](double offset) {
    const int64_t bin = std::llround(offset / COARSESEARCH::kBinSeconds);
    const auto found = pooled.find(bin);
    if (found != pooled.end()) return found->second;
    offsets.Pool.push_back(offset);
    return pooled[bin] = offsets.Pool.size() - 1;
  };
  std::vector<std::size_t> global;
  for (const COARSESEARCH::Peak& peak : coarse.Peaks) global.push_back(index(peak.Offset));
  offsets.OfCue.assign(cueCount, global);
  for (const COARSESEARCH::Window& window : windows)
    for (const COARSESEARCH::Peak& peak : window.Peaks) {
      const std::size_t at = index(peak.Offset);
      for (std::size_t i = window.FirstCue; i < window.EndCue && i < cueCount; ++i)
        if (std::find(offsets.OfCue[i].begin(), offsets.OfCue[i].end(), at) ==
            offsets.OfCue[i].end())
          offsets.OfCue[i].push_back(at);
    }
  return offsets;
}

// Which offset each cue takes: the best path through the cues that pays
// kSplitCost for every change, with at most `splits` changes. A change
// may go either way: forward where the film has more than the file's
// release, back where it lacks a scene the file has lines for.
std::vector<std::size_t> ChooseOffsets(const Fit& fit, const std::vector<CueTime>& cues,
                                       double ratio, const Offsets& offsets, std::size_t splits) {
  const std::size_t n = cues.size(), s = splits + 1;
  const double none = -std::numeric_limits<double>::infinity();
  struct State {
    double Value;
    std::size_t From;  // the state of the cue before: its candidate * s + splits
  };
  // states[i][j * s + used]: cue i at its j-th candidate after `used` splits.
  std::vector<std::vector<State>> states(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::size_t>& here = offsets.OfCue[i];
    states[i].assign(here.size() * s, {none, 0});
    for (std::size_t j = 0; j < here.size(); ++j) {
      const double gain = fit.Cue(cues[i], ratio, offsets.Pool[here[j]]);
      if (i == 0) {
        states[i][j * s] = {gain, 0};
        continue;
      }
      const std::vector<std::size_t>& before = offsets.OfCue[i - 1];
      for (std::size_t used = 0; used < s; ++used) {
        State top{none, 0};
        for (std::size_t p = 0; p < before.size(); ++p) {
          const bool same = before[p] == here[j];
          if (!same &&
              (used == 0 || std::fabs(offsets.Pool[here[j]] - offsets.Pool[before[p]]) < kMinJump))
            continue;
          const std::size_t origin = p * s + (same ? used : used - 1);
          const double value = states[i - 1][origin].Value - (same ? 0.0 : kSplitCost);
          if (value > top.Value) top = {value, origin};
        }
        if (top.Value != none) states[i][j * s + used] = {top.Value + gain, top.From};
      }
    }
  }
  std::size_t state = 0;
  for (std::size_t candidate = 0; candidate < states[n - 1].size(); ++candidate)
    if (states[n - 1][candidate].Value > states[n - 1][state].Value) state = candidate;
  std::vector<std::size_t> choice(n);
  for (std::size_t i = n; i-- > 0;) {
    choice[i] = offsets.OfCue[i][state / s];
    state = states[i][state].From;
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
// Cues set aside (0 in `placed`) have no say: they fit nothing by their nature.
double FitStretches(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                    TIMEMAP::TimeMap& map, const std::vector<uint8_t>* placed = nullptr) {
  double total = 0.0;
  for (std::size_t k = 0; k < map.Stretches.size(); ++k) {
    TIMEMAP::Stretch& stretch = map.Stretches[k];
    const std::size_t end = StretchEnd(map, k, cues.size());
    const double centre = stretch.Offset;
    double bestScore = -std::numeric_limits<double>::infinity();
    for (double step = -kFineReach; step <= kFineReach + 1e-9; step += kFrameSeconds) {
      const double offset = centre + step;
      double score = 0.0;
      for (std::size_t i = stretch.FirstCue; i < end; ++i)
        if (placed == nullptr || (*placed)[i]) score += fit.Cue(cues[i], ratio, offset);
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

// The share of the placed cues [first, end)'s time, mapped, that is speech.
double CueShare(const Fit& fit, const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map,
                std::size_t first, std::size_t end, const std::vector<uint8_t>& placed) {
  double speech = 0.0, length = 0.0;
  for (std::size_t i = first; i < end; ++i) {
    if (!placed[i]) continue;
    const double from = map.Apply(cues[i].Start), to = map.Apply(cues[i].End, cues[i].Start);
    speech += fit.SpeechShare(from, to) * (to - from);
    length += to - from;
  }
  return length > 0.0 ? speech / length : 0.0;
}

// How far the placed cues [first, end)'s share on speech under the map
// stands above its spread with the map moved by the kCoverShifts.
double CoverOverChance(const Fit& fit, const std::vector<CueTime>& cues,
                       const TIMEMAP::TimeMap& map, std::size_t first, std::size_t end,
                       const std::vector<uint8_t>& placed) {
  const double found = CueShare(fit, cues, map, first, end, placed);
  double sum = 0.0, squares = 0.0;
  int count = 0;
  for (const double shift : kCoverShifts)
    for (const double sign : {-1.0, 1.0}) {
      TIMEMAP::TimeMap moved = map;
      for (TIMEMAP::Stretch& stretch : moved.Stretches) stretch.Offset += sign * shift;
      const double share = CueShare(fit, cues, moved, first, end, placed);
      sum += share, squares += share * share, ++count;
    }
  const double mean = sum / count;
  const double spread = std::sqrt(std::max(0.0, squares / count - mean * mean));
  return (found - mean) / std::max(spread, kMinCoverSpread);
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

// 1 for each cue the finding places, 0 for those it sets aside.
std::vector<uint8_t> PlacedCues(const Finding& finding, std::size_t cueCount) {
  std::vector<uint8_t> placed(cueCount, 1);
  for (const Finding::Unplaced& unplaced : finding.NotPlaced)
    std::fill(placed.begin() + std::ptrdiff_t(unplaced.FirstCue),
              placed.begin() + std::ptrdiff_t(unplaced.EndCue), 0);
  return placed;
}

// The runs of cues with 0 in `placed`, named in the finding: the other way
// from PlacedCues.
void NameUnplaced(const std::vector<CueTime>& cues, const std::vector<uint8_t>& placed,
                  Finding& finding) {
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (placed[i]) continue;
    if (i == 0 || placed[i - 1])
      finding.NotPlaced.push_back({i, i + 1, cues[i].Start, cues[i].End});
    finding.NotPlaced.back().EndCue = i + 1;
    finding.NotPlaced.back().ToSeconds = cues[i].End;
  }
}

// How many of the cues start on a speech onset at the offset.
std::size_t OnsetHits(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
                      const std::vector<std::size_t>& which, OnsetWindow window = kOnTime) {
  std::size_t hits = 0;
  for (const std::size_t i : which) hits += fit.NearOnset(ratio * cues[i].Start + offset, window);
  return hits;
}

bool StartsOnOnsets(std::size_t hits, std::size_t cues) {
  return hits >= kMinOnsetHits && double(hits) >= kMinOnsetShare * double(cues);
}

// The chance that `hits` or more of `n` cues start on an onset when each does
// with probability `p` alone.
double ChanceOfHits(std::size_t n, std::size_t hits, double p) {
  double chance = 0.0;
  for (std::size_t k = hits; k <= n; ++k)
    chance += std::exp(std::lgamma(double(n) + 1.0) - std::lgamma(double(k) + 1.0) -
                       std::lgamma(double(n - k) + 1.0) + double(k) * std::log(p) +
                       double(n - k) * std::log1p(-p));
  return chance;
}

// The same as a power of ten, which does not run out of range on a long file.
double LogChanceOfHits(std::size_t n, std::size_t hits, double p) {
  double top = -std::numeric_limits<double>::infinity(), sum = 0.0;
  std::vector<double> terms;
  for (std::size_t k = hits; k <= n; ++k) {
    terms.push_back(std::lgamma(double(n) + 1.0) - std::lgamma(double(k) + 1.0) -
                    std::lgamma(double(n - k) + 1.0) + double(k) * std::log(p) +
                    double(n - k) * std::log1p(-p));
    top = std::max(top, terms.back());
  }
  if (terms.empty()) return 0.0;
  for (const double term : terms) sum += std::exp(term - top);
  return (top + std::log(sum)) / std::log(10.0);
}

// How often the cues start on an onset by chance: at offsets well away from
// the one found, where they fit nothing, over this film's own onsets.
double ChanceHitRate(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
                     const std::vector<std::size_t>& kept, OnsetWindow window = kOnTime) {
  std::size_t hits = 0, tries = 0;
  for (const double shift : kChanceShifts)
    for (const double sign : {-1.0, 1.0})
      for (const std::size_t i : kept) {
        hits += fit.NearOnset(ratio * cues[i].Start + offset + sign * shift, window);
        ++tries;
      }
  return std::clamp(double(hits) / double(std::max<std::size_t>(tries, 1)), kMinChanceRate, 0.99);
}

// Where the film's onsets are blurred (a loud bed of drums, say) even a
// right stretch starts on few of them; it still starts on far more than its
// cues do at offsets where they fit nothing.
bool BeyondChance(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
                  const std::vector<std::size_t>& own, std::size_t hits,
                  OnsetWindow window = kOnTime) {
  return own.size() >= kMinCuesBeyondChance && hits >= kMinOnsetHits &&
         ChanceOfHits(own.size(), hits, ChanceHitRate(fit, cues, ratio, offset, own, window)) <=
             kMaxChanceOfStretch;
}

// The chance, as a power of ten, that the placed cues under the map start
// on as many onsets (within the window) as they do, if they fit nothing.
double OnsetChanceOf(const Fit& fit, const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map,
                     const std::vector<uint8_t>& placed, OnsetWindow window) {
  std::size_t hits = 0, tries = 0;
  double expected = 0.0;
  for (std::size_t k = 0; k < map.Stretches.size(); ++k) {
    std::vector<std::size_t> own;
    for (std::size_t i = map.Stretches[k].FirstCue; i < StretchEnd(map, k, cues.size()); ++i)
      if (placed[i]) own.push_back(i);
    if (own.empty()) continue;
    const double offset = map.Stretches[k].Offset;
    hits += OnsetHits(fit, cues, map.Ratio, offset, own, window);
    expected += double(own.size()) * ChanceHitRate(fit, cues, map.Ratio, offset, own, window);
    tries += own.size();
  }
  return tries > 0 ? LogChanceOfHits(tries, hits, expected / double(tries)) : 0.0;
}

// `tested`: whether each stretch of the map has shown its own evidence (the
// search's, set aside when it fails); a split that has not is judged as the
// whole file is.
void Judge(const Fit& fit, const std::vector<CueTime>& cues, const RatioResult& best,
           double filmShare, Finding& finding, bool tested = true) {
  // The cues set aside are judged apart; they fit nothing by their nature.
  const std::vector<uint8_t> placed = PlacedCues(finding, cues.size());
  finding.FilmSpeechShare = filmShare;
  finding.CueSpeechShare = CueShare(fit, cues, finding.Map, 0, cues.size(), placed);
  finding.PeakOverChance = (best.Peaks[0].Score - best.Median) / best.Spread;
  finding.CoverOverChance = CoverOverChance(fit, cues, finding.Map, 0, cues.size(), placed);
  // Starts that lead their onsets tell of a timing only roughly: a map a
  // few tenths of a second wrong keeps most onsets in the wider window. So
  // they count only where the coarse peak stands out as well, or the starts
  // on time are beyond chance too.
  const double onTimeChance = OnsetChanceOf(fit, cues, finding.Map, placed, kOnTime);
  const double leadingChance = OnsetChanceOf(fit, cues, finding.Map, placed, kLeading);
  finding.OnsetChance = std::min(onTimeChance, leadingChance);
  // A cue set aside sits no more on speech than chance would put it.
  const std::size_t placedCount = std::size_t(std::count(placed.begin(), placed.end(), 1));
  finding.Confidence =
      ConfidenceOf(finding.CueSpeechShare, filmShare) * double(placedCount) / double(cues.size());
  for (std::size_t k = 0; k < finding.Map.Stretches.size(); ++k)
    finding.StretchConfidence.push_back(
        ConfidenceOf(CueShare(fit, cues, finding.Map, finding.Map.Stretches[k].FirstCue,
                              StretchEnd(finding.Map, k, cues.size()), placed),
                     filmShare));
  // With splits, no one offset stands out of the whole file's search; each
  // stretch kept has shown its own evidence, its starts on speech onsets.
  const bool split = tested && finding.Map.Stretches.size() > 1;
  const bool standsOut =
      (finding.PeakOverChance >= kMinPeakOverChance && finding.Confidence >= kMinConfidence) ||
      (finding.PeakOverChance >= kMinPeakOverChanceShort &&
       finding.Confidence >= kMinConfidenceShort) ||
      (split && ConfidenceOf(finding.CueSpeechShare, filmShare) >= kMinConfidence) ||
      (finding.PeakOverChance >= kMinPeakWithOnsets &&
       finding.OnsetChance <= kMaxOnsetChanceWithPeak) ||
      (finding.PeakOverChance >= kMinPeakWithOnsetsPerCue &&
       finding.OnsetChance <= kMaxOnsetChance &&
       finding.OnsetChance <= kMaxOnsetChancePerCue * double(placedCount)) ||
      onTimeChance <= kMaxOnsetChanceAlone ||
      (leadingChance <= kMaxLeadingChanceAlone && onTimeChance <= kMaxOnTimeChanceWithLeading);
  if (!standsOut || placedCount < cues.size() / 2)
    finding.Reason = "the subtitles don't match the speech";
  else if (!finding.Map.IsIdentity() && finding.OnsetChance > kMaxOnsetChanceToMove)
    finding.Reason = "the speech's starts don't show where the lines go";
  else if (!split && RunnerUp(best, finding.Map) > kMaxRunnerUp)
    finding.Reason = "two timings fit the speech about as well";
  finding.Trusted = finding.Reason.empty();
}

// The share of the cues' time on speech at the offset, against its spread
// with them at the kCoverShifts: as CoverOverChance, for one stretch.
double CoverOverChanceAt(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                         double offset, const std::vector<std::size_t>& own) {
  const auto share = [&](double at) {
    double speech = 0.0, length = 0.0;
    for (const std::size_t i : own) {
      const double from = ratio * cues[i].Start + at, to = ratio * cues[i].End + at;
      speech += fit.SpeechShare(from, to) * (to - from);
      length += to - from;
    }
    return length > 0.0 ? speech / length : 0.0;
  };
  double sum = 0.0, squares = 0.0;
  int count = 0;
  for (const double shift : kCoverShifts)
    for (const double sign : {-1.0, 1.0}) {
      const double value = share(offset + sign * shift);
      sum += value, squares += value * value, ++count;
    }
  const double mean = sum / count;
  const double spread = std::sqrt(std::max(0.0, squares / count - mean * mean));
  return (share(offset) - mean) / std::max(spread, kMinCoverSpread);
}

// Whether a stretch's cues show a timing at the offset: their starts on
// speech onsets, or on more of them than chance gives.
bool StretchHolds(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
                  const std::vector<std::size_t>& own) {
  const std::size_t hits = OnsetHits(fit, cues, ratio, offset, own);
  return StartsOnOnsets(hits, own.size()) || BeyondChance(fit, cues, ratio, offset, own, hits) ||
         BeyondChance(fit, cues, ratio, offset, own,
                      OnsetHits(fit, cues, ratio, offset, own, kLeading), kLeading);
}

// A stretch that mixes lines the film has with the lines of a scene it
// lacks starts on onsets in one part only: at either end, a run of cues (at
// least kMinOnsetHits) that almost never do. The part between, when it would
// be kept as a stretch of its own; empty when there is none.
std::vector<std::size_t> RunOnOnsets(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                                     double offset, const std::vector<std::size_t>& own) {
  const std::size_t n = own.size();
  std::vector<std::size_t> hitsBefore(n + 1, 0);
  for (std::size_t j = 0; j < n; ++j)
    hitsBefore[j + 1] = hitsBefore[j] + fit.NearOnset(ratio * cues[own[j]].Start + offset, kOnTime);
  const auto offOnsets = [&](std::size_t from, std::size_t to) {
    return to == from || (to - from >= kMinOnsetHits && double(hitsBefore[to] - hitsBefore[from]) <=
                                                            kMaxOffOnsetShare * double(to - from));
  };
  // Of the ends that qualify, those that leave the part between furthest
  // above the share.
  std::size_t first = 0, end = 0;
  double best = -std::numeric_limits<double>::infinity();
  for (std::size_t a = 0; a < n; ++a) {
    if (!offOnsets(0, a)) continue;
    for (std::size_t b = a + 1; b <= n; ++b) {
      if ((a == 0 && b == n) || !offOnsets(b, n)) continue;
      const double gain = double(hitsBefore[b] - hitsBefore[a]) - kMinOnsetShare * double(b - a);
      if (gain > best) best = gain, first = a, end = b;
    }
  }
  if (end == 0) return {};
  const std::vector<std::size_t> run(own.begin() + std::ptrdiff_t(first),
                                     own.begin() + std::ptrdiff_t(end));
  const std::size_t hits = hitsBefore[end] - hitsBefore[first];
  if (!StartsOnOnsets(hits, run.size()) && !BeyondChance(fit, cues, ratio, offset, run, hits))
    return {};
  return run;
}

// The chance, as a power of ten, that the cues start on as many onsets as
// they do at the offset if they fit nothing, in whichever window makes it
// least likely.
double LogOnsetChanceAt(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                        double offset, const std::vector<std::size_t>& own) {
  double chance = 0.0;
  for (const OnsetWindow window : {kOnTime, kLeading})
    chance = std::min(chance,
                      LogChanceOfHits(own.size(), OnsetHits(fit, cues, ratio, offset, own, window),
                                      ChanceHitRate(fit, cues, ratio, offset, own, window)));
  return chance;
}

// Whether a part of the file fits a timing already found, not searched for:
// one of the thirds under one offset, or a stretch taken back to its
// neighbour's offset. Its starts on onsets, or its lines on the speech, may
// show it; or, since no search chose this offset for them, both beyond
// chance by less: onset hits that chance gives once in kMaxPartChance, or
// once in kMaxPartChanceWithCover with the lines kMinPartCover spreads
// above their cover at other offsets.
bool PartFitsAt(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
                const std::vector<std::size_t>& own) {
  if (StretchHolds(fit, cues, ratio, offset, own)) return true;
  const double cover = CoverOverChanceAt(fit, cues, ratio, offset, own);
  if (own.size() >= kMinCuesBeyondChance && cover >= kMinMergedCoverOverChance) return true;
  const double chance = LogOnsetChanceAt(fit, cues, ratio, offset, own);
  return chance <= std::log10(kMaxPartChance) ||
         (chance <= std::log10(kMaxPartChanceWithCover) && cover >= kMinPartCover);
}

// A stretch whose cues do not start where speech starts fits no timing: a
// stretch of chance (on the lines of a scene the film lacks, say) covers
// speech about as well as a right one, but its starts fall anywhere. Such
// stretches, fewest onsets first, go back to their neighbours' offset (the
// one before, or after for the first) and their cues are named; the last
// stretch standing is kept whatever it is, and judged with the file.
void SetAsideWeakStretches(const Fit& fit, const std::vector<CueTime>& cues, Finding& finding) {
  TIMEMAP::TimeMap& map = finding.Map;
  std::vector<uint8_t> placed(cues.size(), 1);
  std::set<std::size_t> accepted;  // stretches, by first cue, whose ends hold after all
  while (map.Stretches.size() > 1) {
    const std::size_t count = map.Stretches.size();
    std::vector<std::vector<std::size_t>> placedOf(count);
    std::vector<uint8_t> holds(count);
    for (std::size_t k = 0; k < count; ++k) {
      for (std::size_t i = map.Stretches[k].FirstCue; i < StretchEnd(map, k, cues.size()); ++i)
        if (placed[i]) placedOf[k].push_back(i);
      holds[k] = StretchHolds(fit, cues, map.Ratio, map.Stretches[k].Offset, placedOf[k]);
    }
    // Fewest onsets first, but a stretch beside one that holds before the
    // rest: taken back to a stretch of chance, its cues would be named
    // whatever they show at the offset of the one that holds.
    std::size_t weakest = 0;
    std::pair<bool, double> lowest{true, std::numeric_limits<double>::infinity()};
    for (std::size_t k = 0; k < count; ++k) {
      if (holds[k] || accepted.count(map.Stretches[k].FirstCue)) continue;
      const std::vector<std::size_t>& its = placedOf[k];
      const std::size_t hits = OnsetHits(fit, cues, map.Ratio, map.Stretches[k].Offset, its);
      const double share = its.empty() ? -1.0 : double(hits) / double(its.size());
      const bool besideHolding = (k > 0 && holds[k - 1]) || (k + 1 < count && holds[k + 1]);
      const std::pair<bool, double> rank{!besideHolding, share};
      if (rank < lowest) lowest = rank, weakest = k;
    }
    if (lowest.second == std::numeric_limits<double>::infinity()) break;
    const std::vector<std::size_t> own = placedOf[weakest];  // the weakest stretch's placed cues
    const std::size_t first = map.Stretches[weakest].FirstCue;
    const std::size_t end = StretchEnd(map, weakest, cues.size());
    // A stretch of chance the search split off a right one: at the offset
    // of a neighbour that holds itself, its cues fit, and they go with it
    // unnamed. Looked at first: a run of onsets within the stretch, at its
    // own offset of chance, would set the rest of its cues aside.
    const auto holdsAt = [&](std::size_t k) {
      return holds[k] && PartFitsAt(fit, cues, map.Ratio, map.Stretches[k].Offset, own);
    };
    if (weakest > 0 && holdsAt(weakest - 1)) {
      map.Stretches.erase(map.Stretches.begin() + std::ptrdiff_t(weakest));
      continue;
    }
    if (weakest + 1 < map.Stretches.size() && holdsAt(weakest + 1)) {
      map.Stretches[weakest].Offset = map.Stretches[weakest + 1].Offset;
      map.Stretches.erase(map.Stretches.begin() + std::ptrdiff_t(weakest) + 1);
      continue;
    }
    const std::vector<std::size_t> run =
        RunOnOnsets(fit, cues, map.Ratio, map.Stretches[weakest].Offset, own);
    if (!run.empty()) {
      // Only the part outside the run is set aside; the stretch keeps its
      // offset. Unless that part covers the speech there beyond chance: its
      // cues start before the voice or inside a speech, but fit.
      std::vector<std::size_t> outside;
      for (const std::size_t i : own)
        if (i < run.front() || i > run.back()) outside.push_back(i);
      if (CoverOverChanceAt(fit, cues, map.Ratio, map.Stretches[weakest].Offset, outside) >=
          kMinMergedCoverOverChance) {
        accepted.insert(first);
        continue;
      }
      for (const std::size_t i : outside) placed[i] = 0;
      continue;
    }
    // A cue or two cannot show evidence either way: they go with their
    // neighbours unnamed.
    if (std::count(placed.begin() + std::ptrdiff_t(first), placed.begin() + std::ptrdiff_t(end),
                   1) >= std::ptrdiff_t(kMinOnsetHits))
      std::fill(placed.begin() + std::ptrdiff_t(first), placed.begin() + std::ptrdiff_t(end), 0);
    if (weakest == 0) {
      map.Stretches[0].Offset = map.Stretches[1].Offset;
      weakest = 1;
    }
    map.Stretches.erase(map.Stretches.begin() + std::ptrdiff_t(weakest));
  }
  // Stretches that now meet at about one offset are one.
  for (std::size_t k = 1; k < map.Stretches.size();) {
    if (std::fabs(map.Stretches[k].Offset - map.Stretches[k - 1].Offset) < kMinJump)
      map.Stretches.erase(map.Stretches.begin() + std::ptrdiff_t(k));
    else
      ++k;
  }
  NameUnplaced(cues, placed, finding);
}

double LargestMove(const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map) {
  double largest = 0.0;
  for (const CueTime& cue : cues)
    largest = std::max({largest, std::fabs(map.Apply(cue.Start) - cue.Start),
                        std::fabs(map.Apply(cue.End, cue.Start) - cue.End)});
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

// The cues first .. end - 1, as the stretch checks take them.
std::vector<std::size_t> CueSpan(std::size_t first, std::size_t end) {
  std::vector<std::size_t> cues(end > first ? end - first : 0);
  std::iota(cues.begin(), cues.end(), first);
  return cues;
}

// Whether each of the kParts of the file, under a map of one stretch, shows a
// timing of its own: its starts on onsets, or its lines on the speech beyond
// chance. A scene put in near the start or end leaves one part of chance.
bool PartsHold(const Fit& fit, const std::vector<CueTime>& cues, const TIMEMAP::TimeMap& map) {
  const std::size_t n = cues.size();
  if (n < kParts * kMinCuesBeyondChance) return true;
  const double offset = map.Stretches[0].Offset;
  for (std::size_t part = 0; part < kParts; ++part) {
    const std::vector<std::size_t> own = CueSpan(n * part / kParts, n * (part + 1) / kParts);
    if (!PartFitsAt(fit, cues, map.Ratio, offset, own)) return false;
  }
  return true;
}

struct Candidate {
  const RatioResult* Coarse = nullptr;
  TIMEMAP::TimeMap Map;
  double Score = -std::numeric_limits<double>::infinity();
};

// Each split moved to the gap that fits best anywhere between the first
// cue of the stretch before it and the last of the stretch after it, with
// the offsets the stretches have now: the coarse search places a split
// only as well as its 100 ms steps and the cues near it allow. Neighbours
// that came to the same offset are one stretch.
void PlaceSplits(const Fit& fit, const std::vector<CueTime>& cues, TIMEMAP::TimeMap& map) {
  for (std::size_t k = 1; k < map.Stretches.size(); ++k) {
    const double before = map.Stretches[k - 1].Offset, after = map.Stretches[k].Offset;
    const std::size_t low = map.Stretches[k - 1].FirstCue + 1;
    const std::size_t high = StretchEnd(map, k, cues.size());  // the split lies in [low, high)
    // The gain of moving the split from `low` to each later cue.
    double gain = 0.0, bestGain = 0.0;
    std::size_t best = low;
    for (std::size_t at = low + 1; at < high; ++at) {
      gain += fit.Cue(cues[at - 1], map.Ratio, before) - fit.Cue(cues[at - 1], map.Ratio, after);
      if (gain > bestGain) bestGain = gain, best = at;
    }
    // From the split as it stood, rather than from `low`, keep it unless moving pays.
    double kept = 0.0;
    for (std::size_t at = low; at < map.Stretches[k].FirstCue; ++at)
      kept += fit.Cue(cues[at], map.Ratio, before) - fit.Cue(cues[at], map.Ratio, after);
    if (bestGain > kept + 1e-9) {
      map.Stretches[k].FirstCue = best;
      map.Stretches[k].FromSeconds = 0.5 * (cues[best - 1].End + cues[best].Start);
    }
  }
  for (std::size_t k = 1; k < map.Stretches.size();) {
    if (std::fabs(map.Stretches[k].Offset - map.Stretches[k - 1].Offset) < 1.5 * kFrameSeconds)
      map.Stretches.erase(map.Stretches.begin() + std::ptrdiff_t(k));
    else
      ++k;
  }
}

Candidate Follow(const SPEECHTRACK::SpeechTrack& track, const Fit& fit,
                 const std::vector<CueTime>& cues, const RatioResult* coarse,
                 std::size_t splits = kSearchSplits) {
  Candidate candidate;
  if (coarse == nullptr) return candidate;
  candidate.Coarse = coarse;
  const Offsets offsets = GatherOffsets(
      *coarse, COARSESEARCH::LocalSearch(track, cues, coarse->Ratio, kMaxOffset, kCuesPerWindow),
      cues.size());
  const auto choice = ChooseOffsets(fit, cues, coarse->Ratio, offsets, splits);
  TIMEMAP::TimeMap map = Refine(fit, cues, MapOfChoice(cues, coarse->Ratio, offsets.Pool, choice));
  for (int round = 0; round < 2 && map.Stretches.size() > 1; ++round) {
    PlaceSplits(fit, cues, map);
    FitStretches(fit, cues, map.Ratio, map);
  }
  candidate.Map = map;
  candidate.Score = Score(fit, cues, candidate.Map);
  return candidate;
}

// A side of a split that shows no timing of its own may have taken a chance
// offset for its cover, which tells little where the film's noise is heard
// as talk. Of the offsets its windows and the whole file offer, the one where
// its starts meet onsets least likely by chance, and hold, is taken instead.
// False when a side finds none.
bool GiveWeakSidesTheirOwn(const SPEECHTRACK::SpeechTrack& track, const Fit& fit,
                           const std::vector<CueTime>& cues, const RatioResult& coarse,
                           TIMEMAP::TimeMap& map) {
  const Offsets offsets = GatherOffsets(
      coarse, COARSESEARCH::LocalSearch(track, cues, map.Ratio, kMaxOffset, kCuesPerWindow),
      cues.size());
  for (std::size_t k = 0; k < map.Stretches.size(); ++k) {
    const std::size_t first = map.Stretches[k].FirstCue, end = StretchEnd(map, k, cues.size());
    const std::vector<std::size_t> own = CueSpan(first, end);
    if (StretchHolds(fit, cues, map.Ratio, map.Stretches[k].Offset, own)) continue;
    std::set<std::size_t> candidates;
    for (const std::size_t i : own)
      candidates.insert(offsets.OfCue[i].begin(), offsets.OfCue[i].end());
    double best = 0.0, bestOffset = 0.0;
    for (const std::size_t candidate : candidates) {
      const double offset = EndOffset(fit, cues, first, end, map.Ratio, offsets.Pool[candidate]);
      const auto tooClose = [&](std::size_t other) {
        return std::fabs(offset - map.Stretches[other].Offset) < kMinJump;
      };
      if ((k > 0 && tooClose(k - 1)) || (k + 1 < map.Stretches.size() && tooClose(k + 1)) ||
          !StretchHolds(fit, cues, map.Ratio, offset, own))
        continue;
      const double chance = LogOnsetChanceAt(fit, cues, map.Ratio, offset, own);
      if (chance < best) best = chance, bestOffset = offset;
    }
    if (best == 0.0) return false;
    map.Stretches[k].Offset = bestOffset;
  }
  return true;
}

// A run of cues at one offset, or one that fits none (Offset unused).
struct Piece {
  std::size_t FirstCue = 0, EndCue = 0;
  double Offset = 0.0;
  bool Placed = false;
};

// What a cue's start ahead of an onset, or not, tells of the offset: the
// log of how much likelier it is under a right timing than by chance.
struct LeadEvidence {
  double Hit = 0.0, Miss = 0.0;
  LeadEvidence(const Fit& fit, const std::vector<CueTime>& cues, double ratio, double offset,
               const std::vector<std::size_t>& own) {
    const double chanceRate = ChanceHitRate(fit, cues, ratio, offset, own, kLeading);
    if (chanceRate >= kMaxChanceLeadRate) return;  // chance meets onsets about as often
    Hit = std::log(kRightLeadRate / chanceRate);
    Miss = std::log((1.0 - kRightLeadRate) / (1.0 - chanceRate));
  }
  double Of(const Fit& fit, const CueTime& cue, double ratio, double offset) const {
    return fit.NearOnset(ratio * cue.Start + offset, kLeading) ? Hit : Miss;
  }
};

// The evidence of each cue of [first, end) for the offset: how much better
// its lines cover speech there than on average at the kChanceShifts, where
// they fit nothing, and what its start tells. Cues that fit nothing weigh
// against it, so that a run of them ends a stretch.
std::vector<double> EvidenceFor(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                                double offset, std::size_t first, std::size_t end) {
  const LeadEvidence lead(fit, cues, ratio, offset, CueSpan(first, end));
  std::vector<double> evidence;
  for (std::size_t i = first; i < end; ++i) {
    double chance = 0.0;
    for (const double shift : kChanceShifts)
      for (const double sign : {-1.0, 1.0})
        chance += fit.Cue(cues[i], ratio, offset + sign * shift);
    evidence.push_back(fit.Cue(cues[i], ratio, offset) -
                       chance / (2.0 * double(std::size(kChanceShifts))) +
                       lead.Of(fit, cues[i], ratio, offset));
  }
  return evidence;
}

// The offset within kFineReach of `centre` where cues [first, end) that
// are placed show most evidence for it: the fine fit's score, and what each
// start tells by an onset anywhere from just before it to kLeading after.
// Lines that lead the voice are drawn onto its onsets less than by the fine
// fit alone, since a start on time with an onset just before it counts
// against the timing.
double MostEvidentOffset(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                         double centre, std::size_t first, std::size_t end,
                         const std::vector<uint8_t>* placed = nullptr) {
  std::vector<std::size_t> own;
  for (std::size_t i = first; i < end; ++i)
    if (placed == nullptr || (*placed)[i]) own.push_back(i);
  if (own.empty()) return centre;
  const LeadEvidence lead(fit, cues, ratio, centre, own);
  double best = centre, bestScore = -std::numeric_limits<double>::infinity();
  for (double step = -kFineReach; step <= kFineReach + 1e-9; step += kFrameSeconds) {
    double score = 0.0;
    for (const std::size_t i : own)
      score += fit.Cue(cues[i], ratio, centre + step) + lead.Of(fit, cues[i], ratio, centre + step);
    if (score > bestScore) bestScore = score, best = centre + step;
  }
  return best;
}

// The offsets at which most of cues [first, end) start near an onset in
// the window, best first, each kMinPeakApart from the others: where the
// speech's cover tells little (a loud bed under the voices, lines that run
// on), its starts still may.
std::vector<double> OnsetPeaks(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                               std::size_t first, std::size_t end, OnsetWindow window,
                               std::size_t count) {
  const int64_t steps = std::llround(kMaxOffset / kOnsetSearchStep);
  // Cue by cue, so that the onsets are read in order.
  std::vector<std::size_t> hitsOf(std::size_t(2 * steps + 1), 0);
  for (std::size_t i = first; i < end; ++i)
    for (int64_t k = -steps; k <= steps; ++k)
      hitsOf[std::size_t(k + steps)] +=
          fit.NearOnset(ratio * cues[i].Start + double(k) * kOnsetSearchStep, window);
  std::vector<std::pair<std::size_t, int64_t>> hitsAt;  // hits, step
  for (int64_t k = -steps; k <= steps; ++k)
    if (hitsOf[std::size_t(k + steps)] > 0) hitsAt.push_back({hitsOf[std::size_t(k + steps)], k});
  // Most hits first; of equals, the smaller move.
  std::sort(hitsAt.begin(), hitsAt.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first > b.first;
    if (std::llabs(a.second) != std::llabs(b.second))
      return std::llabs(a.second) < std::llabs(b.second);
    return a.second < b.second;
  });
  std::vector<double> peaks;
  for (const auto& [hits, k] : hitsAt) {
    if (peaks.size() == count) break;
    const double offset = double(k) * kOnsetSearchStep;
    if (std::none_of(peaks.begin(), peaks.end(),
                     [&](double taken) { return std::fabs(taken - offset) < kMinPeakApart; }))
      peaks.push_back(offset);
  }
  return peaks;
}

// The run of cues within [first, end) with the most evidence for the
// offset in all: where a scene was put in or taken out, the cues beyond it
// fall to chance and the run stops there.
std::pair<std::size_t, std::size_t> RunAbove(const Fit& fit, const std::vector<CueTime>& cues,
                                             double ratio, double offset, std::size_t first,
                                             std::size_t end) {
  const std::vector<double> excess = EvidenceFor(fit, cues, ratio, offset, first, end);
  double sum = 0.0, best = 0.0;
  std::size_t from = 0, bestFrom = 0, bestEnd = 0;
  for (std::size_t j = 0; j < excess.size(); ++j) {
    if (sum <= 0.0) sum = 0.0, from = j;
    sum += excess[j];
    if (sum > best) best = sum, bestFrom = from, bestEnd = j + 1;
  }
  return {first + bestFrom, first + bestEnd};
}

// Reads cues [first, end) a stretch at a time: the offset their own search
// finds best takes the run of cues that fits it, when that run shows a
// timing, and the cues either side are read the same way. Cues too few to
// search, whose runs show nothing, or left when the stretches allowed are
// used up, are a piece that fits no timing.
void Peel(const SPEECHTRACK::SpeechTrack& track, const Fit& fit, const std::vector<CueTime>& cues,
          double ratio, std::size_t first, std::size_t end, std::size_t& stretchesLeft,
          std::vector<Piece>& pieces) {
  if (end <= first) return;
  if (end - first < kMinPeelCues || stretchesLeft == 0) {
    pieces.push_back({first, end, 0.0, false});
    return;
  }
  const std::vector<CueTime> part(cues.begin() + std::ptrdiff_t(first),
                                  cues.begin() + std::ptrdiff_t(end));
  const std::vector<RatioResult> searched = COARSESEARCH::Search(track, part, {ratio}, kMaxOffset);
  // Each offset tried, with what its search costs the onsets' evidence: the
  // cover's few best were not chosen for their onsets.
  std::vector<std::pair<double, double>> tried;
  for (std::size_t k = 0; !searched.empty() && k < searched[0].Peaks.size() && k < kPeelPeaks; ++k)
    tried.push_back({searched[0].Peaks[k].Offset, std::log10(double(kPeelPeaks))});
  for (const OnsetWindow window : {kLeading, kOnTime})
    for (const double offset : OnsetPeaks(fit, cues, ratio, first, end, window, kOnsetPeaks))
      if (std::none_of(tried.begin(), tried.end(), [&](const auto& taken) {
            return std::fabs(taken.first - offset) < kFineReach;
          }))
        tried.push_back({offset, OnsetSearchCost()});
  Piece best;
  double bestValue = 0.0;
  for (auto [offset, cost] : tried) {
    auto run = RunAbove(fit, cues, ratio, offset, first, end);
    if (run.second <= run.first) continue;
    offset = MostEvidentOffset(fit, cues, ratio, offset, run.first, run.second);
    run = RunAbove(fit, cues, ratio, offset, first, end);
    const std::vector<std::size_t> own = CueSpan(run.first, run.second);
    // The offset was chosen of thousands for the cues' onsets: their starts
    // must meet them beyond chance by that much more.
    if (own.size() < kMinOnsetHits || !StretchHolds(fit, cues, ratio, offset, own) ||
        LogOnsetChanceAt(fit, cues, ratio, offset, own) + cost > std::log10(kMaxPartChance))
      continue;
    const std::vector<double> excess = EvidenceFor(fit, cues, ratio, offset, run.first, run.second);
    const double value = std::accumulate(excess.begin(), excess.end(), 0.0);
    if (value > bestValue) bestValue = value, best = {run.first, run.second, offset, true};
  }
  if (!best.Placed) {
    pieces.push_back({first, end, 0.0, false});
    return;
  }
  --stretchesLeft;
  Peel(track, fit, cues, ratio, first, best.FirstCue, stretchesLeft, pieces);
  pieces.push_back(best);
  Peel(track, fit, cues, ratio, best.EndCue, end, stretchesLeft, pieces);
}

// The pieces as a finding's map: a piece that fits no timing goes with a
// neighbour whose offset it fits, or else with the stretch before it (after
// it, for the first) and is named, when it has cues enough to tell.
// Neighbours at about one offset are one stretch. False when no piece has
// a timing.
bool MapOfPieces(const Fit& fit, const std::vector<CueTime>& cues, double ratio,
                 std::vector<Piece> pieces, Finding& finding) {
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (pieces[k].Placed) continue;
    const std::vector<std::size_t> own = CueSpan(pieces[k].FirstCue, pieces[k].EndCue);
    const auto joins = [&](std::size_t n) {
      return n < pieces.size() && pieces[n].Placed &&
             PartFitsAt(fit, cues, ratio, pieces[n].Offset, own);
    };
    const std::size_t neighbour = k > 0 && joins(k - 1) ? k - 1 : k + 1;
    if (joins(neighbour)) pieces[k].Offset = pieces[neighbour].Offset, pieces[k].Placed = true;
  }
  std::vector<Piece> placed;
  std::vector<uint8_t> fits(cues.size(), 1);
  for (const Piece& piece : pieces) {
    if (!piece.Placed) {
      if (piece.EndCue - piece.FirstCue >= kMinOnsetHits)
        std::fill(fits.begin() + std::ptrdiff_t(piece.FirstCue),
                  fits.begin() + std::ptrdiff_t(piece.EndCue), 0);
      continue;
    }
    if (!placed.empty() && std::fabs(placed.back().Offset - piece.Offset) < kMinJump)
      placed.back().EndCue = piece.EndCue;
    else
      placed.push_back(piece);
  }
  if (placed.empty()) return false;
  TIMEMAP::TimeMap& map = finding.Map;
  map = TIMEMAP::TimeMap{};
  map.Ratio = ratio;
  map.Stretches[0].Offset = placed[0].Offset;
  for (std::size_t k = 1; k < placed.size(); ++k) {
    const std::size_t i = placed[k].FirstCue;
    map.Stretches.push_back({0.5 * (cues[i - 1].End + cues[i].Start), placed[k].Offset, i});
  }
  finding.NotPlaced.clear();
  NameUnplaced(cues, fits, finding);
  if (finding.NotPlaced.empty() && map.Stretches.size() > 1) PlaceSplits(fit, cues, map);
  for (std::size_t k = 0; k < map.Stretches.size(); ++k)
    map.Stretches[k].Offset =
        MostEvidentOffset(fit, cues, ratio, map.Stretches[k].Offset, map.Stretches[k].FirstCue,
                          StretchEnd(map, k, cues.size()), &fits);
  return true;
}

// The file read a stretch at a time at the ratio, each stretch judged on
// its own by Peel. The whole is judged against the search of the cues it
// places, alone: the whole file's runner-up is most often the offset of a
// piece set aside, or of another stretch. Since no split search chose the
// stretches together, their starts must meet onsets beyond chance as a
// file's alone do.
Finding ReadAStretchAtATime(const SPEECHTRACK::SpeechTrack& track, const Fit& fit,
                            const std::vector<CueTime>& cues, double ratio, double filmShare) {
  std::vector<Piece> pieces;
  std::size_t stretchesLeft = kMaxSplits + 1;
  Peel(track, fit, cues, ratio, 0, cues.size(), stretchesLeft, pieces);
  Finding peeled;
  if (!MapOfPieces(fit, cues, ratio, pieces, peeled)) return peeled;
  const std::vector<uint8_t> placed = PlacedCues(peeled, cues.size());
  std::vector<CueTime> kept;
  for (std::size_t i = 0; i < cues.size(); ++i)
    if (placed[i]) kept.push_back(cues[i]);
  const std::vector<RatioResult> own = COARSESEARCH::Search(track, kept, {ratio}, kMaxOffset);
  if (own.empty() || own[0].Peaks.empty()) return peeled;
  Judge(fit, cues, own[0], filmShare, peeled);

  if (peeled.Trusted && peeled.OnsetChance > kMaxOnsetChance) {
    peeled.Trusted = false;
    peeled.Reason = "the speech's starts don't show where the lines go";
  }
  return peeled;
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
  Candidate best = Follow(track, fit, cues, BestRatio(results, RatioKind::None));
  if (best.Coarse != nullptr && !EndsSupportRatio(fit, cues, best.Map)) {
    FitStretches(fit, cues, 1.0, best.Map);
    best.Score = Score(fit, cues, best.Map);
  }
  for (const RatioKind kind : {RatioKind::FrameRate, RatioKind::Drift}) {
    const Candidate other = Follow(track, fit, cues, BestRatio(results, kind));
    if (other.Coarse == nullptr) continue;
    if (best.Coarse == nullptr || (other.Score > best.Score + kKeepMargin * std::fabs(best.Score) &&
                                   EndsSupportRatio(fit, cues, other.Map)))
      best = other;
  }
  if (best.Coarse == nullptr) {
    finding.Reason = "the subtitles don't match the speech";
    return finding;
  }
  finding.Map = best.Map;
  SetAsideWeakStretches(fit, cues, finding);
  if (finding.Map.Stretches.size() != best.Map.Stretches.size() || !finding.NotPlaced.empty()) {
    const std::vector<uint8_t> placed = PlacedCues(finding, cues.size());
    FitStretches(fit, cues, finding.Map.Ratio, finding.Map, &placed);
  }
  const TIMEMAP::TimeMap unchanged;
  const double kept = Score(fit, cues, unchanged);
  const double found = Score(fit, cues, finding.Map);
  bool stays = found <= kept + kKeepMargin * std::fabs(kept) ||
               LargestMove(cues, finding.Map) <= kStayPut + 1e-9;
  const double filmShare = speechSeconds / std::max(track.Seconds(), 1e-9);
  // Whether the subtitles match the speech is judged on the timing found: a
  // file a little early throughout (within kStayPut) is left as it is, but
  // at that timing its cues start beside the onsets rather than on them.
  Judge(fit, cues, *best.Coarse, filmShare, finding);
  if (stays && !finding.Trusted) {
    // The timing found is no better than the file as it is, and may be a
    // stretch of chance that set the rest aside: the file is judged as it is.
    Finding asItIs = finding;
    asItIs.Map = unchanged;
    asItIs.NotPlaced.clear();
    asItIs.StretchConfidence.clear();
    asItIs.Reason.clear();
    Judge(fit, cues, *best.Coarse, filmShare, asItIs);
    if (asItIs.Trusted) finding = asItIs;
  }
  if (!finding.Trusted) {
    // Where the film's onsets are blurred, the search's splits can trade a
    // right offset for stretches of chance and set the lines aside: the
    // simplest timing of each kind, the whole file at its best coarse
    // offset, is judged as well, and taken when it holds. Without a ratio,
    // first with one split at most (a scene put in or taken out); the whole
    // file at one offset only when no split fits clearly better.
    bool split = false;
    if (const RatioResult* coarse = BestRatio(results, RatioKind::None)) {
      Finding simple;
      simple.Map = Follow(track, fit, cues, coarse, 1).Map;
      split = simple.Map.Stretches.size() > 1 &&
              GiveWeakSidesTheirOwn(track, fit, cues, *coarse, simple.Map);
      if (split) {
        PlaceSplits(fit, cues, simple.Map);
        FitStretches(fit, cues, simple.Map.Ratio, simple.Map);
      }
      // Music taken for talk pays a split to a stretch of chance: each side
      // must start on the speech's onsets.
      split = split && simple.Map.Stretches.size() > 1;
      for (std::size_t k = 0; split && k < simple.Map.Stretches.size(); ++k) {
        const std::vector<std::size_t> own =
            CueSpan(simple.Map.Stretches[k].FirstCue, StretchEnd(simple.Map, k, cues.size()));
        split = StretchHolds(fit, cues, simple.Map.Ratio, simple.Map.Stretches[k].Offset, own);
      }
      if (split) Judge(fit, cues, *coarse, filmShare, simple, false);
      if (split && simple.Trusted) {
        finding = simple;
        stays = LargestMove(cues, finding.Map) <= kStayPut + 1e-9;
      }
    }
    for (const RatioKind kind : {RatioKind::None, RatioKind::FrameRate, RatioKind::Drift}) {
      const RatioResult* coarse = BestRatio(results, kind);
      if (coarse == nullptr || finding.Trusted || (kind == RatioKind::None && split)) continue;
      Finding simple;
      simple.Map.Ratio = coarse->Ratio;
      simple.Map.Stretches[0].Offset = coarse->Peaks[0].Offset;
      simple.Map = Refine(fit, cues, simple.Map);
      if (!EndsSupportRatio(fit, cues, simple.Map) || !PartsHold(fit, cues, simple.Map)) continue;
      Judge(fit, cues, *coarse, filmShare, simple);
      if (!simple.Trusted) continue;
      finding = simple;
      stays = LargestMove(cues, finding.Map) <= kStayPut + 1e-9;
      break;
    }
    // Scenes put in or taken out close together, or near an end, leave
    // stretches too short for the search's windows: the file is read a
    // stretch at a time instead.
    for (const RatioKind kind : {RatioKind::None, RatioKind::FrameRate, RatioKind::Drift}) {
      const RatioResult* coarse = BestRatio(results, kind);
      if (coarse == nullptr || finding.Trusted) continue;
      Finding peeled = ReadAStretchAtATime(track, fit, cues, coarse->Ratio, filmShare);
      if (!peeled.Trusted || !EndsSupportRatio(fit, cues, peeled.Map)) continue;
      finding = peeled;
      stays = LargestMove(cues, finding.Map) <= kStayPut + 1e-9;
    }
  }
  if (stays) {
    finding.Map = unchanged;
    finding.NotPlaced.clear();
    finding.StretchConfidence = {finding.Confidence};
  }
  return finding;
}

}  // namespace ALIGNER
