// Two subtitle sources at once: the second drawn at the top of the picture
// or just above the first, each on its own times and of its own kind, in
// 8-bit and deep pictures and in the still; a second file that cannot be
// read fails the job naming it.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/PgsWriter.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 320, kHeight = 180;

std::string Still(const fs::path& png) {
  std::string raw;
  RunShell("ffmpeg -v error -i " + png.string() + " -f rawvideo -pix_fmt rgb24 -", &raw);
  return raw;
}

// The rows (top row 0) and columns of the pixels brighter than the black
// film among rows top .. end - 1.
struct Box {
  int Left = kWidth, Top = kHeight, Right = -1, Bottom = -1;
  bool empty() const { return Right < 0; }
};
Box InkOf(const std::string& rgb, int top = 0, int end = kHeight) {
  Box box;
  if (rgb.size() != size_t(kWidth) * kHeight * 3) return box;
  for (int y = top; y < end; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (y * kWidth + x);
      if (std::max({p[0], p[1], p[2]}) < 80) continue;
      box.Left = std::min(box.Left, x);
      box.Right = std::max(box.Right, x);
      box.Top = std::min(box.Top, y);
      box.Bottom = std::max(box.Bottom, y);
    }
  return box;
}
Box UpperInk(const std::string& rgb) { return InkOf(rgb, 0, kHeight / 2); }
Box LowerInk(const std::string& rgb) { return InkOf(rgb, kHeight / 2, kHeight); }

const char kLook[] = " --font-color 0xFFFFFF --font-size 14 ";

class SecondSubtitlesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 10 pictures a second: 5 (0.5 s) shows the first alone, 15 both, 25
    // the second alone.
    Ffmpeg(
        "-f lavfi -i color=c=black:s=320x180:r=10:d=3.2 -f lavfi -i sine=d=3.2 -c:v mpeg4 "
        "-q:v 2 -c:a pcm_s16le " +
        source.string());
    WriteFile(first, "1\n00:00:00,200 --> 00:00:02,000\nThe first language\n");
    WriteFile(second, "1\n00:00:01,000 --> 00:00:03,000\nLa seconde langue\n");
  }
  ProgramRun Burn(const std::string& subtitles, const fs::path& output,
                  const std::string& options) {
    return RunProgram("--source " + source.string() + " --subtitles " + first.string() +
                      " --second-subtitles " + subtitles + " --output " + output.string() + kLook +
                      options);
  }
  // A white rectangle at the bottom of the 1920x1080 canvas from 1 s to 3 s.
  fs::path WriteRectangleSup(const char* name) {
    pgswriter::DisplaySet shown;
    shown.Pts90k = 90000;
    shown.Palette = {{1, 255, 255, 255, 255}};
    shown.Objects = {pgswriter::FilledRectangle(600, 900, 600, 120, 1)};
    pgswriter::DisplaySet clear;
    clear.Pts90k = 270000;
    const fs::path sup = dir / name;
    WriteFile(sup, pgswriter::WriteSup({shown, clear}));
    return sup;
  }
  TempDir dir;
  fs::path source = dir / "film.avi";
  fs::path first = dir / "first.srt";
  fs::path second = dir / "second.srt";
};

}  // namespace

TEST_F(SecondSubtitlesCommandTest, TheSecondGoesToTheTopOnItsOwnTimes) {
  for (const std::string compressor : {"dib", "H264"}) {
    const fs::path out = dir / ("top-" + compressor + (compressor == "dib" ? ".avi" : ".mkv"));
    const ProgramRun run = Burn(second.string(), out, "--compressor " + compressor);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string alone = PictureRgb(out, 5), both = PictureRgb(out, 15),
                      later = PictureRgb(out, 25);
    EXPECT_TRUE(UpperInk(alone).empty()) << compressor;
    const Box bottom = LowerInk(alone);
    ASSERT_FALSE(bottom.empty()) << compressor;
    // The first stays where it was; the second is as far from the top as
    // the first is from the bottom.
    const Box top = UpperInk(both);
    ASSERT_FALSE(top.empty()) << compressor;
    EXPECT_NEAR(LowerInk(both).Bottom, bottom.Bottom, 1) << compressor;
    EXPECT_NEAR(top.Top, kHeight - 1 - bottom.Bottom, 3) << compressor;
    EXPECT_LT(top.Bottom, kHeight / 4) << compressor;
    EXPECT_TRUE(LowerInk(later).empty()) << compressor;
    EXPECT_NEAR(UpperInk(later).Top, top.Top, 1) << compressor;
  }
}

TEST_F(SecondSubtitlesCommandTest, AboveSitsOnTheFirstAndTakesItsPlaceWithoutIt) {
  const fs::path out = dir / "above.avi";
  const ProgramRun run = Burn(second.string(), out, "--compressor dib --second-place above");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const Box firstAlone = InkOf(PictureRgb(out, 5));
  const std::string both = PictureRgb(out, 15);
  EXPECT_TRUE(UpperInk(both).empty());
  // Two lines of ink in the lower half, a gap between them.
  const Box lower = LowerInk(both);
  EXPECT_NEAR(lower.Bottom, firstAlone.Bottom, 1);
  EXPECT_LT(lower.Top, firstAlone.Top - 8);
  EXPECT_TRUE(InkOf(both, firstAlone.Top - 4, firstAlone.Top).empty());
  // Alone, the second is where the first would be.
  EXPECT_NEAR(InkOf(PictureRgb(out, 25)).Bottom, firstAlone.Bottom, 2);
}

// Disc pictures as the second source, and a deep picture that never goes
// through BGR: the PGS rectangle at the canvas' bottom lands mirrored at
// the top, its columns kept.
TEST_F(SecondSubtitlesCommandTest, PicturesAsTheSecondAndDeepOutputs) {
  const fs::path sup = WriteRectangleSup("second.sup");
  // On the 320x180 film the rectangle is at columns 100 to 199, rows 150 to
  // 169: at the top it takes rows 10 to 29.
  const fs::path avi = dir / "pictures.avi";
  ProgramRun run = Burn(sup.string(), avi, "--compressor dib");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const Box top = UpperInk(PictureRgb(avi, 15));
  EXPECT_NEAR(top.Top, 10, 1);
  EXPECT_NEAR(top.Bottom, 29, 1);
  EXPECT_NEAR(top.Left, 100, 1);
  EXPECT_NEAR(top.Right, 199, 1);
  EXPECT_FALSE(LowerInk(PictureRgb(avi, 15)).empty());

  const fs::path deep = dir / "deep.mkv";
  run = Burn(second.string(), deep, "--compressor HEVC --bit-depth 10 --styled");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(Ffprobe("-show_entries stream=pix_fmt " + deep.string()).find("yuv420p10"),
            std::string::npos);
  EXPECT_FALSE(UpperInk(PictureRgb(deep, 15)).empty());
  EXPECT_FALSE(LowerInk(PictureRgb(deep, 15)).empty());
  EXPECT_TRUE(UpperInk(PictureRgb(deep, 5)).empty());
}

TEST_F(SecondSubtitlesCommandTest, TheStillShowsBoth) {
  const fs::path png = dir / "still.png";
  const ProgramRun run =
      RunProgram("--snapshot 1.5 --source " + source.string() + " --subtitles " + first.string() +
                 " --second-subtitles " + second.string() + kLook + "--output " + png.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string still = Still(png);
  EXPECT_FALSE(UpperInk(still).empty());
  EXPECT_FALSE(LowerInk(still).empty());
}

TEST_F(SecondSubtitlesCommandTest, AMissingOrBadSecondIsRefusedByName) {
  const fs::path out = dir / "missing.avi";
  const fs::path missing = dir / "nothere.srt";
  ProgramRun run = Burn(missing.string(), out, "--compressor dib");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE((run.out + run.err).find("cannot open '" + missing.string() + "'"), std::string::npos)
      << run.out << run.err;
  EXPECT_FALSE(fs::exists(out));

  run = Burn(second.string(), out, "--compressor dib --second-place middle");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("bad second subtitles' place 'middle'"), std::string::npos) << run.err;
}

// The source's own tracks as the second: a text track and a picture track,
// read whole beside the first, which is a file or the source's other track.
TEST_F(SecondSubtitlesCommandTest, TheSourcesOwnTrackAsTheSecond) {
  const fs::path sup = WriteRectangleSup("track.sup");
  const fs::path film = dir / "tracks.mkv";
  Ffmpeg("-i " + source.string() + " -i " + first.string() + " -i " + second.string() +
         " -copyts -i " + sup.string() +
         " -map 0 -map 1 -map 2 -map 3 -c:v copy -c:a copy -c:s:0 srt -c:s:1 srt -c:s:2 copy " +
         film.string());
  const auto burn = [&](const std::string& subtitles, const std::string& name) {
    const fs::path out = dir / name;
    const ProgramRun run = RunProgram("--source " + film.string() + " " + subtitles + " --output " +
                                      out.string() + kLook + "--compressor dib");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return out;
  };
  fs::path out = burn("--subtitle-track 1 --second-subtitle-track 2", "two-tracks.avi");
  EXPECT_FALSE(UpperInk(PictureRgb(out, 15)).empty());
  EXPECT_FALSE(LowerInk(PictureRgb(out, 15)).empty());
  EXPECT_TRUE(UpperInk(PictureRgb(out, 5)).empty());
  EXPECT_TRUE(LowerInk(PictureRgb(out, 25)).empty());

  out = burn("--subtitles " + first.string() + " --second-subtitle-track 3", "file-and-pgs.avi");
  const Box top = UpperInk(PictureRgb(out, 15));
  EXPECT_NEAR(top.Top, 10, 1);
  EXPECT_NEAR(top.Left, 100, 1);

  const ProgramRun missing =
      RunProgram("--source " + film.string() + " --subtitles " + first.string() +
                 " --second-subtitle-track 9 --output " + (dir / "none.avi").string());
  EXPECT_NE(missing.status, 0);
}

// A crop reaches the second's disc pictures too: they keep the frame's
// scale (20 rows high) and, cut off below, come back inside whole.
TEST_F(SecondSubtitlesCommandTest, TheSecondsPicturesFollowACrop) {
  const fs::path sup = WriteRectangleSup("cropped.sup");
  const fs::path out = dir / "cropped.avi";
  const ProgramRun run = Burn(sup.string(), out, "--compressor dib --crop 320:140:0:0");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::string rgb = PictureRgb(out, 15);
  ASSERT_EQ(rgb.size(), size_t(kWidth) * 140 * 3);
  rgb.resize(size_t(kWidth) * kHeight * 3, '\0');  // the rows below the picture stay black
  const Box top = InkOf(rgb, 0, 70);
  EXPECT_NEAR(top.Bottom - top.Top + 1, 20, 1);
  EXPECT_NEAR(top.Left, 100, 1);
}

// --smart encodes the pictures either subtitle touches and copies the rest:
// a second shown where the first is not is still drawn.
TEST_F(SecondSubtitlesCommandTest, SmartCopyingLeavesAloneOnlyWhatNeitherTouches) {
  const fs::path film = dir / "h264.mkv";
  Ffmpeg(
      "-f lavfi -i color=c=black:s=320x180:r=10:d=6 -f lavfi -i sine=d=6 -c:v libx264 "
      "-g 10 -pix_fmt yuv420p -c:a aac " +
      film.string());
  const fs::path early = dir / "early.srt", late = dir / "late.srt";
  WriteFile(early, "1\n00:00:00,500 --> 00:00:01,000\nEarly\n");
  WriteFile(late, "1\n00:00:04,000 --> 00:00:04,500\nLate\n");
  const fs::path out = dir / "smart.mkv";
  const ProgramRun run = RunProgram("--source " + film.string() + " --subtitles " + early.string() +
                                    " --second-subtitles " + late.string() + " --output " +
                                    out.string() + kLook + "--compressor H264 --smart");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const size_t counts = run.out.find(" pictures copied and");
  ASSERT_NE(counts, std::string::npos) << run.out;
  EXPECT_GT(std::stoi(run.out.substr(run.out.rfind('\n', counts) + 1)), 0) << run.out;
  EXPECT_FALSE(LowerInk(PictureRgb(out, 7)).empty());
  EXPECT_FALSE(UpperInk(PictureRgb(out, 42)).empty());
  EXPECT_TRUE(InkOf(PictureRgb(out, 25)).empty());
}

// The first is placed as it would be alone (into the bar, raised, at the
// top), and the second keeps its own place: at the top, or just under a
// first that went there.
TEST_F(SecondSubtitlesCommandTest, TheFirstIsPlacedAndTheSecondKeepsItsPlace) {
  const fs::path bars = dir / "bars.mp4";
  // A dark grey picture between bars of 40 rows; both subtitles show at
  // 1.5 s.
  Ffmpeg(
      "-f lavfi -i color=c=0x303030:s=320x100:r=10:d=3.2 -vf pad=320:180:0:40:black -c:v mpeg4 "
      "-q:v 2 " +
      bars.string());
  const auto frame = [&](const std::string& options) {
    const fs::path out = dir / "placed.avi";
    const ProgramRun run = RunProgram(
        "--source " + bars.string() + " --subtitles " + first.string() + " --second-subtitles " +
        second.string() + " --output " + out.string() + kLook + " --compressor DIB " + options);
    EXPECT_EQ(run.status, 0) << options << run.out << run.err;
    return PictureRgb(out, 15);
  };
  const std::string inBar = frame("--subtitle-place bars --margin 40");
  // The first in the bar whatever its margin; the second as far from the
  // top as the margin puts it from the bottom.
  EXPECT_GE(LowerInk(inBar).Top, 140);
  EXPECT_GE(UpperInk(inBar).Top, 36);
  EXPECT_LE(UpperInk(inBar).Top, 44);
  const std::string raised = frame("--subtitle-raise 20");
  EXPECT_LE(LowerInk(raised).Bottom, kHeight - 36);
  EXPECT_LE(UpperInk(raised).Top, 8);
  const std::string top = frame("--subtitle-place top");
  const Box both = InkOf(top, 0, kHeight);
  ASSERT_FALSE(both.empty());
  EXPECT_LE(both.Bottom, kHeight / 2);
  // Two lines one under the other: a blank row between them.
  int blank = 0;
  for (int y = both.Top; y <= both.Bottom; ++y) blank += InkOf(top, y, y + 1).empty();
  EXPECT_GE(blank, 2);
}
