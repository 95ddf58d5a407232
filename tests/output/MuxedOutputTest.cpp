// Matroska and MP4 written by the job, chosen by the output's name: every
// picture and every audio packet kept, the source's times kept, and files
// cut short that still play.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/BackgroundRun.h"
#include "support/SyncProbe.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

std::string Tag(const fs::path& file, const std::string& entries) {
  return Ffprobe("-show_entries " + entries + " -of default=nw=1:nk=1 " + file.string());
}

bool DecodesWithoutError(const fs::path& file) {
  std::string errors;
  return RunShell("ffmpeg -v error -i " + file.string() + " -f null -", &errors) == 0 &&
         errors.empty();
}

uint64_t BigEndian(const std::string& bytes, size_t at, size_t count) {
  uint64_t value = 0;
  for (size_t k = 0; k < count; ++k) value = value << 8 | uint8_t(bytes[at + k]);
  return value;
}

// The length an MP4's movie header (mvhd) states, in seconds; -1 when there
// is none ahead of the fragments. Readers that do not walk every fragment
// take the length from there, or else from the last fragment's start.
double HeaderSeconds(const fs::path& file) {
  const std::string bytes = ReadFile(file);
  size_t from = 0, to = bytes.size();
  for (const char* wanted : {"moov", "mvhd"}) {
    size_t at = from;
    for (; at + 8 <= to; at += BigEndian(bytes, at, 4)) {
      if (BigEndian(bytes, at, 4) < 8 || BigEndian(bytes, at, 4) > to - at) return -1;
      if (bytes.compare(at + 4, 4, wanted) == 0) break;
    }
    if (at + 8 > to) return -1;
    to = at + BigEndian(bytes, at, 4);
    from = at + 8;
  }
  const bool wide = bytes[from] == 1;
  if (to - from < (wide ? 32u : 20u)) return -1;
  const uint64_t timescale = BigEndian(bytes, from + (wide ? 20 : 12), 4);
  const uint64_t duration = BigEndian(bytes, from + (wide ? 24 : 16), wide ? 8 : 4);
  return timescale > 0 ? double(duration) / double(timescale) : -1;
}

double Seconds(const std::string& text) { return text.empty() ? -1 : std::stod(text); }

// Where the last of the file's streams ends as ffprobe finds it, from the
// samples themselves.
double ProbedEnd(const fs::path& file) {
  std::istringstream lines(Tag(file, "stream=start_time,duration"));
  double end = -1, start = 0, duration = 0;
  while (lines >> start >> duration) end = std::max(end, start + duration);
  return end;
}

class MuxedOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "subs.srt",
              "1\r\n00:00:00,400 --> 00:00:00,800\r\nHello\r\n\r\n"
              "2\r\n00:00:01,200 --> 00:00:01,600\r\nWorld\r\n\r\n");
  }
  ProgramRun Job(const fs::path& source, const fs::path& output, const std::string& more) {
    return RunProgram("--source " + source.string() + " --output " + output.string() + " " + more);
  }
  TempDir dir;
};

TEST_F(MuxedOutputTest, EveryPictureAndEveryAudioPacketIsKept) {
  const fs::path source = dir / "source.mp4";
  Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -f lavfi -i sine=duration=3 "
      "-c:v libx264 -pix_fmt yuv420p -c:a aac " +
      source.string());
  const std::vector<std::string> packets = AudioPacketHashes(source);
  ASSERT_GT(packets.size(), 100u);
  for (const char* extension : {"mkv", "mp4", "m4v", "MOV"}) {
    for (const char* compressor : {"XVID", "H264"}) {
      const fs::path output = dir / (std::string("out.") + extension);
      const ProgramRun run = Job(source, output,
                                 std::string("--subtitles ") + (dir / "subs.srt").string() +
                                     " --compressor " + compressor);
      const std::string label = std::string(extension) + " " + compressor;
      ASSERT_EQ(run.status, 0) << label << run.err;
      EXPECT_EQ(DecodedPictures(output), 75) << label;
      EXPECT_EQ(AudioPacketHashes(output), packets) << label;
      EXPECT_TRUE(DecodesWithoutError(output)) << label;
      EXPECT_NE(Tag(output, "format_tags=encoder").find("Tolvane v2.02 | "), std::string::npos)
          << label;
      const std::string names = Tag(output, "stream_tags=title:stream_tags=handler_name");
      EXPECT_NE(names.find("Video Stream [Subtitled]"), std::string::npos) << label << names;
      EXPECT_NE(names.find("Audio Stream [Unchanged]"), std::string::npos) << label << names;
    }
  }
}

// The subtitles land on exactly their frames: a lossless output against a
// transcode of the same source differs exactly in the entries' pictures.
TEST_F(MuxedOutputTest, SubtitlesAreOnExactlyTheirFrames) {
  const fs::path source = dir / "source.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -c:v ffv1 " + source.string());
  const fs::path subtitled = dir / "subtitled.mkv", plain = dir / "plain.mkv";
  ASSERT_EQ(
      Job(source, subtitled,
          "--compressor FFV1 --font-color 0xFFFFFF --subtitles " + (dir / "subs.srt").string())
          .status,
      0);
  ASSERT_EQ(Job(source, plain, "--compressor FFV1 --transcode").status, 0);
  std::string a, b;
  RunShell("ffmpeg -v error -i " + subtitled.string() + " -f rawvideo -pix_fmt bgr24 -", &a);
  RunShell("ffmpeg -v error -i " + plain.string() + " -f rawvideo -pix_fmt bgr24 -", &b);
  const size_t picture = 160 * 120 * 3;
  ASSERT_EQ(a.size(), 50 * picture);
  ASSERT_EQ(b.size(), a.size());
  std::vector<int> differing;
  for (int k = 0; k < 50; ++k)
    if (a.compare(k * picture, picture, b, k * picture, picture) != 0) differing.push_back(k);
  std::vector<int> expected;
  for (int k = 10; k <= 20; ++k) expected.push_back(k);  // 0.4 s to 0.8 s
  for (int k = 30; k <= 40; ++k) expected.push_back(k);  // 1.2 s to 1.6 s
  EXPECT_EQ(differing, expected);
}

TEST_F(MuxedOutputTest, VariableRateSourcesKeepTheirTimesAndStayInStep) {
  const fs::path source = dir / "variable.mkv";
  Ffmpeg(VariableRateFlashVideo(4, 3.0) + " " + Beep(4, 3.0) +
         " -fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac " + source.string());
  const Measured in = MeasureSync(source);
  for (const char* extension : {"mkv", "mp4"}) {
    const fs::path output = dir / (std::string("out.") + extension);
    ASSERT_EQ(Job(source, output, "--transcode").status, 0) << extension;
    const Measured out = MeasureSync(output);
    EXPECT_NEAR(out.lateness, in.lateness, 0.025) << extension;
    EXPECT_NEAR(out.audioTail, in.audioTail, 0.025) << extension;
    EXPECT_NEAR(VideoEnd(output), VideoEnd(source), 0.025) << extension;
    EXPECT_EQ(DecodedPictures(output), 150) << extension;  // none repeated or dropped
  }
}

TEST_F(MuxedOutputTest, OpusGoesIntoMatroskaUnchanged) {
  const fs::path source = dir / "opus.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc2=size=96x64:rate=25:duration=2 -f lavfi -i sine=duration=2 "
      "-c:v mpeg4 -c:a libopus " +
      source.string());
  const fs::path output = dir / "out.mkv";
  const ProgramRun run = Job(source, output, "--transcode");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tag(output, "stream=codec_name"), "mpeg4\nopus\n");
  EXPECT_EQ(AudioPacketHashes(output), AudioPacketHashes(source));
}

TEST_F(MuxedOutputTest, WhatTheContainerCannotHoldIsRefusedBeforeTheFileIsMade) {
  const fs::path pcm = dir / "pcm.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc2=size=96x64:rate=25:duration=1 -f lavfi -i sine=duration=1 "
      "-c:v mpeg4 -c:a pcm_s16le " +
      pcm.string());
  const fs::path output = dir / "out.mp4";
  ProgramRun run = Job(pcm, output, "--transcode");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("[MediaOutput::Create] Audio codec can't be stored in an MP4 file..."),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(output));
  run = Job(pcm, dir / "out.mkv", "--transcode --compressor HFYU");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("can't be stored in a Matroska file..."), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "out.mkv"));
}

// Fragments of a second, 10.9 s in all: a reader that took the length from
// the last fragment's start would be most of a second short.
class FinishedMp4Test : public MuxedOutputTest {
 protected:
  fs::path Finished(const char* soundSeconds = "10.9") {
    const fs::path source = dir / "source.mp4", output = dir / "out.mp4";
    Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=10.9 -f lavfi -i sine=duration=" +
           std::string(soundSeconds) + " -c:v mpeg4 -c:a libmp3lame " + source.string());
    const ProgramRun run = Job(source, output, "--transcode --compressor MJPG");
    EXPECT_EQ(run.status, 0) << run.err;
    videoSeconds = Seconds(Tag(output, "stream=duration -select_streams v"));
    EXPECT_NEAR(videoSeconds, 10.92, 0.001);  // 273 pictures
    return output;
  }
  double videoSeconds = 0;
};

// The header's timescale is a millisecond, and the length is rounded up.
TEST_F(FinishedMp4Test, StatesTheEndOfItsLongestStreamInItsHeaderAsFfprobeReadsIt) {
  const fs::path output = Finished();
  // The sound ends at 10.9 s, the last picture at 10.92 s.
  EXPECT_NEAR(ProbedEnd(output), videoSeconds, 0.001);
  EXPECT_NEAR(HeaderSeconds(output), ProbedEnd(output), 0.0015);
  // The sound starts with the encoder's lead-in, a little ahead of 0.
  EXPECT_NEAR(Seconds(Tag(output, "format=duration")), videoSeconds, 0.05);

  const fs::path longer = Finished("12.3");
  EXPECT_NEAR(ProbedEnd(longer), 12.3, 0.03);
  EXPECT_NEAR(HeaderSeconds(longer), ProbedEnd(longer), 0.0015);
}

TEST_F(FinishedMp4Test, GStreamerReadsItsWholeLength) {
  if (RunShell("command -v gst-discoverer-1.0") != 0)
    GTEST_SKIP() << "gst-discoverer-1.0 is absent (gstreamer1.0-plugins-base-apps)";
  const fs::path output = Finished();
  std::string report;
  ASSERT_EQ(RunShell("gst-discoverer-1.0 " + output.string(), &report), 0) << report;
  // "Duration: 0:00:10.920000000"
  const size_t at = report.find("Duration: ");
  ASSERT_NE(at, std::string::npos) << report;
  int hours = 0, minutes = 0;
  double seconds = 0;
  ASSERT_EQ(std::sscanf(report.c_str() + at, "Duration: %d:%d:%lf", &hours, &minutes, &seconds), 3);
  EXPECT_NEAR(hours * 3600 + minutes * 60 + seconds, videoSeconds, 0.05) << report;
}

TEST_F(MuxedOutputTest, StoppedAndKilledJobsLeaveFilesThatPlay) {
  // The whole job takes a fraction of a second per 500 pictures: long enough
  // that a signal sent once the file has grown still finds it running on a
  // loaded machine.
  const fs::path source = dir / "long.mp4";
  const int sourcePictures = 1500;
  Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=60 -f lavfi -i sine=duration=60 "
      "-c:v mpeg4 -q:v 5 -c:a aac " +
      source.string());
  for (const char* extension : {"mkv", "mp4"}) {
    for (int signal : {SIGTERM, SIGKILL}) {
      const fs::path output = dir / (std::string("cut.") + extension);
      fs::remove(output);
      BackgroundRun run({"--source", source.string(), "--transcode", "--output", output.string()});
      ASSERT_TRUE(run.WaitForSize(output, 700000)) << extension;
      run.Signal(signal);
      EXPECT_EQ(run.Wait(), signal == SIGTERM ? 1 : 128 + SIGKILL);
      const int pictures = DecodedPictures(output);
      EXPECT_GT(pictures, 25) << extension << " " << signal;
      EXPECT_LT(pictures, sourcePictures) << extension << " " << signal;
      if (signal == SIGTERM) {
        EXPECT_TRUE(DecodesWithoutError(output)) << extension;
        // A stopped job's MP4 is finished: its header states what it holds.
        if (output.extension() == ".mp4") {
          EXPECT_NEAR(HeaderSeconds(output), ProbedEnd(output), 0.0015);
        }
      }
    }
  }
}

}  // namespace
