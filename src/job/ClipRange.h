#pragma once

// The part of the film a job writes (--start, --end or --duration): its
// times on the pictures' clock, from the first picture, as a still's time
// is given. The source is read from the keyframe before the start; what
// comes before the start or from the end on is left out, and the output's
// times count from the start.
#include <limits>
#include <string>
#include <vector>

#include "media/SourceStreams.h"

namespace CLIPRANGE {

// Longer than any film: times beyond are refused before any clock has to
// hold them.
constexpr double kLongestSeconds = 1.0e7;

struct Range {
  double FromSeconds = 0.0;
  double ToSeconds = std::numeric_limits<double>::infinity();
  // Asked for at all: without it the job reads and writes as it always did.
  bool Asked = false;
};

// What is wrong with one time's text ("12.5", "1:02:03.250"); empty when it
// is a time. what: "start time", as the error names it.
std::string TimeProblem(const std::string& what, const std::string& text);

// The range the three texts give (empty texts: the film's start and end);
// empty on success, else what is wrong with them.
std::string ParseRange(const std::string& start, const std::string& end,
                       const std::string& duration, Range& range);

// A range that starts past the end of a film of that length (0 when not
// known) is refused; empty when it is taken.
std::string CheckAgainstFilm(const Range& range, double filmSeconds);

// The chapters that begin before a clip's end, `endSeconds` on the file's
// own clock: a chapter that straddles it ends there. Their times stay on
// their clocks; the output's origin moves to the clip's start, which
// starts a chapter that straddles it at 0.
std::vector<VELAVCODEC::SourceChapter> ChaptersBefore(
    const std::vector<VELAVCODEC::SourceChapter>& chapters, double endSeconds);

}  // namespace CLIPRANGE
