// Copied sound timed by its samples where the source's clock is coarser than
// the output's, and left alone where it is not or where the source jumps.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "output/SoundClock.h"

namespace {

using SOUNDCLOCK::SoundClock;

// 44.1 kHz AAC stored in milliseconds: 0, 23, 46, 70, ... as Matroska keeps it.
std::vector<int64_t> MatroskaTimes(int frames, int64_t fromMs = 0) {
  std::vector<int64_t> times;
  for (int k = 0; k < frames; ++k) times.push_back(fromMs + (int64_t(k) * 1024 * 1000) / 44100);
  return times;
}

TEST(SoundClock, MillisecondTimesBecomeWholeFramesInASampleClock) {
  SoundClock clock;
  clock.Start({1, 1000}, {1, 44100}, 44100);
  int64_t expected = 0;
  for (const int64_t ms : MatroskaTimes(200)) {
    SoundClock::Times times{ms * 441 / 10, ms * 441 / 10, 0};
    EXPECT_EQ(clock.Place(times, 1024), 1024);
    EXPECT_EQ(times.Dts, expected);
    EXPECT_EQ(times.Pts, expected);
    EXPECT_EQ(times.Duration, 1024);
    expected += 1024;
  }
  EXPECT_GT(clock.Moved(), 150);
}

TEST(SoundClock, AJumpFurtherThanTheRoundingStaysAndTheCountGoesOnFromIt) {
  SoundClock clock;
  clock.Start({1, 1000}, {1, 44100}, 44100);
  SoundClock::Times first{0, 0, 0};
  clock.Place(first, 1024);
  // Half a second later: a pause the source really has.
  SoundClock::Times later{22050, 22050, 0};
  clock.Place(later, 1024);
  EXPECT_EQ(later.Dts, 22050);
  SoundClock::Times next{22050 + 1014, 22050 + 1014, 0};
  clock.Place(next, 1024);
  EXPECT_EQ(next.Dts, 22050 + 1024);
}

TEST(SoundClock, AClockNoCoarserThanTheOutputsMovesNothing) {
  for (const AVRational source : {AVRational{1, 44100}, AVRational{1, 1000}}) {
    SoundClock clock;
    clock.Start(source, source, 44100);
    for (const int64_t time : {int64_t(0), int64_t(23), int64_t(46), int64_t(70)}) {
      SoundClock::Times times{time, time, 0};
      // A packet without a length steps by its samples in the checks only.
      EXPECT_EQ(clock.Place(times, 1024), source.den == 1000 ? 23 : 1024);
      EXPECT_EQ(times.Dts, time);
      EXPECT_EQ(times.Duration, 0);
    }
    EXPECT_EQ(clock.Moved(), 0);
  }
}

TEST(SoundClock, MissingAndHugeValuesAreLeftAsTheyCame) {
  SoundClock clock;
  clock.Start({1, 1000}, {1, 44100}, 44100);
  SoundClock::Times none{SOUNDCLOCK::kNoTime, SOUNDCLOCK::kNoTime, 0};
  EXPECT_EQ(clock.Place(none, 1024), 1024);
  EXPECT_EQ(none.Dts, SOUNDCLOCK::kNoTime);
  SoundClock::Times huge{INT64_MAX - 5, INT64_MAX - 5, 0};
  clock.Place(huge, 1024);
  EXPECT_EQ(huge.Dts, INT64_MAX - 5);
  SoundClock::Times after{INT64_MIN + 5, INT64_MIN + 5, 0};
  clock.Place(after, int64_t(1) << 62);
  EXPECT_EQ(after.Dts, INT64_MIN + 5);
  // No sample rate: nothing to count by.
  SoundClock unknown;
  unknown.Start({1, 1000}, {1, 44100}, 0);
  SoundClock::Times times{1014, 1014, 0};
  EXPECT_EQ(unknown.Place(times, 1024), 1);
  EXPECT_EQ(times.Dts, 1014);
}

}  // namespace
