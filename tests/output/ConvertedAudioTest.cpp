// Sound an MP4 file cannot hold, converted to AAC by the job where asked:
// the channels kept each in its place, a click in each where the source has
// it (the encoder's priming left out by the player), the sound as long as
// the source's, and a file that decodes without a word.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

constexpr int kMeasuredRate = 48000;

std::string Tag(const fs::path& file, const std::string& entries) {
  return Ffprobe("-select_streams a -show_entries " + entries + " -of csv=p=0 " + file.string());
}

// Channel k clicks at 0.5 + 0.25 k seconds of its sound, so that a channel
// that lands in another place clicks at another's time.
double ClickAt(int channel) { return 0.5 + 0.25 * channel; }

std::string ClickSource(int channels, int rate) {
  std::string expressions;
  for (int k = 0; k < channels; ++k) {
    const std::string at = std::to_string(ClickAt(k));
    expressions += (k > 0 ? "|" : "") + std::string("if(between(t\\,") + at + "\\," + at +
                   "+0.0005)\\,0.9\\,0)";
  }
  const std::string layout = channels == 6 ? "5.1(side)" : channels == 1 ? "mono" : "stereo";
  return "-f lavfi -i \"aevalsrc='" + expressions + "':s=" + std::to_string(rate) +
         ":d=2.5:c=" + layout + "\"";
}

// Every channel decoded at 48 kHz, silence in front of the first sample so
// that sample 0 is at the file's time 0: where a player puts the sound.
std::vector<std::vector<float>> Channels(const fs::path& file, int channels) {
  std::string raw;
  RunShell("ffmpeg -v error -copyts -i " + file.string() +
               " -map 0:a -af aresample=async=1:first_pts=0 -ar " + std::to_string(kMeasuredRate) +
               " -f f32le - 2>/dev/null",
           &raw);
  const size_t frames = raw.size() / sizeof(float) / size_t(channels);
  std::vector<float> all(frames * size_t(channels));
  std::memcpy(all.data(), raw.data(), all.size() * sizeof(float));
  std::vector<std::vector<float>> split(static_cast<size_t>(channels), std::vector<float>(frames));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) split[size_t(c)][i] = all[i * size_t(channels) + size_t(c)];
  return split;
}

// Seconds to the first sample above a quarter of the channel's loudest.
double FirstClick(const std::vector<float>& samples) {
  float loudest = 0;
  for (float sample : samples) loudest = std::max(loudest, std::abs(sample));
  for (size_t i = 0; i < samples.size(); ++i)
    if (loudest > 0 && std::abs(samples[i]) * 4 > loudest) return double(i) / kMeasuredRate;
  return -1;
}

// Where the sound ends as the file's times say: its start and length.
double SoundEnd(const fs::path& file) {
  std::istringstream fields(Tag(file, "stream=start_time,duration"));
  double start = 0, length = 0;
  char comma = 0;
  fields >> start >> comma >> length;
  return start + length;
}

bool DecodesWithoutError(const fs::path& file) {
  std::string errors;
  return RunShell("ffmpeg -v error -i " + file.string() + " -f null - 2>&1", &errors) == 0 &&
         errors.empty();
}

class ConvertedAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "subs.srt", "1\r\n00:00:00,400 --> 00:00:00,800\r\nHello\r\n\r\n");
  }
  ProgramRun Job(const fs::path& source, const fs::path& output, const std::string& more = "") {
    return RunProgram("--source " + source.string() + " --subtitles " +
                      (dir / "subs.srt").string() + " --output " + output.string() +
                      " --compressor H264 --settings /nonexistent.ini " + more);
  }
  TempDir dir;
};

struct Case {
  const char* name;
  const char* container;  // the source's
  const char* codec;
  int channels, rate;
  double offset;    // where the source's sound starts
  int outputRate;   // the AAC stream's: the source's where AAC has it
  int kbPerSecond;  // 64 a channel, fewer where the rate allows no more
};

TEST_F(ConvertedAudioTest, PcmBecomesAacInMp4WhereItWasInTheSource) {
  const Case cases[] = {
      {"stereo", "mkv", "pcm_s16le", 2, 48000, 0, 48000, 128},
      {"5.1 late", "mov", "pcm_s24le", 6, 44100, 0.5, 44100, 384},
      {"mono 22 kHz", "mkv", "pcm_f32le", 1, 22050, 0.25, 22050, 64},
      {"192 kHz", "mkv", "pcm_s16le", 2, 192000, 0, 48000, 128},
      {"8 kHz", "mkv", "pcm_s16le", 1, 8000, 0, 8000, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = dir / (std::string("source.") + c.container);
    Ffmpeg("-f lavfi -i color=c=0x204060:s=160x90:r=25:d=3.2 -itsoffset " +
           std::to_string(c.offset) + " " + ClickSource(c.channels, c.rate) + " -c:v mpeg4 -c:a " +
           c.codec + " " + source.string());
    const fs::path output = dir / "converted.mp4";
    const ProgramRun plain = Job(source, output);
    EXPECT_EQ(plain.status, 1) << "an MP4 file holds no PCM: refused unless asked";
    const ProgramRun run = Job(source, output, "--convert-audio");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Output audio: AAC, " + std::to_string(c.channels) + " channels, " +
                           std::to_string(c.kbPerSecond) + " kb/s, converted from " + c.codec +
                           ", which an MP4 file can't hold"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Tag(output, "stream=codec_name,sample_rate,channels"),
              "aac," + std::to_string(c.outputRate) + "," + std::to_string(c.channels) + "\n");
    EXPECT_NE(Tag(output, "stream_tags=handler_name").find("Audio Stream [AAC]"),
              std::string::npos);
    EXPECT_TRUE(DecodesWithoutError(output));

    const auto before = Channels(source, c.channels), after = Channels(output, c.channels);
    ASSERT_EQ(after.size(), before.size());
    for (int k = 0; k < c.channels; ++k) {
      // 2 ms: the MP4 header states where the sound starts in milliseconds.
      // AAC keeps only the low notes of 5.1's LFE channel (the fourth),
      // which spreads a click over a few milliseconds.
      const double within = c.channels == 6 && k == 3 ? 0.005 : 0.002;
      EXPECT_NEAR(FirstClick(before[size_t(k)]), c.offset + ClickAt(k), 0.0005) << k;
      EXPECT_NEAR(FirstClick(after[size_t(k)]), FirstClick(before[size_t(k)]), within) << k;
    }
    EXPECT_NEAR(SoundEnd(output), c.offset + 2.5, 0.002);
    // A player decodes the last frame whole: at most one AAC frame more.
    const double decoded = double(after[0].size()) / kMeasuredRate;
    EXPECT_GE(decoded, c.offset + 2.5 - 0.002);
    EXPECT_LE(decoded, c.offset + 2.5 + 1024.0 / c.outputRate + 0.002);
  }
}

// AC-3 (and the other sound MP4 holds) is copied as it is, asked or not;
// WebM cannot hold it and gets Opus, as before.
TEST_F(ConvertedAudioTest, Ac3StaysAc3InMp4AndBecomesOpusInWebm) {
  const fs::path source = dir / "ac3.mkv";
  Ffmpeg("-f lavfi -i color=c=0x204060:s=160x90:r=25:d=3 " + ClickSource(6, 48000) +
         " -c:v mpeg4 -c:a ac3 " + source.string());
  const fs::path mp4 = dir / "copied.mp4";
  const ProgramRun copied = Job(source, mp4, "--convert-audio");
  ASSERT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out.find("Output audio"), std::string::npos) << copied.out;
  // AC-3 in MP4 brings its own side data, listed on the lines after.
  EXPECT_EQ(Tag(mp4, "stream=codec_name,channels").rfind("ac3,6,\n", 0), 0u);

  const fs::path webm = dir / "converted.webm";
  const ProgramRun run = RunProgram("--source " + source.string() + " --subtitles " +
                                    (dir / "subs.srt").string() + " --output " + webm.string() +
                                    " --compressor VP90 --encoder-options "
                                    "cpu-used=8:deadline=realtime --convert-audio");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Output audio: Opus, 6 channels, 384 kb/s, converted from ac3, which a "
                         "WebM file can't hold"),
            std::string::npos)
      << run.out;
  EXPECT_NE(Tag(webm, "stream_tags=title").find("Audio Stream [Opus]"), std::string::npos);
  EXPECT_TRUE(DecodesWithoutError(webm));
}

// The help says which sound each container gets.
TEST_F(ConvertedAudioTest, HelpNamesEachTarget) {
  std::string help;
  ASSERT_EQ(RunShell(ProgramPath() + " --help", &help), 0);
  std::string joined;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    const size_t text = line.find_first_not_of(' ');
    if (text != std::string::npos) joined += line.substr(text) + " ";
  }
  EXPECT_NE(joined.find("--convert-audio converts sound the container cannot hold to AAC for MP4 "
                        "and to Opus for WebM and Matroska"),
            std::string::npos)
      << help;
}

}  // namespace
