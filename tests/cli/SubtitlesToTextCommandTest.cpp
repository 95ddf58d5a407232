// --subtitles-to-text: a PGS stream drawn with known lines, in a .sup file
// and as a film's track, written back as SubRip with its times; damaged and
// empty sets; and --restyle, which burns the lines read in the look's colour.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "support/PgsWriter.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// A line drawn white in a black outline as one object, near the bottom of a
// 1280x720 canvas.
pgswriter::Object Line(const std::string& text, bool forced) {
  QImage image(1000, 70, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font("DejaVu Sans");
    font.setPixelSize(44);
    QPainterPath path;
    const QString line = QString::fromStdString(text);
    path.addText((1000 - QFontMetrics(font).horizontalAdvance(line)) / 2.0, 52, font, line);
    painter.setPen(QPen(Qt::black, 4));
    painter.drawPath(path);
    painter.fillPath(path, Qt::white);
  }
  pgswriter::Object object;
  object.X = 140;
  object.Y = 600;
  object.Width = 1000;
  object.Height = 70;
  object.Forced = forced;
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 1000; ++x) {
      const QColor c = QColor::fromRgba(image.pixel(x, y));
      object.Indexes.push_back(c.alpha() < 96 ? 0 : qGray(c.rgb()) > 150 ? 1 : 2);
    }
  return object;
}

// The line shown white in black on a 1280x720 canvas.
pgswriter::DisplaySet Shown(const std::string& text, bool forced) {
  pgswriter::DisplaySet set;
  set.CanvasWidth = 1280;
  set.CanvasHeight = 720;
  set.Palette = {{1, 255, 255, 255, 255}, {2, 0, 0, 0, 255}};
  set.Objects = {Line(text, forced)};
  return set;
}

// The set from `from` seconds, cleared at `to`.
void Show(std::vector<pgswriter::DisplaySet>& sets, double from, double to,
          pgswriter::DisplaySet set) {
  set.Pts90k = std::llround(from * 90000);
  sets.push_back(set);
  sets.push_back(pgswriter::ClearingSet(set, std::llround(to * 90000)));
}

class SubtitlesToTextCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
    std::vector<pgswriter::DisplaySet> sets;
    Show(sets, 0.5, 1.5, Shown("Where are you going?", false));
    Show(sets, 2.0, 3.25, Shown("NO ENTRY", true));
    WriteFile(dir / "film.sup", pgswriter::WriteSup(sets));
  }
  // The .sup's sets over a black film of the canvas' size.
  fs::path BlackFilm() {
    const fs::path film = dir / "black.avi";
    Ffmpeg("-f lavfi -i color=c=black:s=1280x720:r=25:d=4 -c:v mpeg4 -q:v 2 " + film.string());
    return film;
  }
  TempDir dir;
};

// Of one picture decoded into 24-bit pixels: how many are reddish and how
// many whitish, and the lowest row a reddish one stands on.
struct Inks {
  int red = 0, white = 0, top = 720;
};
Inks InksOf(const fs::path& file, int number) {
  std::string rgb;
  RunShell("ffmpeg -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(number) + ")\" -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
           &rgb);
  Inks inks;
  for (size_t k = 0; k + 2 < rgb.size(); k += 3) {
    const int r = uint8_t(rgb[k]), g = uint8_t(rgb[k + 1]), b = uint8_t(rgb[k + 2]);
    if (r > 150 && g < 90 && b < 90) {
      ++inks.red;
      inks.top = std::min(inks.top, int(k / 3 / 1280));
    }
    if (r > 200 && g > 200 && b > 200) ++inks.white;
  }
  return inks;
}

TEST_F(SubtitlesToTextCommandTest, ASupBecomesSubRipTimedAsItsSetsShow) {
  const fs::path srt = dir / "out.srt";
  ProgramRun run = RunProgram("--subtitles-to-text --source " + (dir / "film.sup").string() +
                              " --output " + srt.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Read 2 picture sets in eng: 2 cues written to"), std::string::npos)
      << run.out;
  EXPECT_EQ(ReadFile(srt),
            "1\n00:00:00,500 --> 00:00:01,500\nWhere are you going?\n\n"
            "2\n00:00:02,000 --> 00:00:03,250\nNO ENTRY\n\n");
  // The forced set alone.
  run = RunProgram("--subtitles-to-text --source " + (dir / "film.sup").string() +
                   " --forced-only --output " + srt.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(ReadFile(srt), "1\n00:00:02,000 --> 00:00:03,250\nNO ENTRY\n\n");
}

TEST_F(SubtitlesToTextCommandTest, AFilmsTrackIsReadAndWhatCantBeIsAnError) {
  const fs::path film = dir / "film.mkv";
  Ffmpeg("-f lavfi -i testsrc=size=1280x720:rate=25:duration=4 -copyts -i " +
         (dir / "film.sup").string() + " -map 0 -map 1 -c:v mpeg4 -c:s copy " +
         "-metadata:s:s:0 language=eng " + film.string());
  const fs::path srt = dir / "track.srt";
  ProgramRun run = RunProgram("--subtitles-to-text --source " + film.string() +
                              " --subtitle-track 1 --output " + srt.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(ReadFile(srt).find("00:00:00,500 --> 00:00:01,500\nWhere are you going?"),
            std::string::npos)
      << ReadFile(srt);
  const fs::path none = dir / "none.srt";
  run = RunProgram("--subtitles-to-text --source " + film.string() +
                   " --subtitle-track 2 --output " + none.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the source has no subtitle track 2"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(none));
  run = RunProgram("--subtitles-to-text --source " + (dir / "missing.mkv").string() + " --output " +
                   none.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(none));
  run = RunProgram("--subtitles-to-text --source " + film.string() + " --ocr-language zzz " +
                   "--output " + none.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Tesseract has no data for 'zzz'"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(none));
}

// A set whose object is cut short is passed over with one line of the log;
// one whose palette leaves the outline's entry undefined is read from its
// fill; one of outline alone holds no letters and gives no cue.
TEST_F(SubtitlesToTextCommandTest, DamagedSetsGiveWhatCanBeReadAndEmptyOnesNoCue) {
  std::vector<pgswriter::DisplaySet> sets;
  Show(sets, 0.5, 1.5, Shown("Where are you going?", false));
  pgswriter::DisplaySet cut = Shown("NO ENTRY", false);
  cut.Fault = pgswriter::Damage::TruncatedObject;
  Show(sets, 2.0, 3.0, cut);
  pgswriter::DisplaySet undefined = Shown("Keep the fill", false);
  undefined.Palette.pop_back();
  Show(sets, 4.0, 5.0, undefined);
  pgswriter::DisplaySet outline = Shown("outline", false);
  for (uint8_t& index : outline.Objects[0].Indexes) index = index == 0 ? 0 : 2;
  Show(sets, 6.0, 7.0, outline);
  WriteFile(dir / "damaged.sup", pgswriter::WriteSup(sets));
  const fs::path srt = dir / "damaged.srt";
  const ProgramRun run = RunProgram("--subtitles-to-text --source " +
                                    (dir / "damaged.sup").string() + " --output " + srt.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(ReadFile(srt),
            "1\n00:00:00,500 --> 00:00:01,500\nWhere are you going?\n\n"
            "2\n00:00:04,000 --> 00:00:05,000\nKeep the fill\n\n");
  size_t damageLines = 0;
  for (size_t at = run.out.find("are damaged"); at != std::string::npos;
       at = run.out.find("are damaged", at + 1))
    ++damageLines;
  EXPECT_EQ(damageLines, 1u) << run.out;
}

// The white lines burned restyled come out in the font colour asked for,
// low on the picture as the plain drawing places text, plain and styled,
// and the still shows what the job writes; unrestyled they stay white.
TEST_F(SubtitlesToTextCommandTest, ARestyledBurnDrawsTheReadTextInTheLooksColour) {
  const fs::path film = BlackFilm(), sup = dir / "film.sup";
  const std::string red = " --font-color 0x0000FF --compressor dib";
  for (const char* styled : {"", " --styled"}) {
    SCOPED_TRACE(styled[0] ? "styled" : "plain");
    const fs::path out = dir / "restyled.avi";
    const ProgramRun run = RunProgram("--source " + film.string() + " --subtitles " + sup.string() +
                                      " --output " + out.string() + " --restyle" + red + styled);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Read 2 picture sets in eng: 2 cues drawn as text"), std::string::npos)
        << run.out;
    const Inks shown = InksOf(out, 25);
    EXPECT_GT(shown.red, 200);
    EXPECT_LT(shown.white, 20);
    EXPECT_GT(shown.top, 480);
    // Gone once its set clears, and back with the next.
    EXPECT_EQ(InksOf(out, 44).red, 0);
    EXPECT_GT(InksOf(out, 60).red, 100);
  }
  const fs::path png = dir / "still.png";
  const ProgramRun still =
      RunProgram("--snapshot 1.0 --source " + film.string() + " --subtitles " + sup.string() +
                 " --output " + png.string() + " --restyle" + " --font-color 0x0000FF");
  ASSERT_EQ(still.status, 0) << still.out << still.err;
  EXPECT_GT(InksOf(png, 0).red, 200);
  const fs::path plain = dir / "pictures.avi";
  ASSERT_EQ(RunProgram("--source " + film.string() + " --subtitles " + sup.string() + " --output " +
                       plain.string() + red)
                .status,
            0);
  const Inks pictures = InksOf(plain, 25);
  EXPECT_EQ(pictures.red, 0);
  EXPECT_GT(pictures.white, 200);
}

// The stream as the film's PGS, DVB or DVD track, read in the languages
// asked and burned restyled.
TEST_F(SubtitlesToTextCommandTest, ARestyledTrackOfEachKindIsDrawnAsText) {
  const fs::path film = BlackFilm(), sup = dir / "film.sup";
  for (const std::string codec : {"copy", "dvbsub", "dvdsub"}) {
    SCOPED_TRACE(codec);
    const fs::path track = dir / ("track-" + codec + ".mkv");
    Ffmpeg("-copyts -fix_sub_duration -i " + sup.string() + " -c:s " + codec + " " +
           track.string());
    const fs::path withTrack = dir / ("film-" + codec + ".mkv");
    Ffmpeg("-i " + film.string() + " -copyts -i " + track.string() +
           " -map 0 -map 1 -c copy -metadata:s:s:0 language=fre " + withTrack.string());
    const fs::path out = dir / ("restyled-" + codec + ".avi");
    const ProgramRun run = RunProgram(
        "--source " + withTrack.string() + " --subtitle-track 1 --output " + out.string() +
        " --restyle --ocr-language eng --font-color 0x0000FF" + " --compressor dib");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Read 2 picture sets in eng: 2 cues"), std::string::npos) << run.out;
    EXPECT_GT(InksOf(out, 25).red, 200);
    EXPECT_EQ(InksOf(out, 25).white, 0);
  }
}

}  // namespace
