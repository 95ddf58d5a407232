// tolvane --align-subtitles --source FILE --subtitles FILE --output FILE.srt
//     [--audio-stream N] [reading options]
//
// Finds the subtitle file's timing from the film's speech and writes the
// file again, re-timed, as SubRip in UTF-8. Nothing is written when no
// trustworthy timing is found.
#include <charconv>
#include <ostream>
#include <string>

#include "align/AlignedSubRip.h"
#include "align/SpeechAlignment.h"
#include "cli/Commands.h"
#include "shell/JobOptionTable.h"
#include "subtitles/SubtitleUnit.h"

namespace COMMANDLINE {
namespace {

struct AlignOptions {
  std::string source;
  std::string subtitles;
  std::string output;
  int audioStream = 0;
  SUBTITLEFILE::ReadingOptions reading;
};

const char kUsage[] =
    "Usage: tolvane --align-subtitles --source FILE --subtitles FILE --output FILE.srt\n"
    "    [--audio-stream N] [--settings FILE] [--unicode] [--detect-codepage] [--clean-markup]\n"
    "    [--tolerant]\n";

// The FFmpeg libraries the settings name, with the resampler of the FFmpeg
// the program was built with.
AUDIOSAMPLES::AudioLibraryNames Libraries(const SETTINGS::Settings& settings) {
  AUDIOSAMPLES::AudioLibraryNames names = AUDIOSAMPLES::AudioLibraryNames::Defaults();
  names.Decoder = {settings.AvCodec, settings.AvFormat, settings.AvUtil, settings.SwScale};
  return names;
}

std::string ParseStream(const std::string& value, int& stream) {
  int number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || number < 1 || number > 32)
    return "bad audio stream '" + value + "'";
  stream = number - 1;
  return {};
}

// Empty on success, else what is wrong with the arguments.
std::string ParseAlign(const Arguments& args, AlignOptions& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--align-subtitles" || JOBOPTIONTABLE::ApplyReadingFlag(option, options.reading))
      continue;
    if (i + 1 >= args.size()) return "option '" + option + "' needs a value";
    const std::string& value = args[++i];
    if (option == "--source")
      options.source = value;
    else if (option == "--subtitles")
      options.subtitles = value;
    else if (option == "--output")
      options.output = value;
    else if (option == "--settings")
      continue;  // read by ReadSettings
    else if (option == "--audio-stream") {
      if (std::string problem = ParseStream(value, options.audioStream); !problem.empty())
        return problem;
    } else {
      return "unknown option '" + option + "'";
    }
  }
  if (options.source.empty()) return "no source video given (--source)";
  if (options.subtitles.empty()) return "no subtitle file given (--subtitles)";
  if (options.output.empty()) return "no output file given (--output)";
  if (options.output == options.subtitles || options.output == options.source)
    return "the output would overwrite an input";
  return {};
}

}  // namespace

int RunAlignSubtitles(const Arguments& args, std::ostream& out, std::ostream& err) {
  AlignOptions options;
  if (const std::string problem = ParseAlign(args, options); !problem.empty()) {
    err << "tolvane: " << problem << '\n' << kUsage;
    return ExitBadArguments;
  }
  // The settings are looked for where the window keeps them, which the
  // application object tells.
  const auto application = EnsureGuiApplication();
  SUBTITLEFILE::SubtitleFile file;
  file.Reading = options.reading;
  if (!file.Open(options.subtitles)) {
    err << "tolvane: " << file.ErrorText << '\n';
    return ExitFailed;
  }
  SPEECHALIGNMENT::Alignment alignment;
  std::string error;
  if (!SPEECHALIGNMENT::FindTiming(options.source, options.audioStream,
                                   Libraries(ReadSettings(args)), file.Document(), 0.0, alignment,
                                   error)) {
    err << "tolvane: " << error << '\n';
    return ExitFailed;
  }
  for (const std::string& line : SPEECHALIGNMENT::ReportLines(alignment.Finding))
    out << line << '\n';
  if (!alignment.Finding.Trusted) {
    err << "tolvane: no trustworthy timing found: " << alignment.Finding.Reason
        << "; nothing written\n";
    return ExitFailed;
  }
  const std::string text = ALIGNEDSUBRIP::AlignedSubRipText(
      file.Document(), alignment.VideoFramesPerSecond, alignment.Finding.Map);
  if (!ALIGNEDSUBRIP::WriteAlignedSubRip(options.output, text, error)) {
    err << "tolvane: " << error << '\n';
    return ExitFailed;
  }
  // Written whole, nothing lost; the lines left where they were are named.
  if (!alignment.Finding.NotPlaced.empty())
    err << "tolvane: no timing fits " << SPEECHALIGNMENT::NotPlacedText(alignment.Finding)
        << "; left at their neighbours' offset\n";
  return ExitOk;
}

}  // namespace COMMANDLINE
