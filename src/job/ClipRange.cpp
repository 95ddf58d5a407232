#include "job/ClipRange.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "job/StillPicture.h"

namespace CLIPRANGE {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

bool ParseTime(const std::string& text, double& seconds) {
  const std::optional<double> parsed = STILLPICTURE::ParseStillTime(text);
  if (!parsed || *parsed > kLongestSeconds) return false;
  seconds = *parsed;
  return true;
}

}  // namespace

std::string TimeProblem(const std::string& what, const std::string& text) {
  double seconds = 0.0;
  if (ParseTime(text, seconds)) return {};
  return "bad " + what + " '" + text + "' (seconds or H:MM:SS.mmm)";
}

std::string ParseRange(const std::string& start, const std::string& end,
                       const std::string& duration, Range& range) {
  range = Range{};
  if (start.empty() && end.empty() && duration.empty()) return {};
  if (!end.empty() && !duration.empty()) return "--end and --duration exclude each other";
  range.Asked = true;
  if (!start.empty() && !ParseTime(start, range.FromSeconds))
    return TimeProblem("start time", start);
  if (!end.empty()) {
    if (!ParseTime(end, range.ToSeconds)) return TimeProblem("end time", end);
    if (range.ToSeconds <= range.FromSeconds)
      return "the end time " + end + " is not after the start time " +
             (start.empty() ? std::string("0") : start);
  }
  if (!duration.empty()) {
    double length = 0.0;
    if (!ParseTime(duration, length)) return TimeProblem("duration", duration);
    if (length <= 0.0) return "the duration " + duration + " is no time at all";
    range.ToSeconds = range.FromSeconds + length;
  }
  return {};
}

std::string CheckAgainstFilm(const Range& range, double filmSeconds) {
  if (!range.Asked || !(filmSeconds > 0.0) || range.FromSeconds < filmSeconds) return {};
  return "[SubtitleJob::Start] The start time " + Seconds(range.FromSeconds) +
         " s lies past the source's end (" + Seconds(filmSeconds) + " s)...";
}

std::vector<VELAVCODEC::SourceChapter> ChaptersBefore(
    const std::vector<VELAVCODEC::SourceChapter>& chapters, double endSeconds) {
  std::vector<VELAVCODEC::SourceChapter> kept;
  for (const VELAVCODEC::SourceChapter& chapter : chapters) {
    if (chapter.TimeBaseNum <= 0 || chapter.TimeBaseDen <= 0) continue;
    const double ticks = endSeconds * chapter.TimeBaseDen / chapter.TimeBaseNum;
    // An end beyond any clock leaves every chapter as it is.
    if (!(std::fabs(ticks) < 9.0e18)) {
      kept.push_back(chapter);
      continue;
    }
    const int64_t end = std::llround(ticks);
    if (chapter.Start >= end) continue;
    kept.push_back(chapter);
    if (kept.back().End > end) kept.back().End = end;
  }
  return kept;
}

}  // namespace CLIPRANGE
