#pragma once

#include <cstdint>
#include <string>

namespace SUBTITLEFONT {

// The subtitle font as the font options hold it and the settings file stores
// it: a face name, a size in points, a colour value 0x00BBGGRR (red in the
// lowest byte), a character-set code and four styles.
struct SubtitleFont {
  std::string Name = "Arial";
  int Size = 10;
  uint32_t Color = 0x000000;
  int Charset = 0;  // low 8 bits: 0 Western, 204 Cyrillic, ...
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;

  bool operator==(const SubtitleFont&) const = default;
};

// Sizes are points at 96 dots per inch wherever text is drawn, so that a size
// means what it meant on the platform the program was designed for.
constexpr int kScreenDotsPerInch = 96;

// The sizes a font may have (points), and the colour values.
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 1000;
constexpr uint32_t kMaxColor = 0xFFFFFF;

// Pixels of a size in points at that resolution; the product is taken in 64
// bits so that no size overflows it.
constexpr int PixelsOfPoints(int points) {
  const int64_t pixels = (int64_t(points) * kScreenDotsPerInch + 36) / 72;
  return pixels > INT32_MAX ? INT32_MAX : pixels < INT32_MIN ? INT32_MIN : int(pixels);
}

}  // namespace SUBTITLEFONT
