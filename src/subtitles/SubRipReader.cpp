#include "subtitles/SubRipReader.h"

#include "subtitles/SubtitleScan.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kCounterPattern[] = "%d";

bool IsCounter(std::string_view line) {
  int32_t values[8];
  return ScanIntegers(line, kCounterPattern, values).stored == 1;
}

// An entry starts at a time line, or at the line before one whatever that
// line holds (its counter). Other lines are passed over.
std::optional<TimeSpan> FindTolerantTimes(const SubtitleLines& lines, int32_t& cursor) {
  for (; cursor < lines.Count(); ++cursor) {
    if (lines.IsBlank(cursor)) continue;
    if (std::optional<TimeSpan> here = lines.TimesAt(cursor)) {
      ++cursor;
      return here;
    }
    if (std::optional<TimeSpan> next = lines.TimesAt(cursor + 1)) {
      cursor += 2;
      return next;
    }
  }
  return std::nullopt;
}

// A time line, or a counter right before one, ends the text of the entry
// before it even without a blank line.
bool StartsEntryInText(const SubtitleLines& lines, int32_t index) {
  return lines.TimesAt(index) || (IsWholeNumber(lines.Line(index)) && lines.TimesAt(index + 1));
}

// Blank lines between the time line and the text are passed over; false
// when what follows them is no text but the next entry (or the end).
bool SkipBlankLinesBeforeText(const SubtitleLines& lines, int32_t& cursor) {
  int32_t text = cursor;
  while (text < lines.Count() && lines.IsBlank(text)) ++text;
  if (text == cursor) return true;
  const bool nextEntry = text >= lines.Count() || lines.TimesAt(text) || lines.TimesAt(text + 1);
  cursor = nextEntry ? text - 1 : text;  // the last blank line ends an empty entry
  return !nextEntry;
}

void GatherText(const SubtitleLines& lines, int32_t& cursor, std::vector<LineSpan>& text) {
  for (; cursor < lines.Count(); ++cursor) {
    const std::string_view line = lines.Line(cursor);
    const std::string_view trimmed = TrimControls(line);
    if (trimmed.empty()) break;
    if (lines.Options().Tolerant && StartsEntryInText(lines, cursor)) break;
    text.push_back(
        {lines.Span(cursor).begin + std::size_t(trimmed.data() - line.data()), trimmed.size()});
  }
}

}  // namespace

bool SubRipReader::Recognises(const SubtitleLines& lines) const {
  if (IsCounter(lines.Line(0)) && lines.TimesAt(1)) return true;
  // Without a counter, or with one that is not a number.
  return lines.Options().Tolerant && (lines.TimesAt(0) || lines.TimesAt(1));
}

bool SubRipReader::ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
                           std::vector<LineSpan>& text) const {
  const bool tolerant = lines.Options().Tolerant;
  std::optional<TimeSpan> times;
  if (tolerant) {
    times = FindTolerantTimes(lines, cursor);
  } else if (IsCounter(lines.Line(cursor++))) {
    times = lines.TimesAt(cursor++);
  }
  if (!times) return false;
  cue.Start = times->startMs;
  cue.End = times->endMs;
  if (!tolerant || SkipBlankLinesBeforeText(lines, cursor)) GatherText(lines, cursor, text);
  // Past the blank line that ended the entry; read tolerantly, a new entry
  // that ended it is left for the next step.
  if (!tolerant || (cursor < lines.Count() && lines.IsBlank(cursor))) ++cursor;
  return true;
}

}  // namespace SUBTITLEFILE
