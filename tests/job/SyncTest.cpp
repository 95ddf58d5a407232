// Audio and video in step: sources with a white flash in the picture and a
// 1 kHz beep in the sound at the same instant, written by the job, then the
// beep's time against the flash's in the output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Black 160x120 video with a white picture at flashAt, and a beep at beepAt.
std::string FlashVideo(double rate, double duration, double flashAt) {
  std::ostringstream text;
  text << "-f lavfi -i \"color=c=black:s=160x120:r=" << rate << ":d=" << duration
       << ",drawbox=c=white:t=fill:enable='between(t," << flashAt << "," << flashAt + 0.9 / rate
       << ")'\"";
  return text.str();
}

std::string Beep(double duration, double beepAt) {
  std::ostringstream text;
  text << "-f lavfi -i \"aevalsrc='if(between(t," << beepAt << "," << beepAt + 0.1
       << "),0.8*sin(2*PI*1000*t),0)':s=48000:d=" << duration << "\"";
  return text.str();
}

// The first picture brighter than mid-grey, by its presentation time.
double FlashTime(const fs::path& file) {
  std::istringstream lines(Ffprobe("-f lavfi \"movie=" + file.string() +
                                   ",signalstats\" -show_entries frame=pts_time:frame_tags="
                                   "lavfi.signalstats.YAVG -of csv=p=0"));
  for (std::string line; std::getline(lines, line);) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos && std::atof(line.c_str() + comma + 1) > 128)
      return std::atof(line.c_str());
  }
  return -1;
}

// The decoded audio as 48 kHz mono, silence in front of its first sample so
// that sample 0 is at the source's time 0 (the pictures' times are the
// source's own too).
std::vector<int16_t> DecodedAudio(const fs::path& file) {
  std::string raw;
  RunShell("ffmpeg -v error -copyts -i " + file.string() +
               " -map 0:a -af aresample=async=1:first_pts=0 -ac 1 -ar 48000 -f s16le - 2>/dev/null",
           &raw);
  std::vector<int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

double BeepTime(const std::vector<int16_t>& samples) {
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) > 8000) return double(i) / 48000;
  return -1;
}

double Entry(const fs::path& file, const std::string& stream, const std::string& entry) {
  return std::atof(Ffprobe("-select_streams " + stream + " -show_entries stream=" + entry +
                           " -of csv=p=0 " + file.string())
                       .c_str());
}

// The end of the last picture.
double VideoEnd(const fs::path& file) {
  const std::string last = Ffprobe("-select_streams v -show_entries frame=pts_time -of csv=p=0 " +
                                   file.string() + " | tail -1");
  std::istringstream lines(last);
  double end = 0;
  for (std::string line; std::getline(lines, line);) end = std::atof(line.c_str());
  return end + 1 / Entry(file, "v", "r_frame_rate");
}

// Where the audio stream ends as its header states it: its start and length.
double HeaderAudioEnd(const fs::path& file) {
  // The first packet's time: the stream's start as AVI states it.
  const double start = std::atof(Ffprobe("-select_streams a -show_entries packet=pts_time -of "
                                         "csv=p=0 " +
                                         file.string() + " | head -1")
                                     .c_str());
  const std::string duration = Ffprobe(
      "-select_streams a -show_entries stream=duration -of "
      "csv=p=0 " +
      file.string());
  if (duration.find("N/A") == std::string::npos) return start + std::atof(duration.c_str());
  // PCM: counted in samples.
  return start + Entry(file, "a", "nb_frames") / Entry(file, "a", "sample_rate");
}

struct Measured {
  double lateness;   // the beep after the flash
  double audioTail;  // the audio's end after the video's
};

Measured Measure(const fs::path& file) {
  const std::vector<int16_t> audio = DecodedAudio(file);
  const double flash = FlashTime(file), beep = BeepTime(audio);
  EXPECT_GE(flash, 0) << file;
  EXPECT_GE(beep, 0) << file;
  return {beep - flash, double(audio.size()) / 48000 - VideoEnd(file)};
}

class SyncTest : public ::testing::Test {
 protected:
  // Runs the job and checks the output against the source.
  void Check(const fs::path& source, const std::string& options = "") {
    const fs::path output = dir / (source.stem().string() + ".avi");
    const ProgramRun run = RunProgram("--source " + source.string() + " --transcode --output " +
                                      output.string() + " " + options);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const Measured in = Measure(source), out = Measure(output);
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
  Ffmpeg(FlashVideo(50, 4, 3.0)
             .insert(FlashVideo(50, 4, 3.0).size() - 1, ",select='gte(t\\,2)+not(mod(n\\,2))'") +
         " " + Beep(4, 3.0) + " -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac " +
         source.string());
  Check(source);
  EXPECT_NE(log.find("50 pictures repeated and 0 dropped"), std::string::npos) << log;
  EXPECT_EQ(Entry(dir / "variable.avi", "v", "nb_frames"), 200);
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
