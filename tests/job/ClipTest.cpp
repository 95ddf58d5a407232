// --start, --end and --duration: only that part of the film is written,
// into every container, read from the keyframe before the start. The
// pictures are the whole job's at the moved times (subtitles, delay and
// all), the sound is the source's packets from the one covering the start
// and stays in step, the kept tracks and chapters move with it, and bad
// times are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "support/SyncProbe.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// A picture of 25 a second with its own counter, keyframes every 2 s and
// B-pictures; the subtitles' first line straddles 10 s, the clip's start.
constexpr const char* kSubtitles =
    "1\n00:00:09,000 --> 00:00:11,000\nStraddling\n\n"
    "2\n00:00:13,000 --> 00:00:14,000\nLater\n";
constexpr const char* kChapters =
    ";FFMETADATA1\n"
    "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=6000\ntitle=One\n"
    "[CHAPTER]\nTIMEBASE=1/1000\nSTART=6000\nEND=13000\ntitle=Two\n"
    "[CHAPTER]\nTIMEBASE=1/1000\nSTART=13000\nEND=20000\ntitle=Three\n";
constexpr const char* kVideo = " -c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0 -bf 2 ";

// Every picture's digest, in presentation order.
std::vector<std::string> PictureDigests(const fs::path& file) {
  std::string out;
  RunShell("ffmpeg -nostdin -v fatal -i " + file.string() +
               " -map 0:v -fps_mode passthrough -f framemd5 - 2>/dev/null",
           &out);
  std::vector<std::string> digests;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] != '#') digests.push_back(line.substr(line.rfind(' ') + 1));
  return digests;
}

// The clip's pictures are `count` of the whole job's, from its `first`.
void ExpectPartOfWhole(const fs::path& part, size_t count, const fs::path& whole, size_t first) {
  const std::vector<std::string> parts = PictureDigests(part);
  const std::vector<std::string> wholes = PictureDigests(whole);
  ASSERT_EQ(parts.size(), count) << part;
  ASSERT_GE(wholes.size(), first + count) << whole;
  EXPECT_TRUE(std::equal(parts.begin(), parts.end(), wholes.begin() + long(first))) << part;
}

// One number per line of ffprobe's csv output.
std::vector<double> Numbers(const std::string& text) {
  std::vector<double> numbers;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line != "N/A") numbers.push_back(std::atof(line.c_str()));
  return numbers;
}

std::vector<double> PacketTimes(const fs::path& file, const std::string& stream) {
  return Numbers(Ffprobe("-v error -select_streams " + stream +
                         " -show_entries packet=pts_time -of csv=p=0 " + file.string()));
}

struct Chapter {
  double Start, End;
  std::string Title;
};

std::vector<Chapter> Chapters(const fs::path& file) {
  std::istringstream lines(
      Ffprobe("-v error -show_chapters -show_entries "
              "chapter=start_time,end_time:chapter_tags=title -of csv=p=0 " +
              file.string()));
  std::vector<Chapter> chapters;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string start, end, title;
    std::getline(fields, start, ',');
    std::getline(fields, end, ',');
    std::getline(fields, title, ',');
    chapters.push_back({std::atof(start.c_str()), std::atof(end.c_str()), title});
  }
  return chapters;
}

class ClipTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    WriteFile(Path("subs.srt"), kSubtitles);
    WriteFile(Path("chapters.txt"), kChapters);
    // Two sound tracks and a subtitle track of the source's own, for the
    // kept tracks.
    Ffmpeg(
        "-f lavfi -i testsrc2=size=320x240:rate=25:duration=20 "
        "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 "
        "-f lavfi -i sine=frequency=660:sample_rate=44100:duration=20 -i " +
        Path("subs.srt").string() + " -i " + Path("chapters.txt").string() +
        " -map 0 -map 1 -map 2 -map 3 -map_chapters 4" + kVideo + "-c:a aac -c:s srt " +
        Path("film.mkv").string());
    // A flash and a beep at 12 s: in step, they stay so in the clip.
    Ffmpeg(FlashVideo(25, 20, 12.0) + " " + Beep(20, 12.0) + kVideo + "-pix_fmt yuv420p -c:a aac " +
           Path("flash.mp4").string());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static fs::path Path(const std::string& name) { return dir_->path() / name; }

  static ProgramRun Job(const std::string& source, const std::string& output,
                        const std::string& options) {
    return RunProgram("--defaults --source " + Path(source).string() + " --output " +
                      Path(output).string() + " " + options);
  }

  static TempDir* dir_;
};

TempDir* ClipTest::dir_ = nullptr;

}  // namespace

TEST_F(ClipTest, EveryContainerHoldsTheClipInStep) {
  struct Case {
    const char* output;
    const char* options;
  };
  const Case cases[] = {{"flash.mkv", "--compressor H264"},
                        {"flash-clip.mp4", "--compressor H264"},
                        {"flash.webm", "--compressor VP90 --convert-audio"},
                        {"flash.avi", "--compressor XVID"}};
  for (const Case& c : cases) {
    const ProgramRun run = Job("flash.mp4", c.output,
                               std::string(c.options) + " --transcode --start 10 --end 0:00:15");
    ASSERT_EQ(run.status, 0) << c.output << run.out << run.err;
    const fs::path output = Path(c.output);
    EXPECT_EQ(CountedPictures(output), 125) << c.output;
    const Measured sync = MeasureSync(output);
    // AVI cannot state where AAC's priming ends: about 23 ms of it.
    EXPECT_NEAR(sync.lateness, 0, std::string(c.output) == "flash.avi" ? 0.045 : 0.025) << c.output;
    EXPECT_NEAR(FlashTime(output), 2.0, 0.03) << c.output;
    EXPECT_NEAR(VideoEnd(output), 5.0, 0.03) << c.output;
    EXPECT_NEAR(double(DecodedAudio(output).size()) / 48000, 5.0, 0.06) << c.output;
  }
  const std::vector<double> video = PacketTimes(Path("flash.mkv"), "v");
  ASSERT_FALSE(video.empty());
  EXPECT_LT(*std::min_element(video.begin(), video.end()), 0.03);
}

TEST_F(ClipTest, TheSoundIsTheSourcesPacketsFromTheOneCoveringTheStart) {
  ASSERT_EQ(
      Job("flash.mp4", "packets.mkv", "--compressor H264 --transcode --start 10 --end 15").status,
      0);
  // The source's packets that reach past 10 s and start before 15 s, on
  // the pictures' clock.
  const std::vector<double> starts = PacketTimes(Path("flash.mp4"), "a");
  const std::vector<std::string> source = AudioPacketHashes(Path("flash.mp4"));
  const double firstPicture = PacketTimes(Path("flash.mp4"), "v").front();
  ASSERT_EQ(starts.size(), source.size());
  std::vector<std::string> expected;
  const double packet = 1024.0 / 48000;
  for (size_t i = 0; i < starts.size(); ++i) {
    const double at = starts[i] - firstPicture;
    if (at + packet > 10.0 + 1e-3 && at < 15.0 - 1e-3) expected.push_back(source[i]);
  }
  ASSERT_GT(expected.size(), 200u);
  EXPECT_EQ(AudioPacketHashes(Path("packets.mkv")), expected);
}

TEST_F(ClipTest, PicturesAreTheWholeJobsAtTheMovedTimes) {
  // A delay moves the subtitles on the source's own clock, before the clip.
  const std::string options =
      "--compressor FFV1 --delay-frames 3 --subtitles " + Path("subs.srt").string();
  ASSERT_EQ(Job("film.mkv", "whole.mkv", options).status, 0);
  ASSERT_EQ(Job("film.mkv", "part.mkv", options + " --start 10 --duration 5").status, 0);
  EXPECT_EQ(CountedPictures(Path("whole.mkv")), 500);
  ExpectPartOfWhole(Path("part.mkv"), 125, Path("whole.mkv"), 250);
  const std::vector<std::string> part = PictureDigests(Path("part.mkv"));
  ASSERT_EQ(part.size(), 125u);

  // The line that began before the start shows from the clip's first
  // picture until its own (delayed) end, the picture of 11.12 s.
  ASSERT_EQ(
      Job("film.mkv", "bare.mkv", "--compressor FFV1 --transcode --start 10 --duration 5").status,
      0);
  const std::vector<std::string> bare = PictureDigests(Path("bare.mkv"));
  ASSERT_EQ(bare.size(), 125u);
  EXPECT_NE(part[0], bare[0]);
  EXPECT_NE(part[28], bare[28]);
  EXPECT_EQ(part[29], bare[29]);
  EXPECT_EQ(part[70], bare[70]);
  EXPECT_NE(part[80], bare[80]);  // the later line, from 13.12 s

  // AVI places the same pictures from the first one kept.
  ASSERT_EQ(Job("film.mkv", "part.avi", options + " --start 10 --duration 5").status, 0);
  ASSERT_EQ(Job("film.mkv", "whole.avi", options).status, 0);
  ExpectPartOfWhole(Path("part.avi"), 125, Path("whole.avi"), 250);
}

TEST_F(ClipTest, AStartBetweenPicturesTakesTheNextOne) {
  ASSERT_EQ(Job("film.mkv", "between.mkv", "--compressor FFV1 --transcode --start 10.01 --end 10.2")
                .status,
            0);
  ASSERT_EQ(Job("film.mkv", "bare-whole.mkv", "--compressor FFV1 --transcode").status, 0);
  // 10.04, 10.08, 10.12 and 10.16.
  ExpectPartOfWhole(Path("between.mkv"), 4, Path("bare-whole.mkv"), 251);
}

TEST_F(ClipTest, ChaptersInsideTheClipMoveWithIt) {
  for (const char* output : {"chapters.mkv", "chapters.mp4"}) {
    ASSERT_EQ(Job("film.mkv", output, "--compressor H264 --transcode --start 10 --end 15").status,
              0);
    const std::vector<Chapter> chapters = Chapters(Path(output));
    ASSERT_EQ(chapters.size(), 2u) << output;
    EXPECT_EQ(chapters[0].Title, "Two");
    EXPECT_EQ(chapters[0].Start, 0.0);
    // 13 s on the source's clock, whose pictures start with its sound's
    // priming.
    EXPECT_NEAR(chapters[0].End, 3.0, 0.03) << output;
    EXPECT_EQ(chapters[1].Title, "Three");
    EXPECT_NEAR(chapters[1].End, 5.0, 0.03) << output;
  }
  ASSERT_EQ(Job("film.mkv", "early.mkv", "--compressor H264 --transcode --start 3 --end 5").status,
            0);
  const std::vector<Chapter> early = Chapters(Path("early.mkv"));
  ASSERT_EQ(early.size(), 1u);
  EXPECT_EQ(early[0].Title, "One");
  EXPECT_NEAR(early[0].End, 2.0, 0.03);
}

TEST_F(ClipTest, KeptTracksAreCutTheSameWay) {
  ASSERT_EQ(Job("film.mkv", "kept.mkv", "--compressor H264 --transcode --start 10 --end 15").status,
            0);
  // The other sound track starts with the packet that covers the start.
  const std::vector<double> other = PacketTimes(Path("kept.mkv"), "a:1");
  ASSERT_FALSE(other.empty());
  EXPECT_LT(other.front(), 0.03);
  EXPECT_NEAR(other.back(), 5.0, 0.05);
  // The subtitle track: the line across the start is left out, the later
  // one moved by the start.
  const std::vector<double> texts = PacketTimes(Path("kept.mkv"), "s");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NEAR(texts[0], 3.0, 0.05);
}

TEST_F(ClipTest, BadTimesAreRefused) {
  const std::string base = "--compressor H264 --transcode ";
  ProgramRun run = Job("film.mkv", "bad.mkv", base + "--start 1:xx");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad start time '1:xx' (seconds or H:MM:SS.mmm)"), std::string::npos)
      << run.err;
  run = Job("film.mkv", "bad.mkv", base + "--start 10 --end 5");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("the end time 5 is not after the start time 10"), std::string::npos)
      << run.err;
  run = Job("film.mkv", "bad.mkv", base + "--end 5 --duration 2");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--end and --duration exclude each other"), std::string::npos) << run.err;
  run = Job("film.mkv", "bad.mkv", base + "--duration -1");
  EXPECT_EQ(run.status, 2);
  // Past the film's end: known once the source is open.
  run = Job("film.mkv", "past.mkv", base + "--start 25");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The start time 25.000 s lies past the source's end"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(Path("past.mkv")));
}

TEST_F(ClipTest, AQueuedJobKeepsItsClip) {
  const fs::path queue = Path("clips.queue");
  ProgramRun run =
      RunProgram("--queue-add " + queue.string() + " --defaults --source " +
                 Path("film.mkv").string() + " --output " + Path("queued.mkv").string() +
                 " --compressor H264 --transcode --start 0:00:04 --duration 2");
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunProgram("--queue " + queue.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(CountedPictures(Path("queued.mkv")), 50);
}

TEST_F(ClipTest, SmartEncodesTheHeadAndCopiesWhatNoSubtitleTouches) {
  // From 11 s, inside the stretch from 10 s, to 19 s, inside the one from
  // 18 s; the line at 13 s takes the stretch from 12 s.
  std::vector<std::string> source = PictureDigests(Path("film.mkv"));
  ASSERT_EQ(source.size(), 500u);
  for (const char* output : {"smart.mkv", "smart.mp4"}) {
    const ProgramRun run = Job(
        "film.mkv", output,
        "--compressor H264 --smart --start 11 --end 19 --subtitles " + Path("subs.srt").string());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("2 of 3 stretches (5.0 of 8.0 seconds) are encoded"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("75 pictures copied and 125 encoded"), std::string::npos) << run.out;
    const fs::path file = Path(output);
    EXPECT_EQ(DecodeErrors(file), "") << output;
    const std::vector<std::string> written = PictureDigests(file);
    ASSERT_EQ(written.size(), 200u) << output;
    // The copied pictures are the source's, 16 s to 19 s.
    EXPECT_TRUE(std::equal(written.begin() + 125, written.end(), source.begin() + 400)) << output;
    EXPECT_NE(written[0], source[275]);  // encoded
    const std::vector<double> sound = PacketTimes(file, "a:0");
    ASSERT_FALSE(sound.empty());
    EXPECT_NEAR(sound.back() - sound.front(), 8.0, 0.05) << output;
  }
}

TEST_F(ClipTest, APipedSourceIsReadThroughToTheClip) {
  // Standard input can't seek: the pictures before the start are decoded
  // and let go all the same, and its unknown length refuses no start.
  const ProgramRun run =
      RunProgram("--defaults --source - --output " + Path("piped.mkv").string() +
                 " --compressor FFV1 --transcode --start 4 --end 6 < " + Path("film.mkv").string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  ASSERT_EQ(Job("film.mkv", "bare-whole.mkv", "--compressor FFV1 --transcode").status, 0);
  ExpectPartOfWhole(Path("piped.mkv"), 50, Path("bare-whole.mkv"), 100);
}

TEST_F(ClipTest, TheSourcesOwnTrackShowsTheLineAcrossTheStart) {
  // A line from 3 s, well before the keyframe the reading starts from, to
  // 11 s.
  WriteFile(Path("long.srt"), "1\n00:00:03,000 --> 00:00:11,000\nLong\n");
  Ffmpeg("-i " + Path("film.mkv").string() + " -i " + Path("long.srt").string() +
         " -map 0:v -map 1 -c copy " + Path("longline.mkv").string());
  const std::string clip = "--compressor FFV1 --start 10 --duration 2";
  ASSERT_EQ(Job("longline.mkv", "track.mkv", clip + " --subtitle-track 1").status, 0);
  ASSERT_EQ(Job("film.mkv", "track-bare.mkv", clip + " --transcode").status, 0);
  const std::vector<std::string> drawn = PictureDigests(Path("track.mkv"));
  const std::vector<std::string> bare = PictureDigests(Path("track-bare.mkv"));
  ASSERT_EQ(drawn.size(), 50u);
  ASSERT_EQ(bare.size(), 50u);
  EXPECT_NE(drawn[0], bare[0]);
  EXPECT_NE(drawn[24], bare[24]);
  EXPECT_EQ(drawn[26], bare[26]);  // the line ended at 11 s
}
