#pragma once

// The settings file Tolvane.ini (its values in SettingsValues.h), read at start
// and written at close. The window maps these values to its controls; the
// command line takes what its options leave open from here.
#include <optional>
#include <string>

#include "compressors/EncoderChoice.h"
#include "shell/SettingsValues.h"

namespace SETTINGS {

// Reads every key of the file (a missing file or key gives the default).
Settings LoadSettings(const std::string& path);

// Writes "SaveOnExit" and, when it is set, every other key the window saves.
// Returns false with a message "Unable to write to <path>" when the file
// cannot be written.
bool SaveSettings(const std::string& path, const Settings& settings, std::string& error);

// [COMPRESSOR]: the last compressor the window's dialog confirmed, with its
// quality (0 to 10000), key-frame distance and data rate (kilobytes per
// second in the file) and whether those two are switched on. None while the
// section has no Code; a Code that is no code of four characters is XVID,
// and a value missing or out of the dialog's range is its default.
std::optional<ENCODERCHOICE::EncoderChoice> LoadCompressorChoice(const std::string& path);
// Fails with "Unable to write to <path>".
bool SaveCompressorChoice(const std::string& path, const ENCODERCHOICE::EncoderChoice& choice,
                          std::string& error);

}  // namespace SETTINGS
