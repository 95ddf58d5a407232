#include "job/JobStatistics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "support/TestSupport.h"

using namespace JOBSTATISTICS;

namespace {

// Most build machines have no locale with a decimal comma: one is compiled
// into folder when the system has none.
bool UseDecimalCommaLocale(const testsupport::fs::path& folder) {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return true;
  testsupport::RunShell("localedef -i de_DE -f UTF-8 " + (folder / "de_DE.UTF-8").string());
  setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

}  // namespace

TEST(JobStatisticsTest, NumberTextCutsToThreeDecimalsWithoutRounding) {
  EXPECT_EQ(NumberText(12.3456789), "12.345");
  EXPECT_EQ(NumberText(0.9999), "0.999");
  EXPECT_EQ(NumberText(25), "25");
  EXPECT_EQ(NumberText(1024), "1024");
  EXPECT_EQ(NumberText(0), "0");
  EXPECT_EQ(NumberText(1.5), "1.5");
  EXPECT_EQ(NumberText(0.00001), "0.000");
  EXPECT_EQ(NumberText(123456789012345.0), "123456789012345");
}

TEST(JobStatisticsTest, NumberTextKeepsTheExponentOfTinyAndHugeValues) {
  // Cutting "4.76837158203125E-6" after three decimals would show 4.768.
  EXPECT_EQ(NumberText(5.0 / 1048576), "4.768E-6");
  EXPECT_EQ(NumberText(1e15), "1E15");
  EXPECT_EQ(NumberText(1.25e20), "1.25E20");
}

TEST(JobStatisticsTest, NumberTextUsesAPointWhateverTheLocale) {
  testsupport::TempDir dir;
  if (!UseDecimalCommaLocale(dir.path()))
    GTEST_SKIP() << "no locale with a decimal comma can be had";
  char sample[16];
  std::snprintf(sample, sizeof sample, "%.1f", 0.5);
  EXPECT_STREQ(sample, "0,5");  // the locale is in force
  EXPECT_EQ(NumberText(12.3456789), "12.345");
  EXPECT_EQ(NumberText(0.5), "0.5");
  EXPECT_EQ(NumberText(1.5e-7), "1.5E-7");
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
}

TEST(JobStatisticsTest, TimeTextShowsTheTimeOfDayWithFourLeadingBlanks) {
  EXPECT_EQ(TimeText(0), "    00:00:00");
  EXPECT_EQ(TimeText(999), "    00:00:00");
  EXPECT_EQ(TimeText(3723000), "    01:02:03");
  EXPECT_EQ(TimeText(25 * 3600000LL + 1000), "    01:00:01");
  EXPECT_EQ(TimeText(-5000), "    00:00:00");
}

TEST(JobStatisticsTest, ResetShowsZeroEverywhere) {
  const StatisticsTexts t = ResetTexts();
  for (const std::string* time : {&t.ElapsedTime, &t.EstimatedTime, &t.TotalTime})
    EXPECT_EQ(*time, "    00:00:00");
  for (const std::string* number : {&t.AvgFramerate, &t.CurrentFramerate, &t.AudioSize,
                                    &t.VideoSize, &t.WrittenSize, &t.TotalSize})
    EXPECT_EQ(*number, "0");
}

TEST(JobStatisticsTest, RefreshComputesTimesRatesAndSizes) {
  Progress p;
  p.MsSinceStart = 10000;       // 10 s for 250 of 1000 frames
  p.MsSinceLastRefresh = 1000;  // 30 frames in the last second
  p.FrameIndex = 250;
  p.LastRefreshFrame = 220;
  p.TotalFrames = 1000;
  p.AudioBytes = 1048576;
  p.VideoBytes = 3 * 1048576 / 2;
  const StatisticsTexts t = ComputeStatistics(p);
  EXPECT_EQ(t.ElapsedTime, "    00:00:10");
  EXPECT_EQ(t.TotalTime, "    00:00:40");
  EXPECT_EQ(t.EstimatedTime, "    00:00:30");
  EXPECT_EQ(t.AvgFramerate, "25");
  EXPECT_EQ(t.CurrentFramerate, "30");
  EXPECT_EQ(t.AudioSize, "1");
  EXPECT_EQ(t.VideoSize, "1.5");
  EXPECT_EQ(t.WrittenSize, "2.5");
  // Audio counts into the estimate: 2.5 MB per 250 frames, 1000 frames.
  EXPECT_EQ(t.TotalSize, "10");
}

TEST(JobStatisticsTest, EstimateOfADayOrMoreShowsZeroTotal) {
  Progress p;
  p.MsSinceStart = 3600000;  // one hour for one frame of 24
  p.FrameIndex = 1;
  p.TotalFrames = 24;
  const StatisticsTexts t = ComputeStatistics(p);
  EXPECT_EQ(t.TotalTime, "    00:00:00");
  EXPECT_EQ(t.EstimatedTime, "    00:00:00");
  EXPECT_EQ(t.ElapsedTime, "    01:00:00");
  p.TotalFrames = 23;
  EXPECT_EQ(ComputeStatistics(p).TotalTime, "    23:00:00");
}

TEST(JobStatisticsTest, NoPictureYetLeavesTheEstimatesAtZero) {
  Progress p;
  p.MsSinceStart = 2500;
  p.MsSinceLastRefresh = 1000;
  p.AudioBytes = 524288;
  p.TotalFrames = 100;
  const StatisticsTexts t = ComputeStatistics(p);
  EXPECT_EQ(t.ElapsedTime, "    00:00:02");
  EXPECT_EQ(t.AvgFramerate, "0");
  EXPECT_EQ(t.CurrentFramerate, "0");
  EXPECT_EQ(t.TotalTime, "    00:00:00");
  EXPECT_EQ(t.TotalSize, "0");
  EXPECT_EQ(t.AudioSize, "0.5");
}

// A copying job paces by the pictures it encodes, but its size grows with
// the copied ones too.
TEST(JobStatisticsTest, CopyingJobCountsCopiedPicturesApart) {
  Progress p;
  p.MsSinceStart = 2000;  // 50 of 100 encoded pictures in 2 s
  p.FrameIndex = 50;
  p.TotalFrames = 100;
  p.CopiedFrames = 350;  // of 900 to copy
  p.TotalCopiedFrames = 900;
  p.VideoBytes = 4 * 1048576;
  const StatisticsTexts t = ComputeStatistics(p);
  EXPECT_EQ(t.CopiedFrames, "350");
  EXPECT_EQ(t.EncodedFrames, "50");
  EXPECT_EQ(t.TotalTime, "    00:00:04");
  EXPECT_EQ(t.AvgFramerate, "25");
  // 4 MB for 400 of 1000 pictures, not for 50 of 100.
  EXPECT_EQ(t.TotalSize, "10");
  // Copying runs ahead of the first encoded picture.
  p.FrameIndex = 0;
  EXPECT_EQ(ComputeStatistics(p).CopiedFrames, "350");
  EXPECT_EQ(ComputeStatistics(p).EncodedFrames, "0");
  // A job that copies nothing shows no counts.
  EXPECT_TRUE(ComputeStatistics(Progress{}).CopiedFrames.empty());
  EXPECT_TRUE(ResetTexts().EncodedFrames.empty());
}
