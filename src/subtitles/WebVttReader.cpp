#include "subtitles/WebVttReader.h"

#include <cctype>

namespace SUBTITLEFILE {
namespace {

constexpr std::string_view kArrow = "-->";

bool StartsWord(std::string_view line, std::string_view word) {
  if (line.substr(0, word.size()) != word) return false;
  return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t';
}

// Digits only, at least `minimum` of them.
std::optional<int64_t> Digits(std::string_view text, std::size_t minimum) {
  if (text.size() < minimum || text.size() > 9) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

void SkipBlock(const SubtitleLines& lines, int32_t& cursor) {
  while (cursor < lines.Count() && !lines.IsBlank(cursor)) ++cursor;
}

}  // namespace

// Written files also leave out the fraction or give it fewer digits; those
// are read as they mean.
std::optional<int64_t> ScanWebVttTime(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  std::optional<int64_t> millis = 0;
  if (dot != std::string_view::npos) {
    const std::string_view fraction = text.substr(dot + 1);
    millis = fraction.size() <= 3 ? Digits(fraction, 1) : std::nullopt;
    if (millis)
      for (std::size_t n = fraction.size(); n < 3; ++n) *millis *= 10;
  }
  std::string_view clock = text.substr(0, dot);
  int64_t parts[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    const std::size_t colon = clock.rfind(':');
    const std::string_view part = colon == std::string_view::npos ? clock : clock.substr(colon + 1);
    const auto value = Digits(part, 2);
    if (!value) return std::nullopt;
    parts[count++] = *value;
    if (colon == std::string_view::npos) break;
    clock = clock.substr(0, colon);
  }
  if (count < 2 || !millis || parts[0] > 59 || (count == 3 && parts[1] > 59)) return std::nullopt;
  return ((parts[2] * 60 + parts[1]) * 60 + parts[0]) * 1000 + *millis;
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
