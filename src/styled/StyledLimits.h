#pragma once

// Bounds on what a script may ask of the drawing, applied before the drawing
// sees it, so that a hostile or broken script costs a bounded time and
// memory per picture whatever the machine: sizes, scales, rims, shadows,
// blurs, angles, times, positions and drawings are held to ranges that
// follow the script's own resolution, and the area of the letters and
// drawings an event asks for (their ink) is held to a multiple of the
// picture's. Every bound is on the script itself, never on the time taken,
// so the same script gives the same pictures on any machine under any load.
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
// The ink of one event, and of the events shown at once, at most, in
// pictures' areas. A subtitle line takes a tenth of the picture; rotated,
// bordered and growing lines of real scripts take up to four.
constexpr double kMaximumEventInk = 12.0;
constexpr double kMaximumInkAtOnce = 12.0;

struct Resolution {
  int Width = 384;
  int Height = 288;
};

// The largest size, scales, rims and blur a script's styles give, within
// their limits: where an event's ink is counted from.
struct StyleExtent {
  double FontSize = 18;
  double ScaleX = 100, ScaleY = 100;
  double Outline = 2, Shadow = 2;
  double Blur = 0;
  // How a line's box grows with the square of its length: 0 upright, up
  // to 1 rotated or sheared in the picture's plane, 4 turned out of it
  // (which also brings parts of it nearer).
  double Lean = 0;
};

// The number a script header's line "Key: number" gives (the last such line;
// `key` in lower case, matched in any case), held to the range of an int,
// or `missing`.
int HeaderNumber(std::string_view header, std::string_view key, int missing);

// The script's play resolution, as the drawing would assume it, each side
// at most 65536.
Resolution ScriptResolution(std::string_view header);

// A number as written when it lies in [low, high] (and is written plainly),
// else the nearest value of the range; text that is no number passes as it
// is.
std::string LimitedNumber(std::string_view written, double low, double high);

struct LimitedEvent {
  std::string Text;
  double Ink = 0;    // in pictures' areas
  bool Cut = false;  // text left out to keep within kMaximumEventInk
};

// An event's text with its override values held to their ranges, its
// drawings cut to their limit and its text to the ink an event may have.
// `wraps`: the script wraps long lines at blanks (its WrapStyle is not 2).
LimitedEvent LimitEvent(std::string_view text, const Resolution& resolution,
                        const StyleExtent& extent, bool wraps = true);
inline std::string LimitEventText(std::string_view text, const Resolution& resolution) {
  return LimitEvent(text, resolution, StyleExtent{}).Text;
}

// The script's sections with the script's numbers (play resolution, wrap
// style) and each style's held to their ranges.
std::string LimitStyles(std::string_view header, const Resolution& resolution);

// What the (limited) styles of a header extend to; the defaults where it
// has none.
StyleExtent ScriptStyleExtent(std::string_view header);

// An event's layer and margins as the drawing reads them, held to ranges.
std::string LimitLayer(std::string_view written);
std::string LimitMargin(std::string_view written, const Resolution& resolution, bool vertical);

}  // namespace STYLEDLIMITS
