// The job queue file on any text: a queue that reads is written and read
// again to the same jobs, as the program does on every change.
#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "shell/JobQueue.h"

namespace FUZZTARGETS {
namespace {

using JOBQUEUE::EntryState;
using JOBQUEUE::JobQueue;
using JOBQUEUE::QueueEntry;

// An error is kept as one line.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

void CheckRead(const JobQueue& queue) {
  std::set<int> ids;
  int highest = 0;
  for (const QueueEntry& entry : queue.Entries) {
    FUZZ_REQUIRE(entry.Id > 0 && ids.insert(entry.Id).second);
    highest = std::max(highest, entry.Id);
    FUZZ_REQUIRE(!entry.Arguments.empty());
    // A job read back as running was cut short and waits again.
    FUZZ_REQUIRE(entry.State != EntryState::Running);
  }
  // A new job's id is free, after every other one while there is room.
  const int next = queue.NextId();
  FUZZ_REQUIRE(next > 0 && ids.count(next) == 0);
  FUZZ_REQUIRE(highest == std::numeric_limits<int>::max() || next == highest + 1);
}

}  // namespace

int FuzzQueue(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  JobQueue queue;
  if (!JOBQUEUE::ParseQueue(text, queue).empty()) return 0;
  CheckRead(queue);

  JobQueue again;
  const std::string error = JOBQUEUE::ParseQueue(JOBQUEUE::FormatQueue(queue), again);
  FUZZ_REQUIRE(error.empty());
  FUZZ_REQUIRE(again.Entries.size() == queue.Entries.size());
  for (std::size_t k = 0; k < queue.Entries.size(); ++k) {
    const QueueEntry& first = queue.Entries[k];
    const QueueEntry& second = again.Entries[k];
    FUZZ_REQUIRE(second.Id == first.Id && second.State == first.State);
    FUZZ_REQUIRE(second.Error == OneLine(first.Error));
    // The arguments are the job: they come back byte for byte.
    FUZZ_REQUIRE(second.Arguments == first.Arguments);
  }
  return 0;
}

}  // namespace FUZZTARGETS
