#include "subtitles/MicroDvdReader.h"

#include "subtitles/SubtitleScan.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kMicroDvdPattern[] = "{%d}{%d}";

// The text after a line's second "}"; after the second number when the line
// has only one.
std::size_t TextStart(std::string_view line, std::size_t afterSecondNumber) {
  const std::size_t first = line.find('}');
  const std::size_t second = line.find('}', first + 1);
  if (second == std::string_view::npos) return afterSecondNumber;
  return second + 1;
}

}  // namespace

bool MicroDvdReader::Recognises(const SubtitleLines& lines) const {
  int32_t values[8];
  const std::string_view first = lines.Line(0);
  return first.substr(0, 1) == "{" && ScanIntegers(first, kMicroDvdPattern, values).stored == 2;
}

// The rate line is the file's, not an entry.
int32_t MicroDvdReader::ReadHeader(const SubtitleLines& lines, SubtitleDocument& document) const {
  if (!lines.Options().Tolerant) return 0;
  const std::optional<double> rate = FrameRateOfLine(lines.Line(0));
  if (!rate) return 0;
  document.FileFrameRate = *rate;
  return 1;
}

bool MicroDvdReader::ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
                             std::vector<LineSpan>& text) const {
  const LineSpan& span = lines.Span(cursor);
  const std::string_view line = lines.Line(cursor++);
  int32_t frames[2];
  const ScanResult scan = ScanIntegers(line, kMicroDvdPattern, frames);
  if (scan.stored < 2) return false;
  cue.Start = frames[0];
  cue.End = frames[1];
  const std::string_view rest = line.substr(TextStart(line, scan.end));
  const std::string_view trimmed = TrimControls(rest);
  const std::size_t offset = trimmed.empty() ? 0 : std::size_t(trimmed.data() - line.data());
  text.push_back({span.begin + offset, trimmed.size()});
  return true;
}

}  // namespace SUBTITLEFILE
