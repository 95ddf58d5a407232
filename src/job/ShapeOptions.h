#pragma once

// The output picture's shape as the options give it (PictureShape reads it).
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "picture/PictureExtent.h"

namespace PICTURESHAPE {

// As given: texts as the options spell them, sizes in pixels (0: none).
struct ShapeOptions {
  std::string Crop;   // "auto", "none" (or empty), "W:H:X:Y"
  std::string Scale;  // "WxH" or empty
  int Width = 0, Height = 0;
  std::string Place;       // "bottom" (or empty), "top", "bars"
  int Raise = 0;           // percent of the output's height, 0 to 50
  int PictureScale = 100;  // disc pictures' size in percent, 50 to 200
  // Sixteen "RRGGBB" colours, comma-separated, for a VobSub stream in place
  // of its own palette (many DVD rips carry a wrong one); empty: its own.
  std::string VobSubPalette;
};

// The options' texts read (ShapeOptions.cpp, which the option table's
// checks link alone); none when a text is bad.
enum class CropKind { None, Auto, Exact };
struct CropAsked {
  CropKind Kind = CropKind::None;
  PICTUREEXTENT::Rect Exact;
};
std::optional<CropAsked> ParseCrop(std::string_view text);
// "1280x720": both at least 16 and at most 16384.
std::optional<std::pair<int, int>> ParseSize(std::string_view text);

enum class Place { Bottom, Top, Bars };
std::optional<Place> ParsePlace(std::string_view text);

}  // namespace PICTURESHAPE
