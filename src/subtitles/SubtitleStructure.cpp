#include "subtitles/SubtitleStructure.h"

#include <charconv>
#include <string>

#include "subtitles/SubtitleClock.h"
#include "subtitles/SubtitleScan.h"
#include "subtitles/SubtitleText.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kTimesPattern[] = "%d:%d:%d,%d --> %d:%d:%d,%d";
constexpr double kHighestFrameRate = 1000.0;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Read tolerantly: numbers as "%d" reads them, a comma or a full stop before
// the milliseconds, or none.
constexpr ClockForm kTolerantClock = {.HourDigits = {},
                                      .Digits = {},
                                      .HoursOptional = false,
                                      .BelowSixty = false,
                                      .Signed = true,
                                      .FractionMarks = ",.",
                                      .FractionIs = ClockForm::Fraction::Milliseconds};

int64_t Milliseconds(const int32_t* hmsf) {
  return ClockMilliseconds(hmsf[0], hmsf[1], hmsf[2], hmsf[3]);
}

}  // namespace

std::optional<TimeSpan> ScanTimeLine(std::string_view line, bool tolerant) {
  int32_t values[8];
  if (ScanIntegers(line, kTimesPattern, values).stored == 8)
    return TimeSpan{Milliseconds(values), Milliseconds(values + 4)};
  if (!tolerant) return std::nullopt;
  const std::optional<ClockReading> start = ReadClock(line, kTolerantClock);
  if (!start) return std::nullopt;
  std::size_t at = start->Length;
  while (at < line.size() && IsScanSpace(line[at])) ++at;
  if (line.substr(at, 3) != "-->") return std::nullopt;
  const std::optional<ClockReading> end = ReadClock(line.substr(at + 3), kTolerantClock);
  if (!end) return std::nullopt;
  return TimeSpan{start->Milliseconds, end->Milliseconds};
}

bool IsWholeNumber(std::string_view line) {
  const std::string_view text = TrimControls(line);
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

std::optional<double> FrameRateOfLine(std::string_view line) {
  int32_t frames[2];
  const ScanResult scan = ScanIntegers(line, "{%d}{%d}", frames);
  if (scan.stored != 2 || frames[0] != frames[1] || (frames[0] != 0 && frames[0] != 1))
    return std::nullopt;
  const std::size_t close = line.find('}', line.find('}') + 1);
  if (close == std::string_view::npos) return std::nullopt;
  std::string text(TrimControls(line.substr(close + 1)));
  if (text.empty() || text.size() > 32 || !IsDigit(text.front())) return std::nullopt;
  if (const std::size_t comma = text.find(','); comma != std::string::npos) text[comma] = '.';
  double rate = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), rate, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!(rate > 0.0 && rate <= kHighestFrameRate)) return std::nullopt;
  return rate;
}

}  // namespace SUBTITLEFILE
