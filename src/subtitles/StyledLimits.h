#pragma once

// Bounds on what a script may ask of the drawing, applied before the drawing
// sees it, so that a hostile or broken script costs a bounded time and
// memory per picture: sizes, scales, rims, shadows, blurs, positions and
// drawings are held to ranges that follow the script's own resolution.
#include <cstdint>
#include <string>
#include <string_view>

namespace STYLEDLIMITS {

// Events drawn at the same time at most; later ones are left out.
constexpr int kMaximumEventsAtOnce = 48;
// Numbers in one event's drawings and vector clips at most (two a point).
constexpr int kMaximumDrawingNumbers = 4000;
// Bytes of one event's text at most.
constexpr std::size_t kMaximumEventText = 16384;

struct Resolution {
  int Width = 384;
  int Height = 288;
};

// The number a script header's line "Key: number" gives (the last such line;
// `key` in lower case, matched in any case), or `missing`.
int HeaderNumber(std::string_view header, std::string_view key, int missing);

// The script's play resolution, as the drawing would assume it.
Resolution ScriptResolution(std::string_view header);

// An event's text with its override values held to their ranges and its
// drawings cut to their limit.
std::string LimitEventText(std::string_view text, const Resolution& resolution);

// The script's sections with each style's sizes held to their ranges.
std::string LimitStyles(std::string_view header, const Resolution& resolution);

}  // namespace STYLEDLIMITS
