#include "support/BackgroundRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>

extern char** environ;

namespace testsupport {

namespace {

// Closes a descriptor when the wait ends, however it ends.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

// Readable once the process has ended, where the kernel offers it.
int ProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return int(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

uintmax_t SizeOf(const fs::path& file) {
  std::error_code error;
  const uintmax_t size = fs::file_size(file, error);
  return error ? 0 : size;
}

}  // namespace

BackgroundRun::BackgroundRun(std::vector<std::string> arguments, const fs::path& log) {
  arguments.insert(arguments.begin(), ProgramPath());
  for (const char* extra : {"--settings", "/nonexistent.ini"}) arguments.push_back(extra);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = log.empty() ? std::string("/dev/null") : log.string();
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
}

BackgroundRun::~BackgroundRun() {
  if (pid_ > 0 && !Ended(false)) {
    kill(pid_, SIGKILL);
    Ended(true);
  }
  if (changes_ >= 0) close(changes_);
}

bool BackgroundRun::Ended(bool block) {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) return false;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
  return true;
}

testing::AssertionResult BackgroundRun::WaitForSize(const fs::path& file, uintmax_t bytes,
                                                    const std::function<bool()>& ready,
                                                    std::chrono::seconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  // Woken by every change in the file's folder and by the program's end, so
  // the wait ends as soon as either happens. The watch is set before the
  // first look at the size, so no write falls between the two.
  if (changes_ < 0) changes_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  const bool watching =
      changes_ >= 0 && inotify_add_watch(changes_, file.parent_path().c_str(),
                                         IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) >= 0;
  const int changes = watching ? changes_ : -1;
  Descriptor ended{pid_ > 0 ? ProcessDescriptor(pid_) : -1};
  for (;;) {
    const uintmax_t size = SizeOf(file);
    const bool grown = size >= bytes;
    if (grown && (!ready || ready())) return testing::AssertionSuccess();
    const char* const unready = grown ? " (the rest of the condition did not hold)" : "";
    if (Ended(false))
      return testing::AssertionFailure()
             << "the program ended (status " << status_ << ") with " << file << " at " << size
             << " of " << bytes << " bytes" << unready;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return testing::AssertionFailure() << file << " was at " << size << " of " << bytes
                                         << " bytes after " << limit.count() << " s" << unready;
    std::array<pollfd, 2> wake{{{changes, POLLIN, 0}, {ended.fd, POLLIN, 0}}};
    // Without either descriptor (an old kernel, no watch to be had) the size
    // is looked at again every few milliseconds.
    const bool watched = changes >= 0 && ended.fd >= 0;
    const int timeout = int(std::min<long long>(left.count(), watched ? 250 : 5));
    poll(wake.data(), wake.size(), timeout);
    std::array<char, 4096> events;
    while (changes >= 0 && read(changes, events.data(), events.size()) > 0) {
    }
  }
}

void BackgroundRun::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int BackgroundRun::Wait() {
  Ended(true);
  return status_;
}

}  // namespace testsupport
