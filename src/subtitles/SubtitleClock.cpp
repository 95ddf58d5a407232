#include "subtitles/SubtitleClock.h"

#include "subtitles/SubtitleScan.h"

namespace SUBTITLEFILE {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Fits(const DigitCount& count, std::size_t digits) {
  return digits >= count.Least && digits <= count.Most;
}

struct Number {
  int64_t Value = 0;
  std::size_t Digits = 0;
};

class ClockText {
 public:
  explicit ClockText(std::string_view text) : text_(text) {}

  // Digits, after blanks and a sign when `takesSign`; false
  // without a digit.
  bool Read(bool takesSign, Number& number) {
    std::size_t at = pos_;
    bool negative = false;
    if (takesSign) {
      while (at < text_.size() && IsScanSpace(text_[at])) ++at;
      if (at < text_.size() && (text_[at] == '+' || text_[at] == '-'))
        negative = text_[at++] == '-';
    }
    const std::size_t first = at;
    int64_t magnitude = 0;
    for (; at < text_.size() && IsDigit(text_[at]); ++at)
      if (magnitude <= std::numeric_limits<int32_t>::max())
        magnitude = magnitude * 10 + (text_[at] - '0');
    if (at == first) return false;
    number = {negative ? -magnitude : magnitude, at - first};
    pos_ = at;
    return true;
  }
  bool TakeOneOf(std::string_view marks) {
    if (pos_ >= text_.size() || marks.find(text_[pos_]) == std::string_view::npos) return false;
    ++pos_;
    return true;
  }
  std::size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// A decimal fraction's digits as milliseconds: ".5" is 500.
int64_t DecimalMilliseconds(const Number& fraction) {
  return fraction.Digits == 1   ? fraction.Value * 100
         : fraction.Digits == 2 ? fraction.Value * 10
                                : fraction.Value;
}

}  // namespace

std::optional<ClockReading> ReadClock(std::string_view text, const ClockForm& form) {
  ClockText in(text);
  Number parts[3];
  int count = 0;
  for (;;) {
    if (!in.Read(form.Signed, parts[count])) return std::nullopt;
    if (++count == 3 || !in.TakeOneOf(":")) break;
  }
  const bool hours = count == 3;
  if (!hours && !(form.HoursOptional && count == 2)) return std::nullopt;
  const Number none;
  const Number& hour = hours ? parts[0] : none;
  const Number& minute = parts[count - 2];
  const Number& second = parts[count - 1];
  if ((hours && !Fits(form.HourDigits, hour.Digits)) || !Fits(form.Digits, minute.Digits) ||
      !Fits(form.Digits, second.Digits))
    return std::nullopt;
  if (form.BelowSixty && (second.Value > 59 || (hours && minute.Value > 59))) return std::nullopt;
  int64_t milliseconds = 0;
  if (in.TakeOneOf(form.FractionMarks)) {
    Number fraction;
    if (form.FractionIs == ClockForm::Fraction::Milliseconds) {
      if (!in.Read(form.Signed, fraction) || !Fits(form.Digits, fraction.Digits))
        return std::nullopt;
      milliseconds = fraction.Value;
    } else {
      if (!in.Read(false, fraction) || fraction.Digits > 3) return std::nullopt;
      milliseconds = DecimalMilliseconds(fraction);
    }
  }
  return ClockReading{ClockMilliseconds(hour.Value, minute.Value, second.Value, milliseconds),
                      in.Position()};
}

std::optional<int64_t> ReadWholeClock(std::string_view text, const ClockForm& form) {
  const std::optional<ClockReading> clock = ReadClock(text, form);
  if (!clock || clock->Length != text.size()) return std::nullopt;
  return clock->Milliseconds;
}

int64_t ClockMilliseconds(int64_t hours, int64_t minutes, int64_t seconds, int64_t milliseconds) {
  return hours * 3600000 + minutes * 60000 + seconds * 1000 + milliseconds;
}

}  // namespace SUBTITLEFILE
