#pragma once

// The job queue, kept in a text file of its own (never in Tolvane.ini) so
// that it outlives the program: saved whole on every change, read back
// without trusting it. Each job is stored as the command-line arguments that
// reproduce it, so the window and the command line share one form and a
// person can read and mend the file.
//
//   [Job 1]
//   State=waiting
//   Error=
//   Argument=--source
//   Argument=/films/a.mp4
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace JOBQUEUE {

enum class EntryState { Waiting, Running, Done, Failed, Stopped };

struct QueueEntry {
  int Id = 0;
  EntryState State = EntryState::Waiting;
  std::string Error;  // why it failed or stopped; one line
  std::vector<std::string> Arguments;
};

struct JobQueue {
  std::vector<QueueEntry> Entries;
  // One more than the highest id, so a removed job's id is not reused while
  // later ones remain.
  int NextId() const;
};

const char* StateName(EntryState state);

// Empty when the arguments can be queued, else why not: each is one line of
// the file.
std::string ArgumentsProblem(const std::vector<std::string>& arguments);

// Which queued jobs a run takes, whichever front runs it: every job not
// done (waiting, failed or stopped), in the queue's order, each at most
// once a run. Running the queue again after a failure, a stop or a crash
// therefore finishes it without redoing the jobs done.
bool RunsAgain(const QueueEntry& entry);

// The first job a run has not tried that it takes, marked running with its
// error cleared; null when there is none. `remaining` counts the jobs the
// run would take after it.
QueueEntry* TakeNextJob(JobQueue& queue, const std::set<int>& tried, int& remaining);

// Whether a run would take any job that it has not tried.
bool AnyToRun(const JobQueue& queue, const std::set<int>& tried = {});

std::string FormatQueue(const JobQueue& queue);
// Empty on success, else what is wrong and on which line. A job read back
// as running was cut short by the program's end and is waiting again.
std::string ParseQueue(const std::string& text, JobQueue& queue);

// A missing file is an empty queue. Empty on success, else the error.
std::string LoadQueue(const std::string& path, JobQueue& queue);
// Written to a temporary file in the same folder, flushed to the disk and
// renamed over the old one: a crash leaves either queue, never half of one.
std::string SaveQueue(const std::string& path, const JobQueue& queue);

// An advisory lock held around each read-modify-write of a queue file, so
// that two programs adding and running jobs lose nothing. It locks a file of
// its own beside the queue: the queue itself is replaced on every save.
class QueueLock {
 public:
  explicit QueueLock(const std::string& queuePath);
  ~QueueLock();
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;
  // Empty when the lock is held.
  const std::string& Error() const { return error_; }

 private:
  int descriptor_ = -1;
  std::string error_;
};

// Reads, changes and saves the queue under its lock; a change that returns
// false leaves the file as it is. Empty on success, else the error.
std::string ChangeQueue(const std::string& path, const std::function<bool(JobQueue&)>& change);

}  // namespace JOBQUEUE
