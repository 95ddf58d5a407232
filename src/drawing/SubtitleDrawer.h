#pragma once

// One kind of subtitle drawing behind one interface: for each picture it
// says what the picture gets (nothing, rows of a BGR picture to draw on, or
// ink for the planes of a planar one) and draws it. The job and the still
// hold one drawer and know nothing of which kind it is: plain text, the
// look's text, styled subtitles, or none at all.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drawing/PlanarBlend.h"

namespace SUBTITLEDRAWER {

// What a picture gets from the drawer.
struct Coverage {
  bool Shows = false;
  // The picture's rows the drawing covers, bottom-up as a BMP image counts
  // them (the first, and how many); a planar picture converts only these to BGR and
  // is drawn on there, unless the drawer gives planar ink.
  std::pair<int32_t, int32_t> InkRows{0, -1};
  // Ink blended straight into a planar picture's planes; valid until the
  // next Prepare.
  const PLANARBLEND::PlanarBlendPicture* PlanarInk = nullptr;
};

class SubtitleDrawer {
 public:
  virtual ~SubtitleDrawer() = default;
  // What the picture at `frame` (counted at the output's rate), shown at
  // `milliseconds`, gets; `planar`: the picture is planar and takes ink.
  virtual Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) = 0;
  // Lays the prepared drawing over a complete bottom-up BGR picture (or the
  // rows of it that Prepare named).
  virtual void DrawOnto(uint8_t* bmpImage) = 0;
  // The picture was written; the next one is `nextFrame`.
  virtual void PictureDone(int32_t /*nextFrame*/) {}
  // The picture at `frame` goes by undrawn (a still walks to its picture).
  virtual void Pass(int32_t frame) { PictureDone(frame + 1); }
  // Lines for the log since the last call.
  virtual std::vector<std::string> TakeNotes() { return {}; }
  // After the last picture: what the whole drawing came to, as notes.
  virtual void Finished() {}
  // Disc pictures are made for the source's whole frame (frameWidth x
  // frameHeight), of which the pictures show part x, y, w x h (a crop), and
  // may be drawn at a scale of their own; drawings made at the picture's
  // size have nothing to do.
  virtual void ShowFramePart(int32_t /*frameWidth*/, int32_t /*frameHeight*/, int32_t /*x*/,
                             int32_t /*y*/, int32_t /*w*/, int32_t /*h*/) {}
  virtual void ScalePictures(double /*scale*/) {}
  // Disc pictures taller than `rows` are drawn smaller to fit them (a bar
  // below the picture); text has its own size and stays as it is.
  virtual void FitPicturesInRows(int32_t /*rows*/) {}
  // A drawing that is always the bottom line, wherever its margin lifted
  // it, and so moves from anywhere on the picture.
  virtual bool IsBottomLine() const { return false; }
  // A drawing made of others (two subtitles at once) is placed by the one
  // that is the subtitle proper: `place` wraps that one, and the drawing
  // lays the rest about it. False for a drawing of its own, which is
  // wrapped whole.
  using Wrapper = std::function<std::unique_ptr<SubtitleDrawer>(std::unique_ptr<SubtitleDrawer>)>;
  virtual bool PlaceFirst(const Wrapper& /*place*/) { return false; }
  // Before the first picture, for deep pictures (width x height) that never
  // go through BGR: from here on a planar picture that shows ink gets it as
  // PlanarInk. False when that cannot be had. Most drawings give planar ink
  // anyway.
  virtual bool GivePlanarInk(int32_t /*width*/, int32_t /*height*/) { return true; }
};

// Draws nothing: the pictures are written as they are.
class NoDrawer : public SubtitleDrawer {
 public:
  Coverage Prepare(int32_t, int64_t, bool) override { return {}; }
  void DrawOnto(uint8_t*) override {}
};

}  // namespace SUBTITLEDRAWER
