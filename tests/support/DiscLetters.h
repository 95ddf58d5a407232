#pragma once

// Lines of text drawn as disc authoring tools draw subtitles: anti-aliased
// letters of a fill colour in a dark outline (a shadow when asked), reduced
// to the few palette indexes a PGS or VobSub picture holds, so that the
// reading as text can be checked against what was drawn. Needs a
// QGuiApplication.
#include <cstdint>
#include <string>
#include <vector>

namespace discletters {

struct Style {
  std::string Family = "DejaVu Sans";
  int PixelSize = 44;
  bool Italic = false;
  bool Bold = false;
  double Outline = 4.0;   // the outline's width in pixels
  int ShadowOffset = 0;   // a shadow down and right of the letters, 0 for none
  double LineGap = 1.45;  // line to line, in pixel sizes
};

// Indexes: 0 transparent, 1 the fill, 2 the outline (and shadow), 3 the
// anti-aliased edge between them.
struct Picture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Indexes;  // row by row
};

// The lines (UTF-8), centred on a picture `width` wide and as high as they
// need.
Picture Draw(const std::vector<std::string>& lines, int width, const Style& style);

}  // namespace discletters
