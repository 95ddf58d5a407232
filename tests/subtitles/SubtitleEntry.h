#pragma once

// An entry as the file hands it out, to compare and print in tests.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

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

// Every reading step of the file in order, those that give no entry as
// {-1, -1}.
inline std::vector<Entry> AllSteps(const SUBTITLEFILE::SubtitleFile& file) {
  std::vector<Entry> entries;
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    entries.push_back({entry.Start, entry.End, entry.Lines});
  });
  return entries;
}

}  // namespace subtitleentry
