#pragma once

// Which subtitle entry a picture gets: takes the entries in file order, tells
// the frame loop when to draw the current one and when to overlay it.
#include <cstddef>
#include <cstdint>
#include <functional>

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

  // Walks the entries of an opened file with the timing set on it; the file
  // must stay open while the schedule is used.
  void Begin(const SUBTITLEFILE::SubtitleFile& file, int32_t frameIndex);
  // Walks the entries fetch gives, from the first that is not over before
  // frameIndex.
  void Begin(Fetch fetch, int32_t frameIndex);
  // What picture frameIndex needs. An entry is drawn on the first picture it
  // covers, also when its first frame had already passed when it was fetched.
  Actions ForFrame(int32_t frameIndex);
  // After a picture: moves on once the current entry is over before
  // nextFrameIndex.
  void AfterFrame(int32_t nextFrameIndex);

  const SUBTITLEFILE::TextLines& Lines() const;
  int32_t Start() const { return start_; }
  int32_t End() const { return end_; }

 private:
  const SUBTITLEFILE::TextLines& NextOfFile(int32_t& start, int32_t& end);
  void FetchUntilCurrent(int32_t frameIndex);

  Fetch fetch_;
  const SUBTITLEFILE::SubtitleFile* file_ = nullptr;
  std::size_t nextIndex_ = 0;
  SUBTITLEFILE::SubtitleEntry entry_;  // the file's current entry, its lines reused
  const SUBTITLEFILE::TextLines* lines_ = nullptr;
  int32_t start_ = -1;
  int32_t end_ = -1;
  bool drawn_ = false;
};

}  // namespace SUBTITLESCHEDULE
