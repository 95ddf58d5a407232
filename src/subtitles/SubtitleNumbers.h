#pragma once

// Numbers as subtitle files write them, read with their range checked: no
// text, however long or hostile, gives a value outside the range asked for
// or an arithmetic overflow on the way there.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace SUBTITLEFILE {

// A decimal number at the start of a text: [+|-]digits[.digits] with an
// optional exponent, or a lone "." (which reads as 0). Length 0 when the
// text does not start with one. A value too large for a double is infinite.
struct Decimal {
  double Value = 0.0;
  std::size_t Length = 0;
};
Decimal ScanDecimal(std::string_view text);

// Whether a number starts at `at`: a digit or "." or a sign before one.
bool IsNumberStart(std::string_view text, std::size_t at);

// Where the blanks from `at` end, as atoi and strtod pass over them before
// a number: spaces, tabs, line breaks, vertical tabs and form feeds.
std::size_t PastBlanks(std::string_view text, std::size_t at);

// What atoi reads (blanks, a sign, the digits up to the first other
// character), held to [low, high]; `missing` when there are no digits.
int64_t LeadingInteger(std::string_view text, int64_t low, int64_t high, int64_t missing);

}  // namespace SUBTITLEFILE
