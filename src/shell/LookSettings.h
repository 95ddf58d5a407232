#pragma once

// The section [LOOK] of the settings file: outline, shadow, box, smooth edges
// and margin, beside the five sections the window has always kept.
#include "platform/IniFile.h"
#include "subtitles/SubtitleLook.h"

namespace SETTINGS {

// Reads the keys, each held to the range the command line gives it; a missing
// or bad value gives the plain look's.
void LoadLook(const INIFILE::IniFile& file, SUBTITLELOOK::SubtitleLook& look);

// Writes every key when the look is not the plain one or the file holds a
// [LOOK] key already (so that switching the options off again is kept); a
// plain look adds nothing to a file without them.
void SaveLook(INIFILE::IniFile& file, const SUBTITLELOOK::SubtitleLook& look);

}  // namespace SETTINGS
