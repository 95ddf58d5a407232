#pragma once

// The output picture's shape as the options give it (PictureShape reads it).
#include <string>

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

}  // namespace PICTURESHAPE
