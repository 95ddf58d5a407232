// Audio and video in step: sources with a white flash in the picture and a
// 1 kHz beep in the sound at the same instant, written by the job, then the
// beep's time against the flash's in the output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "support/SyncProbe.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class SyncTest : public ::testing::Test {
 protected:
  // Runs the job and checks the output against the source.
  void Check(const fs::path& source, const std::string& options = "") {
    const fs::path output = dir / (source.stem().string() + ".avi");
    const ProgramRun run = RunProgram("--source " + source.string() + " --transcode --output " +
                                      output.string() + " " + options);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Measured in = MeasureSync(source), out = MeasureSync(output);
    // AAC's priming, which AVI cannot state, is about 23 ms of it.
    EXPECT_NEAR(out.lateness, 0, 0.045) << source << " source: " << in.lateness;
    EXPECT_NEAR(out.audioTail, in.audioTail, 0.1) << source;
    EXPECT_NEAR(HeaderAudioEnd(output), double(DecodedAudio(output).size()) / 48000, 0.1) << source;
    log = run.out;
  }

  TempDir dir;
  std::string log;
};

TEST_F(SyncTest, VideoStartingAfterTheAudio) {
  // The video is 0.4 s late: an edit list in MP4, timestamps in MPEG-TS.
  for (const char* container : {"mp4", "ts"}) {
    const fs::path source = dir / (std::string("video-late.") + container);
    Ffmpeg("-itsoffset 0.4 " + FlashVideo(25, 3, 0.6) + " " + Beep(3.4, 1.0) +
           " -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac " + source.string());
    Check(source);
  }
}

TEST_F(SyncTest, AudioStartingAfterTheVideo) {
  const fs::path source = dir / "audio-late.mp4";
  Ffmpeg(FlashVideo(25, 3, 1.0) + " -itsoffset 0.5 " + Beep(2.5, 0.5) +
         " -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac " + source.string());
  Check(source);
}

TEST_F(SyncTest, VariableFrameRateBecomesConstantWithRepeats) {
  // 50 pictures a second, every other one left out for the first 2 s.
  const fs::path source = dir / "variable.mkv";
  Ffmpeg(VariableRateFlashVideo(4, 3.0) + " " + Beep(4, 3.0) +
         " -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac " + source.string());
  Check(source);
  EXPECT_NE(log.find("50 pictures repeated and 0 dropped"), std::string::npos) << log;
  EXPECT_EQ(StreamEntry(dir / "variable.avi", "v", "nb_frames"), 200);
}

TEST_F(SyncTest, PcmKeepsItsLengthWithFixAudioVbr) {
  const fs::path source = dir / "pcm.mkv";
  Ffmpeg(FlashVideo(25, 4, 2.0) + " " + Beep(4, 2.0) + " -c:v mpeg4 -c:a pcm_s16le " +
         source.string());
  Check(source, "--fix-audio-vbr");
  // Constant rate: no line about repeats.
  EXPECT_EQ(log.find("repeated"), std::string::npos);
}

TEST(AudioTimingTest, AudioAnAviStreamCannotTimeIsRefusedBeforeTheFileIsMade) {
  TempDir dir;
  for (const char* codec : {"libvorbis", "flac", "libopus"}) {
    const fs::path source = dir / (std::string(codec) + ".mkv"), output = dir / "out.avi";
    Ffmpeg(FlashVideo(25, 1, 0.5) + " " + Beep(1, 0.5) + " -c:v mpeg4 -c:a " + codec + " " +
           source.string());
    const ProgramRun run =
        RunProgram("--source " + source.string() + " --transcode --output " + output.string());
    EXPECT_EQ(run.status, 1) << codec;
    // Opus has no wave format tag at all.
    const std::string refusal = std::string(codec) == "libopus"
                                    ? "[VelAvCodec::Open] Audio codec can't be stored in an AVI"
                                    : "[VelAvCodec::Open] Audio codec can't be timed in an AVI";
    EXPECT_NE(run.err.find(refusal), std::string::npos) << codec << run.err;
    EXPECT_FALSE(fs::exists(output)) << codec;
  }
}

}  // namespace
