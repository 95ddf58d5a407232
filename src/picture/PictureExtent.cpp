#include "picture/PictureExtent.h"

#include <algorithm>
#include <cstring>

namespace PICTUREEXTENT {
namespace {

// How far above black (in 8-bit steps) a sample must be to be picture:
// beyond the noise an encoder leaves in a flat bar.
constexpr int kNoise = 24;
// A row or column is picture when this share of its samples is (1/64):
// a lone bright speck in a bar does not move its edge (two samples at
// least, on the smallest frames).
constexpr int kShareShift = 6;

int SampleAt(const uint8_t* row, int x, bool deep) {
  if (!deep) return row[x];
  return row[2 * x] | (row[2 * x + 1] << 8);
}

}  // namespace

ExtentFinder::ExtentFinder(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      top_(height_),
      bottom_(0),
      left_(width_),
      right_(0),
      rowCounts_(size_t(height_)),
      columnCounts_(size_t(width_)) {}

void ExtentFinder::AddPicture(const uint8_t* luma, ptrdiff_t stride, int width, int height,
                              int bitDepth, bool fullRange) {
  if (luma == nullptr || width != width_ || height != height_ || width_ == 0 || height_ == 0 ||
      bitDepth < 8 || bitDepth > 16)
    return;
  const bool deep = bitDepth > 8;
  const int black = fullRange ? 0 : 16 << (bitDepth - 8);
  const int limit = black + (kNoise << (bitDepth - 8));
  std::fill(rowCounts_.begin(), rowCounts_.end(), 0);
  std::fill(columnCounts_.begin(), columnCounts_.end(), 0);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* row = luma + ptrdiff_t(y) * stride;
    int count = 0;
    for (int x = 0; x < width_; ++x) {
      const bool lit = SampleAt(row, x, deep) > limit;
      count += lit;
      columnCounts_[size_t(x)] += lit;
    }
    rowCounts_[size_t(y)] = count;
  }
  const int rowNeed = std::max(2, width_ >> kShareShift);
  const int columnNeed = std::max(2, height_ >> kShareShift);
  int top = 0, bottom = height_, left = 0, right = width_;
  while (top < height_ && rowCounts_[size_t(top)] < rowNeed) ++top;
  if (top == height_) return;  // dark all over: no word on the bars
  while (rowCounts_[size_t(bottom - 1)] < rowNeed) --bottom;
  while (left < width_ && columnCounts_[size_t(left)] < columnNeed) ++left;
  while (right > left && columnCounts_[size_t(right - 1)] < columnNeed) --right;
  if (left == right) return;
  ++lit_;
  top_ = std::min(top_, top);
  bottom_ = std::max(bottom_, bottom);
  left_ = std::min(left_, left);
  right_ = std::max(right_, right);
}

// An even start at or before `from` and an even length reaching `to` or
// beyond, inside `size`; an odd size gives up its last line rather than
// start on an odd one.
static void EvenSpan(int from, int to, int size, int& start, int& length) {
  start = from & ~1;
  int end = to + ((to - start) & 1);
  if (end > size) end -= 2;
  length = std::max(end - start, 0);
}

Rect ExtentFinder::Extent() const {
  Rect rect;
  if (lit_ == 0) {
    EvenSpan(0, width_, width_, rect.X, rect.Width);
    EvenSpan(0, height_, height_, rect.Y, rect.Height);
    return rect;
  }
  EvenSpan(left_, right_, width_, rect.X, rect.Width);
  EvenSpan(top_, bottom_, height_, rect.Y, rect.Height);
  return rect;
}

const char* BarsText(const Rect& crop, int width, int height) {
  // An odd frame's last line, which no even crop keeps, is no bar.
  const bool above = crop.Y > 0, below = crop.Y + crop.Height + 1 < height;
  const bool left = crop.X > 0, right = crop.X + crop.Width + 1 < width;
  const bool vertical = above || below, horizontal = left || right;
  if (!vertical && !horizontal) return "no black bars";
  if (above && below && left && right) return "black bars on every side";
  if (vertical && horizontal) return "black bars at the edges";
  if (above && below) return "black bars above and below";
  if (left && right) return "black bars left and right";
  if (above) return "a black bar above";
  if (below) return "a black bar below";
  return left ? "a black bar on the left" : "a black bar on the right";
}

}  // namespace PICTUREEXTENT
