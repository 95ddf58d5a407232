#include "output/RisingTimes.h"

#include <algorithm>
#include <limits>

namespace RISINGTIMES {
namespace {

// last + step without passing the largest time.
int64_t After(int64_t last, int64_t step) {
  return last > std::numeric_limits<int64_t>::max() - step ? std::numeric_limits<int64_t>::max()
                                                           : last + step;
}

}  // namespace

RisingTimes::Verdict RisingTimes::Place(int64_t& time, int64_t step) {
  step = std::max<int64_t>(step, 1);
  Verdict verdict = Verdict::Kept;
  if (last_ == kNoTime) {
    if (time == kNoTime) time = 0;
  } else if (time == kNoTime) {
    time = After(last_, lastStep_);
  } else if (time == last_) {
    ++dropped_;
    return Verdict::Dropped;
  } else if (time < last_) {
    time = After(last_, lastStep_);
    ++mended_;
    verdict = Verdict::Mended;
  } else if ((time - last_) / kGapSteps > lastStep_) {
    ++gaps_;
  }
  last_ = time;
  lastStep_ = step;
  return verdict;
}

}  // namespace RISINGTIMES
