#pragma once

// How an entry is made readable on any picture: a rim around the glyphs, a
// shadow behind them, a translucent box behind each line, smooth edges, and
// the band raised above the bottom edge. Everything off is the plain look:
// key-coloured cells and aliased text, drawn the way the program always has.
#include <cstdint>

namespace SUBTITLELOOK {

struct SubtitleLook {
  int Outline = 0;                   // pixels of rim around every glyph
  uint32_t OutlineColor = 0x000000;  // 0x00BBGGRR
  int Shadow = 0;                    // pixels down and to the right
  uint32_t ShadowColor = 0x000000;
  int BoxOpacity = 0;  // percent
  uint32_t BoxColor = 0x000000;
  bool Antialias = false;
  int Margin = 0;  // rows between the band and the picture's bottom edge

  // Whether anything differs from the plain look.
  bool AnyOn() const {
    return Outline > 0 || Shadow > 0 || BoxOpacity > 0 || Antialias || Margin > 0;
  }
  bool operator==(const SubtitleLook&) const = default;
};

// The ranges the command line and the settings file hold the values to; the
// overlay clamps to them too.
constexpr int kMaximumOutline = 8;
constexpr int kMaximumShadow = 8;
constexpr int kMaximumBoxOpacity = 100;
constexpr int kMaximumMargin = 1000;

}  // namespace SUBTITLELOOK
