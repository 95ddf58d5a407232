#pragma once

// The figures shown while a job runs: three times, two frame rates and four
// sizes, recomputed at most once a second.
#include <cstdint>
#include <string>

namespace JOBSTATISTICS {

struct StatisticsTexts {
  std::string ElapsedTime;
  std::string EstimatedTime;
  std::string TotalTime;
  std::string AvgFramerate;
  std::string CurrentFramerate;
  std::string AudioSize;
  std::string VideoSize;
  std::string WrittenSize;
  std::string TotalSize;
  // Empty unless the job copies what no subtitle touches.
  std::string CopiedFrames;
  std::string EncodedFrames;
};

// What a refresh is computed from.
struct Progress {
  uint64_t MsSinceStart = 0;
  uint32_t MsSinceLastRefresh = 0;
  int32_t FrameIndex = 0;
  int32_t LastRefreshFrame = 0;
  int32_t TotalFrames = 0;
  uint64_t AudioBytes = 0;
  uint64_t VideoBytes = 0;
  // A job that copies untouched pictures counts them apart: FrameIndex and
  // TotalFrames are then the encoded ones, which set the pace, while the
  // written bytes come from both. Negative when nothing is copied.
  int64_t CopiedFrames = -1;
  int64_t TotalCopiedFrames = 0;
};

// "    hh:nn:ss" of the time of day that ms milliseconds make; negative
// durations show as zero.
std::string TimeText(int64_t ms);
// "hh:nn:ss" alone, as TimeText ends.
std::string ClockText(int64_t ms);
// General format with 15 significant digits, a point whatever the locale, and
// at most three digits after it (cut, not rounded).
std::string NumberText(double value);

// A steady clock's milliseconds, for the refresh pace.
int64_t NowMs();

// The texts of a job that has just been reset.
StatisticsTexts ResetTexts();
StatisticsTexts ComputeStatistics(const Progress& progress);
// The estimate of the time still to go that EstimatedTime shows.
int64_t RemainingMs(const Progress& progress);

}  // namespace JOBSTATISTICS
