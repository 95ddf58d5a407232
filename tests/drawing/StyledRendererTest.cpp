// The styled drawing, looked at in pixels: each style a file may carry has
// to show, where it should, as the drawing library draws it.
#include <gtest/gtest.h>

extern "C" {
#include <ass/ass.h>
}

#include <QFontDatabase>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "drawing/StyledRenderer.h"
#include "picture/BmpFrame.h"
#include "styled/StyledScript.h"
#include "subtitles/SubtitleUnit.h"
#include "support/PlanarRows.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr uint8_t kGrey = 128;
constexpr double kRate = 25.0;

struct Rgb {
  int Red, Green, Blue;
};

// A grey picture with the styled drawing of `text` (a whole subtitle file)
// at `ms` laid over it; the rows are top-down here.
class Drawn {
 public:
  Drawn(const std::string& text, int64_t ms, STYLEDSCRIPT::BaseStyle base = Base(),
        int32_t delayFrames = 0, SUBTITLEFILE::SubtitleFile::TimeMap map = {})
      : Drawn(Script(text, base, delayFrames, std::move(map)), ms) {}

  // What the drawing is handed for a whole subtitle file.
  static STYLEDSCRIPT::StyledScript Script(const std::string& text,
                                           STYLEDSCRIPT::BaseStyle base = Base(),
                                           int32_t delayFrames = 0,
                                           SUBTITLEFILE::SubtitleFile::TimeMap map = {}) {
    SUBTITLEFILE::SubtitleFile file;
    file.Reading.Styled = file.Reading.Unicode = true;
    EXPECT_TRUE(file.OpenContents("test", text)) << file.ErrorText;
    file.SetFrameRate(kRate);
    file.SetDelayFrames(delayFrames);
    file.SetTimeMap(map);
    return STYLEDSCRIPT::BuildScript(file, base, kWidth, kHeight);
  }

  Drawn(const STYLEDSCRIPT::StyledScript& script, int64_t ms) {
    STYLEDRENDERER::StyledRenderer renderer;
    EXPECT_EQ(renderer.Setup(script, kWidth, kHeight), "");
    EXPECT_TRUE(frame_.Allocate(kWidth, kHeight));
    std::memset(frame_.Pixels(), kGrey, size_t(frame_.Stride()) * kHeight);
    shows_ = renderer.Render(ms);
    renderer.Overlay(frame_.data());
    for (const std::string& note : renderer.TakeNotes()) notes_.push_back(note);
  }

  static STYLEDSCRIPT::BaseStyle Base() {
    STYLEDSCRIPT::BaseStyle base;
    base.Font.Name = "DejaVu Sans";
    base.Font.Size = 20;
    base.Font.Color = 0xFFFFFF;
    return base;
  }

  Rgb At(int x, int y) const {
    const uint8_t* p = frame_.Row(kHeight - 1 - y) + 3 * x;
    return {p[2], p[1], p[0]};
  }
  bool Ink(int x, int y) const {
    const Rgb c = At(x, y);
    return c.Red != kGrey || c.Green != kGrey || c.Blue != kGrey;
  }
  int InkCount(int x0 = 0, int x1 = kWidth) const {
    int count = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = x0; x < x1; ++x) count += Ink(x, y);
    return count;
  }
  // First and last row, first and last column with ink; -1 when none.
  struct Box {
    int Top = -1, Bottom = -1, Left = -1, Right = -1;
  };
  Box InkBox() const {
    Box box;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (Ink(x, y)) {
          if (box.Top < 0) box.Top = y;
          box.Bottom = y;
          box.Left = box.Left < 0 ? x : std::min(box.Left, x);
          box.Right = std::max(box.Right, x);
        }
    return box;
  }
  // How far the ink's middle moves right from the lower to the upper half
  // of its rows: a lean.
  double Lean() const {
    const Box box = InkBox();
    const int middle = (box.Top + box.Bottom) / 2;
    double upper = 0, lower = 0;
    int upperCount = 0, lowerCount = 0;
    for (int y = box.Top; y <= box.Bottom; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (Ink(x, y)) (y < middle ? upper : lower) += x, ++(y < middle ? upperCount : lowerCount);
    return upper / std::max(upperCount, 1) - lower / std::max(lowerCount, 1);
  }

  bool SamePixels(const Drawn& other) const {
    return std::memcmp(frame_.Pixels(), other.frame_.Pixels(), size_t(frame_.Stride()) * kHeight) ==
           0;
  }

  bool Shows() const { return shows_; }
  const std::vector<std::string>& Notes() const { return notes_; }
  const BMPFRAME::BmpFrame& Frame() const { return frame_; }

 private:
  BMPFRAME::BmpFrame frame_;
  bool shows_ = false;
  std::vector<std::string> notes_;
};

std::string SubRip(const std::string& text) {
  return "1\n00:00:01,000 --> 00:00:03,000\n" + text + "\n";
}

// A script's sections up to its events: what a source's ASS track carries
// as its header.
std::string AssHeader() {
  return "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 360\n"
         "\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, Outline, Shadow, Alignment, MarginL, "
         "MarginR\nStyle: Default,DejaVu Sans,36,1,0,2,20,20\n\n[Events]\n"
         "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
}

// One event's fields after its times and layer, as a script's line and a
// track's packet both have them.
std::string AssFields(const std::string& text) { return "Default,,0,0,0,," + text; }

// An ASS script of one event, shown from 1 s to 3 s.
std::string Ass(const std::string& text) {
  return AssHeader() + "Dialogue: 0,0:00:01.00,0:00:03.00," + AssFields(text) + "\n";
}

// "This is a very long", six times over: far wider than the picture.
std::string LongChinese() {
  std::string chinese;
  for (int i = 0; i < 6; ++i)
    chinese += "\xE8\xBF\x99\xE6\x98\xAF\xE4\xB8\x80\xE4\xB8\xAA\xE5\xBE\x88\xE9\x95\xBF";
  return chinese;
}

// `wrapped` stays inside the picture, in two lines or more of the height
// `one` takes.
void ExpectWrapped(const Drawn& one, const Drawn& wrapped) {
  const Drawn::Box line = one.InkBox(), box = wrapped.InkBox();
  ASSERT_GE(line.Left, 0);
  ASSERT_GE(box.Left, 0);
  EXPECT_GT(box.Left, 0);
  EXPECT_LT(box.Right, kWidth - 1);
  // Two lines, not one line run off both sides.
  EXPECT_GT(box.Bottom - box.Top, 2 * (line.Bottom - line.Top));
}

TEST(StyledRendererTest, ItalicLeansAndBoldIsHeavier) {
  const Drawn regular(SubRip("IIIIIIII"), 2000);
  const Drawn italic(SubRip("<i>IIIIIIII</i>"), 2000);
  const Drawn bold(SubRip("<b>IIIIIIII</b>"), 2000);
  ASSERT_TRUE(regular.Shows());
  EXPECT_LT(std::fabs(regular.Lean()), 0.5);
  EXPECT_GT(italic.Lean(), 1.5);
  EXPECT_GT(bold.InkCount(), regular.InkCount() * 6 / 5);
}

TEST(StyledRendererTest, ColoursFromTagsAndTheUsersFont) {
  const Drawn red(SubRip("<font color=\"#FF0000\">RRRR</font>"), 2000);
  const Drawn white(SubRip("WWWW"), 2000);
  auto count = [](const Drawn& drawn, auto wanted) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) n += wanted(drawn.At(x, y));
    return n;
  };
  auto isRed = [](Rgb c) { return c.Red > 220 && c.Green < 40 && c.Blue < 40; };
  auto isWhite = [](Rgb c) { return c.Red > 240 && c.Green > 240 && c.Blue > 240; };
  EXPECT_GT(count(red, isRed), 50);
  EXPECT_EQ(count(red, isWhite), 0);
  EXPECT_GT(count(white, isWhite), 50);
}

TEST(StyledRendererTest, TopPlacementAndTheBottomBand) {
  const Drawn bottom(SubRip("Down here"), 2000);
  const Drawn top(SubRip("{\\an8}Up there"), 2000);
  EXPECT_GT(bottom.InkBox().Top, kHeight * 3 / 4);
  EXPECT_LT(top.InkBox().Bottom, kHeight / 4);
}

TEST(StyledRendererTest, CuesCoverExactlyTheirFramesWithTheDelay) {
  // 1.000 s to 3.000 s at 25 pictures a second: frames 25 to 75.
  const std::string file = SubRip("x");
  auto shows = [&](int frame, int delay) {
    return Drawn(file, STYLEDSCRIPT::FrameTimeMs(frame, kRate), Drawn::Base(), delay).Shows();
  };
  EXPECT_FALSE(shows(24, 0));
  EXPECT_TRUE(shows(25, 0));
  EXPECT_TRUE(shows(75, 0));
  EXPECT_FALSE(shows(76, 0));
  EXPECT_FALSE(shows(34, 10));
  EXPECT_TRUE(shows(35, 10));
  EXPECT_TRUE(shows(85, 10));
}

// A re-timing found from the speech moves the styled formats' cues too.
TEST(StyledRendererTest, ReTimingMovesCuesOfEveryFormat) {
  const auto later = [](double seconds, double) { return seconds + 2.0; };
  for (const std::string& file :
       {SubRip("x"), std::string("WEBVTT\n\n00:01.000 --> 00:03.000\nx\n")}) {
    EXPECT_FALSE(Drawn(file, 2000, Drawn::Base(), 0, later).Shows()) << file;
    EXPECT_TRUE(Drawn(file, 4000, Drawn::Base(), 0, later).Shows()) << file;
  }
}

TEST(StyledRendererTest, RightToLeftLinesEndWithTheirPunctuationOnTheLeft) {
  // Left-aligned, so that the first thing drawn at the left edge tells the
  // order: the exclamation mark alone, then after a Hebrew word.
  const Drawn mark(SubRip("{\\an1}!"), 2000);
  const Drawn hebrew(SubRip("{\\an1}\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D!"), 2000);
  STYLEDSCRIPT::BaseStyle leftToRight = Drawn::Base();
  leftToRight.LeftToRight = true;
  const Drawn typedForOldPlayers(SubRip("{\\an1}\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D!"), 2000,
                                 leftToRight);
  const Drawn::Box box = mark.InkBox();
  ASSERT_GE(box.Left, 0);
  auto differing = [&](const Drawn& other) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = box.Left; x <= box.Right; ++x) n += mark.Ink(x, y) != other.Ink(x, y);
    return n;
  };
  // The mark may sit a fraction of a pixel apart beside other letters.
  const int markPixels = mark.InkCount();
  EXPECT_LT(differing(hebrew), markPixels / 3) << markPixels;
  EXPECT_GT(differing(typedForOldPlayers), markPixels / 2) << markPixels;
}

// Joined, an Arabic word is much narrower than its letters in their
// separate forms.
TEST(StyledRendererTest, ArabicLettersAreJoined) {
  const std::string beh = "\xD8\xA8";
  const Drawn one(SubRip(beh), 2000);
  const Drawn word(SubRip(beh + beh + beh + beh + beh), 2000);
  const int single = one.InkBox().Right - one.InkBox().Left;
  const int joined = word.InkBox().Right - word.InkBox().Left;
  ASSERT_GT(single, 0);
  EXPECT_LT(joined, single * 5 * 3 / 4);
}

// A track's packet that gives no event is left out and said once.
TEST(StyledRendererTest, DamagedTrackPacketsAreSkippedAndSaidOnce) {
  STYLEDRENDERER::StyledRenderer renderer;
  ASSERT_EQ(renderer.Setup(STYLEDSCRIPT::TrackScript({}, Drawn::Base(), kWidth, kHeight), kWidth,
                           kHeight),
            "");
  renderer.AddEvent({1000, 3000, ""});
  renderer.AddEvent({1000, 900, "1,0,Default,,0,0,0,,backwards"});
  renderer.AddEvent({1000, 3000, "2,0,Default,,0,0,0,,Fine"});
  EXPECT_EQ(renderer.TakeNotes(), std::vector<std::string>{"Damaged subtitle packets are skipped"});
  EXPECT_TRUE(renderer.Render(2000));
}

TEST(StyledRendererTest, LinesWithoutSpacesWrapInsideThePicture) {
  const std::string one = "\xE8\xBF\x99";
  ExpectWrapped(Drawn(SubRip(one), 2000), Drawn(SubRip(LongChinese()), 2000));
  ExpectWrapped(Drawn(Ass(one), 2000), Drawn(Ass(LongChinese()), 2000));
}

// Thai writes its words without spaces: the breaks between them come from a
// dictionary, which the drawing alone does not have.
TEST(StyledRendererTest, ThaiLinesWrapBetweenWordsInsideThePicture) {
  if (QFontDatabase::families(QFontDatabase::Thai).isEmpty())
    GTEST_SKIP() << "no font with Thai letters is installed";
  // "Hello, the weather is very good today", over and over.
  const std::string sentence =
      "\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA\xE0\xB8\x94\xE0\xB8\xB5"
      "\xE0\xB8\x84\xE0\xB8\xA3\xE0\xB8\xB1\xE0\xB8\x9A"
      "\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\x99\xE0\xB8\x99\xE0\xB8\xB5\xE0\xB9\x89"
      "\xE0\xB8\xAD\xE0\xB8\xB2\xE0\xB8\x81\xE0\xB8\xB2\xE0\xB8\xA8"
      "\xE0\xB8\x94\xE0\xB8\xB5\xE0\xB8\xA1\xE0\xB8\xB2\xE0\xB8\x81";
  std::string thai;
  for (int i = 0; i < 8; ++i) thai += sentence;
  using Format = std::string (*)(const std::string&);
  for (Format format : {SubRip, Ass}) {
    const Drawn one(format(sentence), 2000);
    // The sentence alone fits; eight of them do not.
    ASSERT_GT(8 * (one.InkBox().Right - one.InkBox().Left), kWidth);
    ExpectWrapped(one, Drawn(format(thai), 2000));
  }
}

// The breaks are spaces of no width that set the width scale in force
// again, a tag's or a style's after a reset to it: a line that fits is drawn
// as without them, but for a glyph's fraction of a pixel.
TEST(StyledRendererTest, AssBreaksKeepTheWidthScaleInForce) {
  const std::string chinese = "\xE8\xBF\x99\xE6\x98\xAF\xE4\xB8\x80\xE4\xB8\xAA";
  const std::string narrowStyle =
      "[Script Info]\nPlayResX: 640\nPlayResY: 360\n\n[V4+ Styles]\n"
      "Format: Name, Fontname, Fontsize, ScaleX, Outline, Shadow, Alignment\n"
      "Style: Default,DejaVu Sans,36,100,1,0,2\nStyle: Narrow,DejaVu Sans,36,50,1,0,2\n\n"
      "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
      "Text\n";
  const std::string tagged = "{\\fscx150}" + chinese + "{\\fscx60}\xE5\xBE\x88\xE9\x95\xBF";
  const std::string reset = chinese + "{\\rNarrow}" + chinese;
  // The file, its event's text, and its last tag.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {Ass(tagged), tagged, "{\\fscx60}"},
      {narrowStyle + "Dialogue: 0,0:00:01.00,0:00:03.00," + AssFields(reset) + "\n", reset,
       "{\\rNarrow}"}};
  for (const auto& [file, text, lastTag] : cases) {
    STYLEDSCRIPT::StyledScript script = Drawn::Script(file);
    ASSERT_EQ(script.Events.size(), 1u);
    const Drawn broken(script, 2000);
    std::string& fields = script.Events[0].Fields;
    ASSERT_NE(fields.find(lastTag), std::string::npos) << fields;
    EXPECT_NE(fields.find("{\\fscx0} ", fields.find(lastTag)), std::string::npos) << fields;
    fields = fields.substr(0, fields.find(text.substr(0, 2))) + text;
    const Drawn unbroken(script, 2000);
    const Drawn::Box box = broken.InkBox(), expected = unbroken.InkBox();
    ASSERT_GE(expected.Left, 0);
    EXPECT_NEAR(box.Left, expected.Left, 1) << text;
    EXPECT_NEAR(box.Right, expected.Right, 1) << text;
    // Each glyph where it was: ink in the same columns.
    int columns = 0;
    for (int x = 0; x < kWidth; ++x)
      columns += (broken.InkCount(x, x + 1) > 0) != (unbroken.InkCount(x, x + 1) > 0);
    EXPECT_LE(columns, 2) << text;
  }
}

// A source's ASS track: its events get the breaks its file's events get.
TEST(StyledRendererTest, AssTrackEventsWrapAsTheFilesEventsDo) {
  STYLEDSCRIPT::StyledScript track =
      STYLEDSCRIPT::TrackScript(AssHeader(), Drawn::Base(), kWidth, kHeight);
  STYLEDSCRIPT::StyledEvent event = STYLEDSCRIPT::TrackEvent(
      STYLEDSCRIPT::TrackText::AssEvent, "0,0," + AssFields(LongChinese()), 0,
      STYLEDSCRIPT::EventLayoutOf(AssHeader(), Drawn::Base(), kWidth, kHeight));
  event.StartMs = 1000;
  event.EndMs = 3000;
  track.Events.push_back(event);
  const Drawn fromTrack(track, 2000);
  ASSERT_GE(fromTrack.InkBox().Left, 0);
  EXPECT_TRUE(fromTrack.SamePixels(Drawn(Ass(LongChinese()), 2000)));
}

TEST(StyledRendererTest, WebVttCueSettingsPlaceTheCue) {
  const std::string vtt =
      "WEBVTT\n\n00:01.000 --> 00:03.000 line:0\nTop\n\n"
      "00:04.000 --> 00:06.000 position:10% align:start size:40%\nLeft\n";
  const Drawn top(vtt, 2000);
  EXPECT_LT(top.InkBox().Bottom, kHeight / 4);
  const Drawn left(vtt, 5000);
  EXPECT_GT(left.InkBox().Top, kHeight * 3 / 4);
  EXPECT_GE(left.InkBox().Left, kWidth / 10 - 2);
  EXPECT_LT(left.InkBox().Left, kWidth / 10 + 8);
}

// The same script drawn by the library directly and blended here the plain
// way, in floating point.
TEST(StyledRendererTest, AssScriptsAreDrawnAsTheLibraryDrawsThem) {
  const std::string script =
      "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 360\n\n[V4+ Styles]\n"
      "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
      "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
      "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
      "Style: Default,DejaVu Sans,36,&H0000FFFF,&H000000FF,&H00400000,&H80000000,0,0,0,0,100,100,"
      "0,0,1,3,2,2,10,10,20,1\n\n[Events]\n"
      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
      "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\pos(320,180)\\frz20\\1a&H40&}Turned "
      "{\\c&HFF00FF&}text\n";
  const Drawn ours(script, 2000);
  ASSERT_TRUE(ours.Shows());

  ASS_Library* library = ass_library_init();
  ASS_Renderer* renderer = ass_renderer_init(library);
  ass_set_frame_size(renderer, kWidth, kHeight);
  ass_set_storage_size(renderer, kWidth, kHeight);
  ass_set_shaper(renderer, ASS_SHAPING_COMPLEX);
  ass_set_fonts(renderer, nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  std::string copy = script;
  ASS_Track* track = ass_read_memory(library, copy.data(), copy.size(), nullptr);
  ASSERT_NE(track, nullptr);
  std::vector<double> reference(size_t(kWidth) * kHeight * 3, kGrey);
  int changed = 0;
  for (ASS_Image* image = ass_render_frame(renderer, track, 2000, &changed); image;
       image = image->next) {
    const double opacity = (255 - (image->color & 0xFF)) / 255.0;
    const double colour[3] = {double(image->color >> 24), double((image->color >> 16) & 0xFF),
                              double((image->color >> 8) & 0xFF)};
    for (int y = 0; y < image->h; ++y)
      for (int x = 0; x < image->w; ++x) {
        const int px = image->dst_x + x, py = image->dst_y + y;
        if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) continue;
        const double a = image->bitmap[y * image->stride + x] / 255.0 * opacity;
        for (int k = 0; k < 3; ++k) {
          double& v = reference[(size_t(py) * kWidth + px) * 3 + k];
          v = colour[k] * a + v * (1 - a);
        }
      }
  }
  ass_free_track(track);
  ass_renderer_done(renderer);
  ass_library_done(library);

  int worst = 0, inked = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = ours.At(x, y);
      const int got[3] = {c.Red, c.Green, c.Blue};
      for (int k = 0; k < 3; ++k)
        worst = std::max(
            worst,
            std::abs(got[k] - int(std::lround(reference[(size_t(y) * kWidth + x) * 3 + k]))));
      inked += ours.Ink(x, y);
    }
  EXPECT_GT(inked, 500);
  EXPECT_LE(worst, 3);
}

TEST(StyledRendererTest, ScriptsForBt709PicturesAreMovedToTheOutputsColours) {
  const std::string script =
      "[Script Info]\nPlayResX: 640\nPlayResY: 360\nYCbCr Matrix: TV.709\n\n[V4+ Styles]\n"
      "Format: Name, Fontname, Fontsize, PrimaryColour, Outline, Shadow, BorderStyle\n"
      "Style: Default,DejaVu Sans,80,&H000000FF,0,0,1\n\n[Events]\n"
      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
      "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\p1}m 0 0 l 200 0 200 200 0 200{\\p0}\n";
  const Drawn drawn(script, 2000);
  const Drawn::Box box = drawn.InkBox();
  ASSERT_GE(box.Left, 0);
  const Rgb inside = drawn.At((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2);
  // Pure red for BT.709 is a darker, slightly blue red for BT.601.
  EXPECT_NEAR(inside.Red, 233, 4);
  EXPECT_LE(inside.Green, 4);
  EXPECT_NEAR(inside.Blue, 2, 3);
}

// The planes an encoder takes get the drawing as ink, its colours coded as
// the script means them, and nothing once the event is over.
TEST(StyledRendererTest, PlanarInkCodesColoursAsTheScriptMeansThem) {
  for (const bool bt709 : {false, true}) {
    const std::string script =
        std::string("[Script Info]\nPlayResX: 640\nPlayResY: 360\n") +
        (bt709 ? "YCbCr Matrix: TV.709\n" : "") +
        "\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, Outline, Shadow\n"
        "Style: Default,DejaVu Sans,80,&H000000FF,0,0\n\n[Events]\n"
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
        "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\p1\\pos(100,50)}"
        "m 0 0 l 200 0 200 100 0 100{\\p0}\n";
    STYLEDRENDERER::StyledRenderer renderer;
    ASSERT_EQ(renderer.Setup(Drawn::Script(script), kWidth, kHeight), "");
    ASSERT_TRUE(renderer.Render(2000));
    const PLANARBLEND::PlanarBlendPicture* ink = renderer.PlanarInk();
    ASSERT_NE(ink, nullptr);
    std::vector<uint8_t> y(size_t(kWidth) * kHeight, 126), u(y.size() / 4, 128), v(u);
    ink->BlendInto(TESTSUPPORT::PlanarRowsOf(y, u, v, kWidth), ink->Band());
    // Placed by its bottom centre, the square covers rows 0 .. 49 and
    // columns 0 .. 199.
    const int atY = 25 * kWidth + 100, atC = 12 * kWidth / 2 + 50;
    EXPECT_NEAR(y[atY], bt709 ? 63 : 81, 1) << bt709;
    EXPECT_NEAR(u[atC], bt709 ? 102 : 90, 1) << bt709;
    EXPECT_NEAR(v[atC], 240, 1) << bt709;
    EXPECT_EQ(y[200 * kWidth + 100], 126);  // below the ink's band
    EXPECT_LE(ink->Band().Top + ink->Band().Count, 52);
    EXPECT_FALSE(renderer.Render(5000));
    EXPECT_EQ(renderer.PlanarInk(), nullptr);
  }
}

std::string HostileHeader() {
  return "[Script Info]\nPlayResX: 640\nPlayResY: 360\n\n[V4+ Styles]\n"
         "Format: Name, Fontname, Fontsize\nStyle: Default,DejaVu Sans,40\n\n[Events]\n"
         "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
}

// Many events, huge values and huge lines: what is drawn is held to bounds
// on the script itself, and the log says what was left out.
TEST(StyledRendererTest, HostileScriptsAreBoundedAndSaySo) {
  std::string crowd = HostileHeader();
  for (int i = 0; i < 300; ++i)
    crowd += "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\pos(320," + std::to_string(i) +
             ")}" + std::to_string(i) + "\n";
  const Drawn crowded(crowd, 2000);
  EXPECT_TRUE(crowded.Shows());
  EXPECT_EQ(crowded.Notes(),
            std::vector<std::string>{"252 subtitle events left out: more than 48 at once"});

  std::string huge = HostileHeader();
  for (int i = 0; i < 300; ++i)
    huge += "Dialogue: 0,0:00:01.00,0:00:03.00,Default,,0,0,0,,{\\fs99999\\blur9999\\frz" +
            std::to_string(i) + "\\pos(320,180)}Spinning line " + std::to_string(i) + " " +
            std::string(5000, 'W') + "\n";
  const Drawn spinning(huge, 2000);
  EXPECT_TRUE(spinning.Shows());
  EXPECT_EQ(spinning.Notes(),
            (std::vector<std::string>{
                "299 subtitle events left out: the text shown at once would cover the picture "
                "more than 12 times",
                "300 subtitle events cut short: their text would cover the picture more than 12 "
                "times"}));
}

// Nothing but the script decides what is drawn: the same pictures come out
// of a hostile script on an idle machine and on one whose cores are busy.
TEST(StyledRendererTest, HostileScriptsDrawTheSamePicturesUnderLoad) {
  std::string script = HostileHeader();
  for (int i = 0; i < 60; ++i)
    script +=
        "Dialogue: 0,0:00:00.00,0:00:05.00,Default,,0,0,0,,{\\fs900\\blur80\\bord60"
        "\\t(\\frz3600)\\fry" +
        std::to_string(i) + "}" + std::string(400, 'W') + "\n";
  const STYLEDSCRIPT::StyledScript parsed = Drawn::Script(script);
  std::vector<std::unique_ptr<Drawn>> idle, loaded;
  for (int64_t ms : {0, 1000, 2500, 4999}) idle.push_back(std::make_unique<Drawn>(parsed, ms));
  std::atomic<bool> busy{true};
  std::vector<std::thread> spinners;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
    spinners.emplace_back([&busy] {
      volatile uint64_t n = 0;
      while (busy.load(std::memory_order_relaxed)) n = n + 1;
    });
  for (int64_t ms : {0, 1000, 2500, 4999}) loaded.push_back(std::make_unique<Drawn>(parsed, ms));
  busy = false;
  for (std::thread& spinner : spinners) spinner.join();
  for (std::size_t i = 0; i < idle.size(); ++i) {
    EXPECT_TRUE(idle[i]->Shows());
    EXPECT_TRUE(idle[i]->SamePixels(*loaded[i])) << "picture " << i;
  }
}

}  // namespace
