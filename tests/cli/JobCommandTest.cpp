// The job run through the program's command line; outputs read back with
// ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>

#include <cmath>
#include <sstream>

#include "support/BackgroundRun.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

struct LoggedRun {
  int status;
  std::string output;
};

LoggedRun Tolvane(const std::string& arguments) {
  LoggedRun run;
  // Standard output only: the log.
  run.status =
      RunShell("(" + ProgramPath() + " " + arguments + " --settings /nonexistent.ini 2>/dev/null)",
               &run.output);
  return run;
}

std::string Probe(const std::string& entries, const fs::path& file) {
  return Ffprobe("-show_entries " + entries + " -of csv=p=0 " + file.string());
}

double Number(const std::string& text) { return std::atof(text.c_str()); }

// Every picture of a file as 24-bit pixels.
std::vector<std::string> Pictures(const fs::path& file, size_t pictureSize) {
  std::string raw;
  RunShell("ffmpeg -v error -i " + file.string() + " -f rawvideo -pix_fmt bgr24 -", &raw);
  std::vector<std::string> pictures;
  for (size_t at = 0; at + pictureSize <= raw.size(); at += pictureSize)
    pictures.push_back(raw.substr(at, pictureSize));
  return pictures;
}

// Positions where two pictures differ.
std::vector<size_t> Difference(const std::string& a, const std::string& b) {
  std::vector<size_t> positions;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) positions.push_back(i);
  return positions;
}

}  // namespace

TEST(JobCommandTest, SampleIsSubtitledWithEveryFrameAndTheAudioCopied) {
  TempDir dir;
  const fs::path source = SourceDir() / "samples" / "sample.mp4";
  const fs::path output = dir / "out.avi";
  const LoggedRun run =
      Tolvane("--source " + source.string() + " --subtitles " +
              (SourceDir() / "samples" / "sample.srt").string() + " --output " + output.string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("-=[ START ]=-\n[ BEGIN MOVIE INFO ]\n", 0), 0u) << run.output;
  EXPECT_NE(run.output.find("Closing all...\n-=[ END ]=-\n"), std::string::npos);
  EXPECT_EQ(run.output.find('\r'), std::string::npos);

  const std::string frames = "-count_frames -select_streams v -show_entries stream=nb_read_frames";
  EXPECT_EQ(Ffprobe(frames + " -of csv=p=0 " + output.string()),
            Ffprobe(frames + " -of csv=p=0 " + source.string()));
  std::string errors;
  EXPECT_EQ(RunShell("ffmpeg -v error -i " + output.string() + " -f null -", &errors), 0);
  EXPECT_EQ(errors, "");

  const double frame = 1 / 25.0;
  for (const char* kind : {"v", "a"}) {
    const std::string duration = std::string("-select_streams ") + kind + " -show_entries";
    const double in = Number(Ffprobe(duration + " stream=duration -of csv=p=0 " + source.string()));
    const double out =
        Number(Ffprobe(duration + " stream=duration -of csv=p=0 " + output.string()));
    EXPECT_NEAR(out, in, frame) << kind;
  }
  EXPECT_EQ(Probe("stream_tags=title", output),
            "Video Stream [Subtitled]\nAudio Stream [Unchanged]\n");
  EXPECT_EQ(Probe("stream=codec_name", output), "mpeg4\naac\n");
  EXPECT_EQ(Probe("format_tags=software", output).rfind("Tolvane v2.02 | ", 0), 0u);
}

// Subtitle pixels appear on exactly the frames each entry covers: the
// subtitled output is compared with a transcode of the same lossless source.
TEST(JobCommandTest, SubtitlesCoverExactlyTheirFrames) {
  TempDir dir;
  const fs::path source = dir / "source.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=160x96:rate=25:duration=1.6 -c:v ffv1 " + source.string());
  // The second entry starts where the first ends; the third is cut by the
  // negative delay below and begins before frame 0.
  WriteFile(dir / "subs.sub", "{5}{9}First\r\n{9}{14}Second one\r\n{20}{24}Third\r\n");
  const std::string common = " --source " + source.string() + " --compressor DIB --font-color " +
                             "0xFFFFFF --font-size 14 --bold";
  ASSERT_EQ(Tolvane(common + " --transcode --output " + (dir / "plain.avi").string()).status, 0);
  ASSERT_EQ(Tolvane(common + " --subtitles " + (dir / "subs.sub").string() + " --output " +
                    (dir / "subtitled.avi").string())
                .status,
            0);
  EXPECT_EQ(Probe("stream_tags=title", dir / "plain.avi"), "Video Stream [Transcoded]\n");

  const size_t size = 160 * 96 * 3;
  const auto plain = Pictures(dir / "plain.avi", size);
  const auto subtitled = Pictures(dir / "subtitled.avi", size);
  ASSERT_EQ(plain.size(), 40u);
  ASSERT_EQ(subtitled.size(), 40u);
  std::ostringstream covered;
  for (size_t i = 0; i < plain.size(); ++i)
    if (plain[i] != subtitled[i]) covered << i << ' ';
  EXPECT_EQ(covered.str(), "5 6 7 8 9 10 11 12 13 14 20 21 22 23 24 ");
  // Frames 10 to 14 show the second entry, not the first one again.
  EXPECT_NE(Difference(plain[9], subtitled[9]), Difference(plain[12], subtitled[12]));

  ASSERT_EQ(Tolvane(common + " --subtitles " + (dir / "subs.sub").string() +
                    " --delay-frames -22 --output " + (dir / "early.avi").string())
                .status,
            0);
  const auto early = Pictures(dir / "early.avi", size);
  ASSERT_EQ(early.size(), 40u);
  std::ostringstream earlyCovered;
  for (size_t i = 0; i < early.size(); ++i)
    if (plain[i] != early[i]) earlyCovered << i << ' ';
  EXPECT_EQ(earlyCovered.str(), "0 1 2 ");
}

TEST(JobCommandTest, FailuresAndBadArgumentsHaveTheirExitStatus) {
  TempDir dir;
  const LoggedRun missing =
      Tolvane("--source " + (dir / "none.mp4").string() + " --subtitles " +
              (dir / "none.srt").string() + " --output " + (dir / "out.avi").string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output.rfind("-=[ START ]=-\n[BEGIN ERROR]\n", 0), 0u) << missing.output;
  EXPECT_NE(missing.output.find("[END ERROR]\nClosing all...\n"), std::string::npos);
  EXPECT_EQ(missing.output.find("-=[ END ]=-"), std::string::npos);

  const std::string files = " --subtitles a.srt --output b.avi";
  EXPECT_EQ(Tolvane("--source a.mp4" + files + " --quality 10001").status, 2);
  EXPECT_EQ(Tolvane("--source a.mp4" + files + " --compressor NONE").status, 2);
  EXPECT_EQ(Tolvane("--source a.mp4" + files + " --delay-frames 1 --delay-ms 5").status, 2);
  EXPECT_EQ(Tolvane("--source a.mp4 --output b.avi").status, 2);
  EXPECT_EQ(Tolvane("--source a.mp4" + files + " --frobnicate").status, 2);

  // Stream numbers the source does not have; nothing is written.
  const fs::path silent = dir / "silent.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.2 -c:v ffv1 " + silent.string());
  const std::string job =
      "--source " + silent.string() + " --transcode --output " + (dir / "out.avi").string();
  EXPECT_EQ(Tolvane(job + " --video-stream 2").status, 2);
  EXPECT_EQ(Tolvane(job + " --audio-stream 1").status, 2);
  EXPECT_FALSE(fs::exists(dir / "out.avi"));
  EXPECT_EQ(Tolvane(job + " --video-stream 1").status, 0);
}

// Without --settings the command line reads the same file as the window (here
// the user's copy), and leaves it as it was.
TEST(JobCommandTest, UsersSettingsFileIsReadAndNeverWritten) {
  TempDir dir;
  const fs::path source = dir / "source.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.4 -c:v ffv1 " + source.string());
  const fs::path settings = dir / "xdg" / "Tolvane" / "Tolvane.ini";
  fs::create_directories(settings.parent_path());
  const std::string stored = "[FILES]\r\nDestinationVideo=" + (dir / "stored.avi").string() +
                             "\r\n[OTHER]\r\nTranscodeVideo=1\r\n";
  WriteFile(settings, stored);
  std::string log;
  const int status =
      RunShell("(cd " + dir.path().string() + " && XDG_CONFIG_HOME=" + (dir / "xdg").string() +
                   " " + ProgramPath() + " --source " + source.string() + " 2>&1)",
               &log);
  EXPECT_EQ(status, 0) << log;
  EXPECT_EQ(Probe("stream_tags=title", dir / "stored.avi"), "Video Stream [Transcoded]\n");
  EXPECT_EQ(ReadFile(settings), stored);
  EXPECT_FALSE(fs::exists(dir / "Tolvane.ini"));
}

TEST(JobCommandTest, InterruptStopsLikeStopAndLeavesAPlayableFile) {
  TempDir dir;
  const fs::path source = dir / "long.mkv";
  MakeLongSource(source);
  const fs::path output = dir / "out.avi", logFile = dir / "log";
  BackgroundRun run({"--source", source.string(), "--transcode", "--output", output.string()},
                    logFile);
  // Interrupt once the frame loop has written a little, whatever the
  // machine's speed.
  ASSERT_TRUE(run.WaitForSize(output, 300000));
  run.Signal(SIGINT);
  const int status = run.Wait();
  const std::string log = ReadFile(logFile);
  EXPECT_EQ(status, 1) << log;
  EXPECT_TRUE(log.ends_with("\nClosing all...\n-=[ END ]=-\n")) << log;
  const int frames = CountedPictures(output);
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 1500);
  EXPECT_EQ(DecodeErrors(output), "");
}

// Why a command cannot be run on a pseudo-terminal here (script is absent,
// or the machine has no terminals to give), or empty when it can.
std::string WhyNoTerminal() {
  if (RunShell("command -v script") != 0) return "script (bsdutils) is absent";
  std::string said;
  if (RunShell("script -q -e -c true /dev/null < /dev/null", &said) != 0)
    return "script cannot open a pseudo-terminal here: " + said;
  return {};
}

// Through a pseudo-terminal, as a user's terminal shows the run: the
// progress line is rewritten in place and left at the last picture.
TEST(JobCommandTest, OnATerminalTheProgressLineEndsAtTheLastPicture) {
  const std::string noTerminal = WhyNoTerminal();
  if (!noTerminal.empty()) GTEST_SKIP() << noTerminal;
  TempDir dir;
  const fs::path source = dir / "long.mkv";
  // Long enough for the once-a-second refresh on a fast machine.
  Ffmpeg("-f lavfi -i testsrc2=size=640x360:rate=25:duration=50 -c:v mpeg4 -q:v 8 " +
         source.string());
  const std::string job = ProgramPath() + " --source " + source.string() +
                          " --transcode --output " + (dir / "out.avi").string() +
                          " --settings /nonexistent.ini";
  std::string screen;
  ASSERT_EQ(RunShell("script -q -e -c '" + job + "' /dev/null < /dev/null", &screen), 0) << screen;
  const size_t end = screen.find("Closing all...");
  ASSERT_NE(end, std::string::npos) << screen;
  const std::string beforeEnd = screen.substr(0, end);
  const size_t last = beforeEnd.rfind('\r', beforeEnd.size() - 3);
  ASSERT_NE(last, std::string::npos);
  const std::string finalLine = beforeEnd.substr(last);
  EXPECT_EQ(finalLine.substr(0, finalLine.find_last_not_of(' ', finalLine.size() - 3) + 1),
            "\r1250/1250 frames (100%)")
      << finalLine;
  EXPECT_TRUE(beforeEnd.ends_with("\r\n")) << "the log goes on on a line of its own";
}

// Many sources burnt at once, as a folder handed to GNU parallel would be,
// from one settings file that none of them writes.
TEST(JobCommandTest, ThreeJobsAtOnceFromOneSettingsFile) {
  TempDir dir;
  const fs::path settings = dir / "Tolvane.ini";
  const std::string stored =
      "[FONT]\r\nSize=20\r\nColor=0x00FFFF\r\n[SUBTITLE]\r\nFramesDelay=2\r\n";
  WriteFile(settings, stored);
  std::string commands;
  for (int i = 0; i < 3; ++i) {
    const std::string name = (dir / ("clip" + std::to_string(i))).string();
    Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=" + std::to_string(2 + i) +
           " -f lavfi -i sine=duration=" + std::to_string(2 + i) + " -c:v libx264 -c:a pcm_s16le " +
           name + ".mkv");
    WriteFile(name + ".srt", "1\n00:00:00,500 --> 00:00:01,000\nClip " + std::to_string(i) + "\n");
    commands += ProgramPath() + " --source " + name + ".mkv --subtitles " + name +
                ".srt --output " + name + "-subtitled.avi --settings " + settings.string() + " > " +
                name + ".log 2>&1 & pids=\"$pids $!\"; ";
  }
  std::string log;
  const int status =
      RunShell("(" + commands + "s=0; for pid in $pids; do wait $pid || s=1; done; exit $s)", &log);
  EXPECT_EQ(status, 0) << log;
  for (int i = 0; i < 3; ++i) {
    const fs::path output = dir / ("clip" + std::to_string(i) + "-subtitled.avi");
    const std::string frames =
        "-count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 ";
    EXPECT_EQ(Ffprobe(frames + output.string()), std::to_string(50 + 25 * i) + "\n") << output;
    EXPECT_EQ(Probe("stream=codec_name", output), "mpeg4\npcm_s16le\n");
    const std::string runLog = ReadFile(dir / ("clip" + std::to_string(i) + ".log"));
    EXPECT_TRUE(runLog.ends_with("Closing all...\n-=[ END ]=-\n")) << runLog;
  }
  EXPECT_EQ(ReadFile(settings), stored);
}

// An H.264 job says nothing of the encoder's statistics unless asked, and
// nothing of Qt's runtime folder.
TEST(JobCommandTest, TheLibrariesSpeakOnlyWhenVerbose) {
  std::string compressors;
  RunShell(ProgramPath() + " --list-compressors", &compressors);
  if (compressors.find("H264\t") == std::string::npos) GTEST_SKIP() << "no H.264 encoder";
  TempDir dir;
  const fs::path source = dir / "clip.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -c:v ffv1 " + source.string());
  const std::string job = "--source " + source.string() +
                          " --transcode --compressor H264 --output " + (dir / "out.avi").string();
  const ProgramRun quiet = RunProgram("--settings /nonexistent.ini " + job + " < /dev/null");
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out.find("FFmpeg"), std::string::npos) << quiet.out;
  EXPECT_EQ(quiet.out.find("frame I:"), std::string::npos) << quiet.out;

  std::string err;
  EXPECT_EQ(RunShell("(env -u XDG_RUNTIME_DIR " + ProgramPath() + " " + job +
                         " --settings /nonexistent.ini 2>&1 >/dev/null)",
                     &err),
            0);
  EXPECT_EQ(err, "");

  const ProgramRun verbose = RunProgram("--verbose " + job);
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_EQ(verbose.err, "");
  EXPECT_NE(verbose.out.find("\n[FFmpeg::libx264] frame I:"), std::string::npos) << verbose.out;
  // The encoder's closing report comes before the job's end.
  EXPECT_LT(verbose.out.find("[FFmpeg::libx264] kb/s:"), verbose.out.find("-=[ END ]=-"));
}

// The file is the same on any machine: however many threads decode the
// source (sliced pictures, which threads can share, and pictures shown out
// of order) and however many cores the encoder finds. Decoding threads that
// held pictures back once let an AVI's sound in earlier, and the encoders'
// slices and frame threads followed the cores.
TEST(JobCommandTest, TheFileIsTheSameWhateverCoresAndThreadsTheMachineHas) {
  TempDir dir;
  const fs::path source = dir / "sliced.mp4", subtitles = dir / "s.srt";
  Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -f lavfi -i sine=duration=3 "
      "-c:v libx264 -x264-params slices=4:bframes=3 -c:a aac " +
      source.string());
  WriteFile(subtitles, "1\n00:00:00,500 --> 00:00:02,000\nThreads\n");
  cpu_set_t all, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  const auto job = [&](const std::string& compressor, const fs::path& written) {
    const LoggedRun run =
        Tolvane("--defaults --source " + source.string() + " --subtitles " + subtitles.string() +
                " --compressor " + compressor + " --output " + written.string());
    EXPECT_EQ(run.status, 0) << run.output;
    return ReadFile(written);
  };
  for (const auto& [compressor, output] : {std::pair{"XVID", "out.avi"}, {"H264", "out.mkv"}}) {
    const std::string plain = job(compressor, dir / (std::string("plain-") + output));
    ASSERT_FALSE(plain.empty()) << output;
    setenv("TOLVANE_DECODER_THREADS", "4", 1);
    const std::string threaded = job(compressor, dir / (std::string("threaded-") + output));
    unsetenv("TOLVANE_DECODER_THREADS");
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const std::string oneCore = job(compressor, dir / (std::string("one-core-") + output));
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_TRUE(plain == threaded) << output;
    EXPECT_TRUE(plain == oneCore) << output;
  }
}
