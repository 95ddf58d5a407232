#pragma once

// Formatted scanning with the C library's sscanf rules for patterns made of
// "%d", blanks and literal characters, without its undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace SUBTITLEFILE {

struct ScanResult {
  int stored = 0;       // integers stored before the first mismatch
  std::size_t end = 0;  // index just past the last integer stored
};

// Scans text (which ends at its first NUL, as a C string would) with the
// pattern. An integer that does not fit is stored as glibc's sscanf stores it
// on LP64: saturated to 64 bits, then truncated to 32.
ScanResult ScanIntegers(std::string_view text, std::string_view pattern, int32_t* values);

// White space as the C locale's isspace sees it.
constexpr bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace SUBTITLEFILE
