#include "cli/JobArguments.h"

#include <charconv>
#include <functional>
#include <map>
#include <string_view>

#include "cli/LookArguments.h"
#include "cli/ReadingArguments.h"
#include "compressors/CompressorCatalog.h"
#include "shell/JobSettings.h"

namespace JOBARGUMENTS {
namespace {

using Setter = std::function<std::string(const std::string& value, JobArguments& result)>;

std::optional<long long> ParseInteger(std::string_view text, int base = 10) {
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A setter that checks an integer against its range before storing it.
template <typename Store>
Setter Integer(const char* what, long long low, long long high, Store store, int base = 10) {
  return [=](const std::string& value, JobArguments& result) -> std::string {
    const auto number = ParseInteger(value, base);
    if (!number || *number < low || *number > high)
      return "bad " + std::string(what) + " '" + value + "'";
    store(result, *number);
    return {};
  };
}

Setter Text(std::string JOBOPTIONS::JobOptions::*field) {
  return [=](const std::string& value, JobArguments& result) -> std::string {
    result.Options.*field = value;
    return {};
  };
}

const std::map<std::string, Setter>& ValueOptions() {
  using JOBOPTIONS::JobOptions;
  static const std::map<std::string, Setter> options = {
      {"--source", Text(&JobOptions::SourceVideo)},
      {"--subtitles", Text(&JobOptions::Subtitle)},
      {"--output", Text(&JobOptions::DestinationVideo)},
      {"--settings", [](const std::string&, JobArguments&) { return std::string(); }},
      {"--compressor",
       [](const std::string& value, JobArguments& result) {
         if (COMPRESSORCATALOG::FindCompressorByCode(value) == nullptr)
           return "unknown compressor '" + value + "' (see --list-compressors)";
         result.Compressor = value;
         return std::string();
       }},
      {"--quality", Integer("quality", 0, 10000, [](auto& r, long long v) { r.Quality = int(v); })},
      {"--keyframes", Integer("key-frame interval", 0, 1000000,
                              [](auto& r, long long v) { r.KeyFrames = int(v); })},
      {"--data-rate",
       Integer("data rate", 0, 4000000, [](auto& r, long long v) { r.DataRate = int(v); })},
      {"--video-stream", Integer("video stream", 1, 32,
                                 [](auto& r, long long v) { r.Options.VideoStream = int(v - 1); })},
      {"--audio-stream", Integer("audio stream", 1, 32,
                                 [](auto& r, long long v) { r.Options.AudioStream = int(v - 1); })},
      {"--delay-frames", Integer("delay", -32768, 32767,
                                 [](auto& r, long long v) {
                                   r.Options.UseFrames = true;
                                   r.Options.DelayFrames = int32_t(v);
                                 })},
      {"--delay-ms", Integer("delay", -3276800, 3276700,
                             [](auto& r, long long v) {
                               r.Options.UseFrames = false;
                               r.Options.DelayMilliseconds = int32_t(v);
                             })},
      {"--font",
       [](const std::string& value, JobArguments& result) {
         result.Options.Font.Name = value;
         return value.empty() ? std::string("bad font name ''") : std::string();
       }},
      {"--font-size", Integer("font size", SUBTITLEFONT::kMinFontSize, SUBTITLEFONT::kMaxFontSize,
                              [](auto& r, long long v) { r.Options.Font.Size = int(v); })},
      {"--font-color", Integer(
                           "font colour", 0, SUBTITLEFONT::kMaxColor,
                           [](auto& r, long long v) { r.Options.Font.Color = uint32_t(v); }, 16)},
      {"--script",
       Integer("script", 0, 255, [](auto& r, long long v) { r.Options.Font.Charset = int(v); })},
  };
  return options;
}

const std::map<std::string, bool JOBOPTIONS::JobOptions::*>& FlagOptions() {
  using JOBOPTIONS::JobOptions;
  static const std::map<std::string, bool JobOptions::*> flags = {
      {"--transcode", &JobOptions::TranscodeVideo},
      {"--fix-audio-vbr", &JobOptions::FixAudioVBR},
      {"--align", &JobOptions::AlignToSpeech},
  };
  return flags;
}

std::string ApplyFontFlag(const std::string& option, SUBTITLEFONT::SubtitleFont& font) {
  if (option == "--bold")
    font.Bold = true;
  else if (option == "--italic")
    font.Italic = true;
  else if (option == "--underline")
    font.Underline = true;
  else if (option == "--strike-out")
    font.StrikeOut = true;
  else
    return "unknown option '" + option + "'";
  return {};
}

std::string ApplyFlag(const std::string& option, JobArguments& result) {
  const auto flag = FlagOptions().find(option);
  if (flag != FlagOptions().end()) {
    result.Options.*(flag->second) = true;
    return {};
  }
  if (option == "--no-autosize") {
    result.Options.AutoSize = false;
    return {};
  }
  if (READINGARGUMENTS::ApplyReadingFlag(option, result.Options.Reading)) return {};
  return ApplyFontFlag(option, result.Options.Font);
}

std::string CheckComplete(const JobArguments& result, bool bothDelays) {
  if (bothDelays) return "give either --delay-frames or --delay-ms, not both";
  switch (JOBOPTIONS::FirstMissingFile(result.Options)) {
    case JOBOPTIONS::MissingFile::Source:
      return "no source video given (--source)";
    case JOBOPTIONS::MissingFile::Subtitle:
      return "no subtitle file given (--subtitles)";
    case JOBOPTIONS::MissingFile::Destination:
      return "no output file given (--output)";
    case JOBOPTIONS::MissingFile::None:
      break;
  }
  return {};
}

}  // namespace

bool TakesValue(const std::string& option) { return ValueOptions().count(option) > 0; }

std::string SettingsFileArgument(const COMMANDLINE::Arguments& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "--settings") return args[i + 1];
  return {};
}

std::string ParseJobArguments(const COMMANDLINE::Arguments& args,
                              const SETTINGS::Settings& settings, JobArguments& result) {
  result.Options = SETTINGS::JobOptionsFromSettings(settings);
  bool delayFrames = false;
  bool delayMs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (const auto look = LOOKARGUMENTS::ParseLookOption(args, i, result.Options.Look)) {
      if (look->empty()) continue;
      return *look;
    }
    const std::string& option = args[i];
    const auto valued = ValueOptions().find(option);
    std::string error;
    if (valued == ValueOptions().end()) {
      error = ApplyFlag(option, result);
    } else if (i + 1 >= args.size()) {
      error = "option '" + option + "' needs a value";
    } else {
      error = valued->second(args[++i], result);
      delayFrames = delayFrames || option == "--delay-frames";
      delayMs = delayMs || option == "--delay-ms";
    }
    if (!error.empty()) return error;
  }
  return CheckComplete(result, delayFrames && delayMs);
}

bool FillCompressOptions(const JobArguments& arguments, AVICOMPRESSOPTIONS& options) {
  const auto* compressor = COMPRESSORCATALOG::FindCompressorByCode(arguments.Compressor);
  if (compressor == nullptr) return false;
  options = AVICOMPRESSOPTIONS{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = compressor->code;
  options.dwQuality = arguments.Quality ? DWORD(*arguments.Quality) : ICQUALITY_DEFAULT;
  options.dwFlags = AVICOMPRESSF_VALID;
  if (arguments.KeyFrames) {
    options.dwKeyFrameEvery = DWORD(*arguments.KeyFrames);
    options.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  }
  if (arguments.DataRate) {
    options.dwBytesPerSecond = DWORD(*arguments.DataRate) * 1024;
    options.dwFlags |= AVICOMPRESSF_DATARATE;
  }
  return true;
}

}  // namespace JOBARGUMENTS
