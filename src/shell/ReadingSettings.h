#pragma once

// The section [READING] of the settings file: how subtitle files are read.
#include "platform/IniFile.h"
#include "subtitles/ReadingOptions.h"

namespace SETTINGS {

// Each key a bool; a missing one is off.
void LoadReading(const INIFILE::IniFile& file, SUBTITLEFILE::ReadingOptions& reading);

// Writes the section when an option is on or the file has it already, so
// that a file that never had one stays as it was.
void SaveReading(INIFILE::IniFile& file, const SUBTITLEFILE::ReadingOptions& reading);

}  // namespace SETTINGS
