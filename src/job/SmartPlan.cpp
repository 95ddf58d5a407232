#include "job/SmartPlan.h"

#include <algorithm>
#include <cstdint>

namespace SMARTPLAN {

std::vector<Stretch> Plan(const std::vector<Keyframe>& keyframes, double streamEnd,
                          const std::vector<Shown>& shown) {
  const std::size_t n = keyframes.size();
  const auto end = [&](std::size_t k) {
    return k + 1 < n ? keyframes[k + 1].Seconds : std::max(streamEnd, keyframes[k].Seconds);
  };
  std::vector<uint8_t> encode(n, 0);
  for (std::size_t k = 0; k < n; ++k)
    for (const Shown& interval : shown)
      encode[k] = encode[k] || (interval.To > interval.From && interval.From < end(k) &&
                                interval.To > keyframes[k].Seconds);
  // An open keyframe ties the groups on both sides of it together.
  for (std::size_t k = 1; k < n; ++k)
    if (!keyframes[k].Closed && encode[k - 1]) encode[k] = 1;
  for (std::size_t k = n; k-- > 1;)
    if (!keyframes[k].Closed && encode[k]) encode[k - 1] = 1;
  std::vector<Stretch> plan;
  for (std::size_t k = 0; k < n; ++k) {
    if (!plan.empty() && plan.back().Encode == bool(encode[k])) {
      plan.back().EndKeyframe = k + 1;
      plan.back().ToSeconds = end(k);
    } else {
      plan.push_back(
          {k, k + 1, keyframes[k].Seconds, end(k), bool(encode[k]), keyframes[k].Seconds});
    }
  }
  return plan;
}

void CopyHeads(std::vector<Stretch>& plan, const std::vector<Keyframe>& keyframes,
               const std::vector<double>& cuts, const std::vector<Shown>& shown) {
  for (std::size_t i = 0; i < plan.size(); ++i) {
    Stretch& stretch = plan[i];
    if (!stretch.Encode || (i > 0 && plan[i - 1].Encode) ||
        stretch.FirstKeyframe >= keyframes.size() || !keyframes[stretch.FirstKeyframe].Closed)
      continue;
    double firstShown = stretch.ToSeconds;
    for (const Shown& interval : shown)
      if (interval.To > interval.From && interval.From < stretch.ToSeconds &&
          interval.To > stretch.FromSeconds)
        firstShown = std::min(firstShown, interval.From);
    // The last cut at or before the first subtitle.
    const auto after = std::upper_bound(cuts.begin(), cuts.end(), firstShown);
    if (after == cuts.begin()) continue;
    const double cut = *std::prev(after);
    if (cut > stretch.FromSeconds && cut < stretch.ToSeconds) stretch.EncodeFromSeconds = cut;
  }
}

double EncodedSeconds(const std::vector<Stretch>& plan) {
  double seconds = 0.0;
  for (const Stretch& stretch : plan)
    if (stretch.Encode) seconds += stretch.ToSeconds - stretch.EncodeFromSeconds;
  return seconds;
}

}  // namespace SMARTPLAN
