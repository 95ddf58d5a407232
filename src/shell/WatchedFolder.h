#pragma once

// What a watched folder's burner decides, apart from running the jobs: which
// of the folder's videos have settled (their size and time unchanged long
// enough that no one is still writing them), which were done or failed
// before (the state file beside the outputs), and where each one's output
// goes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace WATCHEDFOLDER {

// A file as the folder shows it.
struct Seen {
  uintmax_t Size = 0;
  int64_t ModifiedNs = 0;
  bool operator==(const Seen&) const = default;
};

// Files whose size and time have stayed as they are for `settleMs`.
class Settling {
 public:
  explicit Settling(int64_t settleMs = 2000) : settleMs_(settleMs) {}
  // One look at the folder, at `nowMs`: the files it holds now. Answers
  // those that have settled, in name order.
  std::vector<std::string> Look(const std::map<std::string, Seen>& files, int64_t nowMs);

 private:
  struct Watched {
    Seen seen;
    int64_t sinceMs = 0;
  };
  int64_t settleMs_;
  std::map<std::string, Watched> watched_;
};

// What was done with each source, kept in OUT so that a restarted burner
// neither burns a finished file again nor retries a failed one until it
// changes.
class State {
 public:
  enum class Outcome { Done, Failed };
  // The state file in the output folder; a missing or unreadable one is an
  // empty state.
  explicit State(std::string path);
  // As the file says now: another burner on the same folder writes it too.
  bool Settled(const std::string& source, const Seen& seen);
  // Written at once (through a file renamed into place), over what the file
  // holds by then, under a lock that keeps two burners' records apart.
  // False when it can't be.
  bool Record(const std::string& source, const Seen& seen, Outcome outcome);
  const std::string& Path() const { return path_; }

 private:
  struct Entry {
    Seen seen;
    Outcome outcome;
  };
  void Load();
  bool Save() const;

  std::string path_;
  std::map<std::string, Entry> entries_;
};

// The video files of a folder (not its subfolders) with their sizes and
// times; none when it can't be read.
std::map<std::string, Seen> VideosIn(const std::string& folder);

// "OUT/film.mkv" for "DIR/film.avi" and "mkv"; the temporary name the job
// writes first, in the same folder so that the rename stays on one disk.
std::string OutputFor(const std::string& source, const std::string& outputFolder,
                      const std::string& format);
std::string TemporaryFor(const std::string& output);

}  // namespace WATCHEDFOLDER
