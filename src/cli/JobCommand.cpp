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

// A stop has no error of its own; a script still learns why the status is 1.
int ExitStatusOf(SUBTITLEJOB::JobEnd end, std::ostream& err) {
  if (end == SUBTITLEJOB::JobEnd::Stopped)
    err << "tolvane: stopped before the end of the source; the file written so far is complete\n";
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
                     bool& stopped) {
  const std::string streamError = CheckStreamNumbers(arguments.Options, *materials.Decoder);
  if (!streamError.empty()) {
    err << "tolvane: " << streamError << '\n';
    return ExitBadArguments;
  }
  CLIJOBHOST::CliJobHost host(out, err, isatty(STDERR_FILENO) != 0,
                              [&arguments](ENCODERCHOICE::EncoderChoice& choice) {
                                return JOBARGUMENTS::ChoiceOf(arguments, choice);
                              });
  SUBTITLEJOB::SubtitleJob job(host, materials);
  const SUBTITLEJOB::JobEnd end = job.Start(arguments.Options);
  stopped = end == SUBTITLEJOB::JobEnd::Stopped;
  return ExitStatusOf(end, err);
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

}  // namespace

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err) {
  bool stopped = false;
  return RunJob(args, out, err, stopped);
}

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err, bool& stopped) {
  stopped = false;
  const auto application = EnsureGuiApplication();
  const SETTINGS::Settings settings = ReadSettings(args);
  JOBARGUMENTS::JobArguments arguments;
  const std::string error = JOBARGUMENTS::ParseJobArguments(args, settings, arguments);
  if (!error.empty()) {
    err << "tolvane: " << error << "\nTry 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  int status = ExitOk;
  if (const std::string problem = CheckStreams(arguments.Options, status); !problem.empty()) {
    err << "tolvane: " << problem << '\n';
    return status;
  }
  try {
    JOBMATERIALS::JobMaterials materials;
    materials.Decoder = std::make_unique<VELAVCODEC::VelAvCodec>(
        settings.AvCodec, settings.AvFormat, settings.AvUtil, settings.SwScale);
    return RunWithMaterials(arguments, materials, out, err, stopped);
  } catch (const VELAVCODEC::VelException& exception) {
    err << "tolvane: " << exception.Message << '\n';
    return ExitFailed;
  }
}

}  // namespace COMMANDLINE
