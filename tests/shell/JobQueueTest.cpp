// The queue file: what is written reads back the same, a job cut short is
// waiting again, and a damaged file is refused with where it is damaged.
#include "shell/JobQueue.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace JOBQUEUE;
using namespace testsupport;

namespace {

JobQueue TwoJobs() {
  JobQueue queue;
  queue.Entries.push_back({1, EntryState::Done, "", {"--source", "/a b.mp4", "--font=x=y"}});
  queue.Entries.push_back({4, EntryState::Failed, "no such\nfile", {"--output", ""}});
  return queue;
}

}  // namespace

TEST(JobQueueTest, SavedQueueReadsBackTheSame) {
  TempDir dir;
  const std::string path = (dir / "jobs.queue").string();
  ASSERT_EQ(SaveQueue(path, TwoJobs()), "");
  JobQueue read;
  ASSERT_EQ(LoadQueue(path, read), "");
  ASSERT_EQ(read.Entries.size(), 2u);
  EXPECT_EQ(read.Entries[0].Arguments, TwoJobs().Entries[0].Arguments);
  EXPECT_EQ(read.Entries[0].State, EntryState::Done);
  EXPECT_EQ(read.Entries[1].Id, 4);
  EXPECT_EQ(read.Entries[1].Error, "no such file");
  EXPECT_EQ(read.Entries[1].Arguments, (std::vector<std::string>{"--output", ""}));
  EXPECT_EQ(read.NextId(), 5);
  // Nothing of the temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  // Readable by others as a new file is, and a saved file keeps its own mode.
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0644));
  fs::permissions(path, fs::perms(0660));
  ASSERT_EQ(SaveQueue(path, read), "");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0660));
}

TEST(JobQueueTest, MissingFileIsAnEmptyQueueAndRunningIsWaiting) {
  TempDir dir;
  JobQueue queue = TwoJobs();
  ASSERT_EQ(LoadQueue((dir / "none.queue").string(), queue), "");
  EXPECT_TRUE(queue.Entries.empty());
  EXPECT_EQ(queue.NextId(), 1);

  ASSERT_EQ(ParseQueue("[Job 2]\r\nState=running\r\nArgument=--source\r\n", queue), "");
  ASSERT_EQ(queue.Entries.size(), 1u);
  EXPECT_EQ(queue.Entries[0].State, EntryState::Waiting);
}

TEST(JobQueueTest, DamagedFileIsRefusedWithItsLine) {
  const std::pair<const char*, const char*> damaged[] = {
      {"[Job 1]\nState=halfway\nArgument=a\n", "line 2: unknown state 'halfway'"},
      {"[Job x]\n", "line 1: bad section '[Job x]'"},
      {"[Job 1]\nArgument=a\n[Job 1]\nArgument=b\n", "line 3: job 1 appears twice"},
      {"State=done\n", "line 1: a value before the first [Job N]"},
      {"[Job 1]\nArgument\n", "line 2: no '=' in 'Argument'"},
      {"[Job 1]\nColour=red\n", "line 2: unknown key 'Colour'"},
      {"[Job 3]\nState=done\n", "job 3 has no arguments"},
  };
  for (const auto& [text, error] : damaged) {
    JobQueue queue = TwoJobs();
    EXPECT_EQ(ParseQueue(text, queue).substr(0, std::string(error).size()), error) << text;
    EXPECT_EQ(queue.Entries.size(), 2u) << "a refused file leaves the queue as it was";
  }
  TempDir dir;
  WriteFile(dir / "bad.queue", "[Job 1]\nState=halfway\n");
  JobQueue queue;
  EXPECT_EQ(LoadQueue((dir / "bad.queue").string(), queue),
            "the queue '" + (dir / "bad.queue").string() +
                "' is damaged: line 2: unknown state 'halfway'");
}

// The one rule both fronts run by: every job not done, in order, each once
// a run; the one taken is marked running with its old error cleared.
TEST(JobQueueTest, ARunTakesEveryJobNotDoneOnceInOrder) {
  JobQueue queue;
  const EntryState states[] = {EntryState::Done, EntryState::Failed, EntryState::Waiting,
                               EntryState::Stopped, EntryState::Done};
  int id = 1;
  for (EntryState state : states) queue.Entries.push_back({id++, state, "old error", {}});
  std::set<int> tried;
  std::vector<int> order, remainders;
  int remaining = -1;
  while (QueueEntry* next = TakeNextJob(queue, tried, remaining)) {
    EXPECT_EQ(next->State, EntryState::Running);
    EXPECT_EQ(next->Error, "");
    order.push_back(next->Id);
    remainders.push_back(remaining);
    tried.insert(next->Id);
    next->State = EntryState::Failed;  // a failure is not taken again this run
  }
  EXPECT_EQ(order, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(remainders, (std::vector<int>{2, 1, 0}));
  EXPECT_FALSE(AnyToRun(queue, tried));
  EXPECT_TRUE(AnyToRun(queue));  // the next run takes them again
  EXPECT_EQ(queue.Entries[0].Error, "old error");
}

// Each value is one line of the file: arguments with line breaks are refused
// before they are queued, and a value that holds one does not read.
TEST(JobQueueTest, LineBreaksNeverEnterTheFile) {
  EXPECT_EQ(ArgumentsProblem({"--source", "/films/a.mp4"}), "");
  EXPECT_NE(ArgumentsProblem({"--source", "/films/a\nArgument=--output"}), "");
  EXPECT_NE(ArgumentsProblem({"--output", "/films/b.avi\r"}), "");
  JobQueue queue;
  EXPECT_NE(ParseQueue("[Job 1]\nArgument=a\r\r\n", queue), "");
  // Past the highest id a free one serves.
  queue.Entries = {{1, EntryState::Done, "", {"x"}}, {2147483647, EntryState::Waiting, "", {"y"}}};
  EXPECT_EQ(queue.NextId(), 2);
}
