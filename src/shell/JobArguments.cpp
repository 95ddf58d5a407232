#include "shell/JobArguments.h"

#include <algorithm>
#include <filesystem>

#include "compressors/CompressorCatalog.h"
#include "job/ClipRange.h"
#include "shell/JobOptionTable.h"
#include "shell/JobSettings.h"

namespace JOBARGUMENTS {
namespace {

// The command's own options, not the job's: --defaults says which settings
// the job starts from, --settings which file holds them. Neither is queued
// as a job option (a queued job is written with --defaults) or saved.
constexpr const char* kDefaults = "--defaults";
constexpr const char* kSettings = "--settings";

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

std::string CheckComplete(const JobArguments& result,
                          const std::vector<const JOBOPTIONTABLE::JobOption*>& given) {
  if (std::string error = JOBOPTIONTABLE::ExcludedPair(given); !error.empty()) return error;
  if (std::string error = CheckPreset(result); !error.empty()) return error;
  CLIPRANGE::Range clip;
  const JOBOPTIONS::JobOptions& options = result.Options;
  if (std::string error =
          CLIPRANGE::ParseRange(options.ClipStart, options.ClipEnd, options.ClipDuration, clip);
      !error.empty())
    return error;
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

}  // namespace

bool TakesValue(const std::string& option) {
  const JOBOPTIONTABLE::JobOption* entry = JOBOPTIONTABLE::Find(option);
  return option == kSettings || (entry != nullptr && entry->TakesValue());
}

std::string OptionValue(const Arguments& args, const std::string& option) {
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == option) return args[i + 1];
  return {};
}

std::string SettingsFileArgument(const Arguments& args) { return OptionValue(args, kSettings); }

void MakePathsAbsolute(Arguments& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    const JOBOPTIONTABLE::JobOption* entry = JOBOPTIONTABLE::Find(args[i]);
    if (args[i] != kSettings && (entry == nullptr || !entry->file)) continue;
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
  std::vector<const JOBOPTIONTABLE::JobOption*> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == kDefaults) continue;  // taken before the others
    const JOBOPTIONTABLE::JobOption* entry = JOBOPTIONTABLE::Find(option);
    if (entry == nullptr && option != kSettings) return "unknown option '" + option + "'";
    if (TakesValue(option) && i + 1 >= args.size()) return "option '" + option + "' needs a value";
    if (entry == nullptr) {
      ++i;  // the settings file, read by the command
      continue;
    }
    const std::string error =
        JOBOPTIONTABLE::Apply(*entry, entry->TakesValue() ? args[++i] : "", result);
    if (!error.empty()) return error;
    given.push_back(entry);
  }
  return CheckComplete(result, given);
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
  Arguments args = {kDefaults};
  const Arguments options = JOBOPTIONTABLE::FormatArguments(job);
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

}  // namespace JOBARGUMENTS
