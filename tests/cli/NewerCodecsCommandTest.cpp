// The newer codecs (HEVC, AV1, VP9) through the program: into Matroska, MP4
// and WebM with every picture and audio packet, refused for AVI and for
// audio WebM cannot hold before any file is made, and their own chatter
// kept off standard error unless --verbose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

std::string Probe(const std::string& arguments, const fs::path& file) {
  return Ffprobe("-v error " + arguments + " -of csv=p=0 " + file.string());
}

class NewerCodecsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ffmpeg(
        "-f lavfi -i color=c=0x204060:s=160x90:r=25:d=2 -f lavfi -i sine=d=2 -c:v mpeg4 "
        "-c:a aac " +
        aac.string());
    Ffmpeg("-i " + aac.string() + " -c:v copy -c:a libopus " + opus.string());
    WriteFile(subtitles, "1\r\n00:00:00,500 --> 00:00:01,500\r\nNew codec\r\n");
  }
  ProgramRun Burn(const fs::path& source, const fs::path& output, const std::string& codec,
                  const std::string& more = "") {
    return RunProgram("--source " + source.string() + " --subtitles " + subtitles.string() +
                      " --output " + output.string() + " --compressor " + codec + " " + more);
  }
  TempDir dir;
  fs::path aac = dir / "aac.mkv", opus = dir / "opus.mkv", subtitles = dir / "subs.srt";
};

}  // namespace

TEST_F(NewerCodecsCommandTest, EachCodecWritesEveryPictureAndPacketIntoItsContainers) {
  const std::string sourcePackets = Probe(
      "-select_streams a -count_packets -show_entries "
      "stream=nb_read_packets",
      aac);
  const struct {
    const char* Code;
    const char* Codec;
    const char* Extension;
    const fs::path* Source;
  } cases[] = {{"HEVC", "hevc", "mkv", &aac}, {"HEVC", "hevc", "mp4", &aac},
               {"AV01", "av1", "mkv", &aac},  {"AV01", "av1", "webm", &opus},
               {"VP90", "vp9", "mp4", &aac},  {"VP90", "vp9", "webm", &opus}};
  for (const auto& c : cases) {
    const std::string what = std::string(c.Code) + " in ." + c.Extension;
    const fs::path out = dir / (std::string(c.Code) + "." + c.Extension);
    const ProgramRun run = Burn(*c.Source, out, c.Code);
    ASSERT_EQ(run.status, 0) << what << run.err;
    EXPECT_EQ(Probe("-select_streams v -show_entries stream=codec_name,width,height", out),
              std::string(c.Codec) + ",160,90\n")
        << what;
    EXPECT_EQ(Probe("-select_streams v -count_frames -show_entries stream=nb_read_frames", out),
              "50\n")
        << what;
    if (c.Source == &aac)
      EXPECT_EQ(Probe("-select_streams a -count_packets -show_entries stream=nb_read_packets", out),
                sourcePackets)
          << what;
    const size_t described = run.out.find("Output video: ");
    ASSERT_NE(described, std::string::npos) << what << run.out;
    EXPECT_NE(run.out.find(", 8-bit 4:2:0, colour unspecified", described), std::string::npos)
        << what << run.out;
    // The encoders' own reports stay off the terminal.
    EXPECT_EQ(run.err.find("x265 ["), std::string::npos) << what << run.err;
    EXPECT_EQ(run.err.find("Svt["), std::string::npos) << what << run.err;
  }
}

TEST_F(NewerCodecsCommandTest, WhatTheContainerCannotHoldIsRefusedBeforeAnyFileIsMade) {
  const fs::path avi = dir / "hevc.avi";
  ProgramRun run = Burn(aac, avi, "HEVC");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("HEVC (x265) can't be stored in an AVI file"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(avi));

  const fs::path webm = dir / "aac.webm";
  run = Burn(aac, webm, "VP90");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Audio codec can't be stored in a WebM file"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(webm));

  // The codecs before them log as they did.
  run = Burn(aac, dir / "h264.mkv", "H264");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("Output video: "), std::string::npos) << run.out;

  run = Burn(opus, webm, "H264");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("can't be stored in a WebM file"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(webm));
}

TEST_F(NewerCodecsCommandTest, VerboseLetsTheEncodersReportThemselves) {
  const ProgramRun run = Burn(aac, dir / "verbose.mkv", "HEVC", "--verbose");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE((run.out + run.err).find("x265 ["), std::string::npos) << run.out << run.err;
}

// Matroska's UIDs are random by default; the same job must still write the
// same file.
TEST_F(NewerCodecsCommandTest, TheSameJobWritesTheSameMatroskaFile) {
  for (const char* extension : {"mkv", "webm"}) {
    const fs::path first = dir / (std::string("first.") + extension);
    const fs::path second = dir / (std::string("second.") + extension);
    const fs::path& source = std::string(extension) == "webm" ? opus : aac;
    ASSERT_EQ(Burn(source, first, "VP90").status, 0);
    ASSERT_EQ(Burn(source, second, "VP90").status, 0);
    EXPECT_EQ(ReadFile(first), ReadFile(second)) << extension;
  }
}

// x264 and x265 write their settings into the stream, where the preset shows
// in how finely they search: subme=0 at ultrafast. The preset crosses the
// AVI file's compressor record too, and the encoder's own options win.
TEST_F(NewerCodecsCommandTest, ThePresetReachesTheEncoder) {
  const struct {
    const char* Code;
    const char* Extension;
    const char* More;
    const char* Setting;
  } cases[] = {
      {"H264", "mkv", "", " subme=7 "},
      {"H264", "mkv", "--preset ultrafast", " subme=0 "},
      {"H264", "avi", "--preset ultrafast", " subme=0 "},
      {"H264", "mkv", "--preset ultrafast --encoder-options preset=veryslow", " subme=10 "},
      {"HEVC", "mp4", "--preset ultrafast", " subme=0 "},
      {"HEVC", "mp4", "", " subme=2 "}};
  int count = 0;
  for (const auto& c : cases) {
    const std::string what = std::string(c.Code) + " " + c.More;
    const fs::path out = dir / ("preset" + std::to_string(++count) + "." + c.Extension);
    const ProgramRun run = Burn(aac, out, c.Code, c.More);
    ASSERT_EQ(run.status, 0) << what << run.err;
    EXPECT_NE(ReadFile(out).find(c.Setting), std::string::npos) << what;
  }
  const ProgramRun refused = Burn(aac, dir / "refused.mkv", "VP90", "--preset veryfast");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("bad preset 'veryfast' for VP90 (8 to 0)"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(dir / "refused.mkv"));
}

namespace {

// The sound decoded as 48 kHz mono 16-bit samples.
std::vector<int16_t> MonoSamples(const fs::path& file, const fs::path& raw) {
  Ffmpeg("-i " + file.string() + " -map 0:a -ac 1 -ar 48000 -f s16le " + raw.string());
  const std::string bytes = ReadFile(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The first sample above a quarter of the loudest.
size_t FirstLoud(const std::vector<int16_t>& samples) {
  int loudest = 0;
  for (int16_t sample : samples) loudest = std::max(loudest, std::abs(int(sample)));
  for (size_t i = 0; i < samples.size(); ++i)
    if (loudest > 0 && std::abs(int(samples[i])) * 4 > loudest) return i;
  return samples.size();
}

}  // namespace

// Asked, sound the container cannot hold is converted to Opus and stays in
// place: a tone that starts 1 s into sound that starts at 0.5 s starts where
// the source has it, and the sound is as long as the source's. Sound the container holds is still
// copied.
TEST_F(NewerCodecsCommandTest, SoundTheContainerCannotHoldIsConvertedWhenAsked) {
  const fs::path late = dir / "late.mkv";
  Ffmpeg(
      "-f lavfi -i color=c=0x204060:s=160x90:r=25:d=3 -itsoffset 0.5 -f lavfi -i "
      "\"sine=f=440:d=2:sample_rate=44100,adelay=1000|1000,apad=whole_dur=3\" -ac 6 -c:v mpeg4 "
      "-c:a aac " +
      late.string());
  const fs::path webm = dir / "converted.webm";
  const ProgramRun run = Burn(late, webm, "VP90", "--convert-audio");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Output audio: Opus, 6 channels, 384 kb/s, converted from aac, which a "
                         "WebM file can't hold"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Probe("-select_streams a -show_entries stream=codec_name,sample_rate,channels", webm),
            "opus,48000,6\n");
  const std::vector<int16_t> source = MonoSamples(late, dir / "source.raw");
  const std::vector<int16_t> converted = MonoSamples(webm, dir / "converted.raw");
  EXPECT_NEAR(double(converted.size()), double(source.size()), 960.0);
  // Within 2 ms of where the source, decoded the same way, has it (its own
  // encoder's priming puts it a little after 1 s).
  EXPECT_NEAR(double(FirstLoud(source)), 48000.0, 2400.0);
  EXPECT_NEAR(double(FirstLoud(converted)), double(FirstLoud(source)), 96.0);
  EXPECT_EQ(Probe("-select_streams v -count_frames -show_entries stream=nb_read_frames", webm),
            "75\n");
  // The sound starts half a second in, as in the source: its packets are
  // timed as FFmpeg's own conversion times them.
  const fs::path reference = dir / "reference.webm";
  Ffmpeg("-i " + late.string() + " -c:v libvpx-vp9 -c:a libopus -b:a 384k " + reference.string());
  // FFmpeg's own times wander by a millisecond; these are counted in samples.
  const auto times = [](const std::string& listed) {
    std::vector<int> found;
    std::istringstream lines(listed);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) found.push_back(std::stoi(line));
    return found;
  };
  const std::string asked = "-select_streams a -show_entries packet=pts";
  const std::vector<int> ours = times(Probe(asked, webm)), theirs = times(Probe(asked, reference));
  ASSERT_EQ(ours.size(), theirs.size());
  ASSERT_FALSE(ours.empty());
  EXPECT_EQ(ours.front(), theirs.front());
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], theirs[i], 1) << i;

  // The same job writes the same file.
  const fs::path again = dir / "again.webm";
  ASSERT_EQ(Burn(late, again, "VP90", "--convert-audio").status, 0);
  EXPECT_EQ(ReadFile(again), ReadFile(webm));

  // MP4 holds AAC: it is copied, and nothing is said.
  const fs::path mp4 = dir / "copied.mp4";
  const ProgramRun copied = Burn(late, mp4, "VP90", "--convert-audio");
  ASSERT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out.find("Output audio"), std::string::npos) << copied.out;
  EXPECT_EQ(Probe("-select_streams a -show_entries stream=codec_name", mp4), "aac\n");
}
