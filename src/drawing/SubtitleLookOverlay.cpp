#include "drawing/SubtitleLookOverlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>

#include "drawing/SubtitleLayout.h"

namespace SUBTITLELOOKOVERLAY {
namespace {

using SUBTITLELAYOUT::kMaximumPoints;
using SUBTITLELAYOUT::kMinimumPoints;

// How far the box reaches beyond the rim: a few pixels at the sides, a row
// or two above and below.
constexpr int kBoxPadX = 4;
constexpr int kBoxPadY = 2;

inline int Div255(int x) {
  const int t = x + 128;
  return (t + (t >> 8)) >> 8;
}

struct Colour {
  int blue, green, red;
};

Colour ColourOf(uint32_t value) {
  return {int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF)};
}

// A premultiplied pixel being built back to front.
struct Premultiplied {
  int blue = 0, green = 0, red = 0, alpha = 0;

  // Lays a layer of that colour and coverage over what is there.
  void Over(const Colour& c, int coverage) {
    if (coverage == 0) return;
    const int rest = 255 - coverage;
    blue = Div255(c.blue * coverage) + Div255(blue * rest);
    green = Div255(c.green * coverage) + Div255(green * rest);
    red = Div255(c.red * coverage) + Div255(red * rest);
    alpha = coverage + Div255(alpha * rest);
  }
  QRgb Argb() const {
    return uint32_t(alpha) << 24 | uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
  }
};

SUBTITLELOOK::SubtitleLook Clamped(const SUBTITLELOOK::SubtitleLook& look) {
  SUBTITLELOOK::SubtitleLook result = look;
  result.Outline = std::clamp(look.Outline, 0, SUBTITLELOOK::kMaximumOutline);
  result.Shadow = std::clamp(look.Shadow, 0, SUBTITLELOOK::kMaximumShadow);
  result.BoxOpacity = std::clamp(look.BoxOpacity, 0, SUBTITLELOOK::kMaximumBoxOpacity);
  result.Margin = std::clamp(look.Margin, 0, SUBTITLELOOK::kMaximumMargin);
  return result;
}

// Half the width of the rim's disc at dy rows from its centre.
int DiscHalfWidth(int radius, int dy) {
  return int(std::sqrt(double(radius * radius + radius - dy * dy)));
}

void MaxInto(uint8_t* target, const uint8_t* source, size_t n) {
  for (size_t i = 0; i < n; ++i) target[i] = std::max(target[i], source[i]);
}

// Each byte the largest of itself and its two neighbours in the row.
void SpreadRow(uint8_t* target, const uint8_t* source, int width) {
  for (int x = 0; x < width; ++x) {
    uint8_t m = source[x];
    if (x > 0) m = std::max(m, source[x - 1]);
    if (x + 1 < width) m = std::max(m, source[x + 1]);
    target[x] = m;
  }
}

}  // namespace

void LookOverlay::Setup(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
                        const SUBTITLELOOK::SubtitleLook& look) {
  font_ = font;
  font_.Size = std::clamp(font.Size, kMinimumPoints, kMaximumPoints);
  look_ = Clamped(look);
  textFont_ = SUBTITLELAYOUT::DrawingFont(font_, look_.Antialias);
  SUBTITLELAYOUT::SetPoints(textFont_, font_.Size);
  const bool box = look_.BoxOpacity > 0;
  geometry_ = {QFontMetrics(textFont_).height(), look_.Outline, look_.Shadow, box ? kBoxPadX : 0,
               box ? kBoxPadY : 0};
  picture_.Clear();
  mask_ = band_ = QImage();
  glyphs_ = rim_ = {};
  spreads_.clear();
  if (width <= 0) return;
  // Made once per job: every entry is drawn into the same memory.
  mask_ = QImage(width, geometry_.Height(), QImage::Format_ARGB32_Premultiplied);
  band_ = QImage(width, geometry_.Height(), QImage::Format_ARGB32_Premultiplied);
  const size_t plane = size_t(width) * size_t(geometry_.Height());
  bool allocated = !mask_.isNull() && !band_.isNull();
  try {
    if (allocated) {
      glyphs_.resize(plane);
      if (look_.Outline > 0) rim_.resize(plane);
      spreads_.assign(size_t(look_.Outline), std::vector<uint8_t>(plane));
    }
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated || !picture_.Allocate(width, geometry_.Height())) {
    mask_ = band_ = QImage();
    glyphs_ = rim_ = {};
    spreads_.clear();
  }
}

void LookOverlay::Clear() { picture_.Clear(); }

void LookOverlay::Draw(const std::vector<QString>& texts, bool autoSize) {
  picture_.Clear();
  if (band_.isNull()) return;
  boxes_.clear();
  mask_.fill(Qt::transparent);
  if (!texts.empty()) DrawText(texts, autoSize);
  TakeCoverage();
  if (look_.Outline > 0) GrowRim();
  Compose();
  picture_.Store(band_);
}

void LookOverlay::DrawText(const std::vector<QString>& texts, bool autoSize) {
  const int width = Width();
  const int extra = geometry_.ExtraWidth();
  // With a rim, shadow or box a few more pixels keep the centred line clear
  // of both edges, a column to spare after the halving.
  const int limit = extra > 0 ? width - extra - 3 : width;
  if (autoSize)
    SUBTITLELAYOUT::FitPoints(texts[SUBTITLELAYOUT::LongestLine(texts)], textFont_, font_.Size,
                              kMinimumPoints, limit);
  QPainter painter(&mask_);
  painter.setRenderHint(QPainter::TextAntialiasing, look_.Antialias);
  painter.setFont(textFont_);
  painter.setPen(Qt::white);
  const int ascent = QFontMetrics(textFont_).ascent();
  auto drawLine = [&](const QString& text, int slot) {
    const SUBTITLELAYOUT::MeasuredLine line(text, textFont_);
    const int64_t x = (width - (line.Width() + geometry_.Shadow) - 2) / 2;
    line.Draw(painter, x, geometry_.CellTop(slot) + ascent, width);
    if (look_.BoxOpacity == 0 || line.Width() == 0) return;
    const int64_t start = x - geometry_.Outline - geometry_.PadX;
    const int64_t left = std::max<int64_t>(start, 0);
    const int64_t right = std::min<int64_t>(start + line.Width() + extra, width);
    if (right > left)
      boxes_.push_back(
          QRect(int(left), geometry_.SlotTop(slot), int(right - left), geometry_.SlotHeight()));
  };
  if (texts.size() == 1) {
    drawLine(texts[0], 1);
  } else {
    drawLine(texts[0], 0);
    drawLine(texts[1], 1);
  }
  painter.end();
  SUBTITLELAYOUT::SetPoints(textFont_, font_.Size);
}

// The mask's alpha is the glyphs' coverage: 0 or 255 when aliased.
void LookOverlay::TakeCoverage() {
  const int width = Width();
  for (int y = 0; y < Height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(mask_.constScanLine(y));
    uint8_t* coverage = glyphs_.data() + size_t(y) * width;
    for (int x = 0; x < width; ++x) coverage[x] = uint8_t(qAlpha(row[x]));
  }
}

// The rim is the glyphs grown by a disc of the outline's radius: spreads of
// 1 to r pixels along the rows, then the largest over the disc's rows.
void LookOverlay::GrowRim() {
  const int width = Width(), height = Height(), radius = look_.Outline;
  const size_t w = size_t(width);
  for (int k = 1; k <= radius; ++k) {
    const uint8_t* source = k == 1 ? glyphs_.data() : spreads_[size_t(k - 2)].data();
    uint8_t* target = spreads_[size_t(k - 1)].data();
    for (int y = 0; y < height; ++y) SpreadRow(target + y * w, source + y * w, width);
  }
  std::fill(rim_.begin(), rim_.end(), uint8_t(0));
  for (int y = 0; y < height; ++y) {
    for (int dy = -radius; dy <= radius; ++dy) {
      const int from = y + dy;
      if (from < 0 || from >= height) continue;
      const int half = DiscHalfWidth(radius, dy);
      const uint8_t* source = half == 0 ? glyphs_.data() : spreads_[size_t(half - 1)].data();
      MaxInto(rim_.data() + y * w, source + from * w, w);
    }
  }
}

// Back to front: box, shadow, rim, text.
void LookOverlay::Compose() {
  const int width = Width(), height = Height();
  const size_t w = size_t(width);
  const Colour text = ColourOf(font_.Color), rim = ColourOf(look_.OutlineColor);
  const Colour shadow = ColourOf(look_.ShadowColor), box = ColourOf(look_.BoxColor);
  const int boxCoverage = (look_.BoxOpacity * 255 + 50) / 100;
  const int offset = look_.Shadow;
  const uint8_t* shape = look_.Outline > 0 ? rim_.data() : glyphs_.data();
  for (int y = 0; y < height; ++y) {
    auto* out = reinterpret_cast<QRgb*>(band_.scanLine(y));
    const uint8_t* glyphRow = glyphs_.data() + y * w;
    const uint8_t* rimRow = look_.Outline > 0 ? rim_.data() + y * w : nullptr;
    const uint8_t* shadowRow = offset > 0 && y >= offset ? shape + (y - offset) * w : nullptr;
    for (int x = 0; x < width; ++x) {
      Premultiplied pixel;
      for (const QRect& r : boxes_)
        if (r.contains(x, y)) pixel.Over(box, boxCoverage);
      if (shadowRow != nullptr && x >= offset) pixel.Over(shadow, shadowRow[x - offset]);
      if (rimRow != nullptr) pixel.Over(rim, rimRow[x]);
      pixel.Over(text, glyphRow[x]);
      out[x] = pixel.Argb();
    }
  }
}

void LookOverlay::Overlay(uint8_t* frameBuffer) const { picture_.Blend(frameBuffer, look_.Margin); }

}  // namespace SUBTITLELOOKOVERLAY
