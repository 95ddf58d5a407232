#pragma once

// The lines that give a subtitle file its structure: SubRip time lines and
// counters, and the frame-rate line that starts many MicroDVD files.
#include <cstdint>
#include <optional>
#include <string_view>

namespace SUBTITLEFILE {

struct TimeSpan {
  int64_t startMs = 0;
  int64_t endMs = 0;
};

// "%d:%d:%d,%d --> %d:%d:%d,%d" as the C library scans it. `tolerant` also
// takes a full stop before the milliseconds and times without milliseconds
// ("0:00:05 --> 0:00:07.5"); a line the strict pattern reads is read the same
// either way.
std::optional<TimeSpan> ScanTimeLine(std::string_view line, bool tolerant);

// A line that is a whole number (blanks around it allowed): a counter that
// can start an entry in the middle of another one's text.
bool IsWholeNumber(std::string_view line);

// The rate of a MicroDVD frame-rate line: {1}{1} or {0}{0} followed by
// nothing but a positive number of frames per second ("23.976", "25",
// "29,970").
std::optional<double> FrameRateOfLine(std::string_view line);

}  // namespace SUBTITLEFILE
