#include "subtitles/WebVttReader.h"

#include "subtitles/SubtitleClock.h"

namespace SUBTITLEFILE {
namespace {

constexpr std::string_view kArrow = "-->";

bool StartsWord(std::string_view line, std::string_view word) {
  if (line.substr(0, word.size()) != word) return false;
  return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t';
}

// Two to nine digits a part, minutes and seconds below 60, and up to three
// digits of a second after a full stop; the hours may be left out.
constexpr ClockForm kWebVttClock = {.HourDigits = {2, 9},
                                    .Digits = {2, 9},
                                    .HoursOptional = true,
                                    .BelowSixty = true,
                                    .Signed = false,
                                    .FractionMarks = ".",
                                    .FractionIs = ClockForm::Fraction::Decimal};

void SkipBlock(const SubtitleLines& lines, int32_t& cursor) {
  while (cursor < lines.Count() && !lines.IsBlank(cursor)) ++cursor;
}

}  // namespace

// Written files also leave out the fraction or give it fewer digits; those
// are read as they mean. The clock is its last three parts: what stands
// before them is passed over.
std::optional<int64_t> ScanWebVttTime(std::string_view text) {
  const std::string_view clock = text.substr(0, text.rfind('.'));
  std::size_t colon = clock.size();
  for (int parts = 0; parts < 3 && colon != std::string_view::npos; ++parts)
    colon = colon == 0 ? std::string_view::npos : clock.rfind(':', colon - 1);
  return ReadWholeClock(text.substr(colon == std::string_view::npos ? 0 : colon + 1), kWebVttClock);
}

bool WebVttReader::Recognises(const SubtitleLines& lines) const {
  return StartsWord(SkipUtf8Mark(lines.Line(0)), "WEBVTT");
}

int32_t WebVttReader::ReadHeader(const SubtitleLines& lines, SubtitleDocument&) const {
  int32_t cursor = 0;
  SkipBlock(lines, cursor);
  return cursor;
}

bool WebVttReader::ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
                           std::vector<LineSpan>& text) const {
  while (cursor < lines.Count() && lines.IsBlank(cursor)) ++cursor;
  if (cursor >= lines.Count()) return false;
  const std::string_view first = lines.Line(cursor);
  // A cue's name line must have its times on the next line.
  const bool named = first.find(kArrow) == std::string_view::npos;
  if (StartsWord(first, "NOTE") || StartsWord(first, "STYLE") || StartsWord(first, "REGION") ||
      (named && (cursor + 1 >= lines.Count() ||
                 lines.Line(cursor + 1).find(kArrow) == std::string_view::npos))) {
    SkipBlock(lines, cursor);
    return false;
  }
  if (named) ++cursor;
  const LineSpan& span = lines.Span(cursor);
  const std::string_view timing = lines.Line(cursor++);
  const std::size_t arrow = timing.find(kArrow);
  if (arrow == std::string_view::npos) return false;
  std::string_view after = TrimControls(timing.substr(arrow + kArrow.size()));
  const std::size_t blank = after.find_first_of(" \t");
  const auto start = ScanWebVttTime(TrimControls(timing.substr(0, arrow)));
  const auto end = ScanWebVttTime(after.substr(0, blank));
  if (!start || !end) {
    SkipBlock(lines, cursor);
    return false;
  }
  cue.Start = *start;
  cue.End = *end;
  if (blank != std::string_view::npos) {
    const std::string_view settings = TrimControls(after.substr(blank));
    cue.Fields = {span.begin + std::size_t(settings.data() - timing.data()), settings.size()};
  }
  for (; cursor < lines.Count() && !lines.IsBlank(cursor); ++cursor) {
    const std::string_view line = lines.Line(cursor);
    if (line.find(kArrow) != std::string_view::npos) break;  // a cue without a blank line before it
    text.push_back(lines.Span(cursor));
  }
  return true;
}

}  // namespace SUBTITLEFILE
