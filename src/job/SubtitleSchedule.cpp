#include "job/SubtitleSchedule.h"

namespace SUBTITLESCHEDULE {

void SubtitleSchedule::Begin(const Fetch& fetch, int32_t frameIndex) {
  FetchUntilCurrent(fetch, frameIndex);
}

SubtitleSchedule::Actions SubtitleSchedule::ForFrame(int32_t frameIndex) {
  Actions actions;
  actions.Overlay = start_ <= frameIndex && frameIndex <= end_;
  actions.Draw = actions.Overlay && !drawn_;
  if (actions.Draw) drawn_ = true;
  return actions;
}

void SubtitleSchedule::AfterFrame(const Fetch& fetch, int32_t nextFrameIndex) {
  if (end_ < nextFrameIndex) FetchUntilCurrent(fetch, nextFrameIndex);
}

const SUBTITLEFILE::TextLines& SubtitleSchedule::Lines() const {
  static const SUBTITLEFILE::TextLines kNone;
  return lines_ ? *lines_ : kNone;
}

// Entries that are over before frameIndex (a negative delay) are skipped at
// once. An answer of -1, -1 (the end, or an unusable line) stops the search:
// the next picture asks again.
void SubtitleSchedule::FetchUntilCurrent(const Fetch& fetch, int32_t frameIndex) {
  do {
    lines_ = &fetch(start_, end_);
    drawn_ = false;
  } while (end_ < frameIndex && !(start_ == -1 && end_ == -1));
}

void SetSubtitleTiming(SUBTITLEFILE::SubtitleFile& file, const JOBOPTIONS::JobOptions& options,
                       double framesPerSecond) {
  file.FrameRate = framesPerSecond;
  if (options.UseFrames)
    file.SetDelayFrames(options.DelayFrames);
  else
    file.SetDelayMilliseconds(options.DelayMilliseconds);
}

}  // namespace SUBTITLESCHEDULE
