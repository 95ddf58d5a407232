// Unusual and damaged sources: broadcast MPEG-TS into MP4 and Matroska,
// sources whose times go back or repeat, and what a job says of the damage
// it met and of why it failed.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "support/SyncProbe.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// A stream's packets' decode times as ffprobe reads the file, in order.
std::vector<double> DecodeTimes(const fs::path& file, const char* stream) {
  std::istringstream lines(Ffprobe(std::string("-select_streams ") + stream +
                                   " -show_entries packet=dts_time -of csv=p=0 " + file.string()));
  std::vector<double> times;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line != "N/A") times.push_back(std::stod(line));
  return times;
}

int PacketCount(const fs::path& file, const char* stream) {
  const std::string count = Ffprobe(std::string("-select_streams ") + stream +
                                    " -count_packets -show_entries stream=nb_read_packets "
                                    "-of csv=p=0 " +
                                    file.string());
  return count.empty() ? -1 : std::stoi(count);
}

// Every stream's decode times rise, and ffmpeg decodes the file without a
// word.
void ExpectRisingTimes(const fs::path& file) {
  for (const char* stream : {"v", "a"}) {
    const std::vector<double> times = DecodeTimes(file, stream);
    EXPECT_GT(times.size(), 10u) << file << " " << stream;
    for (std::size_t i = 1; i < times.size(); ++i)
      ASSERT_GT(times[i], times[i - 1]) << file << " " << stream << " packet " << i;
  }
  std::string errors;
  RunShell("ffmpeg -v error -i " + file.string() + " -map 0:v -f null -", &errors);
  EXPECT_EQ(errors, "") << file;
}

class DamagedSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(subtitles, "1\r\n00:00:00,500 --> 00:00:01,500\r\nHello\r\n\r\n");
  }
  ProgramRun Job(const fs::path& source, const fs::path& output, const std::string& more = "") {
    return RunProgram("--compressor XVID --source " + source.string() + " --subtitles " +
                      subtitles.string() + " --output " + output.string() + " " + more);
  }
  TempDir dir;
  fs::path subtitles = dir / "subs.srt";
};

}  // namespace

// A broadcast recording's AAC carries a header on every packet; MP4 and
// Matroska get it in the form they store.
TEST_F(DamagedSourcesTest, MpegTsGoesIntoMp4AndMatroskaWithEveryAudioPacket) {
  const fs::path ts = dir / "broadcast.ts";
  Ffmpeg(
      "-f lavfi -i testsrc2=s=320x180:r=25:d=3 -f lavfi -i sine=d=3 -c:v libx264 -c:a aac "
      "-f mpegts " +
      ts.string());
  for (const char* name : {"out.mp4", "out.mkv"}) {
    const fs::path output = dir / name;
    const ProgramRun run = Job(ts, output);
    ASSERT_EQ(run.status, 0) << name << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(DecodedPictures(output), 75) << name;
    EXPECT_EQ(PacketCount(output, "a"), PacketCount(ts, "a")) << name;
    ExpectRisingTimes(output);
    std::string errors;
    RunShell("ffmpeg -v error -i " + output.string() + " -map 0:a -f null -", &errors);
    EXPECT_EQ(errors, "") << name;
  }
}

// A range written twice (times that go back) and a range zeroed: the file's
// times rise in every stream, the job ends well and says in one line what it
// met; --strict fails it instead.
TEST_F(DamagedSourcesTest, TimesThatGoBackAreMendedAndTheDamageIsReported) {
  const fs::path clean = dir / "clean.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc2=s=320x180:r=25:d=8 -f lavfi -i sine=d=8 -c:v libx264 -g 50 "
      "-c:a aac " +
      clean.string());
  const std::string bytes = ReadFile(clean);
  const std::size_t third = bytes.size() / 3, half = bytes.size() / 2;
  const fs::path doubled = dir / "doubled.mkv", zeroed = dir / "zeroed.mkv";
  WriteFile(doubled,
            bytes.substr(0, half) + bytes.substr(third, half - third) + bytes.substr(half));
  std::string holed = bytes;
  std::fill(holed.begin() + std::ptrdiff_t(third), holed.begin() + std::ptrdiff_t(third + 20000),
            '\0');
  WriteFile(zeroed, holed);
  for (const fs::path& source : {doubled, zeroed})
    for (const char* name : {"out.mkv", "out.mp4"}) {
      const fs::path output = dir / (source.stem().string() + "-" + name);
      const ProgramRun run = Job(source, output);
      ASSERT_EQ(run.status, 0) << output << run.err;
      EXPECT_EQ(run.err.rfind("tolvane: the source was damaged: ", 0), 0u) << output << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
      EXPECT_NE(run.out.find("the source was damaged: "), std::string::npos);
      ExpectRisingTimes(output);
    }

  // Sound converted to Opus rises too, and decodes without a word.
  for (const fs::path& source : {doubled, zeroed}) {
    const fs::path output = dir / (source.stem().string() + "-converted.webm");
    const ProgramRun run =
        RunProgram("--compressor VP90 --encoder-options cpu-used=8:deadline=realtime --source " +
                   source.string() + " --subtitles " + subtitles.string() + " --output " +
                   output.string() + " --convert-audio");
    ASSERT_EQ(run.status, 0) << output << run.err;
    ExpectRisingTimes(output);
    std::string errors;
    RunShell("ffmpeg -v error -i " + output.string() + " -map 0:a -f null -", &errors);
    EXPECT_EQ(errors, "") << output;
  }

  const ProgramRun strict = Job(doubled, dir / "strict.mkv", "--strict");
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(strict.err.find("--strict asks for a sound one"), std::string::npos) << strict.err;
  // A clean source says nothing, strict or not.
  const ProgramRun sound = Job(clean, dir / "sound.mkv", "--strict");
  EXPECT_EQ(sound.status, 0) << sound.err;
  EXPECT_EQ(sound.err, "");
}

// Each refusal gives its cause on the line after it.
TEST_F(DamagedSourcesTest, EveryRefusalNamesItsCause) {
  const fs::path full = dir / "full.mp4", cut = dir / "cut.mp4";
  Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=2 -c:v libx264 " + full.string());
  WriteFile(cut, ReadFile(full).substr(0, 3000));
  ProgramRun run = Job(cut, dir / "a.avi");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Can't open input file...\ntolvane: [FFmpeg::mov] moov atom not found"),
            std::string::npos)
      << run.err;

  const fs::path ass = dir / "subs.ass";
  WriteFile(ass,
            "[Script Info]\nPlayResY: 288\n\n[Events]\nFormat: Layer, Start, End, Style, "
            "Name, MarginL, MarginR, MarginV, Effect, Text\n"
            "Dialogue: 0,0:00:00.50,0:00:01.50,Default,,0,0,0,,Hi\n");
  run = RunProgram("--compressor XVID --source " + full.string() + " --subtitles " + ass.string() +
                   " --output " + (dir / "b.avi").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unknown file format...\ntolvane: the file is Advanced SubStation Alpha, "
                         "which --styled reads"),
            std::string::npos)
      << run.err;

  const fs::path damaged = dir / "damaged.srt";
  WriteFile(damaged, "\r\n\r\n1\r\n00:00:0O,500 -> 00:00:01,500\r\nHello\r\n");
  std::string listed;
  EXPECT_EQ(
      RunShell(ProgramPath() + " --list-entries " + damaged.string() + " --frame-rate 25", &listed),
      1);
  EXPECT_NE(listed.find("reading stopped at line 3, which starts no subtitle file this program "
                        "reads: \"1\""),
            std::string::npos)
      << listed;
  // --styled reads it, as the job's --styled does.
  listed.clear();
  EXPECT_EQ(
      RunShell(ProgramPath() + " --list-entries " + ass.string() + " --frame-rate 25 --styled",
               &listed),
      0);
  EXPECT_NE(listed.find("12\t37\tHi"), std::string::npos) << listed;
}

// A job that fails on the way says what it left behind: the file stays and
// holds the pictures written before.
TEST_F(DamagedSourcesTest, AFailedJobSaysWhatItWrote) {
  const fs::path source = dir / "film.mp4";
  Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=8 -c:v libx264 " + source.string());
  const fs::path output = dir / "short.mkv", err = dir / "err.txt";
  // Files may grow to 150 KiB: the job's writes fail part of the way.
  const int status =
      RunShell("(trap '' XFSZ; ulimit -f 150; " + ProgramPath() +
               " --compressor XVID --quality 10000 --source " + source.string() + " --subtitles " +
               subtitles.string() + " --output " + output.string() +
               " --settings /nonexistent.ini 2>" + err.string() + ")");
  const std::string said = ReadFile(err);
  EXPECT_NE(status, 0);
  const std::string prefix = "tolvane: the first ";
  const std::size_t at = said.find(prefix);
  ASSERT_NE(at, std::string::npos) << said;
  const int written = std::stoi(said.substr(at + prefix.size()));
  EXPECT_NE(said.find(" pictures were written to " + output.string()), std::string::npos) << said;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 200);
  EXPECT_GT(DecodedPictures(output), 0);
}
