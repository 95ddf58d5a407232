// tolvane --snapshot TIME --source FILE --subtitles FILE --output FILE.png
//         [font, look and delay options]
//
// Writes the source picture due at that time with the subtitle due then,
// drawn as the job would draw it, so that size, colour and look can be seen
// on the real picture before a long run.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "job/StillPicture.h"
#include "media/VelAvCodec.h"
#include "shell/JobArguments.h"

namespace COMMANDLINE {
namespace {

// The time, and the other arguments for the job's own parsing.
std::string SplitSnapshotTime(const Arguments& args, double& seconds, Arguments& rest) {
  std::optional<double> time;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--snapshot") {
      rest.push_back(args[i]);
      continue;
    }
    if (i + 1 >= args.size()) return "option '--snapshot' needs a value";
    time = STILLPICTURE::ParseStillTime(args[++i]);
    if (!time) return "bad time '" + args[i] + "' (seconds, or h:mm:ss)";
  }
  if (!time) return "option '--snapshot' needs a value";
  seconds = *time;
  return {};
}

// With --align the finding goes to standard output, whether the still is
// written or not.
int WriteStill(const JOBOPTIONS::JobOptions& options, double seconds,
               VELAVCODEC::VelAvCodec& decoder, std::ostream& out, std::ostream& err) {
  std::string error;
  BMPFRAME::BmpFrame still;
  std::vector<std::string> found;
  if (STILLPICTURE::IsAnInput(options, options.DestinationVideo))
    error =
        "[StillPicture::WritePng] The picture would overwrite the source video or the "
        "subtitle file...";
  else if (STILLPICTURE::ComposeStill(decoder, options, seconds, still, error, &found) &&
           STILLPICTURE::WritePng(still, options.DestinationVideo, error))
    error.clear();
  for (const std::string& line : found) out << line << '\n';
  if (error.empty()) return ExitOk;
  err << error << '\n';
  return ExitFailed;
}

}  // namespace

int RunSnapshot(const Arguments& args, std::ostream& out, std::ostream& err) {
  const auto application = EnsureGuiApplication();
  double seconds = 0.0;
  Arguments rest;
  std::string error = SplitSnapshotTime(args, seconds, rest);
  const SETTINGS::Settings settings = ReadSettings(args);
  JOBARGUMENTS::JobArguments arguments;
  if (error.empty()) error = JOBARGUMENTS::ParseJobArguments(rest, settings, arguments);
  if (!error.empty()) {
    err << "tolvane: " << error << "\nTry 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  try {
    VELAVCODEC::VelAvCodec decoder(settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                   settings.SwScale);
    return WriteStill(arguments.Options, seconds, decoder, out, err);
  } catch (const VELAVCODEC::VelException& exception) {
    err << "tolvane: " << exception.Message << '\n';
    return ExitFailed;
  }
}

}  // namespace COMMANDLINE
