// Nothing is lost and no failure passes for success: outputs that name an
// input, jobs killed or stopped by signals, full disks and damaged sources.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <random>

#include "support/BackgroundRun.h"
#include "support/SyncProbe.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Long enough that a job signalled once its file has grown is still running
// on a loaded machine: 500 pictures take a fraction of a second.
constexpr int kLongSeconds = 60;

// Whether the AVI file's first megabyte holds a whole picture: cheap enough
// to ask after every write of a job that writes hundreds of megabytes a
// second.
bool HoldsAWholePicture(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string start(size_t(1) << 20, '\0');
  in.read(start.data(), std::streamsize(start.size()));
  start.resize(size_t(in.gcount()));
  return WholeAviChunksIn(start, 0) > 0;
}

class SafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "subs.srt", "1\r\n00:00:00,100 --> 00:00:09,000\r\nHello\r\n\r\n");
  }
  // A source of 320x240 pictures with sound.
  fs::path MakeSource(const std::string& name, int seconds) {
    const fs::path source = dir / name;
    Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=" + std::to_string(seconds) +
           " -f lavfi -i sine=duration=" + std::to_string(seconds) +
           " -c:v mpeg4 -q:v 5 -c:a aac " + source.string());
    return source;
  }
  ProgramRun Job(const fs::path& source, const std::string& output, const std::string& more = "") {
    return RunProgram("--source " + source.string() + " --subtitles " +
                      (dir / "subs.srt").string() + " --output " + output + " " + more);
  }

  TempDir dir;
};

TEST_F(SafetyTest, AnOutputThatNamesAnInputIsRefusedUnderAnySpelling) {
  const fs::path source = MakeSource("film.mp4", 1);
  const std::string original = ReadFile(source), subtitles = ReadFile(dir / "subs.srt");
  fs::create_directory(dir / "x");
  fs::create_hard_link(source, dir / "hard.mp4");
  fs::create_symlink(source, dir / "soft.avi");
  const std::string spellings[] = {source.string(), (dir / "x" / ".." / "film.mp4").string(),
                                   (dir / "hard.mp4").string(), (dir / "soft.avi").string()};
  for (const std::string& output : spellings) {
    const ProgramRun run = Job(source, output);
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_NE(run.err.find("[SubtitleJob::Start] The destination video file is the source video "
                           "file..."),
              std::string::npos)
        << output << run.err;
    EXPECT_NE(run.out.find("[BEGIN ERROR]"), std::string::npos);
  }
  const ProgramRun run = Job(source, (dir / "subs.srt").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("is the subtitle file..."), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(source), original);
  EXPECT_EQ(ReadFile(dir / "subs.srt"), subtitles);
}

TEST_F(SafetyTest, AKilledJobLeavesVideoThatDecodesToItsLastWholeChunk) {
  const fs::path source = MakeSource("long.mp4", kLongSeconds);
  for (const char* compressor : {"DIB", "XVID", "H264", "MJPG", "FFV1", "HFYU", "ULRG"}) {
    for (uintmax_t size : {60000u, 400000u}) {
      const fs::path output = dir / (std::string(compressor) + ".avi");
      fs::remove(output);
      BackgroundRun run({"--source", source.string(), "--transcode", "--compressor", compressor,
                         "--output", output.string()});
      // Past the size with a whole picture in it, so that there is something
      // to decode: one DIB picture is larger than the smaller size, and how
      // soon the kill follows the size is the machine's affair.
      ASSERT_TRUE(run.WaitForSize(output, size, [&] { return HoldsAWholePicture(output); }))
          << compressor;
      run.Signal(SIGKILL);
      EXPECT_EQ(run.Wait(), 128 + SIGKILL) << compressor << " " << size;
      const int chunks = WholeAviChunks(output.string(), 0);
      EXPECT_GT(chunks, 0) << compressor << " " << size;
      EXPECT_GE(DecodedPictures(output), chunks) << compressor << " " << size;
      // Cut at any byte: still every whole chunk.
      const std::string bytes = ReadFile(output);
      for (size_t cut : {bytes.size() * 3 / 4 + 1, bytes.size() / 2 + 7}) {
        const fs::path shorter = dir / "cut.avi";
        WriteFile(shorter, bytes.substr(0, cut));
        EXPECT_GE(DecodedPictures(shorter), WholeAviChunks(shorter.string(), 0))
            << compressor << " cut at " << cut;
      }
    }
  }
}

TEST_F(SafetyTest, TerminationAndHangUpStopTheJobWithACompleteFile) {
  const fs::path source = MakeSource("long.mp4", kLongSeconds);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    const fs::path output = dir / "stopped.avi";
    fs::remove(output);
    BackgroundRun run({"--source", source.string(), "--transcode", "--output", output.string()});
    ASSERT_TRUE(run.WaitForSize(output, 200000)) << signal;
    run.Signal(signal);
    EXPECT_EQ(run.Wait(), 1) << signal;
    const std::string bytes = ReadFile(output);
    EXPECT_NE(bytes.find("idx1"), std::string::npos) << signal;
    std::string errors;
    EXPECT_EQ(RunShell("ffmpeg -v error -i " + output.string() + " -f null -", &errors), 0);
    EXPECT_EQ(errors, "") << signal;
    EXPECT_GT(DecodedPictures(output), 0);
  }
}

TEST_F(SafetyTest, ASourceWhoseVideoGivesNoPictureFails) {
  // Every video packet dropped: the stream is there, its pictures are not.
  for (const char* container : {"mkv", "avi"}) {
    const fs::path source = dir / (std::string("no-pictures.") + container);
    Ffmpeg(
        "-f lavfi -i testsrc2=size=96x64:rate=25:duration=2 -f lavfi -i sine=duration=2 "
        "-c:v mpeg4 -c:a aac -bsf:v noise=drop=1 " +
        source.string());
    const ProgramRun run = Job(source, (dir / "out.avi").string());
    EXPECT_EQ(run.status, 1) << container;
    EXPECT_NE(run.err.find("[SubtitleJob::Start] No picture could be read from the source video"),
              std::string::npos)
        << container << run.err;
  }
}

TEST_F(SafetyTest, AFullDiskSaysWhyOnStandardError) {
  const fs::path source = MakeSource("film.mp4", 1);
  const ProgramRun run = Job(source, "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tolvane: Can't write"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
}

// Damaged sources, made from a seed: each job fails, or succeeds with a file
// that opens and has pictures.
TEST_F(SafetyTest, DamagedSourcesFailOrGiveAFileWithPictures) {
  std::vector<fs::path> sources = {MakeSource("clean.mp4", 2), MakeSource("clean.mkv", 2),
                                   MakeSource("clean.ts", 2)};
  std::mt19937 random(20261208);
  int failed = 0, succeeded = 0;
  for (int round = 0; round < 8; ++round) {
    for (const fs::path& clean : sources) {
      std::string bytes = ReadFile(clean);
      const size_t at = random() % bytes.size();
      switch (round % 4) {
        case 0:  // truncated
          bytes.resize(at);
          break;
        case 1:  // bytes changed
          for (int i = 0; i < 40; ++i) bytes[random() % bytes.size()] = char(random());
          break;
        case 2:  // a range zeroed
          std::fill(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + 4096), 0);
          break;
        default:  // the header damaged
          for (size_t i = 0; i < std::min<size_t>(bytes.size(), 512); i += 1 + random() % 16)
            bytes[i] = char(random());
      }
      const fs::path damaged = dir / ("damaged" + clean.extension().string());
      WriteFile(damaged, bytes);
      const fs::path output = dir / "out.avi";
      fs::remove(output);
      const ProgramRun run = Job(damaged, output.string());
      const std::string label = clean.filename().string() + " round " + std::to_string(round);
      ASSERT_TRUE(run.status == 0 || run.status == 1) << label << run.err;
      if (run.status == 0) {
        ++succeeded;
        EXPECT_GT(DecodedPictures(output), 0) << label;
        // A job that finished says only, in one line, what damage it met.
        EXPECT_TRUE(run.err.empty() ||
                    (run.err.rfind("tolvane: the source was damaged: ", 0) == 0 &&
                     run.err.find('\n') == run.err.size() - 1))
            << label << run.err;
      } else {
        ++failed;
        EXPECT_NE(run.err.find("tolvane: "), std::string::npos) << label;
      }
    }
  }
  EXPECT_GT(succeeded, 0);
  EXPECT_GT(failed, 0);
}

}  // namespace
