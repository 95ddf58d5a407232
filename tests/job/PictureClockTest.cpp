// Pictures placed on a constant output rate by their presentation times.
#include "job/PictureClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using PICTURECLOCK::PictureClock;

TEST(PictureClockTest, ConstantRateSourcesKeepEveryPictureInItsOrder) {
  PictureClock clock;
  clock.Start(24000.0 / 1001);
  // Millisecond timestamps of 23.976 pictures a second, as Matroska has them.
  for (int k = 0; k < 1000; ++k) {
    const double t = std::round(k * 1001.0 / 24.0) / 1000.0;
    const auto placement = clock.Place(true, t);
    ASSERT_FALSE(placement.Drop) << k;
    ASSERT_EQ(placement.Repeats, 0) << k;
  }
  EXPECT_EQ(clock.NextPlace(), 1000);
  EXPECT_EQ(clock.RepeatsUntil(1000 * 1001.0 / 24000), 0);
  // Pictures without times follow one another.
  clock.Start(25);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(clock.Place(false, 0).Repeats, 0);
  EXPECT_EQ(clock.NextPlace(), 10);
  EXPECT_EQ(clock.Repeated() + clock.Dropped(), 0);
}

TEST(PictureClockTest, SlowerStretchesRepeatAndFasterOnesDrop) {
  PictureClock clock;
  clock.Start(50);
  // 25 a second, then 50.
  std::vector<double> times;
  for (int k = 0; k < 50; ++k) times.push_back(k * 0.04);
  for (int k = 0; k < 100; ++k) times.push_back(2.0 + k * 0.02);
  for (double t : times) EXPECT_FALSE(clock.Place(true, t).Drop);
  EXPECT_EQ(clock.Repeated(), 50);  // the place after each of the first 50
  EXPECT_EQ(clock.NextPlace(), 200);
  EXPECT_EQ(clock.RepeatsUntil(4.0), 0);

  clock.Start(30);
  int dropped = 0;
  for (int k = 0; k < 60; ++k) dropped += clock.Place(true, k / 60.0).Drop ? 1 : 0;
  EXPECT_EQ(dropped, 30);
  EXPECT_EQ(clock.Dropped(), 30);
  EXPECT_EQ(clock.NextPlace(), 30);
}

TEST(PictureClockTest, FirstPictureLateFillsTheStartAndTheLastLastsItsDuration) {
  PictureClock clock;
  clock.Start(25);
  const auto first = clock.Place(true, 0.2);  // the first five places are empty
  EXPECT_EQ(first.Repeats, 5);
  EXPECT_FALSE(first.Drop);
  // A picture a little before the video's start takes the first place.
  clock.Start(25);
  EXPECT_EQ(clock.Place(true, -0.01).Repeats, 0);
  EXPECT_EQ(clock.NextPlace(), 1);
  // A last picture of 0.2 seconds.
  EXPECT_EQ(clock.RepeatsUntil(0.2), 4);
  EXPECT_EQ(clock.NextPlace(), 5);
}

TEST(PictureClockTest, JumpsOfTheSourceClockAreDiscontinuitiesNotGaps) {
  PictureClock clock;
  clock.Start(25);
  for (int k = 0; k < 25; ++k) clock.Place(true, 100.0 + k * 0.04);
  EXPECT_EQ(clock.Repeated(), 0);  // no 100 seconds of the first picture
  EXPECT_EQ(clock.NextPlace(), 25);
  clock.Start(25);
  for (int k = 0; k < 50; ++k) clock.Place(true, k * 0.04);
  // The counter restarts two seconds back: the pictures go on where they are.
  auto restarted = clock.Place(true, 0.0);
  EXPECT_FALSE(restarted.Drop);
  EXPECT_EQ(restarted.Repeats, 0);
  EXPECT_EQ(clock.Place(true, 0.04).Repeats, 0);
  // And an hour forward is no hour of repeats.
  EXPECT_EQ(clock.Place(true, 3600.0).Repeats, 0);
  EXPECT_EQ(clock.NextPlace(), 53);
  EXPECT_EQ(clock.Repeated(), 0);
}
