// A stream's times in the file always rise: backward times take the next
// valid time and keep their spacing, a repeat is left out, a jump forward
// stays and is counted as a gap.
#include "output/RisingTimes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using RISINGTIMES::RisingTimes;
using Verdict = RisingTimes::Verdict;

TEST(RisingTimesTest, BackwardTimesAreMendedRepeatsDroppedAndGapsKept) {
  RisingTimes times;
  const std::vector<int64_t> given = {0, 40, 80, 80, 40, 0, 120, 2000, 2040, RISINGTIMES::kNoTime};
  std::vector<int64_t> placed;
  std::vector<Verdict> verdicts;
  for (int64_t time : given) {
    verdicts.push_back(times.Place(time, 40));
    if (verdicts.back() != Verdict::Dropped) placed.push_back(time);
  }
  // The repeat of 80 goes; 40 and 0 come after 80 a step apart each; 120
  // is behind them too; the jump to 2000 stays.
  EXPECT_EQ(placed, (std::vector<int64_t>{0, 40, 80, 120, 160, 200, 2000, 2040, 2080}));
  EXPECT_EQ(verdicts[3], Verdict::Dropped);
  EXPECT_EQ(verdicts[4], Verdict::Mended);
  EXPECT_EQ(times.Mended(), 3);
  EXPECT_EQ(times.Dropped(), 1);
  EXPECT_EQ(times.Gaps(), 1);
}

TEST(RisingTimesTest, TheLargestTimeDoesNotOverflow) {
  RisingTimes times;
  int64_t time = INT64_MAX - 10;
  EXPECT_EQ(times.Place(time, 40), Verdict::Kept);
  time = 0;
  EXPECT_EQ(times.Place(time, 40), Verdict::Mended);
  EXPECT_EQ(time, INT64_MAX);
  // A step of 0 counts as one tick.
  RisingTimes zero;
  time = 5;
  zero.Place(time, 0);
  time = 5;
  EXPECT_EQ(zero.Place(time, 0), Verdict::Dropped);
  time = 1;
  zero.Place(time, 0);
  EXPECT_EQ(time, 6);
}

}  // namespace
