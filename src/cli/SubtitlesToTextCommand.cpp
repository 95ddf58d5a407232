// tolvane --subtitles-to-text --source FILE [--subtitle-track N | --subtitles F.sup|F.idx]
//         --output OUT.srt [--ocr-language LANGS] [--forced-only]
//
// Reads a picture subtitle stream as text and writes it as SubRip.
#include <ostream>

#include "cli/Commands.h"
#include "job/PicturesToText.h"
#include "media/VelAvCodec.h"

namespace COMMANDLINE {
namespace {

std::string ParseRequest(const Arguments& args, PICTURESTOTEXT::Request& request) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--forced-only") {
      request.ForcedOnly = true;
      continue;
    }
    if (arg == "--settings") {
      ++i;
      continue;
    }
    if (i + 1 >= args.size()) return arg + " needs a value";
    const std::string& value = args[++i];
    if (arg == "--source") {
      request.Source = value;
    } else if (arg == "--subtitles") {
      request.Pictures = value;
    } else if (arg == "--output") {
      request.Output = value;
    } else if (arg == "--ocr-language") {
      request.Languages = value;
    } else if (arg == "--subtitle-track") {
      char* end = nullptr;
      const long track = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str() || *end != 0 || track < 1 || track > 32)
        return "bad subtitle track '" + value + "'";
      request.Track = int(track);
    } else {
      return "unknown option " + arg + " for --subtitles-to-text";
    }
  }
  if (request.Source.empty() && request.Pictures.empty()) return "--source is needed";
  if (request.Output.empty()) return "--output is needed";
  return {};
}

}  // namespace

int RunSubtitlesToText(const Arguments& args, std::ostream& out, std::ostream& err) {
  const auto application = EnsureGuiApplication();
  PICTURESTOTEXT::Request request;
  if (const std::string problem = ParseRequest(args, request); !problem.empty()) {
    err << "tolvane: " << problem << "\nTry 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  const SETTINGS::Settings settings = ReadSettings(args);
  try {
    VELAVCODEC::VelAvCodec decoder(settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                   settings.SwScale);
    PICTURESTOTEXT::Result result;
    const std::string error = PICTURESTOTEXT::WriteText(decoder, request, result);
    if (!error.empty()) {
      err << "tolvane: " << error << '\n';
      return ExitFailed;
    }
    for (const std::string& line : result.Log) out << line << '\n';
    return ExitOk;
  } catch (const VELAVCODEC::VelException& exception) {
    err << "tolvane: " << exception.Message << '\n';
    return ExitFailed;
  }
}

}  // namespace COMMANDLINE
