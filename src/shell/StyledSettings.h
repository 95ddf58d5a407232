#pragma once

// The section [STYLED] of the settings file: styled drawing on or off, and
// the left-to-right layout for old right-to-left files.
#include "platform/IniFile.h"
#include "subtitles/StyledOptions.h"

namespace SETTINGS {

// A missing key is off.
void LoadStyled(const INIFILE::IniFile& file, STYLEDSCRIPT::StyledOptions& styled);

// Writes the section when an option is on or the file has it already, so
// that a file that never had one stays as it was.
void SaveStyled(INIFILE::IniFile& file, const STYLEDSCRIPT::StyledOptions& styled);

}  // namespace SETTINGS
