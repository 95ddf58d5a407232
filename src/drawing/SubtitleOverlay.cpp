#include "drawing/SubtitleOverlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "drawing/SubtitleLayout.h"
#include "drawing/SubtitleLookOverlay.h"
#include "platform/CodePage.h"

namespace SUBTITLEOVERLAY {

namespace {

using SUBTITLELAYOUT::kMaximumPoints;
using SUBTITLELAYOUT::kMinimumPoints;

// A pixel's blue, green and red bytes, read as one little-endian value.
inline uint32_t PixelAt(const uint8_t* bgr) {
  return uint32_t(bgr[0]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[2]) << 16;
}

// The key colour as PixelAt reads it.
constexpr uint32_t kKeyPixel = ((SubtitleKeyColor >> 16) & 0xFF) | (SubtitleKeyColor & 0xFF00) |
                               (SubtitleKeyColor & 0xFF) << 16;

QColor ColorOf(uint32_t value) {
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

}  // namespace

SubtitleOverlay::SubtitleOverlay() = default;
SubtitleOverlay::~SubtitleOverlay() = default;

void SubtitleOverlay::Setup(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
                            const SUBTITLELOOK::SubtitleLook& look) {
  look_.reset();
  if (look.AnyOn()) {
    SetUpLook(font, width, look);
    return;
  }
  font_ = font;
  font_.Size = std::clamp(font.Size, kMinimumPoints, kMaximumPoints);
  bitmapFont_ = SUBTITLELAYOUT::DrawingFont(font_, false);
  SetFontPoints(font_.Size);
  ClearImage();
  subtitleBitmap_ = QImage();
  if (width <= 0) return;
  const int textHeight = QFontMetrics(bitmapFont_).height();
  subtitleBitmap_ = QImage(width, 2 * textHeight + 4, QImage::Format_BGR888);
  if (subtitleBitmap_.isNull()) return;
  // Made once per job: every entry is stored into the same memory.
  subtitleImage_.Allocate(width, subtitleBitmap_.height(), 4, 0);
  subtitleImage_.Clear();
}

// The plain band is left empty: nothing of it is drawn.
void SubtitleOverlay::SetUpLook(const SUBTITLEFONT::SubtitleFont& font, int32_t width,
                                const SUBTITLELOOK::SubtitleLook& look) {
  font_ = font;
  ClearImage();
  subtitleBitmap_ = QImage();
  look_ = std::make_unique<SUBTITLELOOKOVERLAY::LookOverlay>();
  look_->Setup(font, width, look);
}

int32_t SubtitleOverlay::Width() const { return look_ ? look_->Width() : subtitleBitmap_.width(); }
int32_t SubtitleOverlay::Height() const {
  return look_ ? look_->Height() : subtitleBitmap_.height();
}
const BMPFRAME::BmpFrame& SubtitleOverlay::SubtitleImage() const { return subtitleImage_; }

// Keeps the capacity, so the next run of the same size does not reallocate.
void SubtitleOverlay::ClearImage() {
  subtitleImage_.Clear();
  inkRuns_.clear();
  if (look_) look_->Clear();
}

void SubtitleOverlay::SetFontPoints(int points) { SUBTITLELAYOUT::SetPoints(bitmapFont_, points); }

void SubtitleOverlay::DrawSubtitle(const std::vector<std::string>& lines) {
  if (subtitleBitmap_.isNull() && !look_) return;
  std::vector<QString> texts;
  texts.reserve(lines.size());
  for (const std::string& line : lines)
    texts.push_back(CODEPAGE::DecodeSubtitleText(line, font_.Charset));
  if (look_) {
    look_->Draw(texts, AutoSizeLine);
    return;
  }
  subtitleBitmap_.fill(ColorOf(SubtitleKeyColor));
  if (!texts.empty()) DrawLines(texts);
  StoreImage();
}

void SubtitleOverlay::DrawLines(const std::vector<QString>& texts) {
  const int width = Width();
  const int lowerSlot = Height() / 2 + 1;
  if (AutoSizeLine)
    SUBTITLELAYOUT::FitPoints(texts[SUBTITLELAYOUT::LongestLine(texts)], bitmapFont_, font_.Size,
                              kMinimumPoints, width);

  QPainter painter(&subtitleBitmap_);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(bitmapFont_);
  painter.setPen(ColorOf(font_.Color));
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(ColorOf(SubtitleKeyColor));
  const int ascent = QFontMetrics(bitmapFont_).ascent();
  // x and y are the top-left corner of the text cell.
  auto drawAt = [&](const QString& text, int y) {
    const SUBTITLELAYOUT::MeasuredLine line(text, bitmapFont_);
    line.Draw(painter, (width - line.Width() - 2) / 2, y + ascent, width);
  };
  if (texts.size() == 1) {
    drawAt(texts[0], lowerSlot);
  } else {
    drawAt(texts[0], 1);
    drawAt(texts[1], lowerSlot);
  }
  painter.end();
  SetFontPoints(font_.Size);
}

void SubtitleOverlay::StoreImage() {
  const int32_t width = Width(), height = Height();
  if (!subtitleImage_.Allocate(width, height, 4, 0)) return;
  for (int32_t r = 0; r < height; ++r)
    std::memcpy(subtitleImage_.Row(r), subtitleBitmap_.constScanLine(height - 1 - r),
                size_t(width) * 3);
  FindInkRuns();
}

void SubtitleOverlay::FindInkRuns() {
  inkRuns_.clear();
  const size_t rowBytes = size_t(Width()) * 3;
  for (int32_t r = 0; r < subtitleImage_.Height(); ++r) {
    const uint8_t* row = subtitleImage_.Row(r);
    size_t k = 0;
    while (k < rowBytes) {
      if (PixelAt(row + k) == kKeyPixel) {
        k += 3;
        continue;
      }
      const size_t begin = k;
      while (k < rowBytes && PixelAt(row + k) != kKeyPixel) k += 3;
      inkRuns_.push_back({r, uint32_t(begin), uint32_t(k)});
    }
  }
}

void SubtitleOverlay::OverlaySubtitle(uint8_t* frameBuffer) const {
  if (look_) {
    look_->Overlay(frameBuffer);
    return;
  }
  if (frameBuffer == nullptr || subtitleImage_.empty()) return;
  const BMPFRAME::BmpView frame(frameBuffer);
  const int32_t frameWidth = frame.Width(), frameHeight = frame.Height();
  if (frameWidth <= 0) return;
  const size_t rowBytes = size_t(std::min(subtitleImage_.Width(), frameWidth)) * 3;
  // Runs come bottom row first, like the rows of both images.
  for (const InkRun& run : inkRuns_) {
    if (run.row >= frameHeight) break;
    const size_t end = std::min(size_t(run.end), rowBytes);
    if (run.begin >= end) continue;
    std::memcpy(frame.Row(run.row) + run.begin, subtitleImage_.Row(run.row) + run.begin,
                end - run.begin);
  }
}

std::pair<int32_t, int32_t> SubtitleOverlay::InkRows() const {
  if (look_) return look_->Picture().InkRows(look_->Look().Margin);
  if (subtitleImage_.empty() || inkRuns_.empty()) return {0, 0};
  return {inkRuns_.front().row, inkRuns_.back().row - inkRuns_.front().row + 1};
}

}  // namespace SUBTITLEOVERLAY
