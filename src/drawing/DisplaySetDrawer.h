#pragma once

// Disc subtitle pictures drawn: each display set's bitmaps placed where the
// stream puts them on its canvas, the canvas stretched over the picture when
// their sizes differ, and laid over a BGR picture or blended into a planar
// one's planes. A set shows from its start until its end or the next set.
#include <QImage>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "drawing/PlanarBlend.h"
#include "drawing/SubtitleBlend.h"
#include "drawing/SubtitleDrawer.h"
#include "picture/SubtitleBitmaps.h"

namespace DISPLAYSETDRAWER {

// Hands over the sets that arrived since the last call, in order of their
// starts, with their final times: at least those that start by `untilMs`,
// so that a set a stream reads ahead of its time is not held long before.
class SetFeed {
 public:
  virtual ~SetFeed() = default;
  virtual void Feed(int64_t untilMs, std::vector<SUBTITLEBITMAPS::DisplaySet>& sets) = 0;
  // Sets without an end last until the next one, however long (else at most
  // kUntimedLimitMs).
  virtual bool SetsLastUntilNext() const = 0;
  virtual std::vector<std::string> TakeNotes() { return {}; }
};

class DisplaySetDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  // The feed must outlive the drawer; pictures are width x height and come
  // framesPerSecond a second.
  DisplaySetDrawer(SetFeed& feed, int32_t width, int32_t height, double framesPerSecond);

  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override;
  void Pass(int32_t frame) override;
  // A stream whose sets all came to nothing (transparent, or off the
  // picture) is named once: most often a wrong palette or canvas.
  void Finished() override;
  std::vector<std::string> TakeNotes() override;
  // The pictures show only part (x, y, w x h) of the source's frame
  // (frameWidth x frameHeight), which the canvas covers: a crop. A bitmap
  // the crop would cut is moved inside the picture, whole.
  void ShowFramePart(int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y, int32_t w,
                     int32_t h) override;
  // Each bitmap drawn `scale` times its size (0.5 to 2) about its bottom
  // centre, kept inside the picture.
  void ScalePictures(double scale) override;
  void FitPicturesInRows(int32_t rows) override;

 private:
  void TakeArrivals(int64_t untilMs);
  // The set showing at that time, dropping those no longer due; null when
  // none shows.
  const SUBTITLEBITMAPS::DisplaySet* ShowingAt(int64_t milliseconds);
  bool Compose(const SUBTITLEBITMAPS::DisplaySet& set);
  void FitSet(const SUBTITLEBITMAPS::DisplaySet& set, double scaleX, double scaleY);
  QRectF PlacedRect(const SUBTITLEBITMAPS::Bitmap& bitmap, double scaleX, double scaleY) const;
  void DrawBitmap(const SUBTITLEBITMAPS::Bitmap& bitmap, double scaleX, double scaleY);
  void DrawPlaced(const SUBTITLEBITMAPS::Bitmap& bitmap, QImage& image, double scaleX,
                  double scaleY);
  bool ComposePlanar();
  bool ComposeBgr();
  bool NoMemory();

  SetFeed& feed_;
  int32_t width_, height_;
  double framesPerSecond_;
  bool lastsUntilNext_;
  std::deque<SUBTITLEBITMAPS::DisplaySet> sets_;
  std::vector<SUBTITLEBITMAPS::DisplaySet> arrivals_;
  // Each set is numbered as it arrives; the composed one's number, 0 for
  // none.
  uint64_t arrived_ = 0, composed_ = 0;
  std::deque<uint64_t> numbers_;
  // The set drawn at the picture's size, with the rectangle its ink is in,
  // and its forms for the pictures, each made on first use: allocated once.
  QImage canvas_;
  QRect ink_;
  SUBTITLEBLEND::BlendPicture bgr_;
  PLANARBLEND::PlanarBlendPicture planar_;
  bool bgrStale_ = true, planarStale_ = true;
  bool bgrReady_ = false, planarReady_ = false;
  std::vector<std::string> notes_;
  bool memoryNoted_ = false;
  // A set with pictures arrived, and one showed ink.
  bool setDue_ = false, inkShown_ = false;
  bool composedVisible_ = false;  // the set composed last has a pixel not transparent
  // ShowFramePart's, when given.
  struct FramePart {
    bool Given = false;
    int32_t FrameWidth = 0, FrameHeight = 0, X = 0, Y = 0, Width = 0, Height = 0;
  } part_;
  double pictureScale_ = 1.0;
  // FitPicturesInRows's rows (0: any), and the composed set's own fit.
  int32_t fitRows_ = 0;
  double setFit_ = 1.0;
  QPointF fitAnchor_;
};

}  // namespace DISPLAYSETDRAWER
