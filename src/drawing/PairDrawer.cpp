#include "drawing/PairDrawer.h"

#include <algorithm>

#include "drawing/BlendKernels.h"
#include "picture/BmpFrame.h"

namespace PAIRDRAWER {
namespace {

using BLENDKERNELS::Div255;
using INKCAPTURE::RowSpan;

// Between the second's ink and the first's, in rows of the picture's height.
constexpr int32_t kGapParts = 40;
constexpr int32_t kLeastGap = 4;

RowSpan Union(RowSpan a, RowSpan b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.Top, b.Top), std::max(a.End, b.End)};
}

}  // namespace

int32_t SecondMove(SecondPlace place, RowSpan first, RowSpan second, int32_t height) {
  if (second.Empty() || height <= 0) return 0;
  int32_t move = 0;
  switch (place) {
    case SecondPlace::Top: {
      // A second that draws itself high already stays where it is.
      if (2 * int64_t(second.Top) >= height) move = (height - second.End) - second.Top;
      // The first moved to the top itself: the second goes just under it.
      const int32_t gap = std::max(kLeastGap, height / kGapParts);
      if (!first.Empty() && second.Top + move < first.End && second.End + move > first.Top)
        move = std::min(first.End + gap, height - (second.End - second.Top)) - second.Top;
      break;
    }
    case SecondPlace::Above:
      if (!first.Empty())
        move = std::min(0, first.Top - std::max(kLeastGap, height / kGapParts) - second.End);
      break;
  }
  return std::max(move, -second.Top);
}

PairDrawer::PairDrawer(std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> first,
                       std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> second, SecondPlace place,
                       int32_t width, int32_t height)
    : first_(std::move(first)),
      second_(std::move(second)),
      place_(place),
      width_(width),
      height_(height) {}

// The memory for both drawings, once: only a job that shows the second
// needs it.
bool PairDrawer::Allocate() {
  if (tried_) return ready_;
  tried_ = true;
  const size_t bytes = size_t(std::max(width_, 0)) * size_t(std::max(height_, 0)) * 4;
  ready_ = capture_.Allocate(width_, height_);
  if (ready_) {
    pair_.assign(bytes, 0);
    secondArgb_.assign(bytes, 0);
    planarReady_ = width_ % 2 == 0 && height_ % 2 == 0 && planar_.Allocate(width_, height_);
  }
  if (!ready_)
    notes_.push_back("[SecondSubtitles] Can't allocate memory for the second subtitles...");
  return ready_;
}

SUBTITLEDRAWER::Coverage PairDrawer::Prepare(int32_t frame, int64_t milliseconds, bool planar) {
  const SUBTITLEDRAWER::Coverage second = second_->Prepare(frame, milliseconds, false);
  firstAlone_ = !second.Shows || !Allocate();
  if (firstAlone_) return first_->Prepare(frame, milliseconds, planar);
  return PrepareBoth(frame, milliseconds, planar, second);
}

SUBTITLEDRAWER::Coverage PairDrawer::PrepareBoth(int32_t frame, int64_t milliseconds, bool planar,
                                                 const SUBTITLEDRAWER::Coverage& second) {
  ClearRows(pair_, laid_);
  ClearRows(secondArgb_, secondRows_);
  secondRows_ = CaptureOf(*second_, second, secondArgb_.data());
  const SUBTITLEDRAWER::Coverage first = first_->Prepare(frame, milliseconds, false);
  laid_ = first.Shows ? CaptureOf(*first_, first, pair_.data()) : RowSpan{};
  LaySecond(secondRows_, SecondMove(place_, laid_, secondRows_, height_));
  SUBTITLEDRAWER::Coverage coverage;
  coverage.Shows = !laid_.Empty();
  if (!coverage.Shows) return coverage;
  if (planar && planarReady_) {
    planar_.StoreArgb(pair_.data(), size_t(width_) * 4, 0, laid_.Top, width_, laid_.End);
    coverage.PlanarInk = &planar_;
    return coverage;
  }
  coverage.InkRows = {height_ - laid_.End, laid_.End - laid_.Top};
  return coverage;
}

// A drawing that does not say which rows it covers is captured whole.
RowSpan PairDrawer::CaptureOf(SUBTITLEDRAWER::SubtitleDrawer& drawer,
                              const SUBTITLEDRAWER::Coverage& coverage, uint8_t* argb) {
  std::pair<int32_t, int32_t> rows = coverage.InkRows;
  if (rows.second <= 0) rows = {0, height_};
  return capture_.Capture([&drawer](uint8_t* bmp) { drawer.DrawOnto(bmp); }, rows, argb);
}

// The second, moved, under the first where the two meet.
void PairDrawer::LaySecond(RowSpan second, int32_t move) {
  if (second.Empty()) return;
  const size_t rowBytes = size_t(width_) * 4;
  for (int32_t row = second.Top; row < second.End; ++row) {
    const int32_t target = row + move;
    if (target < 0 || target >= height_) continue;
    const uint8_t* under = secondArgb_.data() + size_t(row) * rowBytes;
    uint8_t* over = pair_.data() + size_t(target) * rowBytes;
    for (size_t i = 0; i < rowBytes; i += 4) {
      if (under[i + 3] == 0) continue;
      const uint16_t through = uint16_t(255 - over[i + 3]);
      for (size_t c = 0; c < 4; ++c)
        over[i + c] = uint8_t(over[i + c] + Div255(uint16_t(under[i + c] * through)));
    }
  }
  const RowSpan moved{std::max(second.Top + move, 0), std::min(second.End + move, height_)};
  laid_ = Union(laid_, moved);
}

void PairDrawer::ClearRows(std::vector<uint8_t>& argb, RowSpan rows) {
  if (rows.Empty()) return;
  const size_t rowBytes = size_t(width_) * 4;
  std::fill(argb.begin() + ptrdiff_t(size_t(rows.Top) * rowBytes),
            argb.begin() + ptrdiff_t(size_t(rows.End) * rowBytes), uint8_t(0));
}

void PairDrawer::DrawOnto(uint8_t* bmpImage) {
  if (firstAlone_) {
    first_->DrawOnto(bmpImage);
    return;
  }
  const BMPFRAME::BmpView view(bmpImage);
  const size_t rowBytes = size_t(width_) * 4;
  for (int32_t row = laid_.Top; row < laid_.End; ++row) {
    const uint8_t* ink = pair_.data() + size_t(row) * rowBytes;
    uint8_t* pixel = view.Row(height_ - 1 - row);
    for (int32_t x = 0; x < width_; ++x, ink += 4, pixel += 3) {
      if (ink[3] == 0) continue;
      const uint8_t rest = uint8_t(255 - ink[3]);
      for (int c = 0; c < 3; ++c) BLENDKERNELS::BlendByte(pixel[c], ink[c], rest);
    }
  }
}

void PairDrawer::PictureDone(int32_t nextFrame) {
  first_->PictureDone(nextFrame);
  second_->PictureDone(nextFrame);
}

void PairDrawer::Pass(int32_t frame) {
  first_->Pass(frame);
  second_->Pass(frame);
}

std::vector<std::string> PairDrawer::TakeNotes() {
  std::vector<std::string> notes = first_->TakeNotes();
  for (std::string& note : second_->TakeNotes()) notes.push_back(std::move(note));
  for (std::string& note : notes_) notes.push_back(std::move(note));
  notes_.clear();
  return notes;
}

void PairDrawer::Finished() {
  first_->Finished();
  second_->Finished();
}

void PairDrawer::ShowFramePart(int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y,
                               int32_t w, int32_t h) {
  first_->ShowFramePart(frameWidth, frameHeight, x, y, w, h);
  second_->ShowFramePart(frameWidth, frameHeight, x, y, w, h);
}

void PairDrawer::ScalePictures(double scale) {
  first_->ScalePictures(scale);
  second_->ScalePictures(scale);
}

bool PairDrawer::GivePlanarInk(int32_t width, int32_t height) {
  // The second is captured from BGR, and needs none.
  return first_->GivePlanarInk(width, height);
}

}  // namespace PAIRDRAWER
