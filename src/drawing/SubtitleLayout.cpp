#include "drawing/SubtitleLayout.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace SUBTITLELAYOUT {
namespace {

constexpr qsizetype kPieceUnits = 1024;
// A piece ends after a blank when one comes this soon, so that words stay
// whole where they can.
constexpr qsizetype kBlankSearch = 48;

thread_local uint64_t unitsMeasured = 0;

int Advance(const QFontMetrics& metrics, const QString& text) {
  unitsMeasured += uint64_t(text.size());
  return metrics.horizontalAdvance(text);
}

// The end of the piece that starts at `start`: never inside a surrogate pair.
qsizetype PieceEnd(const QString& text, qsizetype start) {
  const qsizetype size = text.size();
  qsizetype end = std::min(start + kPieceUnits, size);
  if (end == size) return end;
  for (qsizetype k = end; k < std::min(end + kBlankSearch, size); ++k)
    if (text[k] == u' ') return k + 1;
  if (text[end].isLowSurrogate()) ++end;
  return end;
}

// Calls piece(start, width) for each piece in order until it returns false.
template <typename Piece>
void ForEachPiece(const QString& text, const QFont& font, Piece piece) {
  const QFontMetrics metrics(font);
  for (qsizetype start = 0; start < text.size();) {
    const qsizetype end = PieceEnd(text, start);
    if (!piece(start, Advance(metrics, text.mid(start, end - start)))) return;
    start = end;
  }
}

}  // namespace

QFont DrawingFont(const SUBTITLEFONT::SubtitleFont& font, bool antialias) {
  QFont result(QString::fromStdString(font.Name));
  result.setBold(font.Bold);
  result.setItalic(font.Italic);
  result.setUnderline(font.Underline);
  result.setStrikeOut(font.StrikeOut);
  result.setStyleStrategy(
      antialias ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                : QFont::NoAntialias);
  return result;
}

qsizetype CharacterCount(const QString& text) {
  qsizetype count = 0;
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i, ++count)
    if (text[i].isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) ++i;
  return count;
}

size_t LongestLine(const std::vector<QString>& texts) {
  size_t longest = 0;
  qsizetype most = -1;
  for (size_t i = 0; i < texts.size(); ++i) {
    const qsizetype count = CharacterCount(texts[i]);
    if (count > most) {
      most = count;
      longest = i;
    }
  }
  return longest;
}

bool WidthReaches(const QString& text, const QFont& font, int limit) {
  if (text.size() <= kWholeLineUnits) return Advance(QFontMetrics(font), text) >= limit;
  int64_t width = 0;
  bool reached = false;
  ForEachPiece(text, font, [&](qsizetype, int pieceWidth) {
    width += pieceWidth;
    reached = width >= limit;
    return !reached;
  });
  return reached;
}

void SetPoints(QFont& font, int points) {
  font.setPixelSize(std::max(SUBTITLEFONT::PixelsOfPoints(points), 1));
}

int FitPoints(const QString& text, QFont& font, int points, int minimum, int limit) {
  while (points > minimum && WidthReaches(text, font, limit)) SetPoints(font, --points);
  return points;
}

MeasuredLine::MeasuredLine(const QString& text, const QFont& font) : text_(text) {
  if (text.size() <= kWholeLineUnits) {
    width_ = Advance(QFontMetrics(font), text);
    return;
  }
  int64_t width = 0;
  ForEachPiece(text, font, [&](qsizetype start, int pieceWidth) {
    pieceStarts_.push_back(start);
    pieceLefts_.push_back(width);
    width += pieceWidth;
    return true;
  });
  width_ = width;
}

void MeasuredLine::Draw(QPainter& painter, int64_t x, int baseline, int clipWidth) const {
  if (pieceStarts_.empty()) {
    painter.drawText(int(x), baseline, text_);
    return;
  }
  // The pieces whose left edge lies before the clip's right edge, and from
  // one before the first that starts inside it: glyphs may overhang a little.
  const int64_t left = -x, right = int64_t(clipWidth) - x;
  const auto firstInside = std::upper_bound(pieceLefts_.begin(), pieceLefts_.end(), left);
  const size_t first = size_t(std::max<ptrdiff_t>(firstInside - pieceLefts_.begin() - 2, 0));
  const auto pastRight = std::upper_bound(pieceLefts_.begin(), pieceLefts_.end(), right);
  const size_t last = size_t(std::max<ptrdiff_t>(pastRight - pieceLefts_.begin(), 1));
  const qsizetype from = pieceStarts_[first];
  const qsizetype to = last < pieceStarts_.size() ? pieceStarts_[last] : text_.size();
  const int64_t pieceX = std::clamp<int64_t>(x + pieceLefts_[first], INT32_MIN / 2, INT32_MAX / 2);
  painter.drawText(int(pieceX), baseline, text_.mid(from, to - from));
}

uint64_t UnitsMeasured() { return unitsMeasured; }

}  // namespace SUBTITLELAYOUT
