#include "subtitles/SubtitleStructure.h"

#include <charconv>
#include <limits>
#include <string>

#include "subtitles/SubtitleScan.h"
#include "subtitles/SubtitleText.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kTimesPattern[] = "%d:%d:%d,%d --> %d:%d:%d,%d";
constexpr double kHighestFrameRate = 1000.0;

// 64-bit, so that no hour count can overflow.
int64_t Milliseconds(const int32_t* hmsf) {
  return int64_t(hmsf[0]) * 3600000 + int64_t(hmsf[1]) * 60000 + int64_t(hmsf[2]) * 1000 + hmsf[3];
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class TimeReader {
 public:
  explicit TimeReader(std::string_view text) : text_(text) {}

  // [blanks][sign]digits, like "%d"; values beyond 32 bits are pinned.
  bool Number(int64_t& value) {
    SkipSpace();
    bool negative = false;
    if (Has() && (text_[pos_] == '+' || text_[pos_] == '-')) negative = text_[pos_++] == '-';
    if (!Has() || !IsDigit(text_[pos_])) return false;
    int64_t magnitude = 0;
    for (; Has() && IsDigit(text_[pos_]); ++pos_)
      if (magnitude <= std::numeric_limits<int32_t>::max())
        magnitude = magnitude * 10 + (text_[pos_] - '0');
    value = negative ? -magnitude : magnitude;
    return true;
  }
  bool Literal(char c) {
    if (!Has() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool Arrow() {
    SkipSpace();
    return Literal('-') && Literal('-') && Literal('>');
  }
  // H:M:S, then the milliseconds after a comma or a full stop if any.
  bool Time(int64_t& ms) {
    int64_t h, m, s, f = 0;
    if (!Number(h) || !Literal(':') || !Number(m) || !Literal(':') || !Number(s)) return false;
    if ((Literal(',') || Literal('.')) && !Number(f)) return false;
    ms = h * 3600000 + m * 60000 + s * 1000 + f;
    return true;
  }

 private:
  // Like a C string, the text ends at its first NUL.
  bool Has() const { return pos_ < text_.size() && text_[pos_] != '\0'; }
  void SkipSpace() {
    while (Has() && IsScanSpace(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<TimeSpan> ScanTimeLine(std::string_view line, bool tolerant) {
  int32_t values[8];
  if (ScanIntegers(line, kTimesPattern, values).stored == 8)
    return TimeSpan{Milliseconds(values), Milliseconds(values + 4)};
  if (!tolerant) return std::nullopt;
  TimeReader reader(line);
  TimeSpan span;
  if (!reader.Time(span.startMs) || !reader.Arrow() || !reader.Time(span.endMs))
    return std::nullopt;
  return span;
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
