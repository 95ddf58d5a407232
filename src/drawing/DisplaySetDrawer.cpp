#include "drawing/DisplaySetDrawer.h"

#include <QPainter>
#include <algorithm>
#include <limits>

#include "styled/StyledScript.h"

namespace DISPLAYSETDRAWER {
namespace {

// A bitmap whose indexes fill its rows.
bool Whole(const SUBTITLEBITMAPS::Bitmap& bitmap) {
  return bitmap.Width > 0 && bitmap.Height > 0 && bitmap.Stride >= bitmap.Width &&
         bitmap.Indexes.size() >= size_t(bitmap.Stride) * size_t(bitmap.Height);
}

// Whether any of the bitmap's pixels is of a colour that is not wholly
// transparent.
bool Inked(const SUBTITLEBITMAPS::Bitmap& bitmap) {
  if (!Whole(bitmap)) return false;
  for (int32_t y = 0; y < bitmap.Height; ++y)
    for (int32_t x = 0; x < bitmap.Width; ++x) {
      const uint8_t index = bitmap.Indexes[size_t(y) * size_t(bitmap.Stride) + size_t(x)];
      if (index < bitmap.Palette.size() && qAlpha(bitmap.Palette[index]) != 0) return true;
    }
  return false;
}

}  // namespace

DisplaySetDrawer::DisplaySetDrawer(SetFeed& feed, int32_t width, int32_t height,
                                   double framesPerSecond)
    : feed_(feed),
      width_(width),
      height_(height),
      framesPerSecond_(framesPerSecond),
      lastsUntilNext_(feed.SetsLastUntilNext()) {}

// A set that comes out of order (a damaged stream) takes its place by its
// start, after those that start with it.
void DisplaySetDrawer::TakeArrivals(int64_t untilMs) {
  arrivals_.clear();
  feed_.Feed(untilMs, arrivals_);
  for (SUBTITLEBITMAPS::DisplaySet& set : arrivals_) {
    setDue_ = setDue_ || !set.Bitmaps.empty();
    const auto at = std::upper_bound(sets_.begin(), sets_.end(), set.StartMs,
                                     [](int64_t start, const SUBTITLEBITMAPS::DisplaySet& other) {
                                       return start < other.StartMs;
                                     });
    numbers_.insert(numbers_.begin() + (at - sets_.begin()), ++arrived_);
    sets_.insert(at, std::move(set));
  }
  arrivals_.clear();
}

const SUBTITLEBITMAPS::DisplaySet* DisplaySetDrawer::ShowingAt(int64_t milliseconds) {
  while (sets_.size() >= 2 && sets_[1].StartMs <= milliseconds) {
    sets_.pop_front();
    numbers_.pop_front();
  }
  if (sets_.empty() || sets_.front().StartMs > milliseconds) return nullptr;
  const SUBTITLEBITMAPS::DisplaySet& set = sets_.front();
  const int64_t end = set.EndMs >= 0    ? set.EndMs
                      : lastsUntilNext_ ? std::numeric_limits<int64_t>::max()
                                        : set.StartMs + SUBTITLEBITMAPS::kUntimedLimitMs;
  if (milliseconds >= end || set.Bitmaps.empty()) return nullptr;
  return &set;
}

SUBTITLEDRAWER::Coverage DisplaySetDrawer::Prepare(int32_t, int64_t milliseconds, bool planar) {
  TakeArrivals(milliseconds);
  SUBTITLEDRAWER::Coverage coverage;
  const SUBTITLEBITMAPS::DisplaySet* set = ShowingAt(milliseconds);
  if (set == nullptr) return coverage;
  if (numbers_.front() != composed_) {
    composed_ = 0;
    if (!Compose(*set)) return coverage;
    composed_ = numbers_.front();
    bgrStale_ = planarStale_ = true;
  }
  if (ink_.isEmpty()) return coverage;
  if (planar) {
    if (planarStale_ && !ComposePlanar()) return coverage;
    coverage.Shows = !planar_.empty();
    coverage.PlanarInk = &planar_;
  } else {
    if (bgrStale_ && !ComposeBgr()) return coverage;
    coverage.Shows = !bgr_.empty();
    coverage.InkRows = bgr_.InkRows(0);
  }
  inkShown_ = inkShown_ || (coverage.Shows && composedVisible_);
  return coverage;
}

void DisplaySetDrawer::Finished() {
  if (setDue_ && !inkShown_)
    notes_.push_back(
        "[PictureSubtitles] The subtitle pictures drew nothing: every set is transparent or off "
        "the picture...");
}

void DisplaySetDrawer::DrawOnto(uint8_t* bmpImage) { bgr_.Blend(bmpImage, 0); }

// Sets passed over are let go, so that walking to a late picture holds no
// more than the job would.
void DisplaySetDrawer::Pass(int32_t frame) {
  const int64_t milliseconds = STYLEDSCRIPT::FrameTimeMs(frame, framesPerSecond_);
  TakeArrivals(milliseconds);
  ShowingAt(milliseconds);
}

std::vector<std::string> DisplaySetDrawer::TakeNotes() {
  std::vector<std::string> notes = feed_.TakeNotes();
  notes.insert(notes.end(), notes_.begin(), notes_.end());
  notes_.clear();
  return notes;
}

// Said once; the pictures go on undrawn.
bool DisplaySetDrawer::NoMemory() {
  if (!memoryNoted_)
    notes_.push_back("[PictureSubtitles] Can't allocate memory for the subtitle pictures...");
  memoryNoted_ = true;
  return false;
}

bool DisplaySetDrawer::Compose(const SUBTITLEBITMAPS::DisplaySet& set) {
  if (canvas_.isNull()) {
    canvas_ = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
    if (canvas_.isNull()) return NoMemory();
    canvas_.fill(Qt::transparent);
  } else if (!ink_.isEmpty()) {
    QPainter clearing(&canvas_);
    clearing.setCompositionMode(QPainter::CompositionMode_Source);
    clearing.fillRect(ink_, Qt::transparent);
  }
  ink_ = QRect();
  // A canvas the stream leaves unsaid is the picture's own.
  const int32_t canvasWidth = set.CanvasWidth > 0 ? set.CanvasWidth : width_;
  const int32_t canvasHeight = set.CanvasHeight > 0 ? set.CanvasHeight : height_;
  double scaleX = double(width_) / canvasWidth, scaleY = double(height_) / canvasHeight;
  if (part_.Given) {
    scaleX = double(part_.FrameWidth) / canvasWidth * width_ / part_.Width;
    scaleY = double(part_.FrameHeight) / canvasHeight * height_ / part_.Height;
  }
  FitSet(set, scaleX, scaleY);
  for (const SUBTITLEBITMAPS::Bitmap& bitmap : set.Bitmaps) DrawBitmap(bitmap, scaleX, scaleY);
  composedVisible_ = !ink_.isEmpty() && std::any_of(set.Bitmaps.begin(), set.Bitmaps.end(), Inked);
  return true;
}

void DisplaySetDrawer::ShowFramePart(int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y,
                                     int32_t w, int32_t h) {
  if (frameWidth <= 0 || frameHeight <= 0 || w <= 0 || h <= 0) return;
  part_ = {true, frameWidth, frameHeight, x, y, w, h};
  composed_ = 0;  // drawn again, in the part
}

void DisplaySetDrawer::ScalePictures(double scale) {
  pictureScale_ = std::clamp(scale, 0.5, 2.0);
  composed_ = 0;
}

void DisplaySetDrawer::FitPicturesInRows(int32_t rows) {
  fitRows_ = std::max(rows, 0);
  composed_ = 0;
}

// A set taller than the rows it must fit in is drawn smaller as a whole,
// about its bottom centre, so that its lines keep their places to each other.
void DisplaySetDrawer::FitSet(const SUBTITLEBITMAPS::DisplaySet& set, double scaleX,
                              double scaleY) {
  setFit_ = 1.0;
  if (fitRows_ <= 0) return;
  QRectF all;
  for (const SUBTITLEBITMAPS::Bitmap& bitmap : set.Bitmaps)
    if (Whole(bitmap)) all |= PlacedRect(bitmap, scaleX, scaleY);
  // Room for the rounding out to whole rows.
  const double room = std::max(fitRows_ - 2, 2);
  if (all.height() <= room) return;
  setFit_ = room / all.height();
  fitAnchor_ = QPointF(all.center().x(), all.bottom());
}

// Placed on the frame, moved by the crop and scaled about its bottom centre.
QRectF DisplaySetDrawer::PlacedRect(const SUBTITLEBITMAPS::Bitmap& bitmap, double scaleX,
                                    double scaleY) const {
  double width = bitmap.Width * scaleX, height = bitmap.Height * scaleY;
  double x = bitmap.X * scaleX, y = bitmap.Y * scaleY;
  if (part_.Given) {
    x -= part_.X * double(width_) / part_.Width;
    y -= part_.Y * double(height_) / part_.Height;
  }
  x += width * (1.0 - pictureScale_) / 2;
  y += height * (1.0 - pictureScale_);
  return QRectF(x, y, width * pictureScale_, height * pictureScale_);
}

// Placed, fitted with its set, and kept inside the picture.
void DisplaySetDrawer::DrawPlaced(const SUBTITLEBITMAPS::Bitmap& bitmap, QImage& image,
                                  double scaleX, double scaleY) {
  QRectF rect = PlacedRect(bitmap, scaleX, scaleY);
  if (setFit_ != 1.0)
    rect = QRectF(fitAnchor_ + (rect.topLeft() - fitAnchor_) * setFit_, rect.size() * setFit_);
  double x = rect.x(), y = rect.y();
  const double width = rect.width(), height = rect.height();
  x = std::max(0.0, std::min(x, width_ - width));
  y = std::max(0.0, std::min(y, height_ - height));
  QPainter painter(&canvas_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF placed(x, y, width, height);
  painter.drawImage(placed, image);
  ink_ |= placed.toAlignedRect() & canvas_.rect();
}

void DisplaySetDrawer::DrawBitmap(const SUBTITLEBITMAPS::Bitmap& bitmap, double scaleX,
                                  double scaleY) {
  if (!Whole(bitmap)) return;
  QImage image(bitmap.Indexes.data(), bitmap.Width, bitmap.Height, bitmap.Stride,
               QImage::Format_Indexed8);
  image.setColorTable(QList<QRgb>(bitmap.Palette.begin(), bitmap.Palette.end()));
  if (part_.Given || pictureScale_ != 1.0 || setFit_ != 1.0)
    return DrawPlaced(bitmap, image, scaleX, scaleY);
  QPainter painter(&canvas_);
  QRect target;
  if (scaleX == 1.0 && scaleY == 1.0) {
    target = QRect(bitmap.X, bitmap.Y, bitmap.Width, bitmap.Height);
    painter.drawImage(target.topLeft(), image);
  } else {
    const QRectF scaled(bitmap.X * scaleX, bitmap.Y * scaleY, bitmap.Width * scaleX,
                        bitmap.Height * scaleY);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(scaled, image);
    target = scaled.toAlignedRect();
  }
  ink_ |= target & canvas_.rect();
}

bool DisplaySetDrawer::ComposePlanar() {
  if (!planarReady_) planarReady_ = planar_.Allocate(width_, height_);
  if (!planarReady_) return NoMemory();
  planar_.StoreArgb(canvas_.constBits(), size_t(canvas_.bytesPerLine()), ink_.left(), ink_.top(),
                    ink_.right() + 1, ink_.bottom() + 1);
  planarStale_ = false;
  return true;
}

bool DisplaySetDrawer::ComposeBgr() {
  if (!bgrReady_) bgrReady_ = bgr_.Allocate(width_, height_);
  if (!bgrReady_) return NoMemory();
  bgr_.Store(canvas_);
  bgrStale_ = false;
  return true;
}

}  // namespace DISPLAYSETDRAWER
