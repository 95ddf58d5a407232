#include "subtitles/SubtitleSchedule.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using SUBTITLEFILE::TextLines;
using SUBTITLESCHEDULE::SubtitleSchedule;

namespace {

// Entries as NextEntry hands them out; {-1, -1} marks an unusable line.
struct FakeEntries {
  std::vector<std::pair<int32_t, int32_t>> ranges;
  std::vector<TextLines> texts;
  size_t next = 0;
  TextLines none;

  SubtitleSchedule::Fetch Fetch() {
    return [this](int32_t& start, int32_t& end) -> const TextLines& {
      if (next >= ranges.size()) {
        start = end = -1;
        return none;
      }
      start = ranges[next].first;
      end = ranges[next].second;
      return texts[next++];
    };
  }
};

FakeEntries Entries(std::vector<std::pair<int32_t, int32_t>> ranges) {
  FakeEntries entries;
  entries.ranges = std::move(ranges);
  for (size_t i = 0; i < entries.ranges.size(); ++i)
    entries.texts.push_back({"entry " + std::to_string(i)});
  return entries;
}

// Runs frames 0..count-1; returns per frame the text drawn ("" for none)
// and whether an overlay happened.
std::vector<std::pair<std::string, bool>> RunFrames(FakeEntries& entries, int32_t count) {
  SubtitleSchedule schedule;
  schedule.Begin(entries.Fetch(), 0);
  std::vector<std::pair<std::string, bool>> frames;
  for (int32_t frame = 0; frame < count; ++frame) {
    const auto actions = schedule.ForFrame(frame);
    frames.emplace_back(actions.Draw ? schedule.Lines().front() : "", actions.Overlay);
    schedule.AfterFrame(frame + 1);
  }
  return frames;
}

}  // namespace

TEST(SubtitleScheduleTest, EntryIsDrawnOnItsFirstFrameAndOverlaidOverItsRange) {
  FakeEntries entries = Entries({{2, 4}, {7, 7}});
  const auto frames = RunFrames(entries, 10);
  const std::vector<std::pair<std::string, bool>> expected = {
      {"", false}, {"", false}, {"entry 0", true}, {"", true},  {"", true},
      {"", false}, {"", false}, {"entry 1", true}, {"", false}, {"", false}};
  EXPECT_EQ(frames, expected);
}

TEST(SubtitleScheduleTest, BackToBackEntryIsDrawnAlthoughItsStartHasPassed) {
  // The second entry starts on the frame where the first ends; it is fetched
  // after that frame and must still show from the next one on.
  FakeEntries entries = Entries({{1, 3}, {3, 5}});
  const auto frames = RunFrames(entries, 7);
  EXPECT_EQ(frames[1], std::make_pair(std::string("entry 0"), true));
  EXPECT_EQ(frames[3], std::make_pair(std::string(""), true));
  EXPECT_EQ(frames[4], std::make_pair(std::string("entry 1"), true));
  EXPECT_EQ(frames[5], std::make_pair(std::string(""), true));
  EXPECT_EQ(frames[6], std::make_pair(std::string(""), false));
}

TEST(SubtitleScheduleTest, NegativeDelaySkipsPastEntriesAndDrawsTheCurrentOne) {
  FakeEntries entries = Entries({{-20, -10}, {-5, 1}, {3, 3}});
  const auto frames = RunFrames(entries, 5);
  EXPECT_EQ(frames[0], std::make_pair(std::string("entry 1"), true));
  EXPECT_EQ(frames[1], std::make_pair(std::string(""), true));
  EXPECT_EQ(frames[2], std::make_pair(std::string(""), false));
  EXPECT_EQ(frames[3], std::make_pair(std::string("entry 2"), true));
}

TEST(SubtitleScheduleTest, UnusableLineCostsOneFrameAndNothingIsOverlaidWithoutEntry) {
  FakeEntries entries = Entries({{0, 0}, {-1, -1}, {1, 2}});
  const auto frames = RunFrames(entries, 4);
  EXPECT_EQ(frames[0], std::make_pair(std::string("entry 0"), true));
  // After frame 0 the unusable line answers -1, -1; the entry comes one frame
  // later and is drawn on the first frame it still covers.
  EXPECT_EQ(frames[1], std::make_pair(std::string(""), false));
  EXPECT_EQ(frames[2], std::make_pair(std::string("entry 2"), true));
  EXPECT_EQ(frames[3], std::make_pair(std::string(""), false));
}
