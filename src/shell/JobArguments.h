#pragma once

// The options of the --source command, merged over the settings file the way
// the window takes its controls from it.
#include <string>
#include <vector>

#include "compressors/EncoderChoice.h"
#include "shell/JobArgumentsValues.h"
#include "shell/Settings.h"

namespace JOBARGUMENTS {

// A command line's arguments, the program's name left out.
using Arguments = std::vector<std::string>;

// Whether the job's option takes a value.
bool TakesValue(const std::string& option);

// The value that follows the first appearance of the option, or empty.
std::string OptionValue(const Arguments& args, const std::string& option);
// The file named by --settings, or empty when it is not given.
std::string SettingsFileArgument(const Arguments& args);
// The files a job names, made absolute: a queued job may run from another
// folder than the one it was added in.
void MakePathsAbsolute(Arguments& args);

// Empty on success, else what is wrong with the arguments.
std::string ParseJobArguments(const Arguments& args, const SETTINGS::Settings& settings,
                              JobArguments& result);

// The compressor choice the arguments make; false when the compressor is
// unknown.
bool ChoiceOf(const JobArguments& arguments, ENCODERCHOICE::EncoderChoice& choice);
// The reverse: the arguments that make this compressor choice, its encoder
// options, preset and the colour asked beside it included.
void TakeChoice(const ENCODERCHOICE::EncoderChoice& choice, JobArguments& arguments);

// Arguments that give back this job when parsed over any settings file:
// every option is written, and --defaults keeps the settings' values out of
// what a flag leaves off.
Arguments FormatJobArguments(const JobArguments& job);

}  // namespace JOBARGUMENTS
