// The newer codecs (HEVC, AV1, VP9) through the program: into Matroska, MP4
// and WebM with every picture and audio packet, refused for AVI and for
// audio WebM cannot hold before any file is made, and their own chatter
// kept off standard error unless --verbose.
#include <gtest/gtest.h>

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
