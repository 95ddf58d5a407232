// --subtitles-to-text: a PGS stream drawn with known lines, in a .sup file
// and as a film's track, written back as SubRip with its times.
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

class SubtitlesToTextCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
    std::vector<pgswriter::DisplaySet> sets;
    const auto show = [&](double from, double to, const std::string& text, bool forced) {
      pgswriter::DisplaySet set;
      set.Pts90k = std::llround(from * 90000);
      set.CanvasWidth = 1280;
      set.CanvasHeight = 720;
      set.Palette = {{1, 255, 255, 255, 255}, {2, 0, 0, 0, 255}};
      set.Objects = {Line(text, forced)};
      sets.push_back(set);
      sets.push_back(pgswriter::ClearingSet(set, std::llround(to * 90000)));
    };
    show(0.5, 1.5, "Where are you going?", false);
    show(2.0, 3.25, "NO ENTRY", true);
    WriteFile(dir / "film.sup", pgswriter::WriteSup(sets));
  }
  TempDir dir;
};

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

}  // namespace
