#pragma once

// The program started in the background with its output discarded, for
// tests that stop or kill it half-way.
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

class BackgroundRun {
 public:
  // The program's arguments; no settings file is read.
  explicit BackgroundRun(std::vector<std::string> arguments);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Waits until the file has grown past bytes; false when the program ended
  // first.
  bool WaitForSize(const fs::path& file, uintmax_t bytes);
  void Signal(int signal);
  // The exit status, or 128 + the signal that ended it.
  int Wait();

 private:
  pid_t pid_ = -1;
};

}  // namespace testsupport
