#include "shell/JobArguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string_view>

#include "compressors/CompressorCatalog.h"
#include "shell/JobOptionTable.h"
#include "shell/JobSettings.h"
#include "shell/LookArguments.h"

namespace JOBARGUMENTS {
namespace {

constexpr const char* kDefaults = "--defaults";

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
      {"--encoder-options",
       [](const std::string& value, JobArguments& result) {
         result.EncoderOptions = value;
         return std::string();
       }},
      {"--preset",
       [](const std::string& value, JobArguments& result) {
         result.Preset = value;
         return value.empty() ? std::string("bad preset ''") : std::string();
       }},
      {"--video-stream", Integer("video stream", 1, 32,
                                 [](auto& r, long long v) { r.Options.VideoStream = int(v - 1); })},
      {"--audio-stream", Integer("audio stream", 1, 32,
                                 [](auto& r, long long v) { r.Options.AudioStream = int(v - 1); })},
      // The source's own subtitles are drawn styled.
      {"--subtitle-track", Integer("subtitle track", 1, 32,
                                   [](auto& r, long long v) {
                                     r.Options.SubtitleTrack = int(v);
                                     r.Options.Styled.On = true;
                                   })},
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

// The font's styles, as flags that switch them on.
const std::map<std::string, bool SUBTITLEFONT::SubtitleFont::*>& FontFlags() {
  using SUBTITLEFONT::SubtitleFont;
  static const std::map<std::string, bool SubtitleFont::*> flags = {
      {"--bold", &SubtitleFont::Bold},
      {"--italic", &SubtitleFont::Italic},
      {"--underline", &SubtitleFont::Underline},
      {"--strike-out", &SubtitleFont::StrikeOut},
  };
  return flags;
}

std::string ApplyFontFlag(const std::string& option, SUBTITLEFONT::SubtitleFont& font) {
  const auto flag = FontFlags().find(option);
  if (flag == FontFlags().end()) return "unknown option '" + option + "'";
  font.*(flag->second) = true;
  return {};
}

std::string ApplyFlag(const std::string& option, JobArguments& result) {
  if (option == "--no-autosize") {
    result.Options.AutoSize = false;
    return {};
  }
  if (option == kDefaults) return {};  // taken before the others
  return ApplyFontFlag(option, result.Options.Font);
}

// The compressor may be named after its preset.
std::string CheckPreset(const JobArguments& result) {
  const auto* compressor = COMPRESSORCATALOG::FindCompressorByCode(result.Compressor);
  if (compressor == nullptr || COMPRESSORCATALOG::TakesPreset(*compressor, result.Preset))
    return {};
  const COMPRESSORCATALOG::PresetList& presets = compressor->presets;
  if (presets.names.empty()) return "compressor " + result.Compressor + " has no presets";
  return "bad preset '" + result.Preset + "' for " + result.Compressor + " (" +
         presets.names.front() + " to " + presets.names.back() + ")";
}

std::string CheckComplete(const JobArguments& result, bool bothDelays) {
  if (bothDelays) return "give either --delay-frames or --delay-ms, not both";
  if (std::string error = CheckPreset(result); !error.empty()) return error;
  switch (JOBOPTIONS::FirstMissingFile(result.Options)) {
    case JOBOPTIONS::MissingFile::Source:
      return "no source video given (--source)";
    case JOBOPTIONS::MissingFile::Subtitle:
      return "no subtitle file given (--subtitles or --subtitle-track)";
    case JOBOPTIONS::MissingFile::Destination:
      return "no output file given (--output)";
    case JOBOPTIONS::MissingFile::None:
      break;
  }
  return {};
}

// Whether the flag stands among the arguments as an option, not as the
// value of one.
bool HasFlag(const Arguments& args, const std::string& flag) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == flag) return true;
    if (TakesValue(args[i])) ++i;
  }
  return false;
}

void AddFileArguments(Arguments& args, const JOBOPTIONS::JobOptions& options) {
  args.insert(args.end(), {kDefaults, "--source", options.SourceVideo});
  if (!options.Subtitle.empty()) args.insert(args.end(), {"--subtitles", options.Subtitle});
  args.insert(args.end(), {"--output", options.DestinationVideo});
}

void AddCompressorArguments(Arguments& args, const JobArguments& job) {
  args.insert(args.end(), {"--compressor", job.Compressor});
  const std::pair<const char*, const std::optional<int>*> numbers[] = {
      {"--quality", &job.Quality}, {"--keyframes", &job.KeyFrames}, {"--data-rate", &job.DataRate}};
  for (const auto& [option, value] : numbers)
    if (value->has_value()) args.insert(args.end(), {option, std::to_string(**value)});
  if (!job.EncoderOptions.empty())
    args.insert(args.end(), {"--encoder-options", job.EncoderOptions});
  if (!job.Preset.empty()) args.insert(args.end(), {"--preset", job.Preset});
}

void AddSubtitleArguments(Arguments& args, const JOBOPTIONS::JobOptions& options) {
  if (options.VideoStream >= 0)
    args.insert(args.end(), {"--video-stream", std::to_string(options.VideoStream + 1)});
  if (options.AudioStream >= 0)
    args.insert(args.end(), {"--audio-stream", std::to_string(options.AudioStream + 1)});
  if (options.SubtitleTrack > 0)
    args.insert(args.end(), {"--subtitle-track", std::to_string(options.SubtitleTrack)});
  if (options.UseFrames)
    args.insert(args.end(), {"--delay-frames", std::to_string(options.DelayFrames)});
  else
    args.insert(args.end(), {"--delay-ms", std::to_string(options.DelayMilliseconds)});
  const Arguments switches = JOBOPTIONTABLE::FormatSwitches(JOBOPTIONTABLE::Group::Job, options);
  args.insert(args.end(), switches.begin(), switches.end());
  if (!options.AutoSize) args.push_back("--no-autosize");
  const Arguments numbers = JOBOPTIONTABLE::FormatNumbers(options);
  args.insert(args.end(), numbers.begin(), numbers.end());
}

void AddFontArguments(Arguments& args, const SUBTITLEFONT::SubtitleFont& font) {
  args.insert(args.end(),
              {"--font", font.Name, "--font-size", std::to_string(font.Size), "--font-color",
               LOOKARGUMENTS::ColourText(font.Color), "--script", std::to_string(font.Charset)});
  for (const auto& [flag, field] : FontFlags())
    if (font.*field) args.push_back(flag);
}

}  // namespace

bool TakesValue(const std::string& option) {
  const JOBOPTIONTABLE::JobOption* entry = JOBOPTIONTABLE::Find(option);
  return ValueOptions().count(option) > 0 || LOOKARGUMENTS::TakesValue(option) ||
         (entry != nullptr && entry->TakesValue());
}

std::string OptionValue(const Arguments& args, const std::string& option) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == option) return args[i + 1];
  return {};
}

std::string SettingsFileArgument(const Arguments& args) { return OptionValue(args, "--settings"); }

void MakePathsAbsolute(Arguments& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != "--source" && args[i] != "--subtitles" && args[i] != "--output" &&
        args[i] != "--settings")
      continue;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(args[i + 1], error);
    if (!error) args[i + 1] = absolute.string();
    ++i;
  }
}

std::string ParseJobArguments(const Arguments& args, const SETTINGS::Settings& settings,
                              JobArguments& result) {
  result = JobArguments{};
  result.Options =
      SETTINGS::JobOptionsFromSettings(HasFlag(args, kDefaults) ? SETTINGS::Settings() : settings);
  bool delayFrames = false;
  bool delayMs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (const auto look = LOOKARGUMENTS::ParseLookOption(args, i, result.Options.Look)) {
      if (look->empty()) continue;
      return *look;
    }
    const std::string& option = args[i];
    if (const JOBOPTIONTABLE::JobOption* entry = JOBOPTIONTABLE::Find(option)) {
      if (entry->TakesValue() && i + 1 >= args.size())
        return "option '" + option + "' needs a value";
      const std::string error =
          JOBOPTIONTABLE::Apply(*entry, entry->TakesValue() ? args[++i] : "", result.Options);
      if (!error.empty()) return error;
      continue;
    }
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

bool ChoiceOf(const JobArguments& arguments, ENCODERCHOICE::EncoderChoice& choice) {
  const auto* compressor = COMPRESSORCATALOG::FindCompressorByCode(arguments.Compressor);
  if (compressor == nullptr) return false;
  choice = ENCODERCHOICE::EncoderChoice{};
  choice.Codec = compressor->code;
  choice.Quality =
      arguments.Quality ? uint32_t(*arguments.Quality) : ENCODERCHOICE::kDefaultQuality;
  if (arguments.KeyFrames) {
    choice.KeyFrameEvery = uint32_t(*arguments.KeyFrames);
    choice.KeyFramesOn = true;
  }
  if (arguments.DataRate) {
    choice.BytesPerSecond = uint32_t(*arguments.DataRate) * 1024;
    choice.DataRateOn = true;
  }
  choice.EncoderOptions = arguments.EncoderOptions;
  choice.Preset = arguments.Preset;
  return true;
}

void TakeChoice(const ENCODERCHOICE::EncoderChoice& choice, JobArguments& arguments) {
  std::string code = COMPRESSORCATALOG::CodeText(choice.Codec);
  code.erase(code.find_last_not_of(' ') + 1);
  arguments.Compressor = code;
  arguments.Quality.reset();
  if (choice.Quality != ENCODERCHOICE::kDefaultQuality)
    arguments.Quality = int(std::min(choice.Quality, ENCODERCHOICE::kHighestQuality));
  arguments.KeyFrames.reset();
  if (choice.KeyFramesOn) arguments.KeyFrames = int(choice.KeyFrameEvery);
  arguments.DataRate.reset();
  if (choice.DataRateOn) arguments.DataRate = int(choice.BytesPerSecond / 1024);
  arguments.EncoderOptions = choice.EncoderOptions;
  arguments.Preset = choice.Preset;
  // The dialog's colour fields become the job's own options.
  JOBOPTIONS::JobOptions& options = arguments.Options;
  options.BitDepth = choice.Asked.BitDepth.value_or(options.BitDepth);
  options.Sdr = choice.Asked.Sdr.value_or(options.Sdr);
  if (choice.Asked.SubtitleNits) options.SubtitleNits = *choice.Asked.SubtitleNits;
}

Arguments FormatJobArguments(const JobArguments& job) {
  Arguments args;
  AddFileArguments(args, job.Options);
  AddCompressorArguments(args, job);
  AddSubtitleArguments(args, job.Options);
  AddFontArguments(args, job.Options.Font);
  const Arguments look = LOOKARGUMENTS::LookOptions(job.Options.Look);
  const Arguments reading =
      JOBOPTIONTABLE::FormatSwitches(JOBOPTIONTABLE::Group::Reading, job.Options);
  const Arguments styled =
      JOBOPTIONTABLE::FormatSwitches(JOBOPTIONTABLE::Group::Styled, job.Options);
  args.insert(args.end(), look.begin(), look.end());
  args.insert(args.end(), reading.begin(), reading.end());
  args.insert(args.end(), styled.begin(), styled.end());
  return args;
}

}  // namespace JOBARGUMENTS
