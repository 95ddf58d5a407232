#pragma once

// The subtitle moved on the picture once drawn: to the top, into the black
// bar below the picture, or raised out of a television's overscan. Any
// drawer is wrapped, so plain text, styled subtitles and disc pictures move
// alike; the drawing itself is untouched, only the rows it lands on change.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drawing/SubtitleDrawer.h"
#include "picture/BmpFrame.h"

namespace PLACEDDRAWER {

enum class Where { Bottom, Top, Bars };

struct Placement {
  Where Place = Where::Bottom;
  int32_t Height = 0;
  // The bar below the picture, from its first row (none: no rows).
  int32_t BarTop = 0, BarRows = 0;
  int32_t RaiseRows = 0;
  // Drawing in the upper half moves too: plain text is always the bottom
  // line, wherever its margin lifted it.
  bool AnyRows = false;
};

// How many rows (even; negative: up) a drawing covering rows top .. end - 1
// (counted from the top) is moved. Only drawing in the picture's lower half
// moves (unless AnyRows): a sign already placed at the top stays there. In the bar, the
// drawing is centred in it when it fits, else it rests on the picture's
// bottom edge, its letters whole; it never leaves the picture.
int32_t ShiftFor(const Placement& placement, int32_t top, int32_t end);

class PlacedDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  PlacedDrawer(std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> inner, const Placement& placement,
               int32_t width);
  SUBTITLEDRAWER::Coverage Prepare(int32_t frame, int64_t milliseconds, bool planar) override;
  void DrawOnto(uint8_t* bmpImage) override;
  void PictureDone(int32_t nextFrame) override { inner_->PictureDone(nextFrame); }
  void Pass(int32_t frame) override { inner_->Pass(frame); }
  void Finished() override { inner_->Finished(); }
  std::vector<std::string> TakeNotes() override;
  bool GivePlanarInk(int32_t width, int32_t height) override {
    return inner_->GivePlanarInk(width, height);
  }

 private:
  bool FindRows(uint8_t* bmpImage);
  void CopyRows(const BMPFRAME::BmpView& from, int32_t fromTop, const BMPFRAME::BmpView& to,
                int32_t toTop, int32_t count) const;

  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> inner_;
  Placement placement_;
  int32_t width_;
  // The BGR drawing is laid over the picture's rows in here, where the
  // drawer draws, and copied back where it goes; made on first use.
  BMPFRAME::BmpFrame scratch_;
  bool noMemory_ = false, noted_ = false;
  // The rows the prepared drawing covers (from the top), when known, and
  // how far they move.
  int32_t top_ = 0, end_ = 0;
  bool rowsKnown_ = false;
  int32_t shift_ = 0;
};

}  // namespace PLACEDDRAWER
