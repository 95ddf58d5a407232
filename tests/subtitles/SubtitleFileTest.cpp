// Loading, format detection, entry reading and markup removal of subtitle files.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "subtitles/SubtitleEntry.h"
#include "subtitles/SubtitleMessages.h"
#include "subtitles/SubtitleScan.h"
#include "subtitles/SubtitleSchedule.h"
#include "subtitles/SubtitleText.h"
#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"

using SUBTITLEFILE::SubtitleFile;
using SUBTITLEFILE::TextLines;
using namespace std::string_literals;

namespace {

using namespace subtitlemessages;

using subtitleentry::Entry;

using subtitleentry::AllSteps;

// What the frame loop's schedule gets after `taken` entries: the file's
// next one, or none past the end.
Entry ScheduledAfter(const SubtitleFile& file, int taken) {
  SUBTITLESCHEDULE::SubtitleSchedule schedule;
  int32_t frame = std::numeric_limits<int32_t>::min();
  schedule.Begin(file, frame);
  for (int i = 0; i < taken; ++i) schedule.AfterFrame(schedule.End() + 1);
  return Entry{schedule.Start(), schedule.End(), schedule.Lines()};
}

std::vector<Entry> WalkText(const std::string& text, double fps = 25.0, int32_t delay = 0) {
  SubtitleFile file;
  EXPECT_TRUE(file.OpenContents("mem", text)) << file.ErrorText;
  file.SetFrameRate(fps);
  file.SetDelayFrames(delay);
  return AllSteps(file);
}

const Entry kNone{-1, -1, {}};

}  // namespace

// --- Scanning follows the C library's sscanf --------------------------------

TEST(SubtitleScan, AgreesWithSscanfOnEveryPattern) {
  const char* patterns[] = {"{%d}{%d}", "%d", "%d:%d:%d,%d --> %d:%d:%d,%d"};
  const char* inputs[] = {"{1}{2}Hello",
                          "{1}{2",
                          "{ 1}{ -2}x",
                          "{1} {2}",
                          "{+3}{-}",
                          "{1}{2}}",
                          " {1}{2}",
                          "{-}{2}",
                          "12abc",
                          "  \t-7",
                          "+",
                          "-",
                          "",
                          "x1",
                          "1.5",
                          "99999999999",
                          "4294967297",
                          "-2147483649",
                          "9223372036854775807",
                          "9223372036854775808",
                          "-9223372036854775808",
                          "-9223372036854775809",
                          "123456789012345678901234567890",
                          "00:00:01,000 --> 00:00:02,000",
                          "0:0:1,0 --> 0:0:2,5",
                          "00:00:01.000 --> 00:00:02.000",
                          "00:00:01,000-->00:00:02,000",
                          "00:00:01,000 \t -->   00:00:02,000 X1:1",
                          "1 :2:3,4 --> 5:6:7,8",
                          "1: 2: 3, 4 --> 5:6:7,8",
                          "00:00:01,000 --> 00:00:02",
                          "\v\f\r1",
                          "1\n2"};
  for (const char* pattern : patterns) {
    for (const char* input : inputs) {
      int expected[8] = {};
      int stored =
          std::sscanf(input, pattern, &expected[0], &expected[1], &expected[2], &expected[3],
                      &expected[4], &expected[5], &expected[6], &expected[7]);
      int32_t actual[8] = {};
      const auto result = SUBTITLEFILE::ScanIntegers(input, pattern, actual);
      ASSERT_EQ(result.stored, std::max(stored, 0)) << pattern << " on " << input;
      for (int i = 0; i < result.stored; ++i)
        EXPECT_EQ(actual[i], expected[i]) << pattern << " on " << input << " #" << i;
    }
  }
}

TEST(SubtitleScan, StopsAtNulAndReportsWhereTheLastNumberEnded) {
  int32_t values[2];
  EXPECT_EQ(SUBTITLEFILE::ScanIntegers(std::string("{1}\0{2}", 7), "{%d}{%d}", values).stored, 1);
  const auto result = SUBTITLEFILE::ScanIntegers("{5}{ 9 text", "{%d}{%d}", values);
  EXPECT_EQ(result.stored, 2);
  EXPECT_EQ(result.end, 6u);
}

// --- Open: checks, messages, state ------------------------------------------

TEST(SubtitleOpen, RefusesWithTheRightMessage) {
  const std::pair<std::string, std::string> cases[] = {
      {"", kTooSmall},
      {"{1}", kTooSmall},
      {" \r\n\t \n\n  \r", kTooSmall},
      {"{1}{50}Hello", kTooSmall},
      {"\n\n{1}{50}Hello\n", kTooSmall},
      {"\xFF\xFE{\0001\0}\0"s, kUnicode},
      {"\xFE\xFF\0{\0001\0}"s, kUnicode},
      {"\xEF\xBB\xBF{1}{50}Hello\n{2}{3}x", kUtf8},
      {" {1}{50}Hello\n{60}{70}Bye\n", kUnknown},
      {"1\n00:00:01.000 --> 00:00:02.000\nHi\n", kUnknown},
      {"1\n\n00:00:01,000 --> 00:00:02,000\n", kUnknown},
      {"Hello\nWorld\n", kUnknown},
      {"\0\0\0\0x\x01\x02\n\x03y"s, kUnknown},
  };
  for (const auto& [bytes, message] : cases) {
    SubtitleFile file;
    EXPECT_FALSE(file.OpenContents("x.sub", bytes)) << bytes;
    EXPECT_EQ(file.ErrorText, message) << bytes;
    EXPECT_EQ(file.Format(), SUBTITLEFILE::SubtitleFormat::None);
    EXPECT_TRUE(file.Document().Cues.empty());
    EXPECT_TRUE(file.FileName.empty());
    EXPECT_TRUE(file.Info.empty());
  }
}

// The first reader to recognise the lines reads them; the styled formats
// only when asked for, and named when not.
TEST(SubtitleOpen, ReadersAreAskedInOrderAndStyledFormatsOnlyWhenStyled) {
  SubtitleFile file;
  file.Reading.Tolerant = true;
  ASSERT_TRUE(file.OpenContents("x", "{1}{50}Hello\n00:00:01,000 --> 00:00:02,000\n"));
  EXPECT_EQ(file.Format(), SUBTITLEFILE::SubtitleFormat::MicroDvd);
  const std::pair<std::string, std::string> styled[] = {
      {"WEBVTT\n\n00:01.000 --> 00:02.000\nHi\n", "WebVTT"},
      {"[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
       "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi\n",
       "Advanced SubStation Alpha"}};
  for (const auto& [bytes, name] : styled) {
    file.Reading.Styled = false;
    EXPECT_FALSE(file.OpenContents("x", bytes));
    EXPECT_EQ(file.ErrorCause, "the file is " + name + ", which --styled reads");
    file.Reading.Styled = true;
    EXPECT_TRUE(file.OpenContents("x", bytes)) << name;
    EXPECT_NE(file.Format(), SUBTITLEFILE::SubtitleFormat::None) << name;
  }
}

TEST(SubtitleOpen, DetectsTheFormatFromTheFirstEntryOnly) {
  const std::pair<std::string, SUBTITLEFILE::SubtitleFormat> cases[] = {
      {"{1}{50}Hello\nanything at all", SUBTITLEFILE::SubtitleFormat::MicroDvd},
      {"{1}{2\nx", SUBTITLEFILE::SubtitleFormat::MicroDvd},
      {"{1}{1}23.976\n{2}{3}a\n", SUBTITLEFILE::SubtitleFormat::MicroDvd},
      {" \t\r\n\n{1}{50}Hello\nx", SUBTITLEFILE::SubtitleFormat::MicroDvd},
      {"1\n0:0:1,0 --> 0:0:2,5\n", SUBTITLEFILE::SubtitleFormat::SubRip},
      {"\n\n 7 junk\n 00:00:01,000-->00:00:02,000 X1:2\n", SUBTITLEFILE::SubtitleFormat::SubRip},
      {"{1}\n00:00:01,000 --> 00:00:02,000\n", SUBTITLEFILE::SubtitleFormat::None},
  };
  for (const auto& [bytes, format] : cases) {
    SubtitleFile file;
    EXPECT_EQ(file.OpenContents("x", bytes), format != SUBTITLEFILE::SubtitleFormat::None) << bytes;
    EXPECT_EQ(file.Format(), format) << bytes;
  }
}

TEST(SubtitleOpen, ReportsAndKeepsDelayAndRateAcrossOpens) {
  SubtitleFile file;
  ASSERT_TRUE(file.OpenContents("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n"));
  EXPECT_EQ(file.Info,
            "[ BEGIN SUBTITLE INFO ]\r\nSubtitle format is SubRip\r\n[ END SUBTITLE INFO ]");
  EXPECT_EQ(file.FileName, "a.srt");
  file.SetFrameRate(25.0);
  file.SetDelayFrames(7);
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{2}x\n{3}{4}y"));
  EXPECT_EQ(file.Info,
            "[ BEGIN SUBTITLE INFO ]\r\nSubtitle format is MicroDVD\r\n[ END SUBTITLE INFO ]");
  EXPECT_EQ(file.DelayFrames(), 7);
  EXPECT_EQ(file.FrameRate(), 25.0);
  // The new file is read from its first entry.
  EXPECT_EQ(ScheduledAfter(file, 0), (Entry{8, 9, {"x"}}));
}

TEST(SubtitleOpen, FailureClearsButSuccessKeepsTheOldError) {
  SubtitleFile file;
  ASSERT_TRUE(file.OpenContents("a.sub", "{1}{2}x\n{3}{4}y"));
  file.SetFrameRate(25.0);
  file.SetDelayFrames(3);
  ASSERT_FALSE(file.OpenContents("b.sub", "abc"));
  EXPECT_EQ(file.ErrorText, kTooSmall);
  EXPECT_TRUE(file.FileName.empty());
  EXPECT_TRUE(file.Info.empty());
  EXPECT_EQ(file.DelayFrames(), 0);
  EXPECT_EQ(file.FrameRate(), 0.0);
  ASSERT_TRUE(file.OpenContents("c.sub", "{1}{2}x\n{3}{4}y"));
  EXPECT_EQ(file.ErrorText, kTooSmall);
}

TEST(SubtitleOpen, ReadsFilesAndRefusesWhatCannotBeRead) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "a.sub", "{1}{2}x\r{3}{4}y");
  SubtitleFile file;
  EXPECT_TRUE(file.Open((dir / "a.sub").string())) << file.ErrorText;
  EXPECT_EQ(file.FileName, (dir / "a.sub").string());
  EXPECT_FALSE(file.Open((dir / "missing.sub").string()));
  EXPECT_EQ(file.ErrorText, kCantOpen);
  EXPECT_FALSE(file.Open(dir.path().string()));
  EXPECT_EQ(file.ErrorText, kCantOpen);
}

TEST(SubtitleOpen, SplitsLinesAtCrLfAndCrLf) {
  // CR CR LF is two breaks, and so is LF CR: each leaves an empty line.
  const auto entries = WalkText("{1}{2}a\r{3}{4}b\n{5}{6}c\r\n{7}{8}d\r\r\n{9}{9}e\n\r");
  const std::vector<Entry> expected = {{1, 2, {"a"}}, {3, 4, {"b"}}, {5, 6, {"c"}}, {7, 8, {"d"}},
                                       kNone,         {9, 9, {"e"}}, kNone};
  EXPECT_EQ(entries, expected);
}

// --- Markup removal ---------------------------------------------------------

TEST(SubtitleMarkup, RemovesTagsInOrderAndThinsBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"<i>Hello</i>", " Hello "},
      {"<I>Hello</I>", " Hello "},
      {"{Y:I}{y:b}{y:U}{y:s}x", " x"},
      {"<b><u>x</u></b>", " x "},
      {"{C:$0000FF}Red", " Red"},
      {"{C:$FF}Hello", " o"},
      {"{c:$0000FF}x", "{c:$0000FF}x"},
      {"ab{C:$12", "ab "},
      {"<font color=\"#00ff00\">Green</font>", " Green "},
      {"<FONT COLOR=\"#00ff00\">x", "<FONT COLOR=\"#00ff00\">x"},
      {"<font color=\"red\">x</font>", "<font color=\"red\">x "},
      {"<font size=12>x</FONT>", "<font size=12>x</FONT>"},
      {"a  b", "a b"},
      {"a    b", "a b"},
      {"a     b", "a  b"},
      {"a       b", "a  b"},
      {"/{y:f}&amp;", "/{y:f}&amp;"},
      {"<<i>b>", "< b>"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(SUBTITLEFILE::RemoveMarkup(in), out) << in;
}

TEST(SubtitleMarkup, ColourTagsAreRemovedInOnePassOverLongText) {
  std::string text, expected;
  for (int i = 0; i < 200000; ++i) {
    text += "x{C:$0000FF}";
    expected += "x ";
  }
  EXPECT_TRUE(SUBTITLEFILE::RemoveMarkup(text) == expected);
  EXPECT_TRUE(SUBTITLEFILE::RemoveMarkup("{C:$" + text) == " 00FF}" + expected.substr(2));
}

// --- MicroDVD entries -------------------------------------------------------

TEST(SubtitleMicroDvd, FramesDelayAndText) {
  EXPECT_EQ(WalkText("{0}{25}Hello\n{1}{2}x")[0], (Entry{0, 25, {"Hello"}}));
  EXPECT_EQ(WalkText("{0}{25}Hello\n{1}{2}x", 25.0, -5)[0], (Entry{-5, 20, {"Hello"}}));
  EXPECT_EQ(WalkText("{-164}{-68} \t<i>x</i> \n{1}{2}x")[0], (Entry{-164, -68, {" x "}}));
  EXPECT_EQ(WalkText("{10}{20}\n{1}{2}x")[0], (Entry{10, 20, {""}}));
  EXPECT_EQ(WalkText("{10}{20}{y:i}Hello\n{1}{2}x")[0], (Entry{10, 20, {" Hello"}}));
  EXPECT_EQ(WalkText("{5}{9}}x\n{1}{2}x")[0], (Entry{5, 9, {"}x"}}));
  EXPECT_EQ(WalkText("{5}{ 9 }text\n{1}{2}x")[0], (Entry{5, 9, {"text"}}));
}

TEST(SubtitleMicroDvd, SplitsAtBars) {
  const std::pair<std::string, TextLines> cases[] = {
      {"Line one|Line two", {"Line one", "Line two"}},
      {"a|b|c", {"a", "b", "c"}},
      {"a||b", {"a", "", "b"}},
      {"|a", {"", "a"}},
      {"a|", {"a"}},
      {"|", {""}},
      {"a | b", {"a ", " b"}},
  };
  for (const auto& [text, lines] : cases)
    EXPECT_EQ(WalkText("{10}{20}" + text + "\n{1}{2}x")[0], (Entry{10, 20, lines})) << text;
}

TEST(SubtitleMicroDvd, BreaksLongTextsAtABlankFromIndex112) {
  const std::string exact128(128, 'x');
  EXPECT_EQ(WalkText("{1}{2}" + exact128 + "\n{1}{2}x")[0].lines, TextLines{exact128});
  const std::string head = std::string(100, 'a') + ' ' + std::string(19, 'b');
  const std::string tail(29, 'c');
  EXPECT_EQ(WalkText("{1}{2}" + head + ' ' + tail + "\n{1}{2}x")[0].lines, (TextLines{head, tail}));
  // Markup blanks count towards the limit.
  const std::string tagged = "{y:i}" + std::string(111, 'a') + " " + std::string(20, 'b');
  EXPECT_EQ(WalkText("{1}{2}" + tagged + "\n{1}{2}x")[0].lines,
            (TextLines{" " + std::string(111, 'a'), std::string(20, 'b')}));
  // With nowhere to break, the text is kept whole rather than dropped.
  const std::string unbroken = std::string(111, 'a') + ' ' + std::string(40, 'b');
  EXPECT_EQ(WalkText("{1}{2}" + unbroken + "\n{1}{2}x")[0].lines, TextLines{unbroken});
}

TEST(SubtitleMicroDvd, OnlyOneBraceTakesTheTextAfterTheSecondNumber) {
  EXPECT_EQ(WalkText("{5}{9 <i>text\n{1}{2}x")[0], (Entry{5, 9, {" text"}}));
  EXPECT_EQ(WalkText("{5}{9\n{1}{2}x")[0], (Entry{5, 9, {""}}));
}

TEST(SubtitleMicroDvd, UnusableLinesCostOneCallEach) {
  const auto entries = WalkText("{1}{2}a\n\n{x}{4}b\n{5}c\n{6}{7}d");
  const std::vector<Entry> expected = {{1, 2, {"a"}}, kNone, kNone, kNone, {6, 7, {"d"}}};
  EXPECT_EQ(entries, expected);
}

// --- SubRip entries ---------------------------------------------------------

TEST(SubtitleSubRip, GathersTextLinesUpToTheBlankLine) {
  const auto entries = WalkText(
      "1\n00:00:01,000 --> 00:00:02,000\n <i>Hello</i> \nWorld|x\n\n\n"
      "2\n00:00:03,000 --> 00:00:04,000\n\n"
      "3\n00:00:05,000 --> 00:00:06,000\nA\n4\n00:00:07,000 --> 00:00:08,000\nB\n\n"
      "5\n00:00:09,000 --> 00:00:10,000\nLast");
  const std::vector<Entry> expected = {
      {25, 50, {" Hello ", "World|x"}},
      kNone,
      {75, 100, {}},
      {125, 150, {"A", "4", "00:00:07,000 --> 00:00:08,000", "B"}},
      {225, 250, {"Last"}},
  };
  EXPECT_EQ(entries, expected);
}

TEST(SubtitleSubRip, UnusableCounterOrTimeLines) {
  // A bad time line costs the counter and the time line; text lines then
  // cost one call each until a counter turns up again.
  const auto entries = WalkText(
      "1\n00:00:01,000 --> 00:00:02,000\nA\n\n"
      "2\n00:00:03.000 --> 00:00:04,000\nB\n\n"
      "x\n3\n00:00:05,000 --> 00:00:06,000\nC\n\n4");
  const std::vector<Entry> expected = {{25, 50, {"A"}},   kNone, kNone, kNone, kNone,
                                       {125, 150, {"C"}}, kNone};
  EXPECT_EQ(entries, expected);
}

TEST(SubtitleSubRip, TimesBecomeFramesByTruncation) {
  const std::string file = "1\n00:00:01,000 --> 00:00:01,5\nx\n\n2\n00:00:02,50 --> 1:0:0,0\n";
  EXPECT_EQ(WalkText(file, 25.0)[0], (Entry{25, 25, {"x"}}));
  EXPECT_EQ(WalkText(file, 25.0)[1], (Entry{51, 90000, {}}));
  EXPECT_EQ(WalkText(file, 23.976)[0], (Entry{23, 24, {"x"}}));
  EXPECT_EQ(WalkText(file, 24000.0 / 1001.0)[1], (Entry{49, 86313, {}}));
  EXPECT_EQ(WalkText(file, 25.0, -3)[0], (Entry{22, 22, {"x"}}));
}

TEST(SubtitleSubRip, MatchesExtendedPrecisionArithmetic) {
  for (int32_t ms : {1, 999, 1001, 41708, 3599999, 86399999}) {
    for (double fps : {23.976, 24000.0 / 1001.0, 29.97, 30000.0 / 1001.0, 59.94, 25.0}) {
      const int h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60, f = ms % 1000;
      char line[64];
      std::snprintf(line, sizeof line, "%d:%d:%d,%d --> 0:0:0,0", h, m, s, f);
      const auto entry = WalkText(std::string("1\n") + line + "\n", fps)[0];
      const long double exact = static_cast<long double>(ms) * 0.001 * fps;
      EXPECT_EQ(entry.start, int32_t(exact)) << ms << " ms at " << fps;
    }
  }
}

TEST(SubtitleDelay, MillisecondsBecomeWholeFramesOnceSet) {
  SubtitleFile file;
  file.SetFrameRate(25.0);
  file.SetDelayMilliseconds(-150);
  EXPECT_EQ(file.DelayFrames(), -3);
  file.SetDelayMilliseconds(3276700);
  EXPECT_EQ(file.DelayFrames(), 81917);
  file.SetFrameRate(23.976);
  file.SetDelayMilliseconds(1000);
  EXPECT_EQ(file.DelayFrames(), 23);
  // A rate no decoder reports must still give a defined delay.
  file.SetFrameRate(1e300);
  file.SetDelayMilliseconds(-1);
  EXPECT_EQ(file.DelayFrames(), -2147483647 - 1);
  file.SetFrameRate(std::numeric_limits<double>::quiet_NaN());
  file.SetDelayMilliseconds(1000);
  EXPECT_EQ(file.DelayFrames(), 0);
}

TEST(SubtitleEntries, NoneWithoutFrameRateFormatOrLines) {
  SubtitleFile file;
  EXPECT_EQ(ScheduledAfter(file, 0), kNone);
  EXPECT_TRUE(AllSteps(file).empty());
  ASSERT_TRUE(file.OpenContents("x", "{1}{2}a\n{3}{4}b"));
  // Without a frame rate nothing is handed out, and nothing is used up.
  EXPECT_EQ(ScheduledAfter(file, 0), kNone);
  EXPECT_TRUE(AllSteps(file).empty());
  file.SetFrameRate(25.0);
  EXPECT_EQ(AllSteps(file).size(), 2u);
  EXPECT_EQ(ScheduledAfter(file, 2), kNone);
  EXPECT_EQ(ScheduledAfter(file, 3), kNone);
  file.Clear();
  EXPECT_EQ(ScheduledAfter(file, 0), kNone);
}

// --- Hostile input: defined results, no text lost ---------------------------

TEST(SubtitleRobustness, HugeNumbersSaturateInsteadOfOverflowing) {
  const auto micro = WalkText("{2147483647}{99999999999}x\n{1}{2}y", 25.0, 10);
  EXPECT_EQ(micro[0].start, 2147483647);
  EXPECT_EQ(micro[0].end, 1215752201);  // the scan wraps 99999999999 as sscanf does
  const auto low = WalkText("{-2147483648}{1}x\n{1}{2}y", 25.0, -10);
  EXPECT_EQ(low[0].start, -2147483647 - 1);
  const auto subrip = WalkText(
      "1\n2147483647:0:0,0 --> -2147483648:0:0,0\n\n2\n596:0:0,0 --> 597:0:0,0\n", 25.0, 5);
  EXPECT_EQ(subrip[0], (Entry{2147483647, -2147483643, {}}));
  EXPECT_EQ(subrip[1], (Entry{53640005, 53730005, {}}));
}

TEST(SubtitleRobustness, NulBytesAndLongLinesKeepEveryByte) {
  const std::string text = std::string("a\0b\x80\xFF", 5);
  EXPECT_EQ(WalkText("{1}{2}" + text + "\n{1}{2}x")[0].lines, TextLines{text});
  EXPECT_EQ(WalkText("1\n0:0:1,0 --> 0:0:2,0\n" + text + "\n")[0].lines, TextLines{text});
  const std::string megabyte(1 << 20, 'w');
  const auto entries = WalkText("{1}{2}" + megabyte + "\n1\n0:0:0,0 --> 0:0:1,0\n" + megabyte);
  EXPECT_EQ(entries[0].lines, TextLines{megabyte});
  EXPECT_EQ(entries.size(), 4u);
}

// --- A time map from speech alignment ----------------------------------------

namespace {

// The one entry of a file that reads as one; none otherwise.
Entry OnlyStep(const SubtitleFile& file) {
  const std::vector<Entry> steps = AllSteps(file);
  return steps.size() == 1 ? steps[0] : kNone;
}

}  // namespace

// What the alignment and the map take: seconds of the file's own clock.
TEST(SubtitleTimeMap, CueSecondsCountFramesAtTheFilesRateElseTheVideos) {
  SubtitleFile file;
  ASSERT_TRUE(file.OpenContents("a.srt", "1\n00:00:10,000 --> 00:00:12,500\nHi\n"));
  EXPECT_EQ(file.Document().Seconds(12500, 0.0), 12.5);
  file.Reading.Tolerant = true;
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{1}20\n{200}{250}x\n"));
  EXPECT_EQ(file.Document().Seconds(250, 25.0), 12.5);
  EXPECT_EQ(file.Document().Seconds(250, 0.0), 12.5);
  ASSERT_TRUE(file.OpenContents("c.sub", "{200}{250}x\n{300}{350}y\n"));
  EXPECT_EQ(file.Document().Seconds(250, 25.0), 10.0);
  // Frames with no rate to count them at are at the start.
  for (double none : {0.0, -25.0, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(file.Document().Seconds(250, none), 0.0) << none;
}

TEST(SubtitleTimeMap, MapsSecondsOfEitherFormatBeforeTheDelay) {
  SubtitleFile file;
  ASSERT_TRUE(file.OpenContents("a.srt", "1\n00:00:10,000 --> 00:00:12,500\nHi\n"));
  file.SetFrameRate(25.0);
  file.SetDelayFrames(3);
  file.SetTimeMap([](double seconds, double) { return seconds * 25.0 / 23.976 - 1.0; });
  // 10 s -> 9.4271 s -> frame 235, 12.5 s -> 12.0338 s -> frame 300; then the delay.
  EXPECT_EQ(AllSteps(file)[0], (Entry{238, 303, {"Hi"}}));
  // A MicroDVD file's frames are seconds at the rate it states (20 here, read
  // tolerantly), not at the video's.
  file.Reading.Tolerant = true;
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{1}20\n{200}{250}x\n"));
  file.SetDelayFrames(0);
  file.SetTimeMap([](double seconds, double) { return seconds + 2.0; });
  EXPECT_EQ(OnlyStep(file), (Entry{300, 362, {"x"}}));
  // The map places a cue by its start: one that runs past a split keeps
  // its length rather than taking the next stretch's offset for its end.
  file.SetTimeMap(
      [](double seconds, double cueStart) { return seconds + (cueStart >= 11.0 ? 45.0 : 0.0); });
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{1}20\n{200}{250}x\n{220}{300}y\n"));
  EXPECT_EQ(AllSteps(file)[0], (Entry{250, 312, {"x"}}));
  // Without a map, or once cleared, the file's own times.
  file.SetTimeMap(nullptr);
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{1}20\n{200}{250}x\n"));
  EXPECT_EQ(OnlyStep(file), (Entry{250, 312, {"x"}}));
  file.SetTimeMap([](double seconds, double) { return seconds + 2.0; });
  file.Clear();
  ASSERT_TRUE(file.OpenContents("b.sub", "{1}{1}20\n{200}{250}x\n"));
  file.SetFrameRate(25.0);
  EXPECT_EQ(OnlyStep(file), (Entry{250, 312, {"x"}}));
}
