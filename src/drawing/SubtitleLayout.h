#pragma once

// Measuring and placing one subtitle line. Ordinary lines are measured and
// drawn whole; a line too long to ever fit is measured in pieces, once, and
// only the pieces that can show are drawn, so that its cost grows with its
// length and not with its length times the sizes auto-size tries.
#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

#include "subtitles/SubtitleFont.h"

class QPainter;

namespace SUBTITLELAYOUT {

// Auto-size never goes below the minimum; sizes above the maximum (the
// command line's bound) are drawn at the maximum.
constexpr int kMinimumPoints = 1;
constexpr int kMaximumPoints = 1000;

// The font the lines are drawn in, at no size yet. Aliased glyphs for the
// key-coloured band: a blended edge pixel there would paint a tinted fringe.
QFont DrawingFont(const SUBTITLEFONT::SubtitleFont& font, bool antialias);

// Lines up to this many UTF-16 units are measured and drawn as one string.
constexpr qsizetype kWholeLineUnits = 2048;

// Characters of a line as auto-size counts them: code points, a surrogate
// pair being one.
qsizetype CharacterCount(const QString& text);

// The line with the most characters; the earliest on a tie.
size_t LongestLine(const std::vector<QString>& texts);

// Whether the text is at least `limit` pixels wide in the font. A long text is
// measured only until it reaches the limit.
bool WidthReaches(const QString& text, const QFont& font, int limit);

// Puts a size in points on the font, as a pixel size at 96 dots per inch.
void SetPoints(QFont& font, int points);

// Lowers the font one point at a time from `points` while the text is at
// least `limit` pixels wide, down to `minimum` at most; returns the size it
// ends at, which the font then has.
int FitPoints(const QString& text, QFont& font, int points, int minimum, int limit);

// A line measured at one font, ready to be drawn with its text cell's left
// edge at x.
class MeasuredLine {
 public:
  MeasuredLine(const QString& text, const QFont& font);

  int64_t Width() const { return width_; }
  // Draws with the painter's font (the one measured with) on the baseline y;
  // of a long line only what falls into [0, clipWidth) and a piece either side.
  void Draw(QPainter& painter, int64_t x, int baseline, int clipWidth) const;

 private:
  QString text_;
  int64_t width_ = 0;
  // Long lines only: where each piece starts, in units and in pixels.
  std::vector<qsizetype> pieceStarts_;
  std::vector<int64_t> pieceLefts_;
};

// UTF-16 units the measurements have shaped so far in this thread: how the
// tests see that a long line costs its length once.
uint64_t UnitsMeasured();

}  // namespace SUBTITLELAYOUT
