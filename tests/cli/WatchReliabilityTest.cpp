// The watched folder when things go wrong under it: a disk that fills, a
// source taken away or cut short while it is burned, a stop at any moment.
// Whatever happens the watcher goes on or ends cleanly, no output ever has
// its final name before it is whole, and no temporary file is left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "cli/WatchFolders.h"
#include "support/BackgroundRun.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class WatchReliabilityTest : public watchfolders::WatchFolders {
 protected:
  static void SetUpTestSuite() { MakeMedia("320x240", 40, "-q:v 3"); }
  static void TearDownTestSuite() { DropMedia(); }
  // The film with subtitles beside it, which the watcher needs to burn it.
  void Arrive(const char* media, const std::string& name) const {
    WriteFile(in() / (name + ".srt"), "1\n00:00:00,200 --> 00:00:30,000\n" + name + "\n");
    fs::copy_file(Media(media), in() / (name + ".mkv"));
  }
  std::vector<std::string> Watch() const {
    return {"--watch", in().string(), "--output-dir", out().string()};
  }
  // Waits for the log to hold `text`, looking every few milliseconds, and
  // meanwhile for a final-named output that does not read back whole;
  // false after `seconds`.
  bool LogShows(const fs::path& log, const std::string& text, int seconds = 60) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (fs::exists(log) && ReadFile(log).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return false;
  }
  // What a burner leaves in OUT besides its state and locks.
  std::vector<std::string> Outputs() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(".tolvane-watch.json", 0) != 0 && name.find(".lock") == std::string::npos)
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string State() const { return ReadFile(out() / ".tolvane-watch.json"); }
  static bool Recorded(const std::string& state, const fs::path& source, const char* status) {
    const size_t at = state.find("\"" + source.string() + "\"");
    if (at == std::string::npos) return false;
    const size_t end = state.find('}', at), start = state.rfind('{', at);
    return state.substr(start, end - start).find(std::string("\"status\": \"") + status + "\"") !=
           std::string::npos;
  }
};

// A file size limit stands for a full disk: writes past it fail with EFBIG,
// as they would with ENOSPC, and no privilege is needed to set it.
TEST_F(WatchReliabilityTest, AFullDiskFailsTheFileAndTheWatchGoesOn) {
  Arrive("long.mkv", "a_big");
  Arrive("short.mkv", "b_small");
  const fs::path log = dir / "watch.log";
  rlimit kept{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &kept), 0);
  rlimit small = kept;
  small.rlim_cur = 300 * 1024;
  const auto xfsz = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  auto run = std::make_unique<BackgroundRun>(Watch(), log);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &kept), 0);
  signal(SIGXFSZ, xfsz);
  // Watched all along: the big one's final name never appears.
  bool bigSeen = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (std::chrono::steady_clock::now() < until &&
         ReadFile(log).find("Watch: done " + (in() / "b_small.mkv").string()) ==
             std::string::npos) {
    bigSeen = bigSeen || fs::exists(out() / "a_big.mkv");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::string said = ReadFile(log);
  EXPECT_NE(said.find("Watch: failed " + (in() / "a_big.mkv").string()), std::string::npos) << said;
  ASSERT_NE(said.find("Watch: done " + (in() / "b_small.mkv").string()), std::string::npos) << said;
  run->Signal(SIGTERM);
  EXPECT_EQ(run->Wait(), 0);
  EXPECT_FALSE(bigSeen);
  EXPECT_EQ(Outputs(), std::vector<std::string>{"b_small.mkv"});
  EXPECT_EQ(CountedPictures(out() / "b_small.mkv"), 50);
  EXPECT_TRUE(Recorded(State(), in() / "a_big.mkv", "failed")) << State();
  EXPECT_TRUE(Recorded(State(), in() / "b_small.mkv", "done")) << State();
}

// Unlinked, the source stays readable to the job that holds it open, so its
// film is whole; cut short, what was burned is not the film that settled.
TEST_F(WatchReliabilityTest, ASourceRemovedOrCutWhileBurnedLeavesNoFalseOutput) {
  Arrive("long.mkv", "gone");
  Arrive("long.mkv", "cut");
  const fs::path log = dir / "watch.log";
  BackgroundRun run(Watch(), log);
  ASSERT_TRUE(run.WaitForSize(out() / ".cut.part.mkv", 100000));
  fs::resize_file(in() / "cut.mkv", fs::file_size(in() / "cut.mkv") / 3);
  ASSERT_TRUE(LogShows(log, "Watch: failed " + (in() / "cut.mkv").string(), 90)) << ReadFile(log);
  EXPECT_FALSE(fs::exists(out() / "cut.mkv"));
  EXPECT_TRUE(Recorded(State(), in() / "cut.mkv", "failed")) << State();
  ASSERT_TRUE(run.WaitForSize(out() / ".gone.part.mkv", 100000));
  fs::remove(in() / "gone.mkv");
  ASSERT_TRUE(LogShows(log, "Watch: done " + (in() / "gone.mkv").string(), 90)) << ReadFile(log);
  EXPECT_EQ(CountedPictures(out() / "gone.mkv"), 1000);
  // Still watching: a file that arrives now is burned.
  Arrive("short.mkv", "after");
  ASSERT_TRUE(LogShows(log, "Watch: done " + (in() / "after.mkv").string())) << ReadFile(log);
  run.Signal(SIGINT);
  EXPECT_EQ(run.Wait(), 0);
  // The cut file, settled again as it now is, may have been burned since.
  for (const std::string& name : Outputs()) EXPECT_NE(name[0], '.') << name;
}

// Stopped while a file settles, in the middle of a burn, and before the job
// has taken the stop signals as its own; each time the watcher ends at once
// with nothing half-written, and a restart burns what was not finished.
TEST_F(WatchReliabilityTest, AStopAtAnyPointLeavesNothingHalfWrittenAndARestartFinishes) {
  Arrive("short.mkv", "a_first");
  const fs::path settling = dir / "settling.log";
  {
    BackgroundRun run(Watch(), settling);
    ASSERT_TRUE(LogShows(settling, "Watch: watching"));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_EQ(ReadFile(settling).find("Watch: started"), std::string::npos) << ReadFile(settling);
  EXPECT_TRUE(Outputs().empty());

  Arrive("long.mkv", "b_long");
  const fs::path burning = dir / "burning.log";
  {
    BackgroundRun run(Watch(), burning);
    ASSERT_TRUE(LogShows(burning, "Watch: done " + (in() / "a_first.mkv").string()));
    ASSERT_TRUE(run.WaitForSize(out() / ".b_long.part.mkv", 100000));
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 0);
  }
  EXPECT_NE(ReadFile(burning).find("Watch: stopped " + (in() / "b_long.mkv").string()),
            std::string::npos)
      << ReadFile(burning);
  EXPECT_EQ(Outputs(), std::vector<std::string>{"a_first.mkv"});

  // The moment the job is being set up, before its own handling of the stop
  // signals is in place: the stop must still end the job, not wait for it.
  const fs::path starting = dir / "starting.log";
  {
    BackgroundRun run(Watch(), starting);
    ASSERT_TRUE(LogShows(starting, "Watch: started " + (in() / "b_long.mkv").string()));
    run.Signal(SIGTERM);
    const auto signalled = std::chrono::steady_clock::now();
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(10))
        << "the job ran on after the stop";
  }
  EXPECT_EQ(ReadFile(starting).find("Watch: done"), std::string::npos) << ReadFile(starting);
  EXPECT_EQ(Outputs(), std::vector<std::string>{"a_first.mkv"});

  const fs::path restart = dir / "restart.log";
  BackgroundRun run(Watch(), restart);
  ASSERT_TRUE(LogShows(restart, "Watch: done " + (in() / "b_long.mkv").string(), 100))
      << ReadFile(restart);
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_EQ(ReadFile(restart).find("Watch: started " + (in() / "a_first.mkv").string()),
            std::string::npos);
  EXPECT_EQ(Outputs(), (std::vector<std::string>{"a_first.mkv", "b_long.mkv"}));
  EXPECT_EQ(CountedPictures(out() / "b_long.mkv"), 1000);
}

}  // namespace
