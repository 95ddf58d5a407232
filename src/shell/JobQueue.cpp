#include "shell/JobQueue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace JOBQUEUE {
namespace {

constexpr EntryState kStates[] = {EntryState::Waiting, EntryState::Running, EntryState::Done,
                                  EntryState::Failed, EntryState::Stopped};

// A value is one line of the file.
std::string OneLine(const std::string& text) {
  std::string line = text;
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return line;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

// "[Job 12]" gives 12; anything else 0.
int SectionId(const std::string& line) {
  constexpr std::string_view kHead = "[Job ";
  if (!line.starts_with(kHead) || !line.ends_with("]")) return 0;
  const char* first = line.data() + kHead.size();
  const char* last = line.data() + line.size() - 1;
  int id = 0;
  const auto [end, error] = std::from_chars(first, last, id);
  return error == std::errc() && end == last && id > 0 ? id : 0;
}

std::string ApplyKey(const std::string& key, const std::string& value, QueueEntry& entry) {
  // Only a line's end may hold a line break; one inside would be read back
  // as another value.
  if (value.find_first_of("\r\n") != std::string::npos) return "a line break inside a value";
  if (key == "Argument") {
    entry.Arguments.push_back(value);
  } else if (key == "Error") {
    entry.Error = value;
  } else if (key == "State") {
    const auto* state = std::find_if(std::begin(kStates), std::end(kStates),
                                     [&](EntryState s) { return value == StateName(s); });
    if (state == std::end(kStates)) return "unknown state '" + value + "'";
    entry.State = *state == EntryState::Running ? EntryState::Waiting : *state;
  } else {
    return "unknown key '" + key + "'";
  }
  return {};
}

bool WriteAll(int descriptor, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(descriptor, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += size_t(n);
  }
  return true;
}

}  // namespace

int JobQueue::NextId() const {
  int highest = 0;
  for (const QueueEntry& entry : Entries) highest = std::max(highest, entry.Id);
  if (highest < std::numeric_limits<int>::max()) return highest + 1;
  // Past the last id the smallest free one serves.
  std::set<int> used;
  for (const QueueEntry& entry : Entries) used.insert(entry.Id);
  int id = 1;
  while (used.count(id) > 0) ++id;
  return id;
}

std::string ArgumentsProblem(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    if (argument.find_first_of("\r\n") != std::string::npos)
      return "a queued job's arguments cannot hold line breaks: '" + OneLine(argument) + "'";
  return {};
}

const char* StateName(EntryState state) {
  switch (state) {
    case EntryState::Waiting:
      return "waiting";
    case EntryState::Running:
      return "running";
    case EntryState::Done:
      return "done";
    case EntryState::Failed:
      return "failed";
    case EntryState::Stopped:
      return "stopped";
  }
  return "waiting";
}

bool RunsAgain(const QueueEntry& entry) { return entry.State != EntryState::Done; }

QueueEntry* TakeNextJob(JobQueue& queue, const std::set<int>& tried, int& remaining) {
  QueueEntry* next = nullptr;
  remaining = 0;
  for (QueueEntry& entry : queue.Entries) {
    if (!RunsAgain(entry) || tried.count(entry.Id) > 0) continue;
    if (next == nullptr)
      next = &entry;
    else
      ++remaining;
  }
  if (next == nullptr) return nullptr;
  next->State = EntryState::Running;
  next->Error.clear();
  return next;
}

bool AnyToRun(const JobQueue& queue, const std::set<int>& tried) {
  return std::any_of(queue.Entries.begin(), queue.Entries.end(), [&](const QueueEntry& entry) {
    return RunsAgain(entry) && tried.count(entry.Id) == 0;
  });
}

std::string FormatQueue(const JobQueue& queue) {
  std::ostringstream text;
  text << "# Tolvane job queue: one section per job, its arguments one a line.\n";
  for (const QueueEntry& entry : queue.Entries) {
    text << "\n[Job " << entry.Id << "]\nState=" << StateName(entry.State)
         << "\nError=" << OneLine(entry.Error) << '\n';
    // Arguments with line breaks are refused before they are queued.
    for (const std::string& argument : entry.Arguments)
      text << "Argument=" << OneLine(argument) << '\n';
  }
  return text.str();
}

std::string ParseQueue(const std::string& text, JobQueue& queue) {
  JobQueue result;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (line.ends_with('\r')) line.pop_back();
    const std::string where = "line " + std::to_string(number) + ": ";
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      const int id = SectionId(line);
      if (id == 0) return where + "bad section '" + line + "'";
      for (const QueueEntry& entry : result.Entries)
        if (entry.Id == id) return where + "job " + std::to_string(id) + " appears twice";
      result.Entries.push_back(QueueEntry{id, EntryState::Waiting, {}, {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return where + "no '=' in '" + line + "'";
    if (result.Entries.empty()) return where + "a value before the first [Job N]";
    const std::string error =
        ApplyKey(line.substr(0, equals), line.substr(equals + 1), result.Entries.back());
    if (!error.empty()) return where + error;
  }
  for (const QueueEntry& entry : result.Entries)
    if (entry.Arguments.empty()) return "job " + std::to_string(entry.Id) + " has no arguments";
  queue = std::move(result);
  return {};
}

std::string LoadQueue(const std::string& path, JobQueue& queue) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (errno == ENOENT) {
      queue = JobQueue{};
      return {};
    }
    return SystemError("cannot read the queue", path);
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return SystemError("cannot read the queue", path);
  const std::string error = ParseQueue(text.str(), queue);
  return error.empty() ? error : "the queue '" + path + "' is damaged: " + error;
}

std::string SaveQueue(const std::string& path, const JobQueue& queue) {
  std::string temporary = path + ".XXXXXX";
  const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
  if (descriptor < 0) return SystemError("cannot write the queue", path);
  // The temporary file is private; the queue keeps its own permissions, so
  // a queue shared with others stays shared.
  struct stat old {};
  const mode_t mode = stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : 0644;
  const bool written = fchmod(descriptor, mode) == 0 && WriteAll(descriptor, FormatQueue(queue)) &&
                       fsync(descriptor) == 0;
  const int writeErrno = errno;
  const bool closed = close(descriptor) == 0;
  if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
    if (!written) errno = writeErrno;
    const std::string error = SystemError("cannot write the queue", path);
    unlink(temporary.c_str());
    return error;
  }
  return {};
}

QueueLock::QueueLock(const std::string& queuePath) {
  const std::string path = queuePath + ".lock";
  descriptor_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor_ < 0) {
    error_ = SystemError("cannot lock the queue", path);
    return;
  }
  while (flock(descriptor_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error_ = SystemError("cannot lock the queue", path);
    close(descriptor_);
    descriptor_ = -1;
    return;
  }
}

QueueLock::~QueueLock() {
  if (descriptor_ >= 0) close(descriptor_);
}

std::string ChangeQueue(const std::string& path, const std::function<bool(JobQueue&)>& change) {
  const QueueLock lock(path);
  if (!lock.Error().empty()) return lock.Error();
  JobQueue queue;
  if (std::string error = LoadQueue(path, queue); !error.empty()) return error;
  return change(queue) ? SaveQueue(path, queue) : std::string();
}

}  // namespace JOBQUEUE
