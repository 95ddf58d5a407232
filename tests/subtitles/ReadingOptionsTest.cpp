// The reading options of SubtitleFile, one group per option: Unicode files,
// detected code pages, the full markup cleaning and the tolerant structure.
// With every option off the strict rules hold (SubtitleFileTest).
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "subtitles/ReadingOptions.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleEntry.h"
#include "subtitles/SubtitleMarkup.h"
#include "subtitles/SubtitleMessages.h"
#include "subtitles/SubtitleUnit.h"

using SUBTITLEFILE::ReadingOptions;
using SUBTITLEFILE::SubtitleFile;
using SUBTITLEFILE::TextLines;
using namespace std::string_literals;

namespace {

using namespace subtitlemessages;

using subtitleentry::Entry;

const ReadingOptions kReadUnicode{.Unicode = true};
const ReadingOptions kDetect{.DetectCodePage = true};
const ReadingOptions kClean{.CleanMarkup = true};
const ReadingOptions kTolerant{.Tolerant = true};
const ReadingOptions kAll{true, true, true, true};

// Every step of the file that gave an entry.
std::vector<Entry> Entries(SubtitleFile& file) {
  std::vector<Entry> entries;
  for (Entry& e : subtitleentry::AllSteps(file))
    if (e.start != -1 || e.end != -1) entries.push_back(std::move(e));
  return entries;
}

std::vector<Entry> Read(const std::string& bytes, const ReadingOptions& options,
                        double fps = 25.0) {
  SubtitleFile file;
  file.Reading = options;
  EXPECT_TRUE(file.OpenContents("mem", bytes)) << file.ErrorText;
  file.SetFrameRate(fps);
  return Entries(file);
}

// UTF-8 text in another encoding, by the C library's converter.
std::string Encode(const std::string& utf8, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << to;
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* at = out.data();
  std::size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &at, &outLeft), std::size_t(-1)) << to;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// A SubRip file of the lines, one entry a line, a second apart.
std::string SubRipOf(const std::vector<std::string>& texts) {
  std::string file;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string s = std::to_string(i + 1);
    file += s + "\r\n00:00:0" + s + ",000 --> 00:00:0" + s + ",500\r\n" + texts[i] + "\r\n\r\n";
  }
  return file;
}

std::vector<std::string> TextsOf(const std::vector<Entry>& entries) {
  std::vector<std::string> texts;
  for (const Entry& e : entries)
    for (const std::string& line : e.lines) texts.push_back(line);
  return texts;
}

}  // namespace

// --- Unicode ------------------------------------------------------------------

TEST(ReadingUnicode, EveryMarkedFormGivesTheSameUtf8Entries) {
  const std::vector<std::string> texts = {"Привет, мир", "中文字幕 ok", "Ελληνικά €"};
  const std::string utf8 = SubRipOf(texts);
  const std::pair<const char*, std::string> forms[] = {
      {"UTF-8", "\xEF\xBB\xBF" + utf8},
      {"UTF-16LE", "\xFF\xFE"s + Encode(utf8, "UTF-16LE")},
      {"UTF-16BE", "\xFE\xFF"s + Encode(utf8, "UTF-16BE")},
      {"UTF-32LE", "\xFF\xFE\0\0"s + Encode(utf8, "UTF-32LE")},
      {"UTF-32BE", "\0\0\xFE\xFF"s + Encode(utf8, "UTF-32BE")},
  };
  for (const auto& [name, bytes] : forms) {
    SCOPED_TRACE(name);
    const auto entries = Read(bytes, kReadUnicode);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1], (Entry{50, 62, {"中文字幕 ok"}}));
    EXPECT_EQ(TextsOf(entries), texts);
  }
}

TEST(ReadingUnicode, WithoutTheOptionMarkedFilesAreRefusedAsBefore) {
  const std::string utf8 = SubRipOf({"Hi"});
  const std::pair<std::string, std::string> refused[] = {
      {"\xEF\xBB\xBF" + utf8, kUtf8},
      {"\xFF\xFE"s + Encode(utf8, "UTF-16LE"), kUnicode},
      {"\xFE\xFF"s + Encode(utf8, "UTF-16BE"), kUnicode},
      {"\xFF\xFE\0\0"s + Encode(utf8, "UTF-32LE"), kUnicode},
  };
  for (const auto& [bytes, message] : refused) {
    SubtitleFile file;
    file.Reading = {.DetectCodePage = true, .CleanMarkup = true, .Tolerant = true};
    EXPECT_FALSE(file.OpenContents("mem", bytes));
    EXPECT_EQ(file.ErrorText, message);
  }
  // Too small comes first, whatever the mark.
  SubtitleFile file;
  file.Reading = kReadUnicode;
  EXPECT_FALSE(file.OpenContents("mem", "\xFF\xFE\0"s));
  EXPECT_EQ(file.ErrorText, kTooSmall);
}

TEST(ReadingUnicode, BrokenSequencesBecomeReplacementCharactersAndTheRestStays) {
  // A lone high surrogate, then a cut-off last unit.
  const std::string body = Encode("1\n00:00:01,000 --> 00:00:02,000\nA", "UTF-16LE") + "\x00\xD8"s +
                           Encode("B\n", "UTF-16LE") + "x"s;
  const auto entries = Read("\xFF\xFE"s + body, kReadUnicode);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].lines, (TextLines{"A\xEF\xBF\xBD"
                                         "B",
                                         "\xEF\xBF\xBD"}));
}

// The converter takes leads past the standard (F5 to FD) for UTF-8; a text
// said to be UTF-8 must still be well formed.
TEST(ReadingUnicode, ConversionFromUtf8LeavesNoMalformedSequences) {
  std::string out;
  ASSERT_TRUE(SUBTITLEFILE::ConvertToUtf8("a\xF6\x9E\x91\x9B b \xC3\xA9 \xF8\x88\x80\x80\x80",
                                          "UTF-8", 1, out));
  EXPECT_TRUE(SUBTITLEFILE::IsUtf8(out));
  EXPECT_EQ(out.substr(0, 4), "a\xEF\xBF\xBD");  // one replacement for each stray byte
  EXPECT_NE(out.find(" b \xC3\xA9 "), std::string::npos);
}

TEST(ReadingUnicode, MicroDvdLengthsAndTagSpansCountCharactersNotBytes) {
  // 122 characters are 242 bytes: one line of text, not broken.
  std::string word;
  for (int i = 0; i < 10; ++i) word += "Жжжж";
  const std::string line = "{1}{2}" + word + " " + word + " " + word + "\n{3}{4}x\n";
  EXPECT_EQ(Read(line, kReadUnicode)[0].lines.size(), 1u);
  EXPECT_EQ(Read(line, {})[0].lines.size(), 2u);
  // A short colour code takes four characters with it, not four bytes.
  EXPECT_EQ(Read("{1}{2}{C:$FF}ЖЖЖЖок\n{3}{4}x\n", kReadUnicode)[0].lines, (TextLines{" ок"}));
}

// --- Detected code pages --------------------------------------------------------

TEST(ReadingCodePage, EightBitFilesAreReadInTheirOwnCodePageWhateverTheScript) {
  struct Case {
    const char* encoding;
    const char* found;  // as the report names it
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"WINDOWS-1251",
       "WINDOWS-1251",
       {"Привет, как дела? Я давно тебя не видел.", "Мы должны уйти отсюда до рассвета.",
        "Где ты был всё это время, скажи мне?", "Не знаю, что сказать тебе сейчас.",
        "Это очень важно для всех нас."}},
      {"WINDOWS-1250",
       "WINDOWS-1250",
       {"Příliš žluťoučký kůň úpěl ďábelské ódy.", "Dobrý den, jak se dnes máte?",
        "Nevím, co vám mám na to říct.", "Musíme odejít ještě před svítáním.",
        "Kde jsi byl celou tu dobu, řekni mi?"}},
      {"WINDOWS-1253",
       "WINDOWS-1253",
       {"Καλημέρα, τι κάνεις σήμερα;", "Δεν ξέρω τι να σου πω τώρα.",
        "Πρέπει να φύγουμε πριν ξημερώσει.", "Πού ήσουν όλο αυτό τον καιρό;",
        "Αυτό είναι πολύ σημαντικό για όλους μας.", "Άντε, Άννα, έλα εδώ!"}},
      {"GBK",
       "GB18030",
       {"你好，你最近怎么样？", "我不知道该说什么。", "我们必须在天亮之前离开这里。",
        "这段时间你去哪儿了？", "这对我们所有人都非常重要。"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoding);
    SubtitleFile file;
    file.Reading = kDetect;
    ASSERT_TRUE(file.OpenContents("mem", Encode(SubRipOf(c.texts), c.encoding)));
    EXPECT_EQ(file.Info,
              "[ BEGIN SUBTITLE INFO ]\r\nSubtitle format is SubRip\r\nSubtitle "
              "encoding is " +
                  std::string(c.found) + "\r\n[ END SUBTITLE INFO ]");
    file.SetFrameRate(25.0);
    const auto texts = TextsOf(Entries(file));
    EXPECT_EQ(texts, c.texts);
    // The overlay draws them from Unicode, even with the Western script.
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(CODEPAGE::DecodeSubtitleText(texts[0], 0), QString::fromStdString(c.texts[0]));
  }
}

TEST(ReadingCodePage, TextThatNeedsNoDetectionIsLeftAsItIs) {
  const std::pair<std::string, const char*> cases[] = {
      {"plain text", "ASCII"},
      {"déjà vu, naïve", "UTF-8"},
  };
  for (const auto& [text, found] : cases) {
    SubtitleFile file;
    file.Reading = kDetect;
    ASSERT_TRUE(file.OpenContents("mem", SubRipOf({text})));
    EXPECT_NE(file.Info.find("\r\nSubtitle encoding is "s + found + "\r\n"), std::string::npos);
    file.SetFrameRate(25.0);
    EXPECT_EQ(TextsOf(Entries(file)), std::vector<std::string>{text});
  }
  // Without the option the report keeps its three lines.
  SubtitleFile file;
  ASSERT_TRUE(file.OpenContents("mem", Encode(SubRipOf({"Привет"}), "WINDOWS-1251")));
  EXPECT_EQ(file.Info,
            "[ BEGIN SUBTITLE INFO ]\r\nSubtitle format is SubRip\r\n[ END SUBTITLE INFO ]");
  file.SetFrameRate(25.0);
  EXPECT_EQ(TextsOf(Entries(file)), std::vector<std::string>{"\xCF\xF0\xE8\xE2\xE5\xF2"});
}

// --- Markup cleaning ------------------------------------------------------------

TEST(ReadingMarkup, RemovesEveryTagBlockAndCodeAndDecodesEntities) {
  const std::pair<std::string, std::string> cases[] = {
      {"<b>bold</b> <I>it</I> <u>u</U> <s>s</s>", "bold it u s"},
      {"<font color=yellow>Y</font>", "Y"},
      {"<font face=\"Arial\" size=12>A</font>", "A"},
      {"<FONT COLOR='#FF0000'>R</FONT >", "R"},
      {"<font color=\"#00ff00\" >G< /font>", "G"},
      {"<font color=\"red>broken</font>", "broken"},
      {"{\\an8}Top", "Top"},
      {"{\\i1}a{\\i0} b {\\pos(10,20)\\c&H00FF00&}c", "a b c"},
      {"{y:i}{Y:B}{c:$0000ff}{C:$FF}{f:DejaVu Sans}{s:12}{P:1}{h:ARABIC}x", "x"},
      {"{y:b,u}both", "both"},
      {"Tom &amp; Jerry &lt;3 &gt; &quot;q&quot; &apos;a&#39; &#x41;",
       "Tom & Jerry <3 > \"q\" 'a' A"},
      {"&lt;i&gt;shown&lt;/i&gt;", "<i>shown</i>"},
      {"  <i> spaced </i>  out  ", "spaced out"},
      {"a <i></i> b", "a b"},
  };
  for (const auto& [text, cleaned] : cases)
    EXPECT_EQ(SUBTITLEFILE::CleanMarkup(text, false), cleaned) << text;
}

TEST(ReadingMarkup, TextThatOnlyLooksLikeMarkupStays) {
  for (const char* text :
       {"<3", "a < b", "a > b", "x<y and y>z", "<bold>", "<br>", "<i", "{\\an8", "{some text}",
        "{y}", "& more", "&amp", "&#0;", "&#x110000;", "<b and c>", "{\\a{b}"})
    EXPECT_EQ(SUBTITLEFILE::CleanMarkup(text, false), text) << text;
}

TEST(ReadingMarkup, NoBreakSpaceFitsTheTextItGoesInto) {
  EXPECT_EQ(SUBTITLEFILE::CleanMarkup("a&nbsp;b", false),
            "a\xA0"
            "b");
  EXPECT_EQ(SUBTITLEFILE::CleanMarkup("a&nbsp;b", true),
            "a\xC2\xA0"
            "b");
  // In an 8-bit line only what the code page surely holds.
  EXPECT_EQ(SUBTITLEFILE::CleanMarkup("&#233;", false), "&#233;");
  EXPECT_EQ(SUBTITLEFILE::CleanMarkup("&#233;", true), "é");
  // A file line that is UTF-8 keeps being UTF-8.
  EXPECT_EQ(Read(SubRipOf({"é&nbsp;!"}), kClean)[0].lines, (TextLines{"é\xC2\xA0!"}));
  EXPECT_EQ(Read(SubRipOf({"\xE9&nbsp;!"}), kClean)[0].lines, (TextLines{"\xE9\xA0!"}));
}

TEST(ReadingMarkup, EntriesLoseTheirMarkupAndTheLinesItLeavesEmpty) {
  EXPECT_EQ(
      Read(SubRipOf({"{\\an8}\r\n<i>Hello</i>\r\n<font color=\"red\">world</font>"}), kClean)[0]
          .lines,
      (TextLines{"Hello", "world"}));
  EXPECT_EQ(Read("{1}{2}{y:i}Hello | {c:$0000ff} World\n{3}{4}a||b\n", kClean),
            (std::vector<Entry>{{1, 2, {"Hello", "World"}}, {3, 4, {"a", "", "b"}}}));
  // Off: the classic removal, tag by tag into blanks.
  EXPECT_EQ(Read("{1}{2}{y:i}Hello|{c:$0000ff}World\n{3}{4}x\n", {})[0].lines,
            (TextLines{" Hello", "{c:$0000ff}World"}));
}

// --- Tolerant structure ---------------------------------------------------------

TEST(ReadingTolerant, BlankLinesBeforeTheTextAreNoEndOfTheEntry) {
  const std::string file =
      "1\n00:00:01,000 --> 00:00:02,000\n \nHello\n\n"
      "2\n00:00:03,000 --> 00:00:04,000\n\t\n\nWorld\nagain\n\n";
  EXPECT_EQ(Read(file, kTolerant),
            (std::vector<Entry>{{25, 50, {"Hello"}}, {75, 100, {"World", "again"}}}));
  EXPECT_EQ(Read(file, {}), (std::vector<Entry>{{25, 50, {}}, {75, 100, {}}}));
}

TEST(ReadingTolerant, AnEntryWithoutTextDoesNotTakeTheNextOne) {
  EXPECT_EQ(Read("1\n00:00:01,000 --> 00:00:02,000\n\n\n2\n00:00:03,000 --> 00:00:04,000\nB\n",
                 kTolerant),
            (std::vector<Entry>{{25, 50, {}}, {75, 100, {"B"}}}));
  EXPECT_EQ(Read("1\n00:00:01,000 --> 00:00:02,000\n\n\n", kTolerant),
            (std::vector<Entry>{{25, 50, {}}}));
}

TEST(ReadingTolerant, LooseCountersAndTimesAreReadAndStrictlyRefused) {
  const std::pair<std::string, std::vector<Entry>> cases[] = {
      // Counters that are words, or missing.
      {"un\n00:00:01,000 --> 00:00:02,000\nOne\n\n"
       "dix\n00:00:03,000 --> 00:00:04,000\nTen\n\n"
       "00:00:05,000 --> 00:00:06,000\nNone\n",
       {{25, 50, {"One"}}, {75, 100, {"Ten"}}, {125, 150, {"None"}}}},
      // Full stops, missing milliseconds, trailing coordinates.
      {"1\n00:00:01.000 --> 00:00:02.500\nA\n\n"
       "2\n0:00:03 --> 0:00:04,040\nB\n\n"
       "3\n00:00:05,000 --> 00:00:06,000 X1:243 X2:478\nC\n",
       {{25, 62, {"A"}}, {75, 101, {"B"}}, {125, 150, {"C"}}}},
  };
  for (const auto& [file, entries] : cases) {
    EXPECT_EQ(Read(file, kTolerant), entries);
    SubtitleFile strict;
    EXPECT_FALSE(strict.OpenContents("mem", file));
    EXPECT_EQ(strict.ErrorText, kUnknown);
  }
}

TEST(ReadingTolerant, ACounterAndTimeWithoutABlankLineStartAnEntry) {
  const std::string file =
      "1\n00:00:01,000 --> 00:00:02,000\nOne\n1994 was the year\n"
      "2\n00:00:03,000 --> 00:00:04,000\nTwo\n"
      "00:00:05,000 --> 00:00:06,000\nThree\n";
  EXPECT_EQ(Read(file, kTolerant), (std::vector<Entry>{{25, 50, {"One", "1994 was the year"}},
                                                       {75, 100, {"Two"}},
                                                       {125, 150, {"Three"}}}));
  // Strictly the run-on entries are text of the first.
  EXPECT_EQ(Read(file, {}).size(), 1u);
}

TEST(ReadingTolerant, LinesThatGiveNoEntryCostNoStep) {
  for (const std::string& file : {"1\n00:00:01,000 --> 00:00:02,000\nA\n\n\n\njunk\n\n"
                                  "2\n00:00:03,000 --> 00:00:04,000\nB\n"s,
                                  "{1}{2}A\n\n\nnot an entry\n{3}{4}B\n\n"s}) {
    SubtitleFile f;
    f.Reading = kTolerant;
    ASSERT_TRUE(f.OpenContents("mem", file));
    f.SetFrameRate(25.0);
    // Trailing lines make at most one last step, without an entry.
    const std::vector<Entry> steps = subtitleentry::AllSteps(f);
    ASSERT_GE(steps.size(), 2u);
    ASSERT_LE(steps.size(), 3u);
    EXPECT_EQ(steps[0].lines, (TextLines{"A"}));
    EXPECT_EQ(steps[1].lines, (TextLines{"B"}));
    if (steps.size() == 3) EXPECT_EQ(steps[2].start, -1);
  }
}

TEST(ReadingTolerant, MicroDvdRateLineIsTheFilesRateAndNoEntry) {
  const std::string file = "{1}{1}29.970\n{0}{30}A\n{299}{600}B\n";
  // Frame x video rate / file rate, truncated.
  EXPECT_EQ(Read(file, kTolerant, 25.0), (std::vector<Entry>{{0, 25, {"A"}}, {249, 500, {"B"}}}));
  EXPECT_EQ(Read("{0}{0}25.0\n{10}{20}A\n", kTolerant, 50.0),
            (std::vector<Entry>{{20, 40, {"A"}}}));
  EXPECT_EQ(Read("{1}{1}23,976\n{10}{20}A\n", kTolerant, 23.976),
            (std::vector<Entry>{{10, 20, {"A"}}}));
  // The delay is the video's frames, added after.
  SubtitleFile delayed;
  delayed.Reading = kTolerant;
  ASSERT_TRUE(delayed.OpenContents("mem", file));
  delayed.SetFrameRate(25.0);
  delayed.SetDelayFrames(-5);
  EXPECT_EQ(Entries(delayed)[1], (Entry{244, 495, {"B"}}));
  EXPECT_EQ(delayed.FileFrameRate(), 29.97);
  // Strictly the rate line is an entry like any other.
  EXPECT_EQ(Read(file, {}, 25.0)[0], (Entry{1, 1, {"29.970"}}));
}

TEST(ReadingTolerant, OnlyARateStandsInARateLine) {
  for (const char* file : {"{1}{1}Hello\n{2}{3}x\n", "{1}{2}25\n{2}{3}x\n", "{2}{2}25\n{2}{3}x\n",
                           "{1}{1}0\n{2}{3}x\n", "{1}{1}25 fps\n{2}{3}x\n", "{1}{1}-25\n{2}{3}x\n",
                           "{1}{1}\n{2}{3}x\n"}) {
    SubtitleFile f;
    f.Reading = kTolerant;
    ASSERT_TRUE(f.OpenContents("mem", file));
    f.SetFrameRate(25.0);
    EXPECT_EQ(f.FileFrameRate(), 0.0) << file;
    EXPECT_EQ(Entries(f).size(), 2u) << file;
  }
}

// --- All together ---------------------------------------------------------------

TEST(ReadingAll, AModernFileComesOutAsItIsMeantToBeRead) {
  const std::string file =
      "\xEF\xBB\xBF"
      "1\r\n00:00:01.000 --> 00:00:02.000\r\n \r\n{\\an8}<i>Über &amp; "
      "außen</i>\r\n\r\n"
      "zwei\r\n00:00:03.000 --> 00:00:04.000\r\n<font color=\"#ffff00\">Gelb</font>\r\n";
  EXPECT_EQ(Read(file, kAll),
            (std::vector<Entry>{{25, 50, {"Über & außen"}}, {75, 100, {"Gelb"}}}));
}
