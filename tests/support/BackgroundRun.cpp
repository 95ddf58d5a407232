#include "support/BackgroundRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace testsupport {

BackgroundRun::BackgroundRun(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), ProgramPath());
  for (const char* extra : {"--settings", "/nonexistent.ini"}) arguments.push_back(extra);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
}

BackgroundRun::~BackgroundRun() {
  if (pid_ > 0) Wait();
}

bool BackgroundRun::WaitForSize(const fs::path& file, uintmax_t bytes) {
  for (int i = 0; i < 3000; ++i) {
    std::error_code error;
    if (fs::exists(file, error) && fs::file_size(file, error) >= bytes) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void BackgroundRun::Signal(int signal) { kill(pid_, signal); }

int BackgroundRun::Wait() {
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testsupport
