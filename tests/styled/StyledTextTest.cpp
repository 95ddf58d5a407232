// The styled formats' reading and the turning of markup into overrides:
// what reaches the drawing, before anything is drawn.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "styled/StyledLimits.h"
#include "styled/StyledMarkup.h"
#include "styled/StyledScript.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleNumbers.h"
#include "subtitles/SubtitleUnit.h"
#include "subtitles/WebVttReader.h"

namespace {

using namespace STYLEDMARKUP;
using SUBTITLEFILE::SubtitleFile;

std::string SubRip(const std::string& line) {
  TagState state;
  return SubRipLine(line, state);
}

TEST(StyledMarkupTest, SubRipTagsBecomeOverridesInAnyCaseAndNesting) {
  EXPECT_EQ(SubRip("<i>a</i> <B>b</B> <u>c</U> <s>d</s>"),
            "{\\i1}a{\\i0} {\\b1}b{\\b0} {\\u1}c{\\u0} {\\s1}d{\\s0}");
  // Badly nested: each style ends where its own tag closes; a stray closing
  // tag changes nothing.
  EXPECT_EQ(SubRip("<i><b>x</i>y</b></i>z"), "{\\i1}{\\b1}x{\\i0}y{\\b0}z");
  // Nested twice: still italic after the inner close.
  EXPECT_EQ(SubRip("<i>a<i>b</i>c</i>d"), "{\\i1}abc{\\i0}d");
  // Text that only looks like markup stays.
  EXPECT_EQ(SubRip("a < b <3"), "a < b <3");
  // Override blocks pass; unknown tags go.
  EXPECT_EQ(SubRip("{\\an8}top <ruby>x</ruby>"), "{\\an8}top x");
}

TEST(StyledMarkupTest, FontTagsSetAndRestoreColourFaceAndSize) {
  EXPECT_EQ(SubRip("<font color=\"#FF8000\">o</font>"), "{\\c&H0080FF&}o{\\c}");
  EXPECT_EQ(SubRip("<font color=red>r</font>"), "{\\c&H0000FF&}r{\\c}");
  EXPECT_EQ(SubRip("<font color='00ff00' face=\"DejaVu Serif\" size=30>g</font>"),
            "{\\c&H00FF00&\\fnDejaVu Serif\\fs30}g{\\c\\fn\\fs}");
  // An inner font's end gives back the outer one's colour.
  EXPECT_EQ(SubRip("<font color=blue>b<font color=red>r</font>b</font>"),
            "{\\c&HFF0000&}b{\\c&H0000FF&}r{\\c&HFF0000&}b{\\c}");
  // A colour that is none sets nothing.
  EXPECT_EQ(SubRip("<font color=\"nocolour\">x</font>"), "x");
  EXPECT_EQ(AssColour("#abc"), "&HCCBBAA&");
  EXPECT_EQ(AssColour("WHITE"), "&HFFFFFF&");
  EXPECT_EQ(AssColour(""), "");
}

TEST(StyledMarkupTest, TagsCarryAcrossTheLinesOfACue) {
  TagState state;
  const std::string first = SubRipLine("<i>one", state);
  const std::string second = SubRipLine("two</i>", state);
  EXPECT_EQ(JoinLines({first, second}), "{\\i1}one\\Ntwo{\\i0}");
}

TEST(StyledMarkupTest, MicroDvdCodesApplyToTheirLineOrTheWholeEntry) {
  EXPECT_EQ(MicroDvdText("{y:i}one|two"), "{\\i1}one\\N{\\r}two");
  EXPECT_EQ(MicroDvdText("{Y:b}one|two"), "{\\b1}one\\N{\\r\\b1}two");
  EXPECT_EQ(MicroDvdText("{c:$0000FF}{f:DejaVu Sans}{s:20}x"),
            "{\\c&H0000FF&\\fnDejaVu Sans\\fs20}x");
  // Codes the drawing has no use for are dropped, not drawn.
  EXPECT_EQ(MicroDvdText("{P:1}x"), "x");
}

TEST(StyledMarkupTest, WebVttTagsAndReferences) {
  TagState state;
  EXPECT_EQ(WebVttLine("<v Bob>Hi <c.yellow>there</c> &amp; <i>you</i>", state),
            "Hi there & {\\i1}you{\\i0}");
  EXPECT_EQ(WebVttLine("<00:00:01.000>karaoke &lt;3", state), "karaoke <3");
  // WebVTT has no font tag: it is dropped, not obeyed.
  EXPECT_EQ(WebVttLine("<font color=red>x</font>", state), "x");
}

TEST(StyledMarkupTest, BreakOpportunitiesOnlyWhereLinesHaveNoSpaces) {
  EXPECT_EQ(AddLineBreakOpportunities("plain words stay"), "plain words stay");
  const std::string chinese = AddLineBreakOpportunities("中文句子");
  EXPECT_EQ(chinese, "中{\\fscx0} {\\fscx}文{\\fscx0} {\\fscx}句{\\fscx0} {\\fscx}子");
  // Override blocks are left whole.
  EXPECT_EQ(AddLineBreakOpportunities("{\\i1}中文"), "{\\i1}中{\\fscx0} {\\fscx}文");
  // Thai breaks between its words ("hello", "polite particle"), not its letters.
  EXPECT_EQ(AddLineBreakOpportunities("สวัสดีครับ"), "สวัสดี{\\fscx0} {\\fscx}ครับ");
}

const std::string kBreak = "{\\fscx0} {\\fscx}";

TEST(StyledMarkupTest, AssTextGetsBreaksOnlyOutsideItsBlocksAndEscapes) {
  EXPECT_EQ(AddLineBreakOpportunities("{\\an8\\c&H00FF00&}中文\\N中文\\h中\\n中"),
            "{\\an8\\c&H00FF00&}中" + kBreak + "文\\N中" + kBreak + "文\\h中\\n中");
  // An escaped brace is text; a break after a backslash would make one.
  EXPECT_EQ(AddLineBreakOpportunities("\\{中文\\}\\中"), "\\{中" + kBreak + "文\\}\\中");
  // A brace never closed is drawn as written, and so is all after it.
  EXPECT_EQ(AddLineBreakOpportunities("中文{中文"), "中" + kBreak + "文{中文");
}

TEST(StyledMarkupTest, BreaksSetTheWidthScaleInForceAgain) {
  EXPECT_EQ(AddLineBreakOpportunities("{\\fscx150\\fscy80}中文{\\r}中文"),
            "{\\fscx150\\fscy80}中{\\fscx0} {\\fscx150}文{\\r}中" + kBreak + "文");
  EXPECT_EQ(AddLineBreakOpportunities("{\\fscx150}{\\ fscx}中文"),
            "{\\fscx150}{\\ fscx}中" + kBreak + "文");
  // After a reset to another style, a bare tag sets that style's scale.
  EXPECT_EQ(AddLineBreakOpportunities("{\\fscx80}中文{\\rAlt}中文"),
            "{\\fscx80}中{\\fscx0} {\\fscx80}文{\\rAlt}中" + kBreak + "文");
}

TEST(StyledMarkupTest, EventsThatBreaksWouldChangeAreLeftWhole) {
  for (const std::string text : {"{\\t(0,500,\\fscx200)}中文", "{\\move(0,0,9,9)\\t(\\fsc)}中文",
                                 "{\\p1}m 0 0 l 9 9{\\p0}中文", "中{\\q2}文"})
    EXPECT_EQ(AddLineBreakOpportunities(text), text);
  // Other animations, positions and shapes switched off leave room for breaks.
  EXPECT_EQ(AddLineBreakOpportunities("{\\t(\\fscy200)\\pos(1,2)\\p0\\q1}中文"),
            "{\\t(\\fscy200)\\pos(1,2)\\p0\\q1}中" + kBreak + "文");
}

// Text of scripts written with spaces keeps its bytes, and so do bytes that
// are no UTF-8.
TEST(StyledMarkupTest, TextWithSpacesKeepsItsBytes) {
  for (const std::string text :
       {"well-known\u2014yes!No/maybe", "\uD55C\uAD6D\uC5B4 \uBB38\uC7A5", "\xE9中文"})
    EXPECT_EQ(AddLineBreakOpportunities(text), text);
}

TEST(StyledScriptTest, AssTrackEventsGetBreaksUnlessTheScriptTurnsWrappingOff) {
  using namespace STYLEDSCRIPT;
  const std::string packet = "5,0,Default,,0,0,0,,中文";
  EXPECT_EQ(TrackEvent(TrackText::AssEvent, packet, 7,
                       EventLayoutOf("[Script Info]\nWrapStyle: 0\n", {}, 640, 360))
                .Fields,
            "7,0,Default,,0,0,0,,中" + kBreak + "文");
  EXPECT_EQ(TrackEvent(TrackText::AssEvent, packet, 7,
                       EventLayoutOf("[Script Info]\nwrapstyle:2\n", {}, 640, 360))
                .Fields,
            "7,0,Default,,0,0,0,,中文");
}

SubtitleFile OpenStyled(const std::string& text, bool styled = true) {
  SubtitleFile file;
  file.Reading.Styled = styled;
  file.Reading.Unicode = true;
  file.OpenContents("test", text);
  return file;
}

TEST(StyledReadersTest, AssScriptsKeepTheirHeaderAndEventsInAnyFieldOrder) {
  const std::string script =
      "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\n\n[V4+ Styles]\n"
      "Format: Name, Fontname, Fontsize\nStyle: Top,Arial,20\n\n[Events]\n"
      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
      "Comment: 0,0:00:00.00,0:00:01.00,Top,,0,0,0,,not shown\n"
      "Dialogue: 1,0:00:01.50,0:00:03.05,Top,Ann,0,0,0,,Hello, {\\i1}world\n"
      "\n[Fonts]\nfontname: x.ttf\nDialogue: 0,0:00:09.00,0:00:10.00,Top,,0,0,0,,ignored\n";
  const SubtitleFile file = OpenStyled(script);
  ASSERT_EQ(file.Format(), SUBTITLEFILE::SubtitleFormat::Ass) << file.ErrorText;
  const auto& document = file.Document();
  EXPECT_NE(document.ScriptHeader.find("Style: Top,Arial,20"), std::string::npos);
  std::vector<const SUBTITLEFILE::SubtitleCue*> usable;
  for (const auto& cue : document.Cues)
    if (cue.Usable) usable.push_back(&cue);
  ASSERT_EQ(usable.size(), 1u);
  EXPECT_EQ(usable[0]->Start, 1500);
  EXPECT_EQ(usable[0]->End, 3050);
  EXPECT_EQ(document.CueLine(*usable[0], 0), "Hello, {\\i1}world");
  // Read plainly, a script is no subtitle file this program knows.
  EXPECT_EQ(OpenStyled(script, false).Format(), SUBTITLEFILE::SubtitleFormat::None);

  const SubtitleFile reordered = OpenStyled(
      "[Script Info]\n\n[Events]\nFormat: Start, End, Style, Text\n"
      "Dialogue: 0:00:02.00,0:00:04.00,S1,text, with comma\n");
  ASSERT_EQ(reordered.Document().Cues.size(), 1u);
  const auto& cue = reordered.Document().Cues[0];
  EXPECT_EQ(cue.Start, 2000);
  EXPECT_EQ(reordered.Document().CueLine(cue, 0), "text, with comma");
  const auto event = SUBTITLEFILE::SplitAssEvent(reordered.Document().TextOf(cue.Fields),
                                                 reordered.Document().EventFormat);
  EXPECT_EQ(event.Style, "S1");
  EXPECT_TRUE(event.Layer.empty());
}

TEST(StyledReadersTest, AssTimes) {
  EXPECT_EQ(SUBTITLEFILE::ScanAssTime("1:02:03.45"), 3723450);
  EXPECT_EQ(SUBTITLEFILE::ScanAssTime("0:00:01.5"), 1500);
  EXPECT_EQ(SUBTITLEFILE::ScanAssTime("0:00:01"), 1000);
  EXPECT_FALSE(SUBTITLEFILE::ScanAssTime("0:00"));
  EXPECT_FALSE(SUBTITLEFILE::ScanAssTime("0:00:01.5x"));
}

TEST(StyledReadersTest, WebVttCuesWithAndWithoutHoursNamesAndSettings) {
  const SubtitleFile file = OpenStyled(
      "\xEF\xBB\xBFWEBVTT - title\n\nNOTE a note\nwith --> in it\n\nSTYLE\n::cue { color: red }\n\n"
      "intro\n00:01.000 --> 00:02.500 line:0 align:start\n<i>First</i>\nsecond\n\n"
      "01:00:00.000 --> 01:00:01.000\nLater\n00:00:05 --> 00:00:06.5\nLoose\n");
  ASSERT_EQ(file.Format(), SUBTITLEFILE::SubtitleFormat::WebVtt) << file.ErrorText;
  std::vector<const SUBTITLEFILE::SubtitleCue*> usable;
  for (const auto& cue : file.Document().Cues)
    if (cue.Usable) usable.push_back(&cue);
  ASSERT_EQ(usable.size(), 3u);
  EXPECT_EQ(usable[0]->Start, 1000);
  EXPECT_EQ(usable[0]->End, 2500);
  EXPECT_EQ(file.Document().TextOf(usable[0]->Fields), "line:0 align:start");
  EXPECT_EQ(usable[0]->TextCount, 2u);
  EXPECT_EQ(usable[1]->Start, 3600000);
  EXPECT_EQ(usable[2]->Start, 5000);
  EXPECT_EQ(usable[2]->End, 6500);
  EXPECT_FALSE(SUBTITLEFILE::ScanWebVttTime("00:61.000"));
  EXPECT_FALSE(SUBTITLEFILE::ScanWebVttTime("1.000"));
}

TEST(StyledLimitsTest, OverrideValuesAreHeldToRangesThatFollowTheScript) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fs5000\\blur300\\be50}x", resolution),
            "{\\fs180\\blur10\\be10}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\pos(1e9,-99999)\\bord999\\fscx90000}x", resolution),
            "{\\pos(1920,-1280)\\bord9\\fscx400}x");
  // Nested in a transition, the values are held all the same.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\t(0,500,\\fs9000)}x", resolution),
            "{\\t(0,500,\\fs180)}x");
  // Ordinary values pass as written.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\an8\\fs20\\c&H00FF00&\\fnArial}x", resolution),
            "{\\an8\\fs20\\c&H00FF00&\\fnArial}x");
}

// A held number never runs on into the characters that stopped the one
// written: the drawing reads "1e9" of "1e9.5", so 10 of "10.5" would be
// out of range again. A tag of one value ignores what follows its number,
// so that is left out; in a drawing, what follows is the next point.
TEST(StyledLimitsTest, AHeldNumberStaysApartFromWhatFollowedIt) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\blur1e9.5}x", resolution), "{\\blur10}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\blur1e9e5\\bord2}x", resolution),
            "{\\blur10\\bord2}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\p9e9.9}", resolution), "{\\p8}");
  // (A picture one pixel wide has no room for the letter.)
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fs0+.e0}x", {1, 9}), "{\\fs1}");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\p1}m 0 0 l 1e9.5 2{\\p0}", resolution),
            "{\\p1}m 0 0 l 1920 .5 2{\\p0}");
  // Written in range, a number stays as it stands.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\blur2.5}x", resolution), "{\\blur2.5}x");
}

// Nor does a number written again join what came before it, which the one
// it stands for did not: "+99999999999" held at 1e8 is written without its
// sign, and after "\fs-" would make a size of -1e8 tenths.
TEST(StyledLimitsTest, AHeldNumberStaysApartFromWhatCameBeforeIt) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fs-+99999999999}x", resolution), "{\\fs- 100000000}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\t(1e.5e99,5+99999999999,\\fs9)}x", resolution),
            "{\\t(1e 100000000,5 100000000,\\fs9)}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\p1}m 0 0 l 5+99999 2{\\p0}", resolution),
            "{\\p1}m 0 0 l 5 1920 2{\\p0}");
  // A tag's name is no number: what follows it is written as it is held.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fe99999999999}x", resolution), "{\\fe100000000}x");
  // A number written as it stands changes nothing of how the text reads.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\t(1+2,3-4)}x", resolution), "{\\t(1+2,3-4)}x");
}

// The drawing reads a tag's value past blanks after its name, so it is held
// there as well; a tag with no number after its blanks has no value.
TEST(StyledLimitsTest, ATagsValueIsHeldPastBlanks) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fs 5000\\blur\t300\\q 2}x", resolution),
            "{\\fs 180\\blur\t10\\q 2}x");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\pos (1e9,0)}x", resolution), "{\\pos (1920,0)}x");
  // "\p 1" starts a drawing, whose points are held.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\p 1}m 0 0 l 99999 0{\\p0}", resolution),
            "{\\p 1}m 0 0 l 1920 0{\\p0}");
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\fs x5}x", resolution), "{\\fs x5}x");
}

// Numbers of any length and any value read as the nearest in range, never
// wrap or overflow.
TEST(StyledLimitsTest, NumbersOfAnyLengthAreReadWithinTheirRange) {
  using SUBTITLEFILE::LeadingInteger;
  using SUBTITLEFILE::ScanDecimal;
  EXPECT_EQ(LeadingInteger("  -99999999999999999999999x", -10, 10, 7), -10);
  EXPECT_EQ(LeadingInteger("555555555555555555555555555", 0, 1 << 16, 7), 1 << 16);
  EXPECT_EQ(LeadingInteger("+42 apples", -100, 100, 7), 42);
  EXPECT_EQ(LeadingInteger("apples", -100, 100, 7), 7);
  EXPECT_EQ(ScanDecimal("1e99999").Value, std::numeric_limits<double>::infinity());
  EXPECT_EQ(ScanDecimal("-1e99999").Value, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ScanDecimal("1e-99999").Value, 0.0);
  EXPECT_EQ(ScanDecimal("12.5.3").Value, 12.5);
  EXPECT_EQ(ScanDecimal("12.5.3").Length, 6u);
  EXPECT_EQ(ScanDecimal("-.5e1x").Value, -5.0);
  EXPECT_EQ(ScanDecimal("-.5e1x").Length, 5u);
  EXPECT_EQ(ScanDecimal("x1").Length, 0u);
}

// The header's own numbers: a resolution beyond reach is held to 65536, and
// the drawing is handed the same numbers the limits were worked out from.
TEST(StyledLimitsTest, ScriptNumbersAreHeldAndTheDrawingSeesTheSame) {
  const std::string header =
      "[Script Info]\nPlayResX: 9999999999999999999999\nPlayResY:555555555555\n"
      "WrapStyle: 2\nLayoutResY: -3\n";
  const STYLEDLIMITS::Resolution resolution = STYLEDLIMITS::ScriptResolution(header);
  EXPECT_EQ(resolution.Width, 65536);
  EXPECT_EQ(resolution.Height, 65536);
  EXPECT_EQ(STYLEDLIMITS::ScriptResolution("PlayResY: 99999999999").Width, 65536);
  EXPECT_EQ(STYLEDLIMITS::LimitStyles(header, resolution),
            "[Script Info]\nPlayResX: 65536\nPlayResY: 65536\nWrapStyle: 2\nLayoutResY: 0\n");
  EXPECT_EQ(STYLEDLIMITS::HeaderNumber("WrapStyle: 99999999999999", "wrapstyle", 0),
            std::numeric_limits<int>::max());
}

// Every number of every tag is held to a range; what lies in it passes as
// written.
TEST(StyledLimitsTest, EveryTagsNumbersAreHeld) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  EXPECT_EQ(
      STYLEDLIMITS::LimitEventText(
          "{\\frz1e300\\fax-50\\fad(99999999999,5)\\k-99999999999\\an8\\frx12.345}x", resolution),
      "{\\frz360000\\fax-2\\fad(100000000,5)\\k-100000000\\an8\\frx12.345}x");
  // Colours, font and style names are no numbers.
  EXPECT_EQ(STYLEDLIMITS::LimitEventText("{\\1c&H1E5&\\fnDejaVu 99999999999\\rAlt2\\alpha&H80&}x",
                                         resolution),
            "{\\1c&H1E5&\\fnDejaVu 99999999999\\rAlt2\\alpha&H80&}x");
  EXPECT_EQ(STYLEDLIMITS::LimitLayer("99999999999"), "1000000");
  EXPECT_EQ(STYLEDLIMITS::LimitMargin("-5", resolution, false), "0");
  EXPECT_EQ(STYLEDLIMITS::LimitMargin("99999", resolution, true), "360");
  EXPECT_EQ(STYLEDLIMITS::LimitMargin("0012", resolution, true), "0012");
}

// An event's letters and drawings may cover the picture a few times over,
// no more: the rest of a huge line is cut, a leaning line sooner.
TEST(StyledLimitsTest, AnEventsInkIsHeldToAFewPictures) {
  const STYLEDLIMITS::Resolution resolution{640, 360};
  const STYLEDLIMITS::StyleExtent extent;
  const auto line =
      STYLEDLIMITS::LimitEvent("A subtitle line of ordinary length", resolution, extent);
  EXPECT_FALSE(line.Cut);
  EXPECT_LT(line.Ink, 0.2);
  const std::string huge = "{\\fs180}" + std::string(20000, 'W');
  const auto upright = STYLEDLIMITS::LimitEvent(huge, resolution, extent);
  EXPECT_TRUE(upright.Cut);
  EXPECT_LE(upright.Ink, STYLEDLIMITS::kMaximumEventInk);
  EXPECT_GT(upright.Ink, STYLEDLIMITS::kMaximumEventInk * 0.9);
  const auto leaning = STYLEDLIMITS::LimitEvent("{\\frz30}" + huge, resolution, extent);
  EXPECT_TRUE(leaning.Cut);
  EXPECT_LT(leaning.Text.size(), upright.Text.size());
  // Turned out of the picture, a line may be no wider than the picture.
  const auto turned =
      STYLEDLIMITS::LimitEvent("{\\fs10\\fry40}" + std::string(2000, 'i'), resolution, extent);
  EXPECT_TRUE(turned.Cut);
  EXPECT_LE(0.6 * 10 * (turned.Text.size() - 13), 640.0);
  // A drawing's box counts: the picture's rectangle scaled four times each
  // way is cut at the point that would make it cover the picture 16 times.
  const auto drawing = STYLEDLIMITS::LimitEvent(
      "{\\p1\\fscx400\\fscy400}m 0 0 l 640 0 640 360 0 360{\\p0}", resolution, extent);
  EXPECT_TRUE(drawing.Cut);
  EXPECT_EQ(drawing.Text, "{\\p1\\fscx400\\fscy400}m 0 0 l 640 0 640 ");
}

TEST(StyledLimitsTest, DrawingsAreCutToTheirLimit) {
  std::string drawing = "{\\p1}m 0 0";
  for (int i = 0; i < 20000; ++i) drawing += " l " + std::to_string(i % 300) + " 5";
  const std::string limited = STYLEDLIMITS::LimitEventText(drawing + "{\\p0}", {640, 360});
  EXPECT_LE(limited.size(), STYLEDLIMITS::kMaximumEventText);
  std::size_t numbers = 0;
  for (std::size_t i = 0; i < limited.size(); ++i)
    if (std::isdigit(static_cast<unsigned char>(limited[i])) &&
        (i == 0 || !std::isdigit(static_cast<unsigned char>(limited[i - 1]))))
      ++numbers;
  EXPECT_LE(numbers, std::size_t(STYLEDLIMITS::kMaximumDrawingNumbers) + 4);
}

TEST(StyledLimitsTest, StylesAndPlayResolution) {
  const std::string header =
      "[Script Info]\nPlayResY: 288\n\n[V4+ Styles]\n"
      "Format: Name, Fontname, Fontsize, Outline, ScaleX\n"
      "Style: Big,Arial,90000,500,1000\n";
  const auto resolution = STYLEDLIMITS::ScriptResolution(header);
  EXPECT_EQ(resolution.Width, 384);
  EXPECT_EQ(resolution.Height, 288);
  EXPECT_NE(STYLEDLIMITS::LimitStyles(header, resolution).find("Style: Big,Arial,144,7.2,400"),
            std::string::npos);
  EXPECT_EQ(STYLEDLIMITS::ScriptResolution("PlayResX: 1280").Height, 1024);
}

}  // namespace

namespace {

// A cue's name as the file's last line, with no times after it.
TEST(StyledReadersTest, WebVttNameWithoutTimesAtTheEnd) {
  const SubtitleFile file = OpenStyled("WEBVTT\n\n00:01.000 --> 00:02.000\nA\n\nlast name");
  ASSERT_EQ(file.Format(), SUBTITLEFILE::SubtitleFormat::WebVtt);
  EXPECT_TRUE(file.Document().Cues[0].Usable);
}

}  // namespace
