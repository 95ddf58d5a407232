// The clocks each subtitle format writes its times in, as its reader takes
// them: what each accepts, what it refuses, and what large values become.
#include <optional>
#include <string>

#include "subtitles/AssReader.h"
#include "subtitles/SubtitleStructure.h"
#include "subtitles/WebVttReader.h"
#include "support/TestSupport.h"

using namespace std::string_literals;

namespace {

struct Times {
  int64_t start, end;
  bool operator==(const Times&) const = default;
};

std::optional<Times> SubRip(const std::string& line, bool tolerant) {
  const auto span = SUBTITLEFILE::ScanTimeLine(line, tolerant);
  if (!span) return std::nullopt;
  return Times{span->startMs, span->endMs};
}

TEST(SubtitleClockTest, SubRipTimeLines) {
  // Read strictly and tolerantly alike.
  for (bool tolerant : {false, true}) {
    EXPECT_EQ(SubRip("00:00:01,000 --> 00:00:02,500", tolerant), (Times{1000, 2500}));
    EXPECT_EQ(SubRip(" 1:2:3,4-->5:6:7,8 trailing", tolerant), (Times{3723004, 18367008}));
    // Blanks and signs wherever "%d" takes them.
    EXPECT_EQ(SubRip("0: -1: +2,3 -->  0:0:0,0", tolerant), (Times{-57997, 0}));
    // Strictly read values are cut to 32 bits as sscanf cuts them.
    EXPECT_EQ(SubRip("0:0:4294967297,0 --> 0:0:0,0", tolerant), (Times{1000, 0}));
    EXPECT_EQ(SubRip("0:0:1,0 -> 0:0:2,0", tolerant), std::nullopt);
    EXPECT_EQ(SubRip("0:1,0 --> 0:2,0", tolerant), std::nullopt);
  }
  // Only tolerantly: a full stop, no fraction, and the fraction as a count
  // of milliseconds whatever its digits ("7.5" is 7 s and 5 ms).
  EXPECT_EQ(SubRip("0:00:05 --> 0:00:07.5", false), std::nullopt);
  EXPECT_EQ(SubRip("0:00:05 --> 0:00:07.5", true), (Times{5000, 7005}));
  EXPECT_EQ(SubRip("1:2:3.-4-->0:0:0 x", true), (Times{3722996, 0}));
  EXPECT_EQ(SubRip("0:0:1. --> 0:0:2", true), std::nullopt);
  EXPECT_EQ(SubRip("0:0 :1 --> 0:0:2", true), std::nullopt);
  // Tolerantly read values stop growing once past 32 bits.
  EXPECT_EQ(SubRip("0:0:99999999999.0 --> 0:0:0", true), (Times{9999999999000, 0}));
  EXPECT_EQ(SubRip("-9999999999999:0:0 --> 0:0:0", true), (Times{-99999999990LL * 360000, 0}));
  // The line ends at a NUL, as a C string would.
  EXPECT_EQ(SubRip("0:0:1\0 --> 0:0:2"s, true), std::nullopt);
  EXPECT_EQ(SubRip("0:0:1 --> 0:0:2\0,5"s, true), (Times{1000, 2000}));
}

TEST(SubtitleClockTest, AssTimes) {
  using SUBTITLEFILE::ScanAssTime;
  EXPECT_EQ(ScanAssTime("0:00:01.123"), 1123);
  EXPECT_EQ(ScanAssTime("0:00:01,25"), 1250);
  EXPECT_EQ(ScanAssTime(" \t0:5:7.0\r"), 307000);
  // Hours up to four digits, minutes and seconds up to two, not held below 60.
  EXPECT_EQ(ScanAssTime("9999:99:99.99"), 9999 * 3600000LL + 99 * 60000 + 99 * 1000 + 990);
  for (const char* refused :
       {"10000:00:00.00", "0:100:00", "0:00:100", "0:00:01.1234", "0:00:01.", "-0:00:01",
        "0: 00:01", "0:00:01:00", "0:00:01.5.5", ":00:01", "0:00:01 x", ""})
    EXPECT_EQ(ScanAssTime(refused), std::nullopt) << refused;
}

TEST(SubtitleClockTest, WebVttTimes) {
  using SUBTITLEFILE::ScanWebVttTime;
  EXPECT_EQ(ScanWebVttTime("00:06.25"), 6250);
  EXPECT_EQ(ScanWebVttTime("00:00:05"), 5000);
  // Minutes are held below 60 only after hours; up to nine digits a part.
  EXPECT_EQ(ScanWebVttTime("60:00.000"), 3600000);
  EXPECT_EQ(ScanWebVttTime("123456789:00.000"), 123456789LL * 60000);
  EXPECT_EQ(ScanWebVttTime("123456789:59:59.999"), 123456789LL * 3600000 + 3599999);
  // The clock is its last three parts; what stands before them is passed over.
  EXPECT_EQ(ScanWebVttTime("x.y:00:00:01.500"), 1500);
  for (const char* refused : {"00:60:00.000", "00:00:60.000", "1234567890:00.000", "0:00.000",
                              "00:5.000", "1:00:00.000", "00:00.0000", "00:00.", "00:00,500",
                              "00:00.5x", "+0:00.000", "00", "00:00:.500", "00:00.5.5", ""})
    EXPECT_EQ(ScanWebVttTime(refused), std::nullopt) << refused;
}

}  // namespace
