// --progress json as a program driving Tolvane sees it: standard output is
// JSON objects alone, a job ends with one done event that says how and why,
// a stop by signal is told as such; and every file that cannot be opened is
// named with its cause, with or without the option.
#include <gtest/gtest.h>

#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <sstream>

#include "support/BackgroundRun.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Every line of standard output as a JSON object with its kind; any other
// line fails the test.
std::vector<QJsonObject> Events(const std::string& out) {
  std::vector<QJsonObject> events;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line;
    EXPECT_TRUE(document.object()["event"].isString()) << line;
    events.push_back(document.object());
  }
  return events;
}

std::vector<QJsonObject> OfKind(const std::vector<QJsonObject>& events, const char* kind) {
  std::vector<QJsonObject> found;
  for (const QJsonObject& event : events)
    if (event["event"].toString() == kind) found.push_back(event);
  return found;
}

// The one done event, which must be the last; every field it always has.
QJsonObject Done(const std::vector<QJsonObject>& events) {
  EXPECT_EQ(OfKind(events, "done").size(), 1u);
  if (events.empty()) return {};
  const QJsonObject done = events.back();
  EXPECT_EQ(done["event"].toString(), "done");
  EXPECT_TRUE(done["status"].isString());
  EXPECT_TRUE(done["output"].isString());
  EXPECT_TRUE(done["frames"].isDouble());
  EXPECT_TRUE(done["message"].isString());
  return done;
}

bool HasH264() {
  std::string compressors;
  RunShell(ProgramPath() + " --list-compressors", &compressors);
  return compressors.find("H264\t") != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class JsonProgressCommandTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TempDir;
    Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.4 -c:v ffv1 " + Short().string());
    WriteFile(Subtitles(), "1\n00:00:00,100 --> 00:00:00,300\nHi\n");
  }
  static void TearDownTestSuite() {
    delete folder;
    folder = nullptr;
  }
  static fs::path Short() { return *folder / "short.mkv"; }
  static fs::path Subtitles() { return *folder / "subs.srt"; }
  // A minute of source, made once: long enough to be stopped half-way.
  static fs::path Long() {
    const fs::path file = *folder / "long.mkv";
    if (!fs::exists(file)) MakeLongSource(file);
    return file;
  }

  TempDir dir;
  static TempDir* folder;
};

TempDir* JsonProgressCommandTest::folder = nullptr;

TEST_F(JsonProgressCommandTest, AJobThatEndsWellIsJsonLineByLine) {
  const fs::path output = dir / "out.mkv";
  const ProgramRun run =
      RunProgram("--source " + Short().string() + " --subtitles " + Subtitles().string() +
                 " --output " + output.string() + " --progress json");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<QJsonObject> events = Events(run.out);
  const std::vector<QJsonObject> log = OfKind(events, "log");
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front()["text"].toString(), "-=[ START ]=-");
  EXPECT_EQ(log.back()["text"].toString(), "-=[ END ]=-");
  EXPECT_TRUE(OfKind(events, "error").empty());
  const QJsonObject done = Done(events);
  EXPECT_EQ(done["status"].toString(), "ok");
  EXPECT_EQ(done["output"].toString().toStdString(), output.string());
  EXPECT_EQ(done["frames"].toInteger(), 10);
  EXPECT_EQ(CountedPictures(output), 10);

  // The option is the command line's, not the job's: a value it does not
  // know is refused like any bad argument.
  const ProgramRun bad = RunProgram("--source " + Short().string() + " --output " +
                                    (dir / "b.mkv").string() + " --progress xml");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("tolvane: bad progress 'xml'"), std::string::npos) << bad.err;
  EXPECT_EQ(RunProgram("--queue-add " + (dir / "q").string() + " --source " + Short().string() +
                       " --output " + (dir / "c.mkv").string() + " --progress json")
                .status,
            2);
}

// The log keeps its lines and standard error its messages; the new line
// after each names the file and why, and is the done event's message.
TEST_F(JsonProgressCommandTest, FailuresNameTheirFileAndCause) {
  struct Case {
    std::string arguments, err, message;
  };
  const std::string missing = (dir / "none.mp4").string();
  const std::string unmade = (dir / "no-folder" / "out.avi").string();
  const std::string unmadeMkv = (dir / "no-folder" / "out.mkv").string();
  const std::string noSubtitles = (dir / "none.srt").string();
  const std::string noPictures = (dir / "none.sup").string();
  const fs::path tiny = dir / "tiny.srt";
  WriteFile(tiny, "1\n");
  const std::string source = " --source " + Short().string();
  const std::string subtitles = " --subtitles " + Subtitles().string();
  const std::string disk =
      "tolvane: Can't create output video file...\n"
      "A disk error occurred while opening the file.\n";
  const std::vector<Case> cases = {
      {"--source " + missing + subtitles + " --output " + (dir / "a.avi").string(),
       "tolvane: [VelAvCodec::PreOpen] Can't open input file...\n",
       "cannot open '" + missing + "': No such file or directory"},
      {source + subtitles + " --output " + unmade, disk,
       "cannot open '" + unmade + "': No such file or directory"},
      {source + subtitles + " --output " + unmadeMkv, disk,
       "cannot open '" + unmadeMkv + "': No such file or directory"},
      {source + " --subtitles " + noSubtitles + " --output " + (dir / "b.avi").string(),
       "tolvane: [SubtitleFile::Open] Can't open input file...\n",
       "cannot open '" + noSubtitles + "': No such file or directory"},
      {source + " --subtitles " + noPictures + " --output " + (dir / "c.mkv").string(),
       "tolvane: [PictureSubtitles] Can't open the subtitle file...\n",
       "cannot open '" + noPictures + "': No such file or directory"},
  };
  for (const Case& c : cases) {
    const ProgramRun plain = RunProgram(c.arguments);
    EXPECT_EQ(plain.status, 1) << c.arguments;
    EXPECT_EQ(plain.err, c.err + "tolvane: " + c.message + "\n") << c.arguments;
    EXPECT_EQ(plain.out.find("cannot open"), std::string::npos) << "the log is as it was";

    const ProgramRun json = RunProgram(c.arguments + " --progress json");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.err, plain.err);
    const std::vector<QJsonObject> events = Events(json.out);
    const QJsonObject done = Done(events);
    EXPECT_EQ(done["status"].toString(), "failed");
    EXPECT_EQ(done["frames"].toInteger(), 0);
    EXPECT_EQ(done["message"].toString().toStdString(), c.message) << json.out;
    const std::vector<QJsonObject> errors = OfKind(events, "error");
    ASSERT_FALSE(errors.empty()) << json.out;
    EXPECT_EQ(errors.back()["text"].toString().toStdString(), c.message);
  }

  // An .idx without its .sub is not the file that is missing: the library's
  // line names the .sub.
  const fs::path lone = dir / "lone.idx";
  WriteFile(lone, "# VobSub index file, v7\n");
  const ProgramRun idx = RunProgram(source + " --subtitles " + lone.string() + " --output " +
                                    (dir / "e.mkv").string());
  EXPECT_EQ(idx.status, 1);
  EXPECT_NE(idx.err.find("lone.sub"), std::string::npos) << idx.err;
  EXPECT_EQ(idx.err.find("cannot open"), std::string::npos) << idx.err;

  // A file that opens but says nothing readable keeps its own message.
  const ProgramRun bad = RunProgram(source + " --subtitles " + tiny.string() + " --output " +
                                    (dir / "d.avi").string() + " --progress json");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "tolvane: [SubtitleFile::Open] File is too small...\n");
  const QJsonObject done = Done(Events(bad.out));
  EXPECT_EQ(done["status"].toString(), "failed");
  EXPECT_EQ(done["message"].toString(), "[SubtitleFile::Open] File is too small...");
}

// SIGTERM and SIGINT stop the job as Stop does; the file written so far
// plays, and the done event counts its pictures. The progress came at its
// pace while they were written.
TEST_F(JsonProgressCommandTest, ASignalStopsTheJobAndTheDoneEventSaysSo) {
  if (!HasH264()) GTEST_SKIP() << "no H.264 encoder";
  const fs::path source = Long();
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    const fs::path output = dir / ("stopped" + std::to_string(signal) + ".mkv");
    const fs::path log = dir / ("log" + std::to_string(signal));
    // The encoder's slowest preset: three progress events come long before
    // the end, on any machine.
    BackgroundRun run(
        {"--source", source.string(), "--transcode", "--output", output.string(), "--compressor",
         "H264", "--encoder-options", "preset=veryslow", "--progress", "json"},
        log);
    ASSERT_TRUE(run.WaitForSize(
        log, 1, [&log] { return Count(ReadFile(log), "{\"event\":\"progress\"") >= 3; }));
    run.Signal(signal);
    EXPECT_EQ(run.Wait(), 1);
    const std::string out = ReadFile(log);
    const std::vector<QJsonObject> events = Events(out);
    const QJsonObject done = Done(events);
    EXPECT_EQ(done["status"].toString(), "stopped") << out;
    EXPECT_NE(done["message"].toString().indexOf("stopped"), -1);
    const int frames = CountedPictures(output);
    EXPECT_GT(done["frames"].toInteger(), 0);
    EXPECT_LT(done["frames"].toInteger(), 1500);
    EXPECT_EQ(done["frames"].toInteger(), frames);
    EXPECT_EQ(DecodeErrors(output), "");

    const std::vector<QJsonObject> progress = OfKind(events, "progress");
    ASSERT_GE(progress.size(), 3u);
    for (size_t i = 0; i < progress.size(); ++i) {
      const QJsonObject& p = progress[i];
      for (const char* field : {"frame", "frames", "percent", "fps", "eta_s", "elapsed_s", "bytes"})
        EXPECT_TRUE(p[field].isDouble()) << field;
      EXPECT_FALSE(p.contains("copied"));
      EXPECT_EQ(p["frames"].toInteger(), 1500);
      EXPECT_NEAR(p["percent"].toDouble(), 100.0 * p["frame"].toDouble() / 1500, 0.01);
      if (i == 0) continue;
      const QJsonObject& before = progress[i - 1];
      const double apart = p["elapsed_s"].toDouble() - before["elapsed_s"].toDouble();
      EXPECT_GE(apart, 0.45) << i;
      EXPECT_LE(apart, 2.5) << i;
      EXPECT_GT(p["frame"].toInteger(), before["frame"].toInteger());
      EXPECT_GT(p["bytes"].toInteger(), before["bytes"].toInteger());
    }
    EXPECT_LE(progress.back()["frame"].toInteger(), done["frames"].toInteger());
  }
}

TEST_F(JsonProgressCommandTest, ASmartJobCountsCopiedAndEncodedPictures) {
  if (!HasH264()) GTEST_SKIP() << "no H.264 encoder";
  const fs::path source = dir / "film.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc2=s=320x180:r=25:d=40 -c:v libx264 -preset ultrafast -g 25 "
      "-pix_fmt yuv420p " +
      source.string());
  const fs::path subtitles = dir / "late.srt";
  WriteFile(subtitles, "1\n00:00:02,000 --> 00:00:38,000\nA long line\n");
  const fs::path output = dir / "smart.mkv", log = dir / "log";
  // The encoder's slowest preset: the job is still encoding when stopped.
  BackgroundRun run({"--source", source.string(), "--subtitles", subtitles.string(), "--output",
                     output.string(), "--compressor", "H264", "--smart", "--encoder-options",
                     "preset=veryslow", "--progress", "json"},
                    log);
  ASSERT_TRUE(run.WaitForSize(
      log, 1, [&log] { return Count(ReadFile(log), "{\"event\":\"progress\"") >= 1; }));
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 1);
  const std::vector<QJsonObject> events = Events(ReadFile(log));
  const std::vector<QJsonObject> progress = OfKind(events, "progress");
  ASSERT_FALSE(progress.empty());
  for (const QJsonObject& p : progress) {
    EXPECT_TRUE(p["copied"].isDouble());
    EXPECT_EQ(p["encoded"].toInteger(), p["frame"].toInteger());
  }
  // The copied stretch before the subtitle is written before any encoding.
  EXPECT_GT(progress.back()["copied"].toInteger(), 0);
  const QJsonObject done = Done(events);
  EXPECT_EQ(done["status"].toString(), "stopped");
  EXPECT_GE(done["frames"].toInteger(),
            progress.back()["copied"].toInteger() + progress.back()["encoded"].toInteger());
  EXPECT_EQ(done["frames"].toInteger(), CountedPictures(output));
}

// Each job of a queue ends with its own done event.
TEST_F(JsonProgressCommandTest, AQueueGivesEachJobItsDoneEvent) {
  const fs::path queue = dir / "jobs.queue";
  const std::string missing = (dir / "gone.mkv").string();
  WriteFile(missing, "");
  for (const std::string& source : {Short().string(), missing})
    ASSERT_EQ(RunProgram("--queue-add " + queue.string() + " --source " + source + " --subtitles " +
                         Subtitles().string() + " --output " +
                         (dir / (fs::path(source).stem().string() + ".avi")).string())
                  .status,
              0);
  fs::remove(missing);
  const ProgramRun run = RunProgram("--queue " + queue.string() + " --progress json");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tolvane: job 2 of 2: " + missing), std::string::npos) << run.err;
  const std::vector<QJsonObject> events = Events(run.out);
  const std::vector<QJsonObject> done = OfKind(events, "done");
  ASSERT_EQ(done.size(), 2u) << run.out;
  EXPECT_EQ(done[0]["status"].toString(), "ok");
  EXPECT_EQ(done[0]["frames"].toInteger(), 10);
  EXPECT_EQ(done[1]["status"].toString(), "failed");
  EXPECT_EQ(done[1]["message"].toString().toStdString(),
            "cannot open '" + missing + "': No such file or directory");
  // Each job's events start after the one before has ended.
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["event"].toString(), "done");
  for (size_t i = 0; i + 1 < events.size(); ++i)
    if (events[i]["event"].toString() == "done")
      EXPECT_EQ(events[i + 1]["text"].toString(), "-=[ START ]=-");
  // The queue file keeps the job's own error, as the window's queue shows it.
  EXPECT_NE(ReadFile(queue).find("Can't open input file"), std::string::npos) << ReadFile(queue);
}

// Names that are not text: the events still parse, and carry them escaped.
TEST_F(JsonProgressCommandTest, AFileNameWithControlCharactersAndInvalidUtf8) {
  const std::string odd = std::string("odd\x01\xff name");
  const fs::path source = dir / (odd + ".mkv");
  fs::copy_file(Short(), source);
  const fs::path output = dir / (odd + " out.mkv"), log = dir / "log";
  BackgroundRun run({"--source", source.string(), "--subtitles", Subtitles().string(), "--output",
                     output.string(), "--progress", "json"},
                    log);
  EXPECT_EQ(run.Wait(), 0);
  const std::string out = ReadFile(log);
  EXPECT_EQ(out.find('\x01'), std::string::npos);
  EXPECT_EQ(out.find('\xff'), std::string::npos);
  EXPECT_NE(out.find("odd\\u0001\xef\xbf\xbd name"), std::string::npos) << out;
  const std::vector<QJsonObject> events = Events(out);
  const QString shown = QString::fromUtf16(u"odd\u0001\uFFFD name");
  EXPECT_EQ(Done(events)["output"].toString(),
            dir.path().string().c_str() + QString("/") + shown + " out.mkv");
  bool named = false;
  for (const QJsonObject& line : OfKind(events, "log"))
    named = named || line["text"].toString().contains(shown + ".mkv");
  EXPECT_TRUE(named) << "the movie report names the source";
}

}  // namespace
