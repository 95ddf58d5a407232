#pragma once

// A clock "H:M:S" with a fraction of a second, as subtitle files write their
// times. Each format's reader states the form its files use; reading it, the
// value in milliseconds and what becomes of huge numbers are decided here.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace SUBTITLEFILE {

// How many digits a number of the clock may have.
struct DigitCount {
  std::size_t Least = 1;
  std::size_t Most = std::numeric_limits<std::size_t>::max();
};

struct ClockForm {
  DigitCount HourDigits;
  DigitCount Digits;  // the minutes' and the seconds'
  // "M:S" is a clock too: the parts are counted from the seconds back.
  bool HoursOptional = false;
  // Seconds below 60, and minutes too when hours come before them.
  bool BelowSixty = false;
  // Each number as "%d" reads it: blanks and a sign may stand before it.
  bool Signed = false;
  // What may stand between the seconds and their fraction.
  std::string_view FractionMarks = ".,";
  // The fraction: a count of milliseconds however many digits it has (read
  // as the minutes are), or up to three decimal digits of a second.
  enum class Fraction { Milliseconds, Decimal };
  Fraction FractionIs = Fraction::Decimal;
};

struct ClockReading {
  int64_t Milliseconds = 0;
  std::size_t Length = 0;  // the characters the clock took
};

// The clock at the start of the text; none when it does not start with one
// of the form. A number past 32 bits keeps the value it had when it passed
// them, so that no clock leaves 64 bits.
std::optional<ClockReading> ReadClock(std::string_view text, const ClockForm& form);

// The clock that is the whole text, in milliseconds.
std::optional<int64_t> ReadWholeClock(std::string_view text, const ClockForm& form);

// Hours, minutes, seconds and milliseconds as milliseconds; 64-bit, so that
// no 32-bit hour count can overflow.
int64_t ClockMilliseconds(int64_t hours, int64_t minutes, int64_t seconds, int64_t milliseconds);

}  // namespace SUBTITLEFILE
