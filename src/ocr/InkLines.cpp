#include "ocr/InkLines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace INKLINES {
namespace {

constexpr int kMargin = 12;           // paper around a line, in output pixels
constexpr double kItalicLean = 0.12;  // a shear above this is italics
constexpr int32_t kLargestSide = 8192;

int Luminance(uint32_t argb) {
  const int r = int(argb >> 16 & 0xFF), g = int(argb >> 8 & 0xFF), b = int(argb & 0xFF);
  return (r * 2126 + g * 7152 + b * 722) / 10000;
}

bool Opaque(uint32_t argb) { return (argb >> 24) >= 128; }

// Rows that hold ink, as runs [from, to); runs closer than two empty rows
// are one line, and a run too thin to be letters (a dot of an accent apart
// from its line) joins the one below it.
std::vector<std::pair<int32_t, int32_t>> InkRows(const std::vector<uint8_t>& ink, int32_t width,
                                                 int32_t height) {
  std::vector<std::pair<int32_t, int32_t>> runs;
  for (int32_t y = 0; y < height; ++y) {
    const bool any =
        std::any_of(ink.begin() + std::ptrdiff_t(y) * width,
                    ink.begin() + std::ptrdiff_t(y + 1) * width, [](uint8_t v) { return v; });
    if (!any) continue;
    if (!runs.empty() && y - runs.back().second <= 2)
      runs.back().second = y + 1;
    else
      runs.push_back({y, y + 1});
  }
  int32_t tallest = 0;
  for (const auto& [from, to] : runs) tallest = std::max(tallest, to - from);
  std::vector<std::pair<int32_t, int32_t>> lines;
  for (size_t k = 0; k < runs.size(); ++k) {
    if (runs[k].second - runs[k].first < tallest / 4 && k + 1 < runs.size()) {
      runs[k + 1].first = runs[k].first;
      continue;
    }
    lines.push_back(runs[k]);
  }
  return lines;
}

// The line's ink, sheared back by `lean` and scaled to kLineHeight, on paper.
InkLine Scaled(const std::vector<uint8_t>& ink, int32_t width, int32_t from, int32_t to,
               double lean) {
  const int32_t height = to - from;
  int32_t left = width, right = 0;
  for (int32_t y = from; y < to; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (ink[size_t(y) * size_t(width) + size_t(x)]) {
        left = std::min(left, x);
        right = std::max(right, x + 1);
      }
  const double scale = double(kLineHeight) / std::max(height, 1);
  const int32_t shearRoom = int32_t(std::ceil(std::fabs(lean) * height));
  InkLine line;
  line.Width =
      std::min(kLargestSide, int32_t(std::ceil((right - left + shearRoom) * scale)) + 2 * kMargin);
  line.Height = kLineHeight + 2 * kMargin;
  line.Gray.assign(size_t(line.Width) * size_t(line.Height), 255);
  for (int32_t oy = 0; oy < kLineHeight; ++oy) {
    const double sy = (oy + 0.5) / scale - 0.5;
    const int32_t y = std::clamp(int32_t(std::lround(sy)), 0, height - 1);
    // Upwards from the bottom row the ink moved right by lean per row.
    const double shift = lean * (height - 1 - y);
    for (int32_t ox = 0; ox + 2 * kMargin < line.Width; ++ox) {
      const double sx = (ox + 0.5) / scale - 0.5 + left + shift - (lean < 0 ? shearRoom : 0);
      const int32_t x = int32_t(std::lround(sx));
      if (x < 0 || x >= width) continue;
      if (ink[size_t(from + y) * size_t(width) + size_t(x)])
        line.Gray[size_t(oy + kMargin) * size_t(line.Width) + size_t(ox + kMargin)] = 0;
    }
  }
  line.CanvasTop = from;
  return line;
}

}  // namespace

std::vector<bool> FillOf(const SUBTITLEBITMAPS::Bitmap& bitmap) {
  std::array<int64_t, 256> counts{};
  for (int32_t y = 0; y < bitmap.Height; ++y)
    for (int32_t x = 0; x < bitmap.Width; ++x)
      ++counts[bitmap.Indexes[size_t(y) * size_t(bitmap.Stride) + size_t(x)]];
  int brightest = -1;
  for (int i = 0; i < 256; ++i)
    if (counts[size_t(i)] > 0 && Opaque(bitmap.Palette[size_t(i)]))
      brightest = std::max(brightest, Luminance(bitmap.Palette[size_t(i)]));
  std::vector<bool> fill(256, false);
  if (brightest < 0) return fill;
  // Half way from the brightest colour to black: the fill's anti-aliased
  // edge is in, the outline and shadow are out.
  for (int i = 0; i < 256; ++i)
    fill[size_t(i)] = counts[size_t(i)] > 0 && Opaque(bitmap.Palette[size_t(i)]) &&
                      Luminance(bitmap.Palette[size_t(i)]) * 2 > brightest + 40;
  return fill;
}

double Lean(const std::vector<uint8_t>& ink, int32_t width, int32_t height) {
  double best = 0.0, bestScore = -1.0;
  std::vector<int64_t> columns;
  for (int step = -4; step <= 8; ++step) {
    const double shear = step * 0.05;
    const int32_t room = int32_t(std::ceil(std::fabs(shear) * height)) + 1;
    columns.assign(size_t(width + 2 * room), 0);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        if (ink[size_t(y) * size_t(width) + size_t(x)])
          ++columns[size_t(x + room - int32_t(std::lround(shear * (height - 1 - y))))];
    double score = 0.0;
    for (const int64_t count : columns) score += double(count) * double(count);
    if (score > bestScore * 1.01) {
      bestScore = score;
      best = shear;
    }
  }
  return best;
}

std::vector<InkLine> LinesOf(const SUBTITLEBITMAPS::Bitmap& bitmap) {
  std::vector<InkLine> lines;
  const int32_t width = bitmap.Width, height = bitmap.Height;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide ||
      bitmap.Stride < width || bitmap.Indexes.size() < size_t(bitmap.Stride) * size_t(height))
    return lines;
  const std::vector<bool> fill = FillOf(bitmap);
  std::vector<uint8_t> ink(size_t(width) * size_t(height), 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ink[size_t(y) * size_t(width) + size_t(x)] =
          fill[bitmap.Indexes[size_t(y) * size_t(bitmap.Stride) + size_t(x)]];
  for (const auto& [from, to] : InkRows(ink, width, height)) {
    std::vector<uint8_t> rows(ink.begin() + std::ptrdiff_t(from) * width,
                              ink.begin() + std::ptrdiff_t(to) * width);
    const double lean = Lean(rows, width, to - from);
    InkLine line = Scaled(ink, width, from, to, lean);
    line.Leaning = lean > kItalicLean;
    line.CanvasTop = bitmap.Y + from;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace INKLINES
