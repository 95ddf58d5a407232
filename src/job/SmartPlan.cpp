#include "job/SmartPlan.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace SMARTPLAN {

namespace {

// The earliest a subtitle shows in the pictures from `from` on.
double FirstShownFrom(double from, const std::vector<Shown>& shown) {
  double first = std::numeric_limits<double>::infinity();
  for (const Shown& interval : shown)
    if (interval.To > interval.From && interval.To > from) first = std::min(first, interval.From);
  return first;
}

// Where the encoding of a stretch from `from` may start: the last cut at or
// before its first subtitle and before `to`; `from` where there is none.
double HeadEnd(double from, double to, const std::vector<double>& cuts,
               const std::vector<Shown>& shown) {
  const double firstShown = std::min(FirstShownFrom(from, shown), to);
  const auto after = std::upper_bound(cuts.begin(), cuts.end(), firstShown);
  if (after == cuts.begin()) return from;
  const double cut = *std::prev(after);
  return cut > from && cut < to ? cut : from;
}

}  // namespace

std::vector<Stretch> Plan(const std::vector<Keyframe>& keyframes, double streamEnd,
                          const std::vector<Shown>& shown, const std::vector<double>& cuts,
                          OpenKeyframes open) {
  const std::size_t n = keyframes.size();
  const bool part = open == OpenKeyframes::Part;
  const auto end = [&](std::size_t k) {
    return k + 1 < n ? keyframes[k + 1].Seconds : std::max(streamEnd, keyframes[k].Seconds);
  };
  std::vector<uint8_t> encode(n, 0);
  for (std::size_t k = 0; k < n; ++k)
    for (const Shown& interval : shown)
      encode[k] = encode[k] || (interval.To > interval.From && interval.From < end(k) &&
                                interval.To > keyframes[k].Seconds);
  // An open keyframe that ties does so both ways. One that parts still ties
  // the group before it to an encoded one that can't copy a head through
  // its leading pictures.
  if (!part)
    for (std::size_t k = 1; k < n; ++k)
      if (!keyframes[k].Closed && encode[k - 1]) encode[k] = 1;
  for (std::size_t k = n; k-- > 1;)
    if (!keyframes[k].Closed && encode[k] && !encode[k - 1] &&
        (!part || HeadEnd(keyframes[k].Seconds, streamEnd, cuts, shown) == keyframes[k].Seconds))
      encode[k - 1] = 1;
  std::vector<Stretch> plan;
  for (std::size_t k = 0; k < n; ++k) {
    if (!plan.empty() && plan.back().Encode == bool(encode[k])) {
      plan.back().EndKeyframe = k + 1;
      plan.back().ToSeconds = end(k);
      continue;
    }
    plan.push_back({k, k + 1, keyframes[k].Seconds, end(k), bool(encode[k]), keyframes[k].Seconds,
                    part && !encode[k] && !plan.empty() && !keyframes[k].Closed});
  }
  for (Stretch& stretch : plan)
    if (stretch.Encode && (keyframes[stretch.FirstKeyframe].Closed || part))
      stretch.EncodeFromSeconds = HeadEnd(stretch.FromSeconds, stretch.ToSeconds, cuts, shown);
  return plan;
}

double EncodedSeconds(const std::vector<Stretch>& plan, const std::vector<Keyframe>& keyframes) {
  double seconds = 0.0;
  for (const Stretch& stretch : plan) {
    if (stretch.Encode) seconds += stretch.ToSeconds - stretch.EncodeFromSeconds;
    if (stretch.EncodesLeading && stretch.FirstKeyframe < keyframes.size())
      seconds += keyframes[stretch.FirstKeyframe].LeadingSeconds;
  }
  return seconds;
}

}  // namespace SMARTPLAN
