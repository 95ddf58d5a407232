// The watched folder: what is there and what arrives is burned once it has
// settled, with the subtitles beside it; nothing is done twice across
// restarts or burners, a failure is kept and not retried, and no output
// ever has its final name before it is whole.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/WatchFolders.h"
#include "support/BackgroundRun.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class WatchCommandTest : public watchfolders::WatchFolders {
 protected:
  static void SetUpTestSuite() { MakeMedia("640x480", 120, ""); }
  static void TearDownTestSuite() { DropMedia(); }
  std::vector<std::string> Watch(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--watch", in().string(), "--output-dir", out().string()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  static void Srt(const fs::path& file, const std::string& text) {
    WriteFile(file, "1\n00:00:00,200 --> 00:00:01,500\n" + text + "\n");
  }
  // Waits for the log to hold `text` `times` times; false after `seconds`.
  static bool LogShows(const fs::path& log, const std::string& text, int times = 1,
                       int seconds = 60) {
    for (int k = 0; k < seconds * 10; ++k) {
      const std::string held = fs::exists(log) ? ReadFile(log) : "";
      int found = 0;
      for (size_t at = held.find(text); at != std::string::npos; at = held.find(text, at + 1))
        ++found;
      if (found >= times) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

TEST_F(WatchCommandTest, BurnsWhatIsThereAndWhatArrivesOnceAndKeepsFailures) {
  fs::copy_file(Media("short.mkv"), in() / "first.mkv");
  Srt(in() / "first.srt", "First");
  WriteFile(in() / "broken.mkv", "not a film at all");
  // A film whose subtitle file is no subtitle file fails alone.
  fs::copy_file(Media("short.mkv"), in() / "unread.mkv");
  WriteFile(in() / "unread.srt", std::string("\x01\x02 not subtitles \xff\xfe\n", 20));
  const fs::path log = dir / "watch.log";
  {
    BackgroundRun run(Watch(), log);
    ASSERT_TRUE(LogShows(log, "Watch: done " + (in() / "first.mkv").string())) << ReadFile(log);
    ASSERT_TRUE(LogShows(log, "Watch: failed " + (in() / "broken.mkv").string())) << ReadFile(log);
    ASSERT_TRUE(LogShows(log, "Watch: failed " + (in() / "unread.mkv").string())) << ReadFile(log);
    // One that arrives, with subtitles in two languages: the one asked for.
    fs::copy_file(Media("short.mkv"), in() / "second.mkv");
    Srt(in() / "second.fre.srt", "Deux");
    ASSERT_TRUE(LogShows(log, "Watch: done " + (in() / "second.mkv").string())) << ReadFile(log);
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_EQ(CountedPictures(out() / "first.mkv"), 50);
  EXPECT_EQ(CountedPictures(out() / "second.mkv"), 50);
  EXPECT_FALSE(fs::exists(out() / "broken.mkv"));
  EXPECT_FALSE(fs::exists(out() / "unread.mkv"));
  const std::string state = ReadFile(out() / ".tolvane-watch.json");
  EXPECT_NE(state.find("\"failed\""), std::string::npos) << state;
  // A restarted burner does neither again.
  const auto written = fs::last_write_time(out() / "first.mkv");
  const fs::path again = dir / "again.log";
  {
    BackgroundRun run(Watch(), again);
    ASSERT_TRUE(LogShows(again, "Watch: watching"));
    std::this_thread::sleep_for(std::chrono::seconds(4));
    run.Signal(SIGINT);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_EQ(ReadFile(again).find("Watch: started"), std::string::npos) << ReadFile(again);
  EXPECT_EQ(fs::last_write_time(out() / "first.mkv"), written);
  // A failed file that changes is tried again.
  fs::copy_file(Media("short.mkv"), in() / "broken.mkv", fs::copy_options::overwrite_existing);
  Srt(in() / "broken.srt", "Mended");
  const fs::path third = dir / "third.log";
  BackgroundRun run(Watch(), third);
  ASSERT_TRUE(LogShows(third, "Watch: done " + (in() / "broken.mkv").string())) << ReadFile(third);
}

// With --progress json every line is an event, and each names its source.
TEST_F(WatchCommandTest, JsonEventsNameTheirSource) {
  fs::copy_file(Media("short.mkv"), in() / "film.mkv");
  Srt(in() / "film.srt", "Film");
  const fs::path log = dir / "watch.json";
  BackgroundRun run(Watch({"--progress", "json"}), log);
  ASSERT_TRUE(LogShows(log, "\"event\":\"done\""));
  ASSERT_TRUE(LogShows(log, "Watch: done"));
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 0);
  std::istringstream lines(ReadFile(log));
  int events = 0, done = 0;
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error{};
    const QJsonObject event =
        QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
    ++events;
    const QString text = event.value("text").toString();
    if (text.startsWith("Watch: watching") || text.startsWith("Watch: ended")) continue;
    EXPECT_EQ(event.value("source").toString().toStdString(), (in() / "film.mkv").string()) << line;
    done += event.value("event").toString() == "done";
  }
  EXPECT_GT(events, 5);
  EXPECT_EQ(done, 1);
}

TEST_F(WatchCommandTest, AFileStillBeingWrittenIsNotTaken) {
  Srt(in() / "slow.srt", "Slow");
  const fs::path log = dir / "watch.log";
  BackgroundRun run(Watch({"--output-format", "mp4"}), log);
  ASSERT_TRUE(LogShows(log, "Watch: watching"));
  // Copied in pieces a second apart, as a slow network would.
  const std::string bytes = ReadFile(Media("short.mkv"));
  {
    std::ofstream slow(in() / "slow.mkv", std::ios::binary);
    for (size_t at = 0; at < bytes.size(); at += bytes.size() / 4 + 1) {
      slow.write(bytes.data() + at,
                 std::streamsize(std::min(bytes.size() - at, bytes.size() / 4 + 1)));
      slow.flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
      EXPECT_EQ(ReadFile(log).find("Watch: started"), std::string::npos) << "taken half-copied";
    }
  }
  ASSERT_TRUE(LogShows(log, "Watch: done")) << ReadFile(log);
  EXPECT_EQ(CountedPictures(out() / "slow.mp4"), 50);
}

TEST_F(WatchCommandTest, TwoBurnersShareTheWorkAndAStopLeavesNoHalfOutput) {
  fs::copy_file(Media("short.mkv"), in() / "one.mkv");
  fs::copy_file(Media("short.mkv"), in() / "two.mkv");
  Srt(in() / "one.srt", "One");
  Srt(in() / "two.srt", "Two");
  const fs::path first = dir / "first.log", second = dir / "second.log";
  {
    BackgroundRun a(Watch(), first), b(Watch(), second);
    ASSERT_TRUE(LogShows(first, "Watch: watching") && LogShows(second, "Watch: watching"));
    for (int k = 0; k < 600 && !(fs::exists(out() / "one.mkv") && fs::exists(out() / "two.mkv"));
         ++k)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    a.Signal(SIGTERM);
    b.Signal(SIGTERM);
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
  }
  const std::string both = ReadFile(first) + ReadFile(second);
  for (const char* name : {"one.mkv", "two.mkv"}) {
    const std::string done = "Watch: done " + (in() / name).string();
    EXPECT_NE(both.find(done), std::string::npos) << both;
    EXPECT_EQ(both.find(done), both.rfind(done)) << "burned twice: " << name << "\n" << both;
  }
  // Stopped in the middle of a long film: no file with its final name.
  fs::copy_file(Media("long.mkv"), in() / "long.mkv");
  Srt(in() / "long.srt", "Long");
  const fs::path log = dir / "long.log";
  BackgroundRun run(Watch(), log);
  // Signalled once the job writes, so that the job's own stop takes it.
  ASSERT_TRUE(run.WaitForSize(out() / ".long.part.mkv", 300000));
  run.Signal(SIGTERM);
  run.Wait();
  EXPECT_FALSE(fs::exists(out() / "long.mkv")) << ReadFile(log);
  for (const auto& entry : fs::directory_iterator(out()))
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

}  // namespace
