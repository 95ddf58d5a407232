#pragma once

// The program started in the background, for tests that stop or kill it
// half-way.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

class BackgroundRun {
 public:
  // The program's arguments; no settings file is read. Standard output goes
  // to `log` when given, else it is discarded with standard error.
  explicit BackgroundRun(std::vector<std::string> arguments, const fs::path& log = {});
  // A program still running when the test gives up is killed, so a failed
  // test does not wait for a whole job.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Waits until the file has grown to `bytes` and `ready`, when given, holds;
  // fails, saying how far it got, when the program ends first or `limit`
  // passes.
  testing::AssertionResult WaitForSize(const fs::path& file, uintmax_t bytes,
                                       const std::function<bool()>& ready = {},
                                       std::chrono::seconds limit = std::chrono::seconds(60));
  void Signal(int signal);
  // The exit status, or 128 + the signal that ended it.
  int Wait();

 private:
  // True when the program has ended; its status is then kept.
  bool Ended(bool block);

  pid_t pid_ = -1;
  int status_ = -1;
  // The watch on the waited-for file's folder, open until the run goes:
  // closing an inotify instance waits for the kernel to retire its watches,
  // which on a loaded machine can take long enough for a fast job to finish
  // before it is signalled.
  int changes_ = -1;
};

}  // namespace testsupport
