// tolvane --watch DIR --output-dir OUT [--output-format mkv|mp4|avi|webm] [job options]
//
// Burns every video of DIR, those there at the start and those that arrive,
// once it has settled, into OUT, until a stop signal. Each output is written
// under a temporary name and renamed only once the job succeeded and the
// file reads back whole; the state file in OUT keeps what was done and what
// failed, and a lock beside each output keeps two burners off one file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <thread>

#include "cli/Commands.h"
#include "cli/JsonEvents.h"
#include "output/ReadBack.h"
#include "shell/WatchedFolder.h"
#include "tracks/Sidecars.h"

namespace COMMANDLINE {
namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t gStopWatching = 0;

void OnStop(int) { gStopWatching = 1; }

// Between jobs a stop signal ends the watch; during one the job's own
// handling stops the job first.
void CatchStops() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// A stop that comes while a job is being set up reaches the watcher's
// handler, not the job's, which clears what it was told before it takes the
// signals over: without this the job would run to its end. Once the job's
// handler is in place, the stop is handed to it as though the signal had
// come then; a handler is called rather than the signal raised again, so
// that a job which has just ended and let the signals go is not killed.
class StopForwarder {
 public:
  StopForwarder() : thread_([this] { Forward(); }) {}
  ~StopForwarder() {
    running_ = false;
    thread_.join();
  }

 private:
  void Forward() {
    while (running_) {
      if (gStopWatching) {
        struct sigaction now {};
        sigaction(SIGHUP, nullptr, &now);  // the last the job takes over
        const auto handler = now.sa_handler;
        if (handler != OnStop && handler != SIG_DFL && handler != SIG_IGN &&
            (now.sa_flags & SA_SIGINFO) == 0) {
          handler(SIGTERM);
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::atomic<bool> running_{true};
  std::thread thread_;
};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct WatchSetup {
  std::string Folder, Output, Format = "mkv";
  Arguments Job;  // what each job is given besides its files
  bool NamesSubtitles = false, Clips = false;
  bool Json = false;  // every line on standard output a JSON event
};

// The watcher's own lines: plain, or as log events naming their source.
void Say(const WatchSetup& setup, std::ostream& out, const std::string& text,
         const std::string& source = {}) {
  if (!setup.Json) {
    out << text << '\n' << std::flush;
    return;
  }
  JSONEVENTS::JsonEvents events(out);
  if (!source.empty()) events.SetSource(source);
  events.Log(text);
}

bool Is(const std::string& arg, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* name) { return arg == name; });
}

std::string ParseWatch(const Arguments& given, WatchSetup& setup) {
  Arguments args = given;
  std::string error;
  setup.Json = TakeJsonProgress(args, error);
  if (!error.empty()) return error;
  if (setup.Json) setup.Job.insert(setup.Job.end(), {"--progress", "json"});
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (Is(arg, {"--watch", "--output-dir", "--output-format"})) {
      if (i + 1 >= args.size()) return arg + " needs a value";
      const std::string& value = args[++i];
      (arg == "--watch"        ? setup.Folder
       : arg == "--output-dir" ? setup.Output
                               : setup.Format) = value;
      continue;
    }
    if (Is(arg, {"--source", "--output"})) return arg + " is given to each job by the watch";
    setup.NamesSubtitles =
        setup.NamesSubtitles || Is(arg, {"--subtitles", "--subtitle-track", "--subtitle-language"});
    setup.Clips = setup.Clips || Is(arg, {"--start", "--end", "--duration"});
    setup.Job.push_back(arg);
  }
  if (!Is(setup.Format, {"mkv", "mp4", "avi", "webm"}))
    return "bad output format '" + setup.Format + "' (mkv, mp4, avi or webm)";
  std::error_code failed;
  if (setup.Folder.empty() || !fs::is_directory(setup.Folder, failed))
    return "cannot watch '" + setup.Folder + "': not a folder";
  if (setup.Output.empty() || !fs::is_directory(setup.Output, failed))
    return "cannot write into '" + setup.Output + "': not a folder";
  if (fs::equivalent(setup.Folder, setup.Output, failed))
    return "the output folder must not be the watched one";
  return {};
}

// An exclusive hold on one output, let go when the burner ends however it
// ends; -1 when another burner holds it.
int HoldOutput(const std::string& output) {
  const std::string path =
      (fs::path(output).parent_path() / ("." + fs::path(output).filename().string() + ".lock"))
          .string();
  const int fd = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  close(fd);
  return -1;
}

// Why a finished job's file is not whole, or empty.
std::string ReadBackProblem(const std::string& written, const std::string& source, bool clip) {
  std::string error;
  const int64_t pictures = READBACK::StoredPictures(written, error);
  if (pictures < 0) return "the output can't be read back (" + error + ")";
  if (pictures == 0) return "the output holds no pictures";
  if (clip) return {};
  const int64_t expected = READBACK::StoredPictures(source, error);
  if (expected > 0 && pictures + std::max<int64_t>(2, expected / 100) < expected)
    return "the output holds " + std::to_string(pictures) + " of the source's " +
           std::to_string(expected) + " pictures";
  return {};
}

// One settled video, burned and renamed into place; false when the watch
// is to stop.
bool Burn(const WatchSetup& setup, const std::string& source, const WATCHEDFOLDER::Seen& seen,
          WATCHEDFOLDER::State& state, std::ostream& out, std::ostream& err) {
  const std::string output = WATCHEDFOLDER::OutputFor(source, setup.Output, setup.Format);
  const int hold = HoldOutput(output);
  if (hold < 0) return true;  // another burner has it
  // Or had it, while this one looked.
  if (state.Settled(source, seen)) {
    close(hold);
    return true;
  }
  const std::string temporary = WATCHEDFOLDER::TemporaryFor(output);
  Arguments job = {"--source", source, "--output", temporary};
  if (!setup.NamesSubtitles) {
    const std::vector<SIDECARS::Sidecar> sidecars = SIDECARS::FindSidecars(source);
    if (!sidecars.empty()) job.insert(job.end(), {"--subtitles", sidecars.front().Path});
  }
  job.insert(job.end(), setup.Job.begin(), setup.Job.end());
  Say(setup, out, "Watch: started " + source, source);
  bool stopped = false;
  int status = 0;
  {
    const StopForwarder forwarder;
    status = RunJob(job, out, err, stopped, source);
    CatchStops();
  }
  std::string problem = status == 0 ? ReadBackProblem(temporary, source, setup.Clips)
                                    : "the job ended with status " + std::to_string(status);
  // Cut short or rewritten under the job, the source read to an end that was
  // not the film's, and the read-back would count the same wrong end. One
  // removed stayed whole to the job that held it open.
  if (problem.empty()) {
    const auto now = WATCHEDFOLDER::VideosIn(setup.Folder);
    const auto found = now.find(source);
    if (found != now.end() && !(found->second == seen)) problem = "the source changed while burned";
  }
  std::error_code error;
  if (problem.empty()) {
    fs::rename(temporary, output, error);
    if (error) problem = "the output can't be renamed (" + error.message() + ")";
  }
  if (!problem.empty()) fs::remove(temporary, error);
  if (stopped) {
    Say(setup, out, "Watch: stopped " + source, source);
  } else if (problem.empty()) {
    state.Record(source, seen, WATCHEDFOLDER::State::Outcome::Done);
    Say(setup, out, "Watch: done " + source + " -> " + output, source);
  } else {
    state.Record(source, seen, WATCHEDFOLDER::State::Outcome::Failed);
    Say(setup, out, "Watch: failed " + source + " (" + problem + ")", source);
  }
  close(hold);
  return !stopped;
}

}  // namespace

int RunWatch(const Arguments& args, std::ostream& out, std::ostream& err) {
  WatchSetup setup;
  if (const std::string problem = ParseWatch(args, setup); !problem.empty()) {
    err << "tolvane: " << problem << "\nTry 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  gStopWatching = 0;
  CatchStops();
  WATCHEDFOLDER::State state((fs::path(setup.Output) / ".tolvane-watch.json").string());
  WATCHEDFOLDER::Settling settling;
  Say(setup, out, "Watch: watching " + setup.Folder + ", writing into " + setup.Output);
  while (!gStopWatching) {
    const std::map<std::string, WATCHEDFOLDER::Seen> videos = WATCHEDFOLDER::VideosIn(setup.Folder);
    for (const std::string& source : settling.Look(videos, NowMs())) {
      if (gStopWatching) break;
      const WATCHEDFOLDER::Seen seen = videos.at(source);
      if (state.Settled(source, seen)) continue;
      // It may have changed or gone while the others were burned.
      const auto now = WATCHEDFOLDER::VideosIn(setup.Folder);
      if (now.count(source) == 0 || !(now.at(source) == seen)) continue;
      if (!Burn(setup, source, seen, state, out, err)) gStopWatching = 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  Say(setup, out, "Watch: ended");
  return ExitOk;
}

}  // namespace COMMANDLINE
