#pragma once

// Two subtitles on one picture, for people who learn a language: the first
// drawn where it always is, the second moved to the top of the picture or
// to just above the first. Each drawing is of any kind and knows nothing of
// the other; the pair captures each as premultiplied ARGB, moves the
// second and lays both over the picture, as BGR or as planar ink. A picture
// that shows only the first is drawn by the first alone, as without a
// second.
#include <memory>
#include <string>
#include <vector>

#include "drawing/InkCapture.h"
#include "drawing/PlanarBlend.h"
#include "drawing/SubtitleDrawer.h"

namespace PAIRDRAWER {

enum class SecondPlace {
  Top,    // at the top, as far from it as it was from the bottom
  Above,  // just above the first, or where it is when the first shows none
};

// How far (in rows, negative upwards) the second's ink at rows `second` is
// moved on a picture `height` rows high whose first subtitle's ink is at
// rows `first` (empty when it shows none). Even, so that chroma rows move
// whole; never off the top.
int32_t SecondMove(SecondPlace place, INKCAPTURE::RowSpan first, INKCAPTURE::RowSpan second,
                   int32_t height);

class PairDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  // For pictures width x height.
  PairDrawer(std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> first,
             std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> second, SecondPlace place,
             int32_t width, int32_t height);

  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override;
  void PictureDone(int32_t nextFrame) override;
  void Pass(int32_t frame) override;
  std::vector<std::string> TakeNotes() override;
  void Finished() override;
  void ShowFramePart(int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y, int32_t w,
                     int32_t h) override;
  void ScalePictures(double scale) override;
  // The first is moved (to the top, into a bar, raised); the second keeps
  // its own place about the first.
  bool PlaceFirst(const Wrapper& place) override {
    first_ = place(std::move(first_));
    return true;
  }
  bool GivePlanarInk(int32_t width, int32_t height) override;

 private:
  bool Allocate();
  SUBTITLEDRAWER::Coverage PrepareBoth(int32_t frame, int64_t milliseconds, bool planar,
                                       const SUBTITLEDRAWER::Coverage& second);
  INKCAPTURE::RowSpan CaptureOf(SUBTITLEDRAWER::SubtitleDrawer& drawer,
                                const SUBTITLEDRAWER::Coverage& coverage, uint8_t* argb);
  void LaySecond(INKCAPTURE::RowSpan second, int32_t move);
  void ClearRows(std::vector<uint8_t>& argb, INKCAPTURE::RowSpan rows);

  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> first_, second_;
  const SecondPlace place_;
  const int32_t width_, height_;
  // The memory, had at the first picture that shows the second.
  bool tried_ = false, ready_ = false, planarReady_ = false;
  INKCAPTURE::ArgbCapture capture_;
  // Top-down premultiplied ARGB: the pair as laid (rows `laid_`), and the
  // second where it drew itself. Rows outside their spans are kept clear.
  std::vector<uint8_t> pair_, secondArgb_;
  INKCAPTURE::RowSpan laid_, secondRows_;
  PLANARBLEND::PlanarBlendPicture planar_;
  // The picture is drawn by the first alone.
  bool firstAlone_ = true;
  std::vector<std::string> notes_;
};

}  // namespace PAIRDRAWER
