// Writes a PGS (.sup) stream for the benchmarks: one set a second (or every
// EVERY seconds, forced, as a film's forced subtitles come) with two lines
// of subtitle-like pictures (white strokes in a black rim), each shown for
// 0.9 s, on a canvas of the given size.
//
// Usage: pgs_stream OUTPUT.sup SECONDS WIDTH HEIGHT [EVERY]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/PgsWriter.h"

namespace {

// A line of "letters": strokes of the fill colour, each in a rim, with gaps
// between words, so that the run-length coding and the blending meet what
// real text gives them.
pgswriter::Object Line(uint16_t x, uint16_t y, uint16_t width, uint16_t height, int seed) {
  pgswriter::Object line;
  line.X = x;
  line.Y = y;
  line.Width = width;
  line.Height = height;
  line.Indexes.assign(size_t(width) * height, 0);
  for (int column = 0; column < width; ++column) {
    const int letter = (column + seed * 7) / 11;
    if (letter % 6 == 5 || column % 11 > 8) continue;  // a space, or between letters
    const int top = 4 + (letter * 5 + seed) % 9;
    for (int row = top; row < height - 4; ++row) {
      const bool rim = row == top || row == height - 5 || column % 11 == 0 || column % 11 == 8;
      line.Indexes[size_t(row) * width + column] = rim ? 2 : 1;
    }
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: pgs_stream OUTPUT.sup SECONDS WIDTH HEIGHT [EVERY]\n");
    return 2;
  }
  const int seconds = std::atoi(argv[2]);
  const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
  const int every = argc == 6 ? std::atoi(argv[5]) : 1;
  if (seconds <= 0 || width < 320 || height < 180 || width > 8192 || height > 8192 || every < 1)
    return 2;
  std::vector<pgswriter::DisplaySet> sets;
  for (int k = 0; k < seconds; k += every) {
    pgswriter::DisplaySet set;
    set.Pts90k = int64_t(k) * 90000;
    set.CanvasWidth = uint16_t(width);
    set.CanvasHeight = uint16_t(height);
    set.Palette = {{1, 255, 255, 255, 255}, {2, 0, 0, 0, 200}};
    const uint16_t lineWidth = uint16_t(width * 5 / 8), lineHeight = uint16_t(height / 14);
    const uint16_t left = uint16_t((width - lineWidth) / 2);
    set.Objects = {
        Line(left, uint16_t(height * 3 / 4), lineWidth, lineHeight, k),
        Line(left, uint16_t(height * 3 / 4 + lineHeight + 4), lineWidth, lineHeight, k + 1)};
    for (pgswriter::Object& object : set.Objects) object.Forced = every > 1;
    sets.push_back(set);
    sets.push_back(pgswriter::ClearingSet(set, set.Pts90k + 81000));
  }
  std::ofstream(argv[1], std::ios::binary) << pgswriter::WriteSup(sets);
  return 0;
}
