#include "subtitles/AssReader.h"

#include <algorithm>
#include <string>

#include "subtitles/SubtitleClock.h"
#include "subtitles/SubtitleScan.h"
#include "text/AsciiText.h"

namespace SUBTITLEFILE {
namespace {

using ASCIITEXT::EqualsIgnoringCase;
using ASCIITEXT::StartsWithIgnoringCase;

bool IsSection(std::string_view line) {
  const std::string_view trimmed = TrimControls(line);
  return !trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']';
}

// Hours of up to four digits, minutes and seconds of up to two, and up to
// three digits of a second after a full stop or a comma.
constexpr ClockForm kAssClock = {.HourDigits = {1, 4},
                                 .Digits = {1, 2},
                                 .HoursOptional = false,
                                 .BelowSixty = false,
                                 .Signed = false,
                                 .FractionMarks = ".,",
                                 .FractionIs = ClockForm::Fraction::Decimal};

// The standard order, for scripts whose events come without a format line.
const std::vector<std::string>& StandardFormat() {
  static const std::vector<std::string> format = {
      "layer", "start", "end", "style", "name", "marginl", "marginr", "marginv", "effect", "text"};
  return format;
}

std::vector<std::string> FormatNames(std::string_view line) {
  std::vector<std::string> names;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = line.find(',', begin);
    const std::string name = ASCIITEXT::LowerAscii(
        TrimControls(line.substr(begin, comma == line.npos ? line.npos : comma - begin)));
    names.push_back(name == "marked" ? "layer" : name);
    if (comma == std::string_view::npos) return names;
    begin = comma + 1;
  }
}

}  // namespace

std::optional<int64_t> ScanAssTime(std::string_view text) {
  return ReadWholeClock(TrimControls(text), kAssClock);
}

AssEvent SplitAssEvent(std::string_view fields, const std::vector<std::string>& format) {
  AssEvent event;
  std::size_t begin = 0;
  for (std::size_t k = 0; k < format.size(); ++k) {
    const bool last = k + 1 == format.size();
    const std::size_t comma = last ? std::string_view::npos : fields.find(',', begin);
    if (!last && comma == std::string_view::npos) return event;
    std::string_view value = fields.substr(begin, last ? fields.npos : comma - begin);
    const std::string& name = format[k];
    if (name != "text") value = TrimControls(value);
    std::string_view* slot = name == "layer"     ? &event.Layer
                             : name == "start"   ? &event.Start
                             : name == "end"     ? &event.End
                             : name == "style"   ? &event.Style
                             : name == "name"    ? &event.Name
                             : name == "marginl" ? &event.MarginL
                             : name == "marginr" ? &event.MarginR
                             : name == "marginv" ? &event.MarginV
                             : name == "effect"  ? &event.Effect
                             : name == "text"    ? &event.Text
                                                 : nullptr;
    if (slot) *slot = value;
    begin = last ? fields.size() : comma + 1;
  }
  event.Complete = true;
  return event;
}

bool AssReader::Recognises(const SubtitleLines& lines) const {
  return EqualsIgnoringCase(TrimControls(SkipUtf8Mark(lines.Line(0))), "[Script Info]");
}

// Everything up to the events' section is the script's own; the events are
// handed on in the standard order.
int32_t AssReader::ReadHeader(const SubtitleLines& lines, SubtitleDocument& document) const {
  int32_t cursor = 0;
  std::string& header = document.ScriptHeader;
  for (; cursor < lines.Count(); ++cursor) {
    const std::string_view line = TrimControls(lines.Line(cursor));
    if (EqualsIgnoringCase(line, "[Events]")) break;
    header.append(line).append("\n");
  }
  header.append(
      "\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
      "Text\n");
  document.EventFormat = StandardFormat();
  if (cursor >= lines.Count()) return cursor;
  ++cursor;
  if (cursor < lines.Count() &&
      StartsWithIgnoringCase(TrimControls(lines.Line(cursor)), "Format:")) {
    const std::vector<std::string> names = FormatNames(TrimControls(lines.Line(cursor)).substr(7));
    if (std::find(names.begin(), names.end(), "text") == names.end() - 1)
      document.EventFormat = names;
    ++cursor;
  }
  return cursor;
}

// A Dialogue line, else no entry: comments and the sections after the
// events ([Fonts], [Graphics]) give none.
bool AssReader::ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
                        std::vector<LineSpan>& text) const {
  const LineSpan& span = lines.Span(cursor);
  const std::string_view line = lines.Line(cursor++);
  if (IsSection(line)) {
    // Later sections hold no events; skip them whole.
    while (cursor < lines.Count() && !IsSection(lines.Line(cursor))) ++cursor;
    return false;
  }
  constexpr std::string_view kDialogue = "Dialogue:";
  if (!StartsWithIgnoringCase(line, kDialogue)) return false;
  const std::string_view fields = line.substr(kDialogue.size());
  const AssEvent event = SplitAssEvent(fields, lines.Document().EventFormat);
  const auto start = ScanAssTime(event.Start);
  const auto end = ScanAssTime(event.End);
  if (!event.Complete || !start || !end) return false;
  cue.Start = *start;
  cue.End = *end;
  const std::size_t fieldsAt = span.begin + kDialogue.size();
  cue.Fields = {fieldsAt, fields.size()};
  text.push_back({fieldsAt + std::size_t(event.Text.data() - fields.data()), event.Text.size()});
  return true;
}

}  // namespace SUBTITLEFILE
