#pragma once

// A subtitle picture's letters as a reader of print wants them. Discs draw
// letters in a fill (white, yellow) inside a dark outline, often with a
// shadow, anti-aliased with the colours between: the fill's colours are
// kept as dark ink on white and the rest dropped. The ink is split into
// lines where whole rows are empty, each line scaled to a height the reader
// reads best, and a line whose strokes lean (italics) is stood upright, so
// that the slant found can be written as italics.
#include <cstdint>
#include <vector>

#include "picture/SubtitleBitmaps.h"

namespace INKLINES {

// The height a line of letters is scaled to, in pixels, its descenders
// included.
constexpr int kLineHeight = 48;

struct InkLine {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Gray;  // Width x Height, 0 ink, 255 paper, rows top first
  bool Leaning = false;       // its strokes leant right: italics
  int32_t CanvasTop = 0;      // where the line stood on its canvas
};

// The lines of one object, top first; none when it holds no fill.
std::vector<InkLine> LinesOf(const SUBTITLEBITMAPS::Bitmap& bitmap);

// Which palette entries are the letters' fill: the opaque colours close to
// the brightest opaque colour the object uses (outlines and shadows are the
// dark ones). Indexes the object uses, by their count.
std::vector<bool> FillOf(const SUBTITLEBITMAPS::Bitmap& bitmap);

// How far a line's strokes lean, as a shear (x moved per row upwards),
// found as the shear that makes the ink's columns sharpest.
double Lean(const std::vector<uint8_t>& ink, int32_t width, int32_t height);

}  // namespace INKLINES
