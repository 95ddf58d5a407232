// The limits put on a script before the drawing sees it, on any bytes: the
// header's numbers and play resolution, the style lines and an event's
// text, held to a resolution from the input (small, or anywhere in the
// positive range) or the one the bytes give as a header.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "HeldOverrides.h"
#include "styled/StyledLimits.h"
#include "subtitles/SubtitleText.h"
#include "text/AsciiText.h"

namespace FUZZTARGETS {
namespace {

using STYLEDLIMITS::Resolution;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

// Only style lines and the script's numbers (its play and layout
// resolution, its wrap style) may change, and every line stays.
bool MayChange(std::string_view line) {
  const std::string lower = ASCIITEXT::LowerAscii(SUBTITLEFILE::TrimControls(line));
  for (const char* key :
       {"style:", "playresx", "playresy", "layoutresx", "layoutresy", "wrapstyle"})
    if (lower.rfind(key, 0) == 0) return true;
  return false;
}

void CheckStyles(std::string_view header, const Resolution& resolution) {
  const std::string limited = STYLEDLIMITS::LimitStyles(header, resolution);
  const std::vector<std::string_view> before = Lines(header), after = Lines(limited);
  FUZZ_REQUIRE(before.size() == after.size());
  for (std::size_t k = 0; k < before.size(); ++k)
    if (before[k] != after[k]) FUZZ_REQUIRE(MayChange(before[k]));
}

}  // namespace

int FuzzLimits(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const uint8_t mode = input.Byte();
  Resolution given;
  if (mode & 2) {
    given.Width = int(1 + input.Long() % uint32_t(INT32_MAX));
    given.Height = int(1 + input.Long() % uint32_t(INT32_MAX));
  } else {
    given.Width = 1 + input.Word() % 8192;
    given.Height = 1 + input.Word() % 8192;
  }
  const std::string_view bytes = input.Rest();

  const Resolution script = STYLEDLIMITS::ScriptResolution(bytes);
  FUZZ_REQUIRE(script.Width > 0 && script.Height > 0);
  FUZZ_REQUIRE(script.Width <= 1 << 16 && script.Height <= 1 << 16);
  // A key the header does not name gives the fallback.
  for (const char* key : {"playresx", "playresy", "wrapstyle"}) {
    const int value = STYLEDLIMITS::HeaderNumber(bytes, key, -7);
    if (ASCIITEXT::LowerAscii(bytes).find(std::string(key) + ":") == std::string::npos)
      FUZZ_REQUIRE(value == -7);
  }

  const Resolution resolution = mode & 1 ? script : given;
  CheckStyles(bytes, resolution);
  const std::string limited = STYLEDLIMITS::LimitEventText(bytes, resolution);
  FUZZ_REQUIRE(limited.size() <= STYLEDLIMITS::kMaximumEventText);
  CheckHeldOverrides(limited, resolution);
  return 0;
}

}  // namespace FUZZTARGETS
