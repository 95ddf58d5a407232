// Every input a fuzzer found and kept (fuzz/findings/<target>/, and the
// shared fixtures' findings of the whole-file target) runs again through the
// target that found it, as do the seeds the fuzzers start from. A failed
// check traps and a sanitizer's finding ends the process, so a fault that
// comes back fails this test; in the sanitizer build so does undefined
// behaviour the plain build lets pass. Each finding runs in a process of its
// own, so that every one that still fails is named with its report; the
// seeds and fixtures, which run clean, share this one, and the file being
// run is printed first.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzTargets.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using FUZZTARGETS::NamedTarget;

// The files of a folder in name order, its notes left out.
std::vector<fs::path> InputsIn(const fs::path& folder) {
  std::vector<fs::path> inputs;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return inputs;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename() != "README.md")
      inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

const NamedTarget* TargetNamed(const std::string& name) {
  for (const NamedTarget& target : FUZZTARGETS::AllTargets())
    if (name == target.Name) return &target;
  return nullptr;
}

class FuzzReplay : public testing::Test {
 protected:
  void SetUp() override { setenv("TOLVANE_FUZZ_DIR", temp_.path().c_str(), 1); }
  void TearDown() override { unsetenv("TOLVANE_FUZZ_DIR"); }

  static void Replay(const NamedTarget& target, const fs::path& input) {
    std::fprintf(stderr, "replaying %s through %s\n", input.c_str(), target.Name);
    std::fflush(stderr);
    const std::string bytes = testsupport::ReadFile(input);
    target.Run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }

  // In a child process: a crash there fails this test with its report, and
  // the other findings still run.
  static void ExpectCleanRun(const NamedTarget& target, const fs::path& input) {
    EXPECT_EXIT(
        {
          Replay(target, input);
          _exit(0);
        },
        testing::ExitedWithCode(0), "")
        << input << " through " << target.Name;
  }

  static fs::path FuzzDir() { return testsupport::SourceDir() / "fuzz"; }

 private:
  testsupport::TempDir temp_;
};

TEST_F(FuzzReplay, KeptFindingsRunCleanThroughTheTargetsThatFoundThem) {
  // The children start afresh rather than from a copy of a process with Qt's
  // threads in it.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const fs::directory_entry& folder : fs::directory_iterator(FuzzDir() / "findings")) {
    if (!folder.is_directory()) continue;
    const NamedTarget* target = TargetNamed(folder.path().filename());
    // A folder no target reads would keep its findings from ever running.
    ASSERT_NE(target, nullptr) << folder.path() << " names no fuzz target";
    for (const fs::path& input : InputsIn(folder.path())) ExpectCleanRun(*target, input);
  }
}

TEST_F(FuzzReplay, SharedFindingsRunCleanThroughTheWholeFileTarget) {
  const fs::path folder = fs::path(TOLVANE_SHARED_FIXTURES) / "fuzz-findings";
  const std::vector<fs::path> inputs = InputsIn(folder);
  if (inputs.empty()) GTEST_SKIP() << "no shared fuzz findings in " << folder;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const fs::path& input : inputs) ExpectCleanRun(*TargetNamed("subtitle"), input);
}

TEST_F(FuzzReplay, EveryTargetsSeedsRunClean) {
  for (const NamedTarget& target : FUZZTARGETS::AllTargets()) {
    const std::vector<fs::path> seeds = InputsIn(FuzzDir() / "seeds" / target.Name);
    EXPECT_FALSE(seeds.empty()) << target.Name << " has no seeds";
    for (const fs::path& seed : seeds) Replay(target, seed);
  }
}

TEST_F(FuzzReplay, SubtitleFixturesRunCleanThroughEveryTextTarget) {
  const fs::path fixtures(TOLVANE_SHARED_FIXTURES);
  std::vector<fs::path> inputs = InputsIn(fixtures / "subtitles");
  const std::vector<fs::path> styled = InputsIn(fixtures / "subtitles-styled");
  inputs.insert(inputs.end(), styled.begin(), styled.end());
  if (inputs.empty()) GTEST_SKIP() << "the shared subtitle fixtures are absent";
  for (const NamedTarget& target : FUZZTARGETS::AllTargets())
    if (target.ReadsSubtitleText)
      for (const fs::path& input : inputs) Replay(target, input);
}

}  // namespace
