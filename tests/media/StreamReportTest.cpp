#include <regex>

#include "media/BoundLibraries.h"
#include "media/MediaFixtures.h"
#include "media/private/LibraryBinding.h"
#include "media/private/StreamReport.h"

namespace {

using namespace VELAVCODEC;
using mediatest::MakeMedia;
using mediatest::NewDecoder;

std::vector<std::string> Lines(const std::string& info) {
  std::vector<std::string> lines;
  size_t begin = 0;
  for (size_t end; (end = info.find("\r\n", begin)) != std::string::npos; begin = end + 2)
    lines.push_back(info.substr(begin, end - begin));
  lines.push_back(info.substr(begin));
  return lines;
}

std::string Rate(double rate, const char* unit) {
  std::string text;
  AppendRate(text, rate, unit);
  return text;
}

TEST(StreamReport, RoundsHalfWayToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(2.3), 2.0);
  EXPECT_EQ(RoundHalfEven(2.7), 3.0);
  EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
}

TEST(StreamReport, RatesPrintWithDecimalsOnlyWhenNeededAndThousandsAsK) {
  EXPECT_EQ(Rate(24000.0 / 1001, "tbr"), ", 23.98 tbr");
  EXPECT_EQ(Rate(25, "tbr"), ", 25 tbr");
  EXPECT_EQ(Rate(90000, "tbn"), ", 90k tbn");
  EXPECT_EQ(Rate(1000, "tbn"), ", 1k tbn");
  EXPECT_EQ(Rate(12800, "tbn"), ", 12800 tbn");
}

TEST(StreamReport, DurationAndStartTimes) {
  const mediatest::BoundLibraries libraries;
  ASSERT_EQ(libraries.Error, "");
  EXPECT_EQ(FormatDuration(5025500000), "01:23:45.50");
  EXPECT_EQ(FormatDuration(0), "00:00:00.00");
  EXPECT_EQ(FormatStart(libraries.Api, 0), "0.000000");
  EXPECT_EQ(FormatStart(libraries.Api, 1480000), "1.480000");
}

TEST(StreamReport, Mp4ReportLayout) {
  const std::string path = MakeMedia(
      "report.mp4", mediatest::QuadrantInput(64, 48, 2) +
                        " -f lavfi -i sine=sample_rate=48000:duration=2 -c:v libx264 -c:a aac");
  auto decoder = NewDecoder();
  ASSERT_TRUE(decoder->PreOpen(path)) << decoder->ErrorText;
  const auto lines = Lines(decoder->Info);
  ASSERT_EQ(lines.size(), 6u) << decoder->Info;
  EXPECT_EQ(lines[0], "[ BEGIN MOVIE INFO ]");
  EXPECT_EQ(lines[1], "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from '" + path + "'");
  EXPECT_TRUE(
      std::regex_match(lines[2], std::regex(R"(Duration: 00:00:02\.\d\d, start: 0\.000000, )"
                                            R"(bitrate: \d+ kb/s)")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(
      lines[3], std::regex(R"(    Stream #0\.0\[0x1\]\(und\), 1/12800: Video: h264 .*64x48.*)"
                           R"(, 25 tbr, 12800 tbn)")))
      << lines[3];
  EXPECT_TRUE(std::regex_match(
      lines[4], std::regex(R"(    Stream #0\.1\[0x2\]\(und\), 1/48000: Audio: aac.*)")))
      << lines[4];
  EXPECT_EQ(lines[5], "[ END MOVIE INFO ]");
  EXPECT_EQ(decoder->FileName, path);
}

TEST(StreamReport, StreamsAreClassifiedAndChosenByKind) {
  const std::string srt = (mediatest::MediaDir() / "words.srt").string();
  testsupport::WriteFile(srt, "1\n00:00:00,000 --> 00:00:01,000\nWords\n");
  const std::string path =
      MakeMedia("multi.mkv",
                "-f lavfi -i testsrc=s=64x48:d=1 -f lavfi -i sine=duration=1 "
                "-f lavfi -i sine=duration=1:frequency=880 -f lavfi -i testsrc2=s=32x24:d=1 "
                "-i '" +
                    srt +
                    "' -map 0 -map 1 -map 2 -map 3 -map 4 -c:v libx264 "
                    "-c:a:0 ac3 -c:a:1 aac -c:s srt -metadata:s:a:0 language=eng "
                    "-metadata:s:a:1 language=fre");
  auto decoder = NewDecoder();
  ASSERT_TRUE(decoder->PreOpen(path)) << decoder->ErrorText;
  EXPECT_EQ(decoder->VideoStreamCount, 2);
  EXPECT_EQ(decoder->AudioStreamCount, 2);
  const int32_t expected[6] = {86, 65, 65, 86, -1, -1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(decoder->StreamKinds[i], expected[i]) << i;

  decoder->SelectVideoStream(1);
  EXPECT_EQ(decoder->VideoStream, 3);
  decoder->SelectVideoStream(2);
  EXPECT_EQ(decoder->VideoStream, 3);
  decoder->SelectVideoStream(-1);
  EXPECT_EQ(decoder->VideoStream, 3);
  decoder->SelectAudioStream(1);
  EXPECT_EQ(decoder->AudioStream, 2);

  const auto lines = Lines(decoder->Info);
  ASSERT_EQ(lines.size(), 9u) << decoder->Info;
  EXPECT_EQ(lines[4].rfind("    Stream #0.1(eng), 1/1000: Audio: ac3", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5].rfind("    Stream #0.2(fre), 1/1000: Audio: aac", 0), 0u) << lines[5];
  EXPECT_EQ(lines[7].rfind("    Stream #0.4, 1/1000: Subtitle: subrip", 0), 0u) << lines[7];
}

TEST(StreamReport, ProgramsListTheirOwnStreamsWithIds) {
  const std::string path =
      MakeMedia("programs.ts",
                "-f lavfi -i testsrc=s=64x48:d=1 -f lavfi -i sine=duration=1 "
                "-f lavfi -i testsrc2=s=32x24:d=1 -map 0 -map 1 -map 2 -c:v libx264 "
                "-c:a aac -program st=0:st=1 -program st=2");
  auto decoder = NewDecoder();
  ASSERT_TRUE(decoder->PreOpen(path)) << decoder->ErrorText;
  const auto lines = Lines(decoder->Info);
  ASSERT_EQ(lines.size(), 9u) << decoder->Info;
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Duration: .*, start: 1\.\d{6}, .*)")))
      << lines[2];
  EXPECT_EQ(lines[3], "  Program 1 ");  // the muxer stores no "name" entry
  EXPECT_EQ(lines[4].rfind("    Stream #0.0[0x100], 1/90000: Video: h264", 0), 0u) << lines[4];
  EXPECT_NE(lines[4].find(", 90k tbn"), std::string::npos) << lines[4];
  EXPECT_EQ(lines[5].rfind("    Stream #0.1[0x101], 1/90000: Audio: aac", 0), 0u) << lines[5];
  EXPECT_EQ(lines[6], "  Program 2 ");
  EXPECT_EQ(lines[7].rfind("    Stream #0.2[0x", 0), 0u) << lines[7];
}

TEST(StreamReport, ProbeFailuresLeaveTheDecoderClosed) {
  const std::string audio = MakeMedia("audio.m4a", "-f lavfi -i sine=duration=1 -c:a aac");
  auto decoder = NewDecoder();
  EXPECT_FALSE(decoder->PreOpen(audio));
  EXPECT_EQ(decoder->ErrorText, "[VelAvCodec::PreOpen] No video stream found...");
  EXPECT_EQ(decoder->Info, "");
  EXPECT_EQ(decoder->AudioStreamCount, 0);

  EXPECT_FALSE(decoder->PreOpen((mediatest::MediaDir() / "missing.avi").string()));
  EXPECT_EQ(decoder->ErrorText, "[VelAvCodec::PreOpen] Can't open input file...");
  EXPECT_EQ(decoder->FileName, "");
}

// The report's own layout, from values set by hand rather than by a muxer.
class ReportValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(libraries.Error, "");
    input.name = "fake";
    format.iformat = &input;
  }

  mediatest::BoundLibraries libraries;
  const EntryPoints& api = libraries.Api;
  AVInputFormat input{};
  AVFormatContext format{};
};

TEST_F(ReportValues, ContainerLineKnownAndUnknown) {
  format.duration = 5025500000;
  format.start_time = 0;
  format.bit_rate = 1234567;
  EXPECT_EQ(ReportFormat(api, &format, 0, "in.x"),
            "[ BEGIN MOVIE INFO ]\r\nInput #0, fake, from 'in.x'\r\n"
            "Duration: 01:23:45.50, start: 0.000000, bitrate: 1234 kb/s\r\n[ END MOVIE INFO ]");
  format.duration = format.start_time = AV_NOPTS_VALUE;
  format.bit_rate = 0;
  EXPECT_EQ(Lines(ReportFormat(api, &format, 0, "in.x"))[2], "Duration: N/A, bitrate: N/A");
}

TEST_F(ReportValues, StreamLineWithAspectRatiosAndRates) {
  AVCodecParameters codec{};
  codec.codec_type = AVMEDIA_TYPE_VIDEO;
  codec.width = 720;
  codec.height = 576;
  codec.sample_aspect_ratio = {0, 1};
  AVStream stream{};
  stream.codecpar = &codec;
  stream.time_base = {2, 180000};
  stream.sample_aspect_ratio = {16, 15};
  stream.r_frame_rate = {24000, 1001};
  AVStream* streams[] = {&stream};
  format.streams = streams;
  format.nb_streams = 1;
  const auto lines = Lines(ReportFormat(api, &format, 0, "in.x"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(    Stream #0\.0, 1/90000: Video: .*)"
                                                    R"(, PAR 16:15 DAR 4:3, 23\.98 tbr, 90k tbn)")))
      << lines[3];
  // The same ratio in stream and codec is not repeated.
  codec.sample_aspect_ratio = {32, 30};
  EXPECT_EQ(Lines(ReportFormat(api, &format, 0, "in.x"))[3].find("PAR"), std::string::npos);
}

TEST(StreamReport, StreamsFromIndex32OnAreNeverClassified) {
  std::string arguments = "-f lavfi -i sine=duration=0.2 -f lavfi -i testsrc=s=32x24:d=0.2";
  for (int i = 0; i < 32; ++i) arguments += " -map 0";
  arguments += " -map 1 -c:a pcm_s16le -c:v mpeg4";
  const std::string path = MakeMedia("late_video.mkv", arguments);
  auto decoder = NewDecoder();
  EXPECT_FALSE(decoder->PreOpen(path));
  EXPECT_EQ(decoder->ErrorText, "[VelAvCodec::PreOpen] No video stream found...");
  EXPECT_EQ(decoder->Info, "");
  EXPECT_EQ(decoder->AudioStreamCount, 0);
}

}  // namespace
