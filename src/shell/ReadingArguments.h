#pragma once

// The reading options on the command line: four flags that the job and
// --list-entries both take, and --as-drawn, which only --list-entries takes.
#include <string>
#include <vector>

#include "subtitles/ReadingOptions.h"

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

}  // namespace READINGARGUMENTS
