// tolvane --list-entries FILE --frame-rate R [--delay-frames N | --delay-ms N]
//     [reading options] [--as-drawn [--script CODE]]
//
// Opens a subtitle file the way the job does and lists what every NextEntry
// call gives, so that a file's timing can be checked before a long job; with
// --as-drawn its text too, as the overlay will decode it.
#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "platform/CodePage.h"
#include "shell/JobOptionTable.h"
#include "subtitles/SubtitleUnit.h"

namespace COMMANDLINE {
namespace {

struct ListEntriesOptions {
  std::string fileName;
  double frameRate = 0.0;
  std::optional<int32_t> delayFrames;
  std::optional<int32_t> delayMilliseconds;
  SUBTITLEFILE::ReadingOptions reading;
  bool asDrawn = false;
  int script = 0;  // the font's character set the lines are decoded for
};

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A decimal ("23.976") or a ratio ("24000/1001").
std::optional<double> ParseFrameRate(std::string_view text) {
  const std::size_t slash = text.find('/');
  std::optional<double> rate;
  if (slash == std::string_view::npos) {
    rate = ParseWhole<double>(text);
  } else {
    const auto numerator = ParseWhole<double>(text.substr(0, slash));
    const auto denominator = ParseWhole<double>(text.substr(slash + 1));
    if (numerator && denominator) rate = *numerator / *denominator;
  }
  if (!rate || !std::isfinite(*rate) || *rate <= 0.0) return std::nullopt;
  return rate;
}

// The reading switches and --as-drawn. --styled reads the formats the styled
// drawing reads, in the Unicode forms they come in, as the job's --styled does.
bool ApplyListEntriesFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading,
                          bool& asDrawn) {
  if (option == "--styled") {
    reading.Styled = reading.Unicode = true;
    return true;
  }
  if (option != "--as-drawn") return JOBOPTIONTABLE::ApplyReadingFlag(option, reading);
  asDrawn = true;
  return true;
}

// Empty on success, else what is wrong with the arguments.
std::string ParseListEntries(const Arguments& args, ListEntriesOptions& options) {
  bool haveRate = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (ApplyListEntriesFlag(option, options.reading, options.asDrawn)) continue;
    if (i + 1 >= args.size()) return "option '" + option + "' needs a value";
    const std::string& value = args[++i];
    if (option == "--list-entries") {
      options.fileName = value;
    } else if (option == "--frame-rate") {
      const auto rate = ParseFrameRate(value);
      if (!rate) return "bad frame rate '" + value + "'";
      options.frameRate = *rate;
      haveRate = true;
    } else if (option == "--delay-frames" || option == "--delay-ms") {
      const auto delay = ParseWhole<int32_t>(value);
      if (!delay) return "bad delay '" + value + "'";
      (option == "--delay-frames" ? options.delayFrames : options.delayMilliseconds) = delay;
    } else if (option == "--script") {
      const auto script = ParseWhole<int>(value);
      if (!script || *script < 0 || *script > 255) return "bad script '" + value + "'";
      options.script = *script;
    } else {
      return "unknown option '" + option + "'";
    }
  }
  if (options.fileName.empty()) return "no subtitle file given";
  if (!haveRate) return "--frame-rate is required";
  if (options.delayFrames && options.delayMilliseconds)
    return "give either --delay-frames or --delay-ms, not both";
  return {};
}

void PrintReport(const std::string& info, std::ostream& out) {
  std::string_view rest = info;
  for (std::size_t end; (end = rest.find("\r\n")) != std::string_view::npos;
       rest.remove_prefix(end + 2))
    out << rest.substr(0, end) << '\n';
  out << rest << '\n';
}

// The line in UTF-8 as the overlay draws it, or its bytes as the file has
// them.
void PrintLine(const std::string& line, const ListEntriesOptions& options, std::ostream& out) {
  if (!options.asDrawn) {
    out.write(line.data(), std::streamsize(line.size()));
    return;
  }
  const QByteArray drawn = CODEPAGE::DecodeSubtitleText(line, options.script).toUtf8();
  out.write(drawn.constData(), std::streamsize(drawn.size()));
}

void PrintEntries(const SUBTITLEFILE::SubtitleFile& file, const ListEntriesOptions& options,
                  std::ostream& out) {
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    out << entry.Start << '\t' << entry.End;
    for (const std::string& line : entry.Lines) {
      out << '\t';
      PrintLine(line, options, out);
    }
    out << '\n';
  });
}

}  // namespace

int RunListEntries(const Arguments& args, std::ostream& out, std::ostream& err) {
  ListEntriesOptions options;
  if (const std::string problem = ParseListEntries(args, options); !problem.empty()) {
    err << "tolvane: " << problem << "\nUsage: tolvane --list-entries FILE --frame-rate R"
        << " [--delay-frames N | --delay-ms N]\n"
        << "    [--unicode] [--detect-codepage] [--clean-markup] [--tolerant]"
        << " [--as-drawn [--script CODE]] [--styled]\n";
    return ExitBadArguments;
  }
  SUBTITLEFILE::SubtitleFile file;
  file.Reading = options.reading;
  if (!file.Open(options.fileName)) {
    err << file.ErrorText << '\n';
    if (!file.ErrorCause.empty()) err << file.ErrorCause << '\n';
    return ExitFailed;
  }
  file.SetFrameRate(options.frameRate);
  if (options.delayMilliseconds)
    file.SetDelayMilliseconds(*options.delayMilliseconds);
  else
    file.SetDelayFrames(options.delayFrames.value_or(0));
  PrintReport(file.Info, out);
  PrintEntries(file, options, out);
  return ExitOk;
}

}  // namespace COMMANDLINE
