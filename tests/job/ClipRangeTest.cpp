// The clip's times as the options give them, what is refused, and the
// chapters a clip keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "job/ClipRange.h"

namespace {

using CLIPRANGE::ParseRange;
using CLIPRANGE::Range;

Range Parsed(const std::string& start, const std::string& end, const std::string& duration) {
  Range range;
  EXPECT_EQ(ParseRange(start, end, duration, range), "") << start << " " << end << " " << duration;
  return range;
}

std::string Refusal(const std::string& start, const std::string& end, const std::string& duration) {
  Range range;
  return ParseRange(start, end, duration, range);
}

VELAVCODEC::SourceChapter Chapter(int64_t id, int64_t start, int64_t end) {
  VELAVCODEC::SourceChapter chapter;
  chapter.Id = id;
  chapter.TimeBaseNum = 1;
  chapter.TimeBaseDen = 1000;
  chapter.Start = start;
  chapter.End = end;
  return chapter;
}

}  // namespace

TEST(ClipRangeTest, NoTimesAskForNoClip) {
  const Range range = Parsed("", "", "");
  EXPECT_FALSE(range.Asked);
  EXPECT_EQ(range.FromSeconds, 0.0);
  EXPECT_TRUE(std::isinf(range.ToSeconds));
}

TEST(ClipRangeTest, TimesAsSecondsOrHoursMinutesSeconds) {
  Range range = Parsed("1:02:03.250", "1:02:13.5", "");
  EXPECT_TRUE(range.Asked);
  EXPECT_DOUBLE_EQ(range.FromSeconds, 3723.25);
  EXPECT_DOUBLE_EQ(range.ToSeconds, 3733.5);
  // The end alone: from the film's start.
  range = Parsed("", "90", "");
  EXPECT_EQ(range.FromSeconds, 0.0);
  EXPECT_DOUBLE_EQ(range.ToSeconds, 90.0);
  // The start alone: to the film's end.
  range = Parsed("12.5", "", "");
  EXPECT_DOUBLE_EQ(range.FromSeconds, 12.5);
  EXPECT_TRUE(std::isinf(range.ToSeconds));
  // A duration counts from the start.
  range = Parsed("0:10", "", "2:30");
  EXPECT_DOUBLE_EQ(range.ToSeconds, 160.0);
}

TEST(ClipRangeTest, BadTimesAreRefusedByName) {
  EXPECT_EQ(Refusal("ten", "", ""), "bad start time 'ten' (seconds or H:MM:SS.mmm)");
  EXPECT_EQ(Refusal("", "-5", ""), "bad end time '-5' (seconds or H:MM:SS.mmm)");
  EXPECT_EQ(Refusal("", "", "1:2:3:4"), "bad duration '1:2:3:4' (seconds or H:MM:SS.mmm)");
  EXPECT_NE(Refusal("nan", "", ""), "");
  EXPECT_NE(Refusal("1e400", "", ""), "");
  // Beyond any film: no clock has to hold it.
  EXPECT_NE(Refusal("", "99999999", ""), "");
  EXPECT_EQ(Refusal("", "", "1e7"), "");
  EXPECT_NE(Refusal("", "", "1.1e7"), "");
}

TEST(ClipRangeTest, AnEmptyOrBackwardClipIsRefused) {
  EXPECT_EQ(Refusal("20", "10", ""), "the end time 10 is not after the start time 20");
  EXPECT_EQ(Refusal("10", "0:10", ""), "the end time 0:10 is not after the start time 10");
  EXPECT_EQ(Refusal("", "0", ""), "the end time 0 is not after the start time 0");
  EXPECT_EQ(Refusal("5", "", "0"), "the duration 0 is no time at all");
  EXPECT_EQ(Refusal("5", "10", "2"), "--end and --duration exclude each other");
}

TEST(ClipRangeTest, AStartPastTheFilmIsRefused) {
  const Range range = Parsed("60", "", "");
  EXPECT_EQ(CLIPRANGE::CheckAgainstFilm(range, 61.0), "");
  EXPECT_NE(CLIPRANGE::CheckAgainstFilm(range, 60.0).find("60.000 s lies past the source's end"),
            std::string::npos);
  // A length not known leaves it to the reading.
  EXPECT_EQ(CLIPRANGE::CheckAgainstFilm(range, 0.0), "");
  EXPECT_EQ(CLIPRANGE::CheckAgainstFilm(Parsed("", "", ""), 1.0), "");
}

TEST(ClipRangeTest, ChaptersAfterTheEndGoAndOneAcrossItEndsThere) {
  const std::vector<VELAVCODEC::SourceChapter> chapters = {
      Chapter(1, 0, 6000), Chapter(2, 6000, 13000), Chapter(3, 13000, 20000)};
  std::vector<VELAVCODEC::SourceChapter> kept = CLIPRANGE::ChaptersBefore(chapters, 10.0);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].End, 6000);
  EXPECT_EQ(kept[1].Id, 2);
  EXPECT_EQ(kept[1].Start, 6000);
  EXPECT_EQ(kept[1].End, 10000);
  // A chapter starting right at the end is after it.
  kept = CLIPRANGE::ChaptersBefore(chapters, 13.0);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[1].End, 13000);
  // No end: every chapter as it was.
  kept = CLIPRANGE::ChaptersBefore(chapters, std::numeric_limits<double>::infinity());
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[2].End, 20000);
  // An end beyond a fine clock's reach ends nothing.
  VELAVCODEC::SourceChapter fine = Chapter(5, 0, 3'000'000'000);
  fine.TimeBaseDen = 1'000'000'000;
  kept = CLIPRANGE::ChaptersBefore({fine}, 1.0e10);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].End, 3'000'000'000);
  kept = CLIPRANGE::ChaptersBefore({fine}, 2.0);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].End, 2'000'000'000);
  // A chapter on no clock is left out rather than divided by.
  VELAVCODEC::SourceChapter broken = Chapter(4, 0, 10);
  broken.TimeBaseDen = 0;
  EXPECT_TRUE(CLIPRANGE::ChaptersBefore({broken}, 5.0).empty());
}
