#include "subtitles/SubtitleNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace SUBTITLEFILE {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t DigitsFrom(std::string_view text, std::size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// The end of [sign]digits[.digits][exponent] from `at`; an exponent counts
// only with its digits, so that "1e" reads as 1.
std::size_t NumberEnd(std::string_view text, std::size_t at) {
  std::size_t end = at;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
  while (end < text.size() && (IsDigit(text[end]) || text[end] == '.')) ++end;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t digits = end + 1;
    if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) ++digits;
    if (digits < text.size() && IsDigit(text[digits])) end = DigitsFrom(text, digits);
  }
  return end;
}

}  // namespace

bool IsNumberStart(std::string_view text, std::size_t at) {
  if (at >= text.size()) return false;
  const char c = text[at];
  if (IsDigit(c) || c == '.') return true;
  return (c == '-' || c == '+') && at + 1 < text.size() &&
         (IsDigit(text[at + 1]) || text[at + 1] == '.');
}

std::size_t PastBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  return at;
}

Decimal ScanDecimal(std::string_view text) {
  if (!IsNumberStart(text, 0)) return {};
  const std::size_t end = NumberEnd(text, 0);
  std::string_view number = text.substr(0, end);
  const bool negative = number.front() == '-';
  if (number.front() == '-' || number.front() == '+') number.remove_prefix(1);
  // "12." and ".5" are numbers as the scripts write them; a second point
  // ends the number as it ends atof's.
  double value = 0.0;
  const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                             std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Either too large or too small: a digit before any exponent tells.
    const std::size_t point = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, point);
    const bool exponentNegative =
        point != std::string_view::npos && point + 1 < number.size() && number[point + 1] == '-';
    const bool nonZero = mantissa.find_first_of("123456789") != std::string_view::npos;
    value = nonZero && !exponentNegative ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    value = 0.0;
  }
  (void)stop;
  return {negative ? -value : value, end};
}

int64_t LeadingInteger(std::string_view text, int64_t low, int64_t high, int64_t missing) {
  std::size_t at = PastBlanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at >= text.size() || !IsDigit(text[at])) return missing;
  // Past the range's reach further digits change nothing.
  constexpr int64_t kCeiling = std::numeric_limits<int64_t>::max() / 10 - 10;
  int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at)
    if (magnitude < kCeiling) magnitude = magnitude * 10 + (text[at] - '0');
  return std::clamp(negative ? -magnitude : magnitude, low, high);
}

}  // namespace SUBTITLEFILE
