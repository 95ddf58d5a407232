// tolvane --queue-add QUEUE --source FILE --subtitles FILE --output FILE [options]
// tolvane --queue QUEUE [--settings FILE]
//
// Jobs kept in a queue file and run one after another, each as the --source
// command runs it. The file is re-read before every job, so jobs added while
// the queue runs are run too.
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <streambuf>
#include <string_view>

#include "cli/CliJobHost.h"
#include "cli/Commands.h"
#include "cli/JsonEvents.h"
#include "cli/StreamFiles.h"
#include "shell/JobArguments.h"
#include "shell/JobQueue.h"

namespace COMMANDLINE {
namespace {

using JOBARGUMENTS::OptionValue;
using JOBQUEUE::ChangeQueue;
using JOBQUEUE::EntryState;
using JOBQUEUE::JobQueue;

// Passes standard error through and keeps the last "tolvane: " line, the
// reason a failed job gives, for the queue file.
class ErrorKeeper : public std::streambuf {
 public:
  explicit ErrorKeeper(std::ostream& to) : to_(to) {}
  const std::string& LastError() const { return last_; }

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return 0;
    to_.put(char(c));
    if (c == '\n') {
      // The failed file's cause that follows an error leaves the queue
      // file with the error itself, as the window's queue shows it.
      if (line_.starts_with("tolvane: ") &&
          !std::string_view(line_).substr(9).starts_with(CLIJOBHOST::kCannotOpen))
        last_ = line_.substr(9);
      line_.clear();
    } else if (c == '\r') {
      line_.clear();  // a progress line
    } else {
      line_ += char(c);
    }
    return c;
  }
  int sync() override {
    to_.flush();
    return 0;
  }

 private:
  std::ostream& to_;
  std::string line_;
  std::string last_;
};

int BadArguments(const std::string& error, std::ostream& err) {
  err << "tolvane: " << error << "\nTry 'tolvane --help' for the list of options.\n";
  return ExitBadArguments;
}

}  // namespace

int RunQueueAdd(const Arguments& given, std::ostream&, std::ostream& err) {
  const auto application = EnsureGuiApplication();
  const auto option = std::find(given.begin(), given.end(), std::string("--queue-add"));
  if (option + 1 == given.end()) return BadArguments("option '--queue-add' needs a value", err);
  const std::string path = *(option + 1);
  Arguments args(given.begin(), option);
  args.insert(args.end(), option + 2, given.end());

  JOBARGUMENTS::JobArguments arguments;
  const std::string error = JOBARGUMENTS::ParseJobArguments(args, ReadSettings(args), arguments);
  if (!error.empty()) return BadArguments(error, err);
  if (STREAMFILES::IsStream(arguments.Options.SourceVideo))
    return BadArguments("a queued job cannot read its source from a pipe", err);
  if (const std::string problem = STREAMFILES::OutputProblem(arguments.Options.DestinationVideo);
      !problem.empty())
    return BadArguments(problem, err);
  if (const std::string problem = JOBQUEUE::ArgumentsProblem(args); !problem.empty())
    return BadArguments(problem, err);

  JOBARGUMENTS::MakePathsAbsolute(args);
  const std::string saveError = ChangeQueue(path, [&](JobQueue& queue) {
    queue.Entries.push_back({queue.NextId(), EntryState::Waiting, {}, args});
    return true;
  });
  if (!saveError.empty()) {
    err << "tolvane: " << saveError << '\n';
    return ExitFailed;
  }
  return ExitOk;
}

int RunQueue(const Arguments& given, std::ostream& out, std::ostream& err) {
  Arguments args = given;
  std::string progressError;
  const bool json = TakeJsonProgress(args, progressError);
  if (!progressError.empty()) return BadArguments(progressError, err);
  // Every job of the queue ends with its own done event.
  JSONEVENTS::JsonEvents events(out);
  JSONEVENTS::JsonEvents* const told = json ? &events : nullptr;
  const auto fail = [&err, told](const std::string& text) {
    err << "tolvane: " << text << '\n';
    if (told != nullptr) told->Error(text);
    return ExitFailed;
  };
  const std::string path = OptionValue(args, "--queue");
  for (size_t i = 0; i < args.size(); i += 2) {
    if (args[i] != "--queue" && args[i] != "--settings")
      return BadArguments("unknown option '" + args[i] + "' with --queue", err);
    if (i + 1 >= args.size()) return BadArguments("option '" + args[i] + "' needs a value", err);
  }
  // A mistyped name would otherwise run an empty queue and succeed.
  if (std::error_code error; !std::filesystem::is_regular_file(path, error))
    return fail("no queue file '" + path + "'");
  const auto application = EnsureGuiApplication();
  Arguments settings;
  if (const std::string file = OptionValue(args, "--settings"); !file.empty())
    settings = {"--settings", file};

  std::set<int> tried;
  bool allDone = true;
  for (;;) {
    int id = 0;
    int remaining = 0;
    Arguments jobArgs;
    std::string error = ChangeQueue(path, [&](JobQueue& queue) {
      const JOBQUEUE::QueueEntry* next = JOBQUEUE::TakeNextJob(queue, tried, remaining);
      id = next != nullptr ? next->Id : 0;
      for (const auto& entry : queue.Entries)
        if (entry.Id == id) jobArgs = entry.Arguments;
      return id != 0;
    });
    if (error.empty() && id == 0) break;
    if (!error.empty()) return fail(error);
    tried.insert(id);
    const int number = int(tried.size());
    err << "tolvane: job " << number << " of " << number + remaining << ": "
        << OptionValue(jobArgs, "--source") << " -> " << OptionValue(jobArgs, "--output") << '\n';

    // The queue's settings file serves a job that names none of its own.
    jobArgs.insert(jobArgs.end(), settings.begin(), settings.end());
    ErrorKeeper keeper(err);
    std::ostream jobErr(&keeper);
    bool stopped = false;
    const int status = RunJob(jobArgs, out, jobErr, stopped, told);
    jobErr.flush();
    const EntryState state = stopped            ? EntryState::Stopped
                             : status == ExitOk ? EntryState::Done
                                                : EntryState::Failed;
    allDone = allDone && state == EntryState::Done;
    // A job removed from the queue meanwhile has nothing to mark.
    error = ChangeQueue(path, [&](JobQueue& queue) {
      for (auto& entry : queue.Entries)
        if (entry.Id == id) {
          entry.State = state;
          entry.Error = state == EntryState::Done ? std::string() : keeper.LastError();
        }
      return true;
    });
    if (!error.empty()) return fail(error);
    if (stopped) break;
  }
  return allDone ? ExitOk : ExitFailed;
}

}  // namespace COMMANDLINE
