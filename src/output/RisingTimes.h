#pragma once

// The times of one stream of a finished file always rise, whatever the
// source's damage gave them: a time that would not rise takes the next
// valid one (the last time and one step on, so pictures keep their
// spacing), an item at exactly the last time again repeats it and is left
// out, and a jump forward stays a gap. What was done is counted for the
// damage report.
#include <cstdint>

namespace RISINGTIMES {

constexpr int64_t kNoTime = INT64_MIN;

class RisingTimes {
 public:
  enum class Verdict { Kept, Mended, Dropped };

  // time: in the stream's ticks, kNoTime when the item has none (it then
  // takes the next valid time, which is no repair); step: the item's
  // duration in ticks, at least 1 is used.
  Verdict Place(int64_t& time, int64_t step);

  int64_t Mended() const { return mended_; }
  int64_t Dropped() const { return dropped_; }
  // Jumps forward of more than kGapSteps steps, kept as they are.
  int64_t Gaps() const { return gaps_; }
  int64_t Last() const { return last_; }

  static constexpr int64_t kGapSteps = 25;

 private:
  int64_t last_ = kNoTime;
  int64_t lastStep_ = 1;
  int64_t mended_ = 0, dropped_ = 0, gaps_ = 0;
};

}  // namespace RISINGTIMES
