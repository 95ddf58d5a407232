#include "subtitles/SubtitleSchedule.h"

#include <utility>

namespace SUBTITLESCHEDULE {

// The file is read directly, not through a fetch bound to this object, so
// that nothing refers back to the schedule.
void SubtitleSchedule::Begin(const SUBTITLEFILE::SubtitleFile& file, int32_t frameIndex) {
  fetch_ = nullptr;
  file_ = &file;
  nextIndex_ = 0;
  FetchUntilCurrent(frameIndex);
}

void SubtitleSchedule::Begin(Fetch fetch, int32_t frameIndex) {
  fetch_ = std::move(fetch);
  file_ = nullptr;
  FetchUntilCurrent(frameIndex);
}

SubtitleSchedule::Actions SubtitleSchedule::ForFrame(int32_t frameIndex) {
  Actions actions;
  actions.Overlay = start_ <= frameIndex && frameIndex <= end_;
  actions.Draw = actions.Overlay && !drawn_;
  if (actions.Draw) drawn_ = true;
  return actions;
}

void SubtitleSchedule::AfterFrame(int32_t nextFrameIndex) {
  if (end_ < nextFrameIndex) FetchUntilCurrent(nextFrameIndex);
}

const SUBTITLEFILE::TextLines& SubtitleSchedule::Lines() const {
  static const SUBTITLEFILE::TextLines kNone;
  return lines_ ? *lines_ : kNone;
}

// Past the last step the file answers -1, -1 for good.
const SUBTITLEFILE::TextLines& SubtitleSchedule::NextOfFile(int32_t& start, int32_t& end) {
  if (nextIndex_ < file_->EntryCount()) {
    file_->ReadEntry(nextIndex_++, entry_);
  } else {
    entry_.Start = entry_.End = -1;
    entry_.Lines.clear();
  }
  start = entry_.Start;
  end = entry_.End;
  return entry_.Lines;
}

// Entries that are over before frameIndex (a negative delay) are skipped at
// once. An answer of -1, -1 (the end, or an unusable line) stops the search:
// the next picture asks again.
void SubtitleSchedule::FetchUntilCurrent(int32_t frameIndex) {
  if (file_ == nullptr && !fetch_) return;
  do {
    lines_ = file_ != nullptr ? &NextOfFile(start_, end_) : &fetch_(start_, end_);
    drawn_ = false;
  } while (end_ < frameIndex && !(start_ == -1 && end_ == -1));
}

}  // namespace SUBTITLESCHEDULE
