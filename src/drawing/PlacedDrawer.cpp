#include "drawing/PlacedDrawer.h"

#include <algorithm>
#include <cstring>

#include "drawing/PlanarBlend.h"

namespace PLACEDDRAWER {

int32_t ShiftFor(const Placement& placement, int32_t top, int32_t end) {
  const int32_t height = placement.Height;
  const int32_t rows = end - top;
  if (rows <= 0 || height <= 0 || (top < height / 2 && !placement.AnyRows)) return 0;
  int32_t wanted = top;
  if (placement.Place == Where::Top) {
    wanted = height - end;  // the bottom's margin, at the top
  } else if (placement.Place == Where::Bars && placement.BarRows > 0) {
    wanted = rows <= placement.BarRows ? placement.BarTop + (placement.BarRows - rows) / 2
                                       : height - rows;
  }
  wanted -= placement.RaiseRows;
  wanted = std::clamp(wanted, 0, std::max(height - rows, 0));
  int32_t shift = (wanted - top) & ~1;
  if (top + shift < 0) shift += 2;
  return shift;
}

PlacedDrawer::PlacedDrawer(std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> inner,
                           const Placement& placement, int32_t width)
    : inner_(std::move(inner)), placement_(placement), width_(width) {}

SUBTITLEDRAWER::Coverage PlacedDrawer::Prepare(int32_t frame, int64_t milliseconds, bool planar) {
  SUBTITLEDRAWER::Coverage coverage = inner_->Prepare(frame, milliseconds, planar);
  rowsKnown_ = false;
  shift_ = 0;
  if (!coverage.Shows) return coverage;
  const int32_t height = placement_.Height;
  if (coverage.PlanarInk != nullptr) {
    // The ink is the wrapped drawer's own; only where it lands is set here.
    auto* ink = const_cast<PLANARBLEND::PlanarBlendPicture*>(coverage.PlanarInk);
    ink->SetRowShift(0);
    const PLANARPICTURE::RowBand band = ink->Band();
    shift_ = ShiftFor(placement_, band.Top, band.Top + band.Count);
    ink->SetRowShift(shift_);
  }
  const auto [first, count] = coverage.InkRows;
  if (count > 0) {
    // Bottom-up rows from the first, as a BMP image counts them.
    top_ = std::max(height - first - count, 0);
    end_ = std::min(height - first, height);
    rowsKnown_ = top_ < end_;
    shift_ = ShiftFor(placement_, top_, end_);
    coverage.InkRows = {height - (end_ + shift_), end_ - top_};
  }
  return coverage;
}

std::vector<std::string> PlacedDrawer::TakeNotes() {
  std::vector<std::string> notes = inner_->TakeNotes();
  if (noMemory_ && !noted_) {
    notes.push_back("[SubtitlePlace] Can't allocate memory for the placed subtitles...");
    noted_ = true;
  }
  return notes;
}

void PlacedDrawer::CopyRows(const BMPFRAME::BmpView& from, int32_t fromTop,
                            const BMPFRAME::BmpView& to, int32_t toTop, int32_t count) const {
  const int32_t height = placement_.Height;
  for (int32_t row = 0; row < count; ++row)
    std::memcpy(to.Row(height - 1 - (toTop + row)), from.Row(height - 1 - (fromTop + row)),
                to.Stride());
}

// Rows the drawer did not name: drawn once over a copy of the picture, the
// rows it changed are the drawing's.
bool PlacedDrawer::FindRows(uint8_t* bmpImage) {
  const BMPFRAME::BmpView picture(bmpImage);
  const BMPFRAME::BmpView scratch = scratch_.View();
  std::memcpy(scratch.Pixels(), picture.Pixels(), picture.ImageSize());
  inner_->DrawOnto(scratch_.data());
  const int32_t height = placement_.Height;
  top_ = height;
  end_ = 0;
  for (int32_t y = 0; y < height; ++y)
    if (std::memcmp(scratch.Row(height - 1 - y), picture.Row(height - 1 - y), picture.Stride()) !=
        0) {
      top_ = std::min(top_, y);
      end_ = y + 1;
    }
  if (end_ <= top_) return false;
  shift_ = ShiftFor(placement_, top_, end_);
  if (shift_ == 0) CopyRows(scratch, top_, picture, top_, end_ - top_);
  return shift_ != 0;
}

void PlacedDrawer::DrawOnto(uint8_t* bmpImage) {
  const BMPFRAME::BmpView picture(bmpImage);
  if (rowsKnown_ && shift_ == 0) return inner_->DrawOnto(bmpImage);
  if (scratch_.empty() && !noMemory_) noMemory_ = !scratch_.Allocate(width_, placement_.Height);
  if (noMemory_ || picture.Width() != width_ || picture.Height() != placement_.Height)
    return inner_->DrawOnto(bmpImage);
  if (!rowsKnown_ && !FindRows(bmpImage)) return;
  // The picture's rows where the drawing goes, under the drawing's own.
  const BMPFRAME::BmpView scratch = scratch_.View();
  const int32_t rows = end_ - top_;
  CopyRows(picture, top_ + shift_, scratch, top_, rows);
  inner_->DrawOnto(scratch_.data());
  CopyRows(scratch, top_, picture, top_ + shift_, rows);
}

}  // namespace PLACEDDRAWER
