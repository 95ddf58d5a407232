#pragma once

// An entry as NextEntry hands it out, to compare and print in tests.
#include <cstdint>
#include <ostream>
#include <string>

#include "subtitles/SubtitleUnit.h"

namespace subtitleentry {

struct Entry {
  int32_t start;
  int32_t end;
  SUBTITLEFILE::TextLines lines;
  bool operator==(const Entry&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Entry& e) {
  out << "{" << e.start << ", " << e.end;
  for (const std::string& line : e.lines) out << ", \"" << line << "\"";
  return out << "}";
}

}  // namespace subtitleentry
