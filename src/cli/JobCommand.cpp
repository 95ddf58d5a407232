// tolvane --source FILE --subtitles FILE --output FILE [options]
//
// Runs the same job as the window's Start button, with what the options leave
// open taken from the settings file (read, never written).
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "cli/CliJobHost.h"
#include "cli/Commands.h"
#include "cli/JsonEvents.h"
#include "cli/StreamFiles.h"
#include "drawing/SubtitleOverlay.h"
#include "job/SubtitleJob.h"
#include "media/VelAvCodec.h"
#include "shell/JobArguments.h"
#include "shell/SettingsLocation.h"
#include "subtitles/SubtitleUnit.h"

namespace COMMANDLINE {

// Text is drawn with Qt, which needs an application object; without a
// display the offscreen platform serves. It must exist before the settings
// are looked for: the program's folder and the user's configuration folder
// come from it, named as the window names them.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "tolvane";
  static char* argv[] = {name, nullptr};
  auto application = std::make_unique<QGuiApplication>(argc, argv);
  QCoreApplication::setApplicationName("Tolvane");
  return application;
}

SETTINGS::Settings ReadSettings(const Arguments& args) {
  std::string path = JOBARGUMENTS::SettingsFileArgument(args);
  if (path.empty()) path = SETTINGS::SettingsLocation(SETTINGS::RunningProgramFolder()).ReadPath();
  return SETTINGS::LoadSettings(path);
}

namespace {

// What the done event of a run with --progress json says beside its status.
struct Ending {
  std::string Output;
  int64_t Frames = 0;
  std::string Message;
};

// The command's own errors go where the job's go.
void Refuse(const std::string& text, std::ostream& err, JSONEVENTS::JsonEvents* events,
            Ending& ending) {
  err << "tolvane: " << text << '\n';
  if (events != nullptr) events->Error(text);
  ending.Message = text;
}

// A stop has no error of its own; a script still learns why the status is 1.
int ExitStatusOf(SUBTITLEJOB::JobEnd end, std::ostream& err, Ending& ending) {
  if (end == SUBTITLEJOB::JobEnd::Stopped) {
    ending.Message = "stopped before the end of the source; the file written so far is complete";
    err << "tolvane: " << ending.Message << '\n';
  }
  return end == SUBTITLEJOB::JobEnd::SourceEnded ? ExitOk : ExitFailed;
}

// A stream number the source does not have would quietly fall back to its
// first stream. A source that cannot be read is left to the job to report,
// and so is a pipe: what a look at it read would be missing from the job.
std::string CheckStreamNumbers(const JOBOPTIONS::JobOptions& options,
                               VELAVCODEC::VelAvCodec& decoder) {
  if (options.VideoStream < 0 && options.AudioStream < 0) return {};
  if (STREAMFILES::IsStream(options.SourceVideo)) return {};
  std::string error;
  if (decoder.PreOpen(options.SourceVideo)) {
    if (options.VideoStream >= decoder.VideoStreamCount)
      error = "the source has no video stream " + std::to_string(options.VideoStream + 1);
    else if (options.AudioStream >= decoder.AudioStreamCount)
      error = "the source has no audio stream " + std::to_string(options.AudioStream + 1);
  }
  decoder.Close();
  return error;
}

int RunWithMaterials(const JOBARGUMENTS::JobArguments& arguments,
                     JOBMATERIALS::JobMaterials& materials, std::ostream& out, std::ostream& err,
                     bool& stopped, JSONEVENTS::JsonEvents* events, Ending& ending) {
  const std::string streamError = CheckStreamNumbers(arguments.Options, *materials.Decoder);
  if (!streamError.empty()) {
    Refuse(streamError, err, events, ending);
    return ExitBadArguments;
  }
  CLIJOBHOST::CliJobHost host(
      out, err, isatty(STDERR_FILENO) != 0,
      [&arguments](ENCODERCHOICE::EncoderChoice& choice) {
        return JOBARGUMENTS::ChoiceOf(arguments, choice);
      },
      events);
  SUBTITLEJOB::SubtitleJob job(host, materials);
  const SUBTITLEJOB::JobEnd end = job.Start(arguments.Options);
  stopped = end == SUBTITLEJOB::JobEnd::Stopped;
  ending.Frames = host.PicturesWritten();
  ending.Message = host.LastError();
  return ExitStatusOf(end, err, ending);
}

// Empty when the job may start, else what refuses it and the exit status.
std::string CheckStreams(JOBOPTIONS::JobOptions& options, int& status) {
  status = ExitBadArguments;
  std::string problem = STREAMFILES::OutputProblem(options.DestinationVideo);
  if (!problem.empty()) return problem;
  options.SourceVideo = STREAMFILES::SourcePath(options.SourceVideo);
  status = ExitFailed;
  return STREAMFILES::PipedSourceProblem(options.SourceVideo);
}

int RunJobTold(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped,
               JSONEVENTS::JsonEvents* events, Ending& ending) {
  stopped = false;
  const auto application = EnsureGuiApplication();
  const SETTINGS::Settings settings = ReadSettings(args);
  JOBARGUMENTS::JobArguments arguments;
  ending.Output = JOBARGUMENTS::OptionValue(args, "--output");
  const std::string error = JOBARGUMENTS::ParseJobArguments(args, settings, arguments);
  if (!error.empty()) {
    Refuse(error, err, events, ending);
    err << "Try 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  ending.Output = arguments.Options.DestinationVideo;
  int status = ExitOk;
  if (const std::string problem = CheckStreams(arguments.Options, status); !problem.empty()) {
    Refuse(problem, err, events, ending);
    return status;
  }
  try {
    JOBMATERIALS::JobMaterials materials;
    materials.Decoder = std::make_unique<VELAVCODEC::VelAvCodec>(
        settings.AvCodec, settings.AvFormat, settings.AvUtil, settings.SwScale);
    return RunWithMaterials(arguments, materials, out, err, stopped, events, ending);
  } catch (const VELAVCODEC::VelException& exception) {
    Refuse(exception.Message, err, events, ending);
    return ExitFailed;
  }
}

}  // namespace

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err) {
  bool stopped = false;
  return RunJob(args, out, err, stopped);
}

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped,
           JSONEVENTS::JsonEvents* events) {
  Ending ending;
  const int status = RunJobTold(args, out, err, stopped, events, ending);
  if (events == nullptr) return status;
  using JSONEVENTS::Status;
  const Status told = stopped ? Status::Stopped : status == ExitOk ? Status::Ok : Status::Failed;
  // A job given up without an error of its own (no compressor chosen) still
  // says something.
  if (told == Status::Ok)
    ending.Message = "done";
  else if (ending.Message.empty())
    ending.Message = "the job failed";
  events->Done(told, ending.Output, ending.Frames, ending.Message);
  return status;
}

int RunJob(const Arguments& given, std::ostream& out, std::ostream& err, bool& stopped) {
  return RunJob(given, out, err, stopped, std::string());
}

int RunJob(const Arguments& given, std::ostream& out, std::ostream& err, bool& stopped,
           const std::string& eventSource) {
  Arguments args = given;
  std::string error;
  const bool json = TakeJsonProgress(args, error);
  if (!error.empty()) {
    stopped = false;
    err << "tolvane: " << error << "\nTry 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  if (!json) return RunJob(args, out, err, stopped, nullptr);
  JSONEVENTS::JsonEvents events(out);
  if (!eventSource.empty()) events.SetSource(eventSource);
  return RunJob(args, out, err, stopped, &events);
}

}  // namespace COMMANDLINE
