#pragma once

// Which subtitle entry a picture gets: fetches entries in file order, tells
// the frame loop when to draw the current one and when to overlay it.
#include <cstdint>
#include <functional>

#include "job/JobOptions.h"
#include "subtitles/SubtitleUnit.h"

namespace SUBTITLESCHEDULE {

class SubtitleSchedule {
 public:
  // Answers the next entry with its first and last frame (-1, -1 for none).
  using Fetch = std::function<const SUBTITLEFILE::TextLines&(int32_t& start, int32_t& end)>;

  struct Actions {
    bool Draw = false;
    bool Overlay = false;
  };

  // Fetches the first entry that is not over before frameIndex.
  void Begin(const Fetch& fetch, int32_t frameIndex);
  // What picture frameIndex needs. An entry is drawn on the first picture it
  // covers, also when its first frame had already passed when it was fetched.
  Actions ForFrame(int32_t frameIndex);
  // After a picture: moves on once the current entry is over before
  // nextFrameIndex.
  void AfterFrame(const Fetch& fetch, int32_t nextFrameIndex);

  const SUBTITLEFILE::TextLines& Lines() const;
  int32_t Start() const { return start_; }
  int32_t End() const { return end_; }

 private:
  void FetchUntilCurrent(const Fetch& fetch, int32_t frameIndex);

  const SUBTITLEFILE::TextLines* lines_ = nullptr;
  int32_t start_ = -1;
  int32_t end_ = -1;
  bool drawn_ = false;
};

// The frame rate and the delay correction a job's options give its opened
// subtitle file; the delay in milliseconds is turned into frames with the rate.
void SetSubtitleTiming(SUBTITLEFILE::SubtitleFile& file, const JOBOPTIONS::JobOptions& options,
                       double framesPerSecond);

}  // namespace SUBTITLESCHEDULE
