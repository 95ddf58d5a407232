// Disc subtitle pictures burned by the program: a .sup file, and PGS, DVD
// and DVB tracks of the source, with the ink where the stream puts it on a
// canvas six times the picture's size, gone between sets, forced only when
// asked, and damaged sets drawn as far as they go; re-timed to the speech,
// and a track restyled re-timed as text.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>

#include "align/SpeechMedia.h"
#include "media/VelAvCodec.h"
#include "support/DiscLetters.h"
#include "support/PgsWriter.h"
#include "support/TestSupport.h"
#include "support/VobSubWriter.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 320, kHeight = 180;

// The box of the pixels brighter than the black film, top row 0.
struct Box {
  int Left = kWidth, Top = kHeight, Right = -1, Bottom = -1;
  bool empty() const { return Right < 0; }
};
Box InkOf(const std::string& rgb) {
  Box box;
  if (rgb.size() != size_t(kWidth) * kHeight * 3) return box;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (y * kWidth + x);
      if (std::max({p[0], p[1], p[2]}) < 60) continue;
      box.Left = std::min(box.Left, x);
      box.Right = std::max(box.Right, x);
      box.Top = std::min(box.Top, y);
      box.Bottom = std::max(box.Bottom, y);
    }
  return box;
}

void ExpectBox(const Box& box, int left, int top, int right, int bottom, int slack,
               const std::string& what) {
  EXPECT_NEAR(box.Left, left, slack) << what;
  EXPECT_NEAR(box.Top, top, slack) << what;
  EXPECT_NEAR(box.Right, right, slack) << what;
  EXPECT_NEAR(box.Bottom, bottom, slack) << what;
}

// On the 1920x1080 canvas: a white line of text at (600, 900) and a forced
// green one at (1200, 120); over the 320x180 film they land six times
// smaller. Shown at 1 s, cleared at 2 s, a second white one from 3 s to
// 3.9 s (without a set after it, ffmpeg's conversions leave it out).
std::vector<pgswriter::DisplaySet> Sets(pgswriter::Damage firstDamage = pgswriter::Damage::None) {
  const std::vector<pgswriter::PaletteEntry> palette = {{1, 255, 255, 255, 255},
                                                        {2, 0, 255, 0, 255}};
  pgswriter::DisplaySet first;
  first.Pts90k = 90000;
  first.Palette = palette;
  first.Objects = {pgswriter::FilledRectangle(600, 900, 600, 120, 1),
                   pgswriter::FilledRectangle(1200, 120, 300, 60, 2, true)};
  first.Fault = firstDamage;
  pgswriter::DisplaySet clear;
  clear.Pts90k = 180000;
  pgswriter::DisplaySet second;
  second.Pts90k = 270000;
  second.Palette = palette;
  second.Objects = {pgswriter::FilledRectangle(300, 300, 300, 120, 1)};
  pgswriter::DisplaySet last = clear;
  last.Pts90k = 351000;
  return {first, clear, second, last};
}

class PictureSubtitlesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ffmpeg(
        "-f lavfi -i color=c=black:s=320x180:r=25:d=4 -f lavfi -i sine=d=4 -c:v mpeg4 -q:v 2 "
        "-c:a pcm_s16le " +
        source.string());
    WriteFile(sup, pgswriter::WriteSup(Sets()));
  }
  // Burns the film and returns the job's run.
  static ProgramRun Burn(const fs::path& film, const std::string& subtitles, const fs::path& output,
                         const std::string& options) {
    return RunProgram("--source " + film.string() + " " + subtitles + " --output " +
                      output.string() + " " + options);
  }
  ProgramRun Burn(const std::string& subtitles, const fs::path& output,
                  const std::string& options = "") {
    return Burn(source, subtitles, output, options);
  }
  // A Matroska copy of the source with the PGS stream turned into `codec`.
  fs::path WithTrack(const std::string& codec, const std::string& streamOptions = "") {
    const fs::path track = dir / ("track-" + codec + ".mkv");
    const fs::path film = dir / ("film-" + codec + ".mkv");
    Ffmpeg("-copyts -fix_sub_duration -i " + sup.string() + " -c:s " + codec + " " +
           track.string());
    Ffmpeg("-i " + source.string() + " -copyts -i " + track.string() + " -map 0 -map 1 -c copy " +
           streamOptions + " " + film.string());
    return film;
  }
  TempDir dir;
  fs::path source = dir / "film.avi";
  fs::path sup = dir / "subs.sup";
};

}  // namespace

TEST_F(PictureSubtitlesCommandTest, SupFileBurnsStretchedToThePictureAndClearsBetweenSets) {
  for (const char* compressor : {"dib", "xvid"}) {
    const fs::path out = dir / (std::string(compressor) + ".avi");
    const ProgramRun run =
        Burn("--subtitles " + sup.string(), out, std::string("--compressor ") + compressor);
    ASSERT_EQ(run.status, 0) << run.err;
    // Picture 37 (1.48 s): both; 62 (2.48 s): none; 87 (3.48 s): the second.
    ExpectBox(InkOf(PictureRgb(out, 37)), 100, 20, 249, 169, 2, compressor);
    EXPECT_TRUE(InkOf(PictureRgb(out, 20)).empty()) << compressor;
    EXPECT_TRUE(InkOf(PictureRgb(out, 62)).empty()) << compressor;
    ExpectBox(InkOf(PictureRgb(out, 87)), 50, 50, 99, 69, 2, compressor);
    const std::string rgb = PictureRgb(out, 37);
    const auto* white = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (160 * kWidth + 150);
    const auto* green = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (25 * kWidth + 225);
    EXPECT_GT(std::min({white[0], white[1], white[2]}), 225) << compressor;
    EXPECT_GT(green[1], 225) << compressor;
    EXPECT_LT(std::max(green[0], green[2]), 30) << compressor;
  }
}

TEST_F(PictureSubtitlesCommandTest, ForcedOnlyDrawsTheForcedPicturesAlone) {
  const fs::path out = dir / "forced.avi";
  const ProgramRun run = Burn("--subtitles " + sup.string(), out, "--compressor dib --forced-only");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectBox(InkOf(PictureRgb(out, 37)), 200, 20, 249, 29, 1, "forced");
  EXPECT_TRUE(InkOf(PictureRgb(out, 87)).empty());

  // A track marked forced is forced whole.
  const fs::path film = WithTrack("copy", "-disposition:s:0 forced -metadata:s:s:0 language=ger");
  VELAVCODEC::VelAvCodec::LibraryNames names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
  VELAVCODEC::VelAvCodec decoder(names.AvCodec, names.AvFormat, names.AvUtil, names.SwScale);
  ASSERT_TRUE(decoder.PreOpen(film.string()));
  EXPECT_EQ(decoder.SubtitleTrackName(0), "ger, PGS, forced");
  decoder.Close();
  const fs::path whole = dir / "forced-track.avi";
  ASSERT_EQ(Burn(film, "--subtitle-track 1", whole, "--compressor dib --forced-only").status, 0);
  ExpectBox(InkOf(PictureRgb(whole, 37)), 100, 20, 249, 169, 2, "forced track");
}

// The same stream as a PGS, DVD and DVB track: each burns where the file
// does (the DVD encoder maps colours onto its own palette; the place stays).
TEST_F(PictureSubtitlesCommandTest, TracksOfEveryKindBurnWhereTheStreamPutsThem) {
  for (const char* codec : {"copy", "dvdsub", "dvbsub"}) {
    const fs::path film = WithTrack(codec);
    const fs::path out = dir / (std::string(codec) + ".avi");
    const ProgramRun run = Burn(film, "--subtitle-track 1", out, "--compressor xvid");
    ASSERT_EQ(run.status, 0) << codec << run.err;
    ExpectBox(InkOf(PictureRgb(out, 37)), 100, 20, 249, 169, 3, codec);
    EXPECT_TRUE(InkOf(PictureRgb(out, 62)).empty()) << codec;
    ExpectBox(InkOf(PictureRgb(out, 87)), 50, 50, 99, 69, 3, codec);
  }
}

// A DVD's 720x576 canvas over the 320x180 film, with its own end times.
TEST_F(PictureSubtitlesCommandTest, VobSubFileBurnsUntilItsEndTimes) {
  std::array<vobsubwriter::Colour, 16> palette{};
  palette[1] = {255, 255, 255};
  const vobsubwriter::Pair pair = vobsubwriter::WriteVobSub(
      {vobsubwriter::FilledRectangle(120, 432, 240, 48, 1, 1000, 1900),
       vobsubwriter::FilledRectangle(360, 72, 180, 48, 1, 2200, 3000, true)},
      720, 576, palette);
  const fs::path idx = dir / "dvd.idx";
  WriteFile(idx, pair.Idx);
  WriteFile(dir / "dvd.sub", pair.Sub);
  const fs::path out = dir / "dvd.avi";
  ProgramRun run = Burn("--subtitles " + idx.string(), out, "--compressor dib");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectBox(InkOf(PictureRgb(out, 37)), 53, 135, 159, 149, 3, "first");
  EXPECT_TRUE(InkOf(PictureRgb(out, 49)).empty());  // 1.96 s: past its end
  ExpectBox(InkOf(PictureRgb(out, 62)), 160, 22, 239, 37, 3, "forced");
  EXPECT_TRUE(InkOf(PictureRgb(out, 80)).empty());

  run = Burn("--subtitles " + idx.string(), out, "--compressor dib --forced-only");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(InkOf(PictureRgb(out, 37)).empty());
  ExpectBox(InkOf(PictureRgb(out, 62)), 160, 22, 239, 37, 3, "forced only");
}

// A set as discs have them, on the film's own canvas: two objects, palette
// entries half transparent and entries never defined. It must look as
// ffmpeg's overlay shows it, over a grey film so that only the subtitle's
// colours count.
TEST_F(PictureSubtitlesCommandTest, ASetLooksAsFfmpegsOverlayShowsIt) {
  const fs::path grey = dir / "grey.avi";
  Ffmpeg("-f lavfi -i color=c=0x707070:s=320x180:r=25:d=3 -c:v mpeg4 -q:v 1 " + grey.string());
  pgswriter::DisplaySet set;
  set.Pts90k = 45000;
  set.CanvasWidth = kWidth;
  set.CanvasHeight = kHeight;
  set.Palette = {{1, 250, 250, 250, 255}, {2, 20, 20, 20, 128}, {3, 230, 200, 40, 200}};
  pgswriter::Object text = pgswriter::FilledRectangle(40, 120, 200, 30, 2);
  for (int y = 5; y < 25; ++y)
    for (int x = 10; x < 190; ++x) text.Indexes[size_t(y) * 200 + x] = (x / 7) % 3 ? 1 : 7;
  pgswriter::Object sign = pgswriter::FilledRectangle(200, 20, 80, 40, 3);
  for (int x = 0; x < 80; x += 4) sign.Indexes[size_t(20) * 80 + x] = 9;  // never defined
  set.Objects = {text, sign};
  pgswriter::DisplaySet clear;
  clear.Pts90k = 225000;
  WriteFile(sup, pgswriter::WriteSup({set, clear}));

  const fs::path ours = dir / "ours.avi";
  const ProgramRun run = Burn(grey, "--subtitles " + sup.string(), ours, "--compressor dib");
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path theirs = dir / "theirs.avi";
  Ffmpeg("-i " + grey.string() + " -copyts -i " + sup.string() +
         " -filter_complex \"[0:v]format=gbrp[b];[b][1:s]overlay=format=rgb\" -frames:v 75 -c:v "
         "rawvideo "
         "-pix_fmt bgr24 " +
         theirs.string());
  const std::string a = PictureRgb(ours, 40), b = PictureRgb(theirs, 40);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), size_t(kWidth) * kHeight * 3);
  int worst = 0;
  for (size_t k = 0; k < a.size(); ++k)
    worst = std::max(worst, std::abs(uint8_t(a[k]) - uint8_t(b[k])));
  EXPECT_LE(worst, 3);
  EXPECT_NE(a, PictureRgb(grey, 40));
}

TEST_F(PictureSubtitlesCommandTest, DamagedSetsAreDrawnAsFarAsTheyGo) {
  for (const auto damage : {pgswriter::Damage::TruncatedObject, pgswriter::Damage::NoEnd}) {
    WriteFile(sup, pgswriter::WriteSup(Sets(damage)));
    const fs::path out = dir / "damaged.avi";
    const ProgramRun run = Burn("--subtitles " + sup.string(), out, "--compressor dib");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(InkOf(PictureRgb(out, 62)).empty());
    ExpectBox(InkOf(PictureRgb(out, 87)), 50, 50, 99, 69, 2, "after the damaged set");
  }
  WriteFile(sup, "PG not a stream at all");
  const ProgramRun refused = Burn("--subtitles " + sup.string(), dir / "none.avi");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("PictureSubtitles"), std::string::npos) << refused.err;
}

TEST_F(PictureSubtitlesCommandTest, SnapshotIsTheJobsPicture) {
  const fs::path out = dir / "job.avi";
  ASSERT_EQ(Burn("--subtitles " + sup.string(), out, "--compressor dib").status, 0);
  const fs::path png = dir / "still.png";
  const ProgramRun run = RunProgram("--snapshot 1.48 --source " + source.string() +
                                    " --subtitles " + sup.string() + " --output " + png.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(PictureRgb(png, 0), PictureRgb(out, 37));
}

// A .sup timed 2 s late for a spoken film: --align moves each set onto its
// line, which the set's place on the picture tells apart from its
// neighbours.
TEST(PictureSubtitlesAlignTest, AlignMovesEachSetOntoItsLine) {
  TempDir dir;
  const speechmedia::Film film =
      speechmedia::MakeFilm(dir.path(), "talk", {.Seed = 5, .Seconds = 120.0});
  ASSERT_GE(film.Cues.size(), 10u);
  std::vector<pgswriter::DisplaySet> sets;
  for (size_t k = 0; k < film.Cues.size(); ++k) {
    pgswriter::DisplaySet set;
    set.Pts90k = int64_t((film.Cues[k].Start + 2.0) * 90000);
    set.CanvasWidth = 640;
    set.CanvasHeight = 480;
    set.Palette = {{1, 255, 255, 255, 255}};
    set.Objects = {pgswriter::FilledRectangle(uint16_t(k % 15 * 40), 200, 40, 40, 1)};
    sets.push_back(set);
    sets.push_back(pgswriter::ClearingSet(set, int64_t((film.Cues[k].End + 2.0) * 90000)));
  }
  const fs::path sup = dir / "late.sup";
  WriteFile(sup, pgswriter::WriteSup(sets));
  const fs::path out = dir / "aligned.avi";
  const ProgramRun run =
      RunProgram("--source " + film.File.string() + " --subtitles " + sup.string() + " --output " +
                 out.string() + " --compressor dib --align");
  ASSERT_EQ(run.status, 0) << run.err;
  const size_t offset = run.out.find("Offset: ");
  ASSERT_NE(offset, std::string::npos) << run.out;
  EXPECT_NEAR(std::stod(run.out.substr(offset + 8)), -2.0, 0.05) << run.out;
  std::string raw;
  RunShell("ffmpeg -v error -i " + out.string() + " -f rawvideo -pix_fmt gray -", &raw);
  const size_t picture = 64 * 48;
  int right = 0, checked = 0;
  for (size_t k = 0; k < film.Cues.size(); ++k) {
    const size_t frame = size_t((film.Cues[k].Start + 0.3) * 25);
    if ((frame + 1) * picture > raw.size()) break;
    int left = -1;
    for (int x = 0; x < 64 && left < 0; ++x)
      if (uint8_t(raw[frame * picture + 22 * 64 + x]) > 128) left = x;
    ++checked;
    if (std::abs(left - int(k % 15 * 4)) <= 1) ++right;
  }
  EXPECT_GE(checked, 10);
  EXPECT_GE(right, checked * 9 / 10) << right << " of " << checked;
}

// The same sets as a track of the film, with their lines drawn as letters:
// a track is burned as it is timed, but restyled it is text, which --align
// re-times.
TEST(PictureSubtitlesAlignTest, ARestyledTrackIsAlignedAsText) {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  TempDir dir;
  const speechmedia::Film film =
      speechmedia::MakeFilm(dir.path(), "talk", {.Seed = 5, .Seconds = 120.0});
  ASSERT_GE(film.Cues.size(), 10u);
  std::vector<pgswriter::DisplaySet> sets;
  discletters::Style style;
  style.PixelSize = 26;
  style.Outline = 2.0;
  for (const speechmedia::Cue& cue : film.Cues) {
    pgswriter::DisplaySet set;
    set.Pts90k = int64_t((cue.Start + 2.0) * 90000);
    set.CanvasWidth = 640;
    set.CanvasHeight = 480;
    set.Palette = {{1, 255, 255, 255, 255}, {2, 0, 0, 0, 255}, {3, 128, 128, 128, 255}};
    const discletters::Picture line = discletters::Draw({cue.Text}, 620, style);
    set.Objects = {{10, 400, uint16_t(line.Width), uint16_t(line.Height), line.Indexes}};
    sets.push_back(set);
    sets.push_back(pgswriter::ClearingSet(set, int64_t((cue.End + 2.0) * 90000)));
  }
  const fs::path sup = dir / "late.sup", withTrack = dir / "tracked.mkv";
  WriteFile(sup, pgswriter::WriteSup(sets));
  Ffmpeg("-i " + film.File.string() + " -copyts -i " + sup.string() + " -map 0 -map 1 -c copy " +
         withTrack.string());
  const std::string burn = "--source " + withTrack.string() + " --subtitle-track 1 --output " +
                           (dir / "aligned.avi").string() + " --compressor dib --align";
  ProgramRun run = RunProgram(burn);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("burned as it is timed, not aligned"), std::string::npos) << run.out;
  run = RunProgram(burn + " --restyle");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("burned as it is timed"), std::string::npos) << run.out;
  const size_t offset = run.out.find("Offset: ");
  ASSERT_NE(offset, std::string::npos) << run.out;
  EXPECT_NEAR(std::stod(run.out.substr(offset + 8)), -2.0, 0.05) << run.out;
}

// A palette of the user's in place of the stream's: the white entry drawn red.
TEST_F(PictureSubtitlesCommandTest, VobSubPaletteReplacesTheStreamsOwn) {
  std::array<vobsubwriter::Colour, 16> palette{};
  palette[1] = {255, 255, 255};
  const vobsubwriter::Pair pair = vobsubwriter::WriteVobSub(
      {vobsubwriter::FilledRectangle(120, 432, 240, 48, 1, 1000, 1900)}, 720, 576, palette);
  const fs::path idx = dir / "palette.idx";
  WriteFile(idx, pair.Idx);
  WriteFile(dir / "palette.sub", pair.Sub);
  const fs::path out = dir / "palette.avi";
  const std::string colours =
      "000000,FF0000,000000,000000,000000,000000,000000,000000,000000,000000,000000,000000,"
      "000000,000000,000000,000000";
  ProgramRun run =
      Burn("--subtitles " + idx.string(), out, "--compressor dib --vobsub-palette " + colours);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string rgb = PictureRgb(out, 37);
  ASSERT_EQ(rgb.size(), size_t(kWidth) * kHeight * 3);
  const auto* inside = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (142 * kWidth + 100);
  EXPECT_GT(inside[0], 200);
  EXPECT_LT(std::max(inside[1], inside[2]), 40);

  run = Burn("--subtitles " + idx.string(), out, "--compressor dib --vobsub-palette 00FF00");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad VobSub palette: it names 1 colours, not 16"), std::string::npos)
      << run.err;
}

// Sets that come to nothing are named once; a stream that draws is not.
TEST_F(PictureSubtitlesCommandTest, AStreamThatDrawsNothingIsNamedOnce) {
  pgswriter::DisplaySet unseen;
  unseen.Pts90k = 90000;
  unseen.Palette = {{1, 255, 255, 255, 0}};  // wholly transparent
  unseen.Objects = {pgswriter::FilledRectangle(600, 900, 600, 120, 1)};
  pgswriter::DisplaySet clear;
  clear.Pts90k = 180000;
  const fs::path invisible = dir / "invisible.sup";
  WriteFile(invisible, pgswriter::WriteSup({unseen, clear}));
  const std::string note = "The subtitle pictures drew nothing";
  ProgramRun run =
      Burn("--subtitles " + invisible.string(), dir / "invisible.avi", "--compressor dib");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::size_t at = run.out.find(note);
  EXPECT_NE(at, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(note, at + 1), std::string::npos);
  run = Burn("--subtitles " + sup.string(), dir / "visible.avi", "--compressor dib");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find(note), std::string::npos);
}
