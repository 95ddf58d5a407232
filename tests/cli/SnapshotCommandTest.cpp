// tolvane --snapshot: the PNG against the job's own output for the same time.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

ProgramRun Tolvane(const std::string& arguments) { return RunProgram(arguments); }

// One picture of a file, decoded by ffmpeg into 24-bit pixels.
std::string Picture(const fs::path& file, int number = 0) {
  std::string raw;
  RunShell("ffmpeg -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(number) + ")\" -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
           &raw);
  return raw;
}

class SnapshotCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ffmpeg(
        "-f lavfi -i testsrc2=s=192x108:r=25:d=4 -f lavfi -i sine=d=4 -c:v libx264 -bf 2 "
        "-g 25 -c:a aac " +
        source.string());
    WriteFile(subtitles, "{50}{70}Upper line|and the lower one\r\n{90}{99}Late\r\n");
  }
  TempDir dir;
  fs::path source = dir / "film.mp4";
  fs::path subtitles = dir / "subs.sub";
  const std::string look =
      " --font-size 16 --font-color 0xFFFFFF --outline 2 --outline-color 0x0000FF --shadow 1"
      " --box-opacity 40 --antialias --margin 4 --delay-frames 5";
};

}  // namespace

TEST_F(SnapshotCommandTest, PngIsTheJobsPictureOfThatTime) {
  const fs::path avi = dir / "out.avi";
  ASSERT_EQ(Tolvane("--source " + source.string() + " --subtitles " + subtitles.string() +
                    " --output " + avi.string() + " --compressor dib" + look)
                .status,
            0);
  // Picture 60 lies in the first entry (55 to 75 with the delay), 80 in none.
  for (const auto& [seconds, number] : {std::pair{"2.4", 60}, std::pair{"0:03.2", 80}}) {
    const fs::path png = dir / ("still" + std::to_string(number) + ".png");
    const ProgramRun run =
        Tolvane("--snapshot " + std::string(seconds) + " --source " + source.string() +
                " --subtitles " + subtitles.string() + " --output " + png.string() + look);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Ffprobe("-show_entries stream=width,height -of csv=p=0 " + png.string()),
              "192,108\n");
    const std::string still = Picture(png);
    ASSERT_EQ(still.size(), 192u * 108 * 3);
    EXPECT_EQ(still, Picture(avi, number)) << seconds << " s";
    EXPECT_EQ(still != Picture(source, number), number == 60) << seconds << " s";
  }
}

TEST_F(SnapshotCommandTest, FailuresExitWithTheirTexts) {
  const std::string files =
      " --source " + source.string() + " --subtitles " + subtitles.string() + " --output ";
  const std::string png = (dir / "x.png").string();
  const std::string before = ReadFile(source);
  const struct {
    std::string arguments;
    int status;
    std::string errors;
  } cases[] = {
      {"--snapshot -1" + files + png, 2, "tolvane: bad time '-1' (seconds, or h:mm:ss)\n"},
      {"--snapshot 1 --source " + source.string() + " --subtitles " + subtitles.string(), 2,
       "tolvane: no output file given (--output)\n"},
      {"--snapshot 1 --outline 9" + files + png, 2, "tolvane: bad outline '9'\n"},
      {"--snapshot 9" + files + png, 1, "[VelAvCodec::SeekPicture] No picture at that time...\n"},
      {"--snapshot 1" + files + (dir / "." / "film.mp4").string(), 1,
       "[StillPicture::WritePng] The picture would overwrite the source video or the subtitle "
       "file...\n"},
      {"--snapshot 1" + files + (dir / "no" / "x.png").string(), 1,
       "[StillPicture::WritePng] Can't write the picture file...\n"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Tolvane(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    // Qt may add notes of its own before.
    EXPECT_NE(run.err.find(c.errors), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFile(source), before);
  EXPECT_FALSE(fs::exists(png));
}

// A still has no sound: a film whose sound an AVI file could not hold (Opus)
// gives the same still as the same film with AAC.
TEST_F(SnapshotCommandTest, SoundAviCannotHoldDoesNotStopAStill) {
  const fs::path opus = dir / "opus.mkv";
  Ffmpeg("-i " + source.string() + " -c:v copy -c:a libopus -b:a 48k " + opus.string());
  const fs::path withAac = dir / "aac.png", withOpus = dir / "opus.png";
  for (const auto& [film, png] : {std::pair{source, withAac}, std::pair{opus, withOpus}}) {
    const ProgramRun run = Tolvane("--snapshot 2.4 --source " + film.string() + " --subtitles " +
                                   subtitles.string() + " --output " + png.string() + look);
    ASSERT_EQ(run.status, 0) << film << ": " << run.err;
  }
  EXPECT_EQ(Picture(withOpus), Picture(withAac));
}
