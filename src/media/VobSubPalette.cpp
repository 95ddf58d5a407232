#include "media/VobSubPalette.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace DISPLAYSETDECODER {

std::string VobSubPaletteProblem(const std::string& colours) {
  constexpr std::size_t kColours = 16, kDigits = 6;
  std::size_t count = 0, from = 0;
  while (from <= colours.size()) {
    const std::size_t comma = std::min(colours.find(',', from), colours.size());
    const std::string colour = colours.substr(from, comma - from);
    if (colour.size() != kDigits || !std::all_of(colour.begin(), colour.end(),
                                                 [](char c) { return std::isxdigit(uint8_t(c)); }))
      return "'" + colour + "' is no RRGGBB colour";
    ++count;
    from = comma + 1;
  }
  if (count != kColours) return "it names " + std::to_string(count) + " colours, not 16";
  return {};
}

// The decoder reads "palette: rrggbb, ..." from the header, as an .idx
// file writes it.
std::string WithVobSubPalette(const std::string& header, const std::string& colours) {
  std::string line = "palette: ";
  for (std::size_t i = 0; i < colours.size(); ++i)
    line += colours[i] == ',' ? std::string(", ")
                              : std::string(1, char(std::tolower(uint8_t(colours[i]))));
  std::string result;
  std::size_t from = 0;
  bool replaced = false;
  while (from < header.size()) {
    std::size_t end = header.find('\n', from);
    end = end == std::string::npos ? header.size() : end + 1;
    const std::string kept = header.substr(from, end - from);
    if (kept.rfind("palette:", 0) == 0) {
      result += line + "\n";
      replaced = true;
    } else {
      result += kept;
    }
    from = end;
  }
  if (!replaced) {
    if (!result.empty() && result.back() != '\n') result += '\n';
    result += line + "\n";
  }
  return result;
}

}  // namespace DISPLAYSETDECODER
