#pragma once

// The reading options on the command line: four flags that the job and
// --list-entries both take, and --as-drawn, which only --list-entries takes.
#include <string>
#include <vector>

#include "subtitles/ReadingOptions.h"
#include "subtitles/StyledOptions.h"

namespace READINGARGUMENTS {

// Switches on the option the flag names; false when it names none.
bool ApplyReadingFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading);

// The reading flags and --as-drawn.
bool ApplyListEntriesFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading,
                          bool& asDrawn);

// The flags of the options switched on.
std::vector<std::string> ReadingFlags(const SUBTITLEFILE::ReadingOptions& reading);

// Their lines of the --help text.
extern const char kReadingUsage[];

// --styled and --styled-left-to-right (which implies --styled); false for any
// other option.
bool ApplyStyledFlag(const std::string& option, STYLEDSCRIPT::StyledOptions& styled);
// The flags that give those options.
std::vector<std::string> StyledFlags(const STYLEDSCRIPT::StyledOptions& styled);
extern const char kStyledUsage[];

}  // namespace READINGARGUMENTS
