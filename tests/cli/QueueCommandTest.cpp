// The queue run through the program's command line: jobs added with
// --queue-add, run with --queue, their states read back from the file.
#include <gtest/gtest.h>

#include <signal.h>

#include "shell/JobQueue.h"
#include "support/BackgroundRun.h"
#include "support/TestSupport.h"

using namespace testsupport;
using JOBQUEUE::EntryState;

namespace {

std::vector<EntryState> States(const fs::path& queueFile) {
  JOBQUEUE::JobQueue queue;
  EXPECT_EQ(JOBQUEUE::LoadQueue(queueFile.string(), queue), "");
  std::vector<EntryState> states;
  for (const auto& entry : queue.Entries) states.push_back(entry.State);
  return states;
}

ProgramRun AddJob(const fs::path& queueFile, const fs::path& source, const fs::path& output) {
  return RunProgram("--queue-add " + queueFile.string() + " --source " + source.string() +
                    " --subtitles " + (SourceDir() / "samples" / "sample.srt").string() +
                    " --transcode --output " + output.string());
}

// Decodes to its end without an error.
bool Playable(const fs::path& file) {
  std::string errors;
  return fs::exists(file) &&
         RunShell("ffmpeg -v error -i " + file.string() + " -f null - 2>&1", &errors) == 0 &&
         errors.empty();
}

}  // namespace

TEST(QueueCommandTest, FailedJobDoesNotStopTheOthersAndDoneJobsAreNotRedone) {
  TempDir dir;
  const fs::path source = dir / "source.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.4 -c:v ffv1 " + source.string());
  const fs::path queue = dir / "jobs.queue";
  ASSERT_EQ(AddJob(queue, source, dir / "one.avi").status, 0);
  ASSERT_EQ(AddJob(queue, dir / "missing.mkv", dir / "two.avi").status, 0);
  ASSERT_EQ(AddJob(queue, source, dir / "three.mkv").status, 0);

  const ProgramRun run = RunProgram("--queue " + queue.string());
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("tolvane: job 1 of 3: " + source.string() + " -> " +
                         (dir / "one.avi").string() + "\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("tolvane: job 3 of 3: "), std::string::npos) << run.err;
  EXPECT_EQ(States(queue), (std::vector{EntryState::Done, EntryState::Failed, EntryState::Done}));
  JOBQUEUE::JobQueue read;
  ASSERT_EQ(JOBQUEUE::LoadQueue(queue.string(), read), "");
  // The reason the job gave on standard error.
  EXPECT_NE(read.Entries[1].Error.find("Can't open input file"), std::string::npos)
      << read.Entries[1].Error;
  EXPECT_EQ(read.Entries[0].Error, "");
  EXPECT_TRUE(Playable(dir / "one.avi"));
  EXPECT_TRUE(Playable(dir / "three.mkv"));

  // Only the failed job is tried again, and the done ones' files stay.
  fs::remove(dir / "one.avi");
  const ProgramRun again = RunProgram("--queue " + queue.string());
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("tolvane: job 1 of 1: " + (dir / "missing.mkv").string()),
            std::string::npos)
      << again.err;
  EXPECT_FALSE(fs::exists(dir / "one.avi"));
}

TEST(QueueCommandTest, JobLeftRunningIsRunAgainAndAllDoneExitsZero) {
  TempDir dir;
  const fs::path source = dir / "source.mkv";
  Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.2 -c:v ffv1 " + source.string());
  const fs::path queue = dir / "jobs.queue";
  WriteFile(queue, "[Job 7]\nState=running\nArgument=--source\nArgument=" + source.string() +
                       "\nArgument=--transcode\nArgument=--output\nArgument=" +
                       (dir / "out.avi").string() + "\n");
  const ProgramRun run = RunProgram("--queue " + queue.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(States(queue), std::vector{EntryState::Done});
  EXPECT_TRUE(Playable(dir / "out.avi"));
  // Nothing left to run: the file is not rewritten.
  const auto written = fs::last_write_time(queue);
  fs::last_write_time(queue, written - std::chrono::hours(1));
  EXPECT_EQ(RunProgram("--queue " + queue.string()).status, 0);
  EXPECT_EQ(fs::last_write_time(queue), written - std::chrono::hours(1));
}

TEST(QueueCommandTest, BadArgumentsAndDamagedQueueAreRefused) {
  TempDir dir;
  const fs::path queue = dir / "jobs.queue";
  const ProgramRun bad = RunProgram("--queue-add " + queue.string() + " --source a.mkv --output " +
                                    (dir / "o.avi").string() + " --font-size 0");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.rfind("tolvane: bad font size '0'\n", 0), 0u) << bad.err;
  EXPECT_EQ(RunProgram("--queue-add " + queue.string() + " --source - --output " +
                       (dir / "o.avi").string())
                .status,
            2);
  EXPECT_FALSE(fs::exists(queue));
  EXPECT_EQ(RunProgram("--queue " + queue.string() + " --transcode").status, 2);
  const ProgramRun missing = RunProgram("--queue " + queue.string());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tolvane: no queue file '" + queue.string() + "'\n");
  EXPECT_FALSE(fs::exists(queue));

  WriteFile(queue, "[Job 1]\nState=halfway\nArgument=--source\n");
  const ProgramRun damaged = RunProgram("--queue " + queue.string());
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("is damaged: line 2: unknown state 'halfway'"), std::string::npos)
      << damaged.err;
  EXPECT_EQ(ReadFile(queue), "[Job 1]\nState=halfway\nArgument=--source\n");
}

TEST(QueueCommandTest, InterruptStopsTheRunningJobAndLeavesTheNextWaiting) {
  TempDir dir;
  const fs::path source = dir / "long.mkv";
  MakeLongSource(source);
  const fs::path queue = dir / "jobs.queue";
  ASSERT_EQ(AddJob(queue, source, dir / "first.avi").status, 0);
  ASSERT_EQ(AddJob(queue, source, dir / "second.avi").status, 0);

  BackgroundRun run({"--queue", queue.string()});
  ASSERT_TRUE(run.WaitForSize(dir / "first.avi", 300000));
  run.Signal(SIGINT);
  EXPECT_EQ(run.Wait(), 1);
  EXPECT_EQ(States(queue), (std::vector{EntryState::Stopped, EntryState::Waiting}));
  EXPECT_TRUE(Playable(dir / "first.avi"));
  EXPECT_FALSE(fs::exists(dir / "second.avi"));
}
