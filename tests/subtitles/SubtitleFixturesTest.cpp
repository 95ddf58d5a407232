// Real subtitle files from many sources, read in place from the shared
// fixtures folder: each loads or is refused with the right message, and its
// entries come out by the rules with every byte of text kept.
#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "subtitles/SubtitleMessages.h"
#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"

using SUBTITLEFILE::SubtitleFile;
using namespace std::string_literals;

namespace {

using namespace subtitlemessages;

struct Expectation {
  const char* file;
  SUBTITLEFILE::SubtitleFormat format;  // None: refused with `error`
  int entries;                          // calls that gave an entry
  int nones;                            // calls that gave -1 and -1
  const std::string* error = nullptr;
};

constexpr SUBTITLEFILE::SubtitleFormat kMicro = SUBTITLEFILE::SubtitleFormat::MicroDvd;
constexpr SUBTITLEFILE::SubtitleFormat kSubRip = SUBTITLEFILE::SubtitleFormat::SubRip;
constexpr SUBTITLEFILE::SubtitleFormat kNone = SUBTITLEFILE::SubtitleFormat::None;

const Expectation kFixtures[] = {
    {"astisub__example-in-carriage-return.srt", kNone, 0, 0, &kUtf8},
    {"astisub__example-in-styled.srt", kSubRip, 10, 0},
    {"astisub__missing-sequence-in.srt", kNone, 0, 0, &kUnknown},
    {"cdownsrt__ascii.srt", kSubRip, 3, 0},
    {"charsetnorm__sample.1.tu.srt", kSubRip, 22, 0},
    {"gaupol__microdvd.sub", kMicro, 10, 0},
    {"gaupol__subrip.srt", kSubRip, 10, 0},
    {"gaupol__subviewer2.sub", kNone, 0, 0, &kUnknown},
    {"mantas__sub_microdvd_with_styles.sub", kMicro, 2, 0},
    {"mantas__utf16.srt", kNone, 0, 0, &kUnicode},
    {"muxmedia__cp1251.srt", kSubRip, 1, 0},
    {"pysrt__bom-utf-16-be.srt", kNone, 0, 0, &kUnicode},
    {"pysrt__capability_tester.srt", kNone, 0, 0, &kUtf8},
    {"pysrt__utf-8.srt", kSubRip, 1332, 0},
    {"pysrt__windows-1252.srt", kSubRip, 1332, 0},
    {"pysubs2__test_video.srt", kSubRip, 500, 0},
    {"srtparser2__single-digit-timecodes.srt", kSubRip, 10, 0},
    {"subaligner__test.sub", kMicro, 18, 0},
    {"subconvert__microdvd-1.txt", kMicro, 3, 0},
    {"subsrt__sample.srt", kSubRip, 5, 0},
    {"subsrt__sample.sub", kMicro, 5, 0},
    {"subtitleedit__auto_detect_windows-1250.srt", kSubRip, 1132, 0},
    {"subtitleedit__auto_detect_windows-1251.srt", kSubRip, 595, 0},
    {"subtitleedit__sample_VodSub_stuffingBytes.sub", kNone, 0, 0, &kUnknown},
    // Ends with an empty line: one more call that yields nothing.
    {"subtitlesparser__20140116-152304_invalidSub", kMicro, 332, 1},
    {"subtitlesparser__20140118-173751_invalidSub", kNone, 0, 0, &kUnknown},
    {"subtitlesparser__Annie Hall - Eng 25fps.srt", kSubRip, 1480, 0},
    {"subtitlesparser__Children.of.Men.2006.DVD5.720p.HDDVD.x264-REVEiLLE.srt", kNone, 0, 0,
     &kUnknown},
    {"subtitlesparser__Fight Club_eng.sub", kSubRip, 2000, 0},
    {"subtitlesparser__Freaks - Freaks, la monstrueuse parade (Tod Browning - 1932).sub", kMicro,
     714, 0},
    {"subtitlesparser__Gangs-of-New-York-DVD-Deadman-2.sub", kMicro, 749, 0},
    {"subtitlesparser__Jack_the_Giant_Slayer.srt", kNone, 0, 0, &kUnknown},
    {"subtitlesparser__Salvage.SRT", kSubRip, 474, 0},
    {"subtitlesparser__Wiedzmin.s01e01.DVDRip.DreamLair.srt", kSubRip, 233, 0},
    {"subtitlesparser__ccSubs_com_pope-francis-speaks-about-religious-liberty_en.srt", kNone, 0, 0,
     &kUnknown},
    {"swiftsrt__sub_1.srt", kSubRip, 727, 0},
    {"swiftsrt__sub_6.srt", kSubRip, 1647, 0},
    {"webvttpy__invalid_format1.srt", kNone, 0, 0, &kTooSmall},
    // Two blank lines after a time line: the second costs a call.
    {"webvttpy__missing_caption_text.srt", kSubRip, 5, 1},
    // A counter without a time line costs the counter and the text line,
    // then the blank line after them another call.
    {"webvttpy__missing_timeframe.srt", kSubRip, 4, 2},
};

struct Entry {
  int32_t start;
  int32_t end;
  std::vector<std::string> lines;
};

std::string FixturePath(const char* name) {
  return (testsupport::SubtitleFixturesDir() / name).string();
}

std::vector<Entry> WalkAll(SubtitleFile& file) {
  std::vector<Entry> entries;
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    entries.push_back({entry.Start, entry.End, entry.Lines});
  });
  return entries;
}

bool IsNone(const Entry& e) { return e.start == -1 && e.end == -1 && e.lines.empty(); }

// The file's lines, split here with the C++ library rather than by the unit.
std::vector<std::string> FileLines(const std::string& path) {
  std::string text = testsupport::ReadFile(path);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::size_t CountHighBytes(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (unsigned char)c >= 0x80; });
}

}  // namespace

TEST(SubtitleFixtures, EachLoadsOrIsRefusedWithItsMessage) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const Expectation& fixture : kFixtures) {
    SCOPED_TRACE(fixture.file);
    SubtitleFile file;
    const bool loaded = file.Open(FixturePath(fixture.file));
    ASSERT_EQ(loaded, fixture.format != kNone) << file.ErrorText;
    if (!loaded) {
      EXPECT_EQ(file.ErrorText, *fixture.error);
      continue;
    }
    EXPECT_EQ(file.Format(), fixture.format);
    file.SetFrameRate(25.0);
    const auto entries = WalkAll(file);
    const auto nones = std::count_if(entries.begin(), entries.end(), IsNone);
    EXPECT_EQ(entries.size() - nones, std::size_t(fixture.entries));
    EXPECT_EQ(nones, fixture.nones);
  }
}

TEST(SubtitleFixtures, TheTableCoversEverySubtitleFile) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const auto& item : std::filesystem::directory_iterator(testsupport::SubtitleFixturesDir())) {
    const std::string name = item.path().filename().string();
    if (name == "README.md" || name.front() == '.') continue;
    EXPECT_TRUE(std::any_of(std::begin(kFixtures), std::end(kFixtures), [&](const Expectation& e) {
      return name == e.file;
    })) << name;
  }
}

TEST(SubtitleFixtures, EveryByteOutsideTheAsciiRangeReachesTheEntries) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const Expectation& fixture : kFixtures) {
    if (fixture.format == kNone) continue;
    SCOPED_TRACE(fixture.file);
    SubtitleFile file;
    ASSERT_TRUE(file.Open(FixturePath(fixture.file)));
    file.SetFrameRate(25.0);
    std::size_t inEntries = 0;
    for (const Entry& e : WalkAll(file))
      for (const std::string& line : e.lines) inEntries += CountHighBytes(line);
    EXPECT_EQ(inEntries, CountHighBytes(testsupport::ReadFile(FixturePath(fixture.file))));
  }
}

TEST(SubtitleFixtures, MicroDvdFramesAreTheFileNumbersPlusTheDelay) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const Expectation& fixture : kFixtures) {
    if (fixture.format != kMicro) continue;
    SCOPED_TRACE(fixture.file);
    SubtitleFile file;
    ASSERT_TRUE(file.Open(FixturePath(fixture.file)));
    file.SetFrameRate(23.976);
    file.SetDelayFrames(-12);
    std::vector<std::pair<int, int>> expected;
    for (const std::string& line : FileLines(FixturePath(fixture.file))) {
      int start, end;
      if (std::sscanf(line.c_str(), "{%d}{%d}", &start, &end) == 2)
        expected.emplace_back(start - 12, end - 12);
    }
    std::vector<std::pair<int, int>> actual;
    for (const Entry& e : WalkAll(file))
      if (!IsNone(e)) actual.emplace_back(e.start, e.end);
    EXPECT_EQ(actual, expected);
  }
}

TEST(SubtitleFixtures, SubRipFramesFollowTheTimeLinesInOrder) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const double fps = 24000.0 / 1001.0;
  for (const Expectation& fixture : kFixtures) {
    if (fixture.format != kSubRip) continue;
    SCOPED_TRACE(fixture.file);
    SubtitleFile file;
    ASSERT_TRUE(file.Open(FixturePath(fixture.file)));
    file.SetFrameRate(fps);
    file.SetDelayMilliseconds(-1500);
    ASSERT_EQ(file.DelayFrames(), -35);
    std::vector<std::pair<int, int>> expected;
    for (const std::string& line : FileLines(FixturePath(fixture.file))) {
      int t[8];
      if (std::sscanf(line.c_str(), "%d:%d:%d,%d --> %d:%d:%d,%d", &t[0], &t[1], &t[2], &t[3],
                      &t[4], &t[5], &t[6], &t[7]) != 8)
        continue;
      const long double t1 = t[0] * 3600000 + t[1] * 60000 + t[2] * 1000 + t[3];
      const long double t2 = t[4] * 3600000 + t[5] * 60000 + t[6] * 1000 + t[7];
      expected.emplace_back(int(t1 * 0.001 * fps) - 35, int(t2 * 0.001 * fps) - 35);
    }
    std::vector<std::pair<int, int>> actual;
    for (const Entry& e : WalkAll(file))
      if (!IsNone(e)) actual.emplace_back(e.start, e.end);
    EXPECT_EQ(actual, expected);
  }
}

TEST(SubtitleFixtures, OneFrameEntriesStartOnTheirFrameOrOneBefore) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  // Times are rounded to whole milliseconds and truncated to frames, so an
  // entry may start a frame early, never late.
  SubtitleFile file;
  ASSERT_TRUE(file.Open(FixturePath("pysubs2__test_video.srt")));
  file.SetFrameRate(24000.0 / 1001.0);
  int early = 0;
  for (const Entry& e : WalkAll(file)) {
    ASSERT_EQ(e.lines.size(), 2u);
    int frame = -1;
    ASSERT_EQ(std::sscanf(e.lines[0].c_str(), "Frame %d", &frame), 1);
    EXPECT_TRUE(e.start == frame || e.start == frame - 1) << frame << " starts at " << e.start;
    EXPECT_GE(e.end, e.start);
    early += e.start == frame - 1;
  }
  EXPECT_GT(early, 0);
}

TEST(SubtitleFixtures, LineEndsDoNotChangeTheEntries) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  // The same film with LF and with CRLF line ends.
  SubtitleFile lf, crlf;
  ASSERT_TRUE(lf.Open(FixturePath("pysrt__utf-8.srt")));
  ASSERT_TRUE(crlf.Open(FixturePath("pysrt__windows-1252.srt")));
  lf.SetFrameRate(25.0);
  crlf.SetFrameRate(25.0);
  const auto a = WalkAll(lf);
  const auto b = WalkAll(crlf);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].start, b[i].start) << i;
    EXPECT_EQ(a[i].end, b[i].end) << i;
    EXPECT_EQ(a[i].lines.size(), b[i].lines.size()) << i;
  }
}

// --- With every reading option on -------------------------------------------

namespace {

struct ModernExpectation {
  const char* file;
  int withText;  // entries with at least one line of text
};

// Every fixture that holds SubRip time lines. Only one time line of
// webvttpy__missing_caption_text.srt has no text in the file itself.
const ModernExpectation kModern[] = {
    {"astisub__example-in-carriage-return.srt", 3},
    {"astisub__example-in-styled.srt", 10},
    {"astisub__missing-sequence-in.srt", 6},
    {"cdownsrt__ascii.srt", 3},
    {"charsetnorm__sample.1.tu.srt", 22},
    {"gaupol__subrip.srt", 10},
    {"mantas__utf16.srt", 1},
    {"muxmedia__cp1251.srt", 1},
    {"pysrt__bom-utf-16-be.srt", 7},
    {"pysrt__capability_tester.srt", 37},
    {"pysrt__utf-8.srt", 1332},
    {"pysrt__windows-1252.srt", 1332},
    {"pysubs2__test_video.srt", 500},
    {"srtparser2__single-digit-timecodes.srt", 10},
    {"subsrt__sample.srt", 5},
    {"subtitleedit__auto_detect_windows-1250.srt", 1132},
    {"subtitleedit__auto_detect_windows-1251.srt", 595},
    {"subtitlesparser__Annie Hall - Eng 25fps.srt", 1480},
    {"subtitlesparser__Children.of.Men.2006.DVD5.720p.HDDVD.x264-REVEiLLE.srt", 985},
    {"subtitlesparser__Fight Club_eng.sub", 2000},
    {"subtitlesparser__Salvage.SRT", 474},
    {"subtitlesparser__Wiedzmin.s01e01.DVDRip.DreamLair.srt", 233},
    {"subtitlesparser__ccSubs_com_pope-francis-speaks-about-religious-liberty_en.srt", 25},
    {"swiftsrt__sub_1.srt", 727},
    {"swiftsrt__sub_6.srt", 1647},
    {"webvttpy__missing_caption_text.srt", 4},
    {"webvttpy__missing_timeframe.srt", 4},
};

const SUBTITLEFILE::ReadingOptions kEveryOption{true, true, true, true};

// Lines holding "-->", counted in the bytes with the zero bytes of UTF-16 and
// UTF-32 taken out.
int CountTimeLines(const std::string& bytes) {
  std::string narrow;
  std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(narrow), [](char c) { return c; });
  int count = 0;
  for (std::size_t at = narrow.find("-->"); at != std::string::npos;
       at = narrow.find("-->", at + 3))
    ++count;
  return count;
}

int EntriesWithText(SubtitleFile& file) {
  int withText = 0;
  for (const Entry& e : WalkAll(file))
    withText += std::any_of(e.lines.begin(), e.lines.end(),
                            [](const std::string& line) { return !line.empty(); });
  return withText;
}

bool HoldsTimeLines(const std::filesystem::path& path) {
  return CountTimeLines(testsupport::ReadFile(path)) > 0;
}

}  // namespace

TEST(SubtitleFixturesRead, NearlyEveryTimeLineGivesAnEntryWithText) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const ModernExpectation& fixture : kModern) {
    SCOPED_TRACE(fixture.file);
    SubtitleFile file;
    file.Reading = kEveryOption;
    ASSERT_TRUE(file.Open(FixturePath(fixture.file))) << file.ErrorText;
    EXPECT_EQ(file.Format(), kSubRip);
    file.SetFrameRate(25.0);
    const int timeLines = CountTimeLines(testsupport::ReadFile(FixturePath(fixture.file)));
    const int withText = EntriesWithText(file);
    EXPECT_EQ(withText, fixture.withText);
    EXPECT_LE(withText, timeLines);
    if (std::string(fixture.file) != "webvttpy__missing_caption_text.srt") {
      EXPECT_GE(withText * 100, timeLines * 95) << withText << " of " << timeLines;
    }
  }
}

TEST(SubtitleFixturesRead, TheTableCoversEveryFileWithTimeLines) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  for (const auto& item : std::filesystem::directory_iterator(testsupport::SubtitleFixturesDir())) {
    const std::string name = item.path().filename().string();
    if (name == "README.md" || name.front() == '.' || !HoldsTimeLines(item.path())) continue;
    EXPECT_TRUE(std::any_of(std::begin(kModern), std::end(kModern),
                            [&](const ModernExpectation& e) { return name == e.file; }))
        << name;
  }
}

TEST(SubtitleFixturesRead, CodePagesAreFoundAndEveryByteBecomesALetter) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const std::pair<const char*, const char*> cases[] = {
      {"subtitleedit__auto_detect_windows-1250.srt", "WINDOWS-1250"},
      {"subtitleedit__auto_detect_windows-1251.srt", "WINDOWS-1251"},
      {"charsetnorm__sample.1.tu.srt", "WINDOWS-1254"},
      {"subtitlesparser__Salvage.SRT", "WINDOWS-1256"},
      {"pysrt__windows-1252.srt", "WINDOWS-1252"},
      {"pysrt__utf-8.srt", "UTF-8"},
      {"pysrt__bom-utf-16-be.srt", "UTF-16BE"},
      {"mantas__utf16.srt", "UTF-16LE"},
  };
  for (const auto& [name, encoding] : cases) {
    SCOPED_TRACE(name);
    SubtitleFile file;
    file.Reading = {.Unicode = true, .DetectCodePage = true};
    ASSERT_TRUE(file.Open(FixturePath(name)));
    EXPECT_NE(file.Info.find("Subtitle encoding is "s + encoding + "\r\n"), std::string::npos)
        << file.Info;
    file.SetFrameRate(25.0);
    for (const Entry& e : WalkAll(file))
      for (const std::string& line : e.lines) {
        const QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
        ASSERT_EQ(text.toUtf8().toStdString(), line) << "not UTF-8";
        for (QChar c : text) {
          ASSERT_TRUE(c != QChar::ReplacementCharacter &&
                      (c.isPrint() || c.isSpace() || c.category() == QChar::Other_Format))
              << "U+" << std::hex << int(c.unicode());
        }
      }
  }
}

TEST(SubtitleFixturesRead, MicroDvdRateLinesRetimeTheFrames) {
  SKIP_WITHOUT_SUBTITLE_FIXTURES();
  const struct {
    const char* file;
    double rate;
    int entries;
  } cases[] = {
      {"subtitlesparser__Gangs-of-New-York-DVD-Deadman-2.sub", 12.5, 748},
      {"subaligner__test.sub", 25.0, 17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    SubtitleFile strict, tolerant;
    tolerant.Reading.Tolerant = true;
    ASSERT_TRUE(strict.Open(FixturePath(c.file)));
    ASSERT_TRUE(tolerant.Open(FixturePath(c.file)));
    EXPECT_EQ(tolerant.FileFrameRate(), c.rate);
    strict.SetFrameRate(25.0);
    tolerant.SetFrameRate(25.0);
    auto a = WalkAll(strict);
    a.erase(std::remove_if(a.begin(), a.end(), IsNone), a.end());
    const auto b = WalkAll(tolerant);
    ASSERT_EQ(b.size(), std::size_t(c.entries));
    ASSERT_EQ(a.size(), b.size() + 1);
    for (std::size_t i = 0; i < b.size(); ++i) {
      EXPECT_EQ(b[i].start, int(a[i + 1].start * 25.0 / c.rate)) << i;
      EXPECT_EQ(b[i].lines, a[i + 1].lines) << i;
    }
  }
}
