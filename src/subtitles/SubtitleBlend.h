#pragma once

// An entry's picture with real coverage, kept in the form a frame blends it
// fastest: premultiplied blue-green-red bytes, and beside each byte how much
// of the frame's byte stays under it (255 - alpha). Rows are bottom-up, like
// the frames. The covered pixels are found once per entry as runs, so that a
// frame costs only the pixels the entry covers.
#include <QImage>
#include <cstdint>
#include <utility>
#include <vector>

namespace SUBTITLEBLEND {

class BlendPicture {
 public:
  // Once per job. False (and empty) when the memory cannot be had.
  bool Allocate(int32_t width, int32_t height);
  // Takes a top-down ARGB32_Premultiplied band of the allocated size.
  void Store(const QImage& band);
  // Nothing stored: Blend leaves frames alone. The memory is kept.
  void Clear();

  bool empty() const { return !stored_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Runs of covered pixels in the stored picture.

  // Blends the stored picture onto the frame buffer (a complete bottom-up
  // 24-bit BMP image), its bottom row `raise` rows above the frame's. Never
  // writes outside the frame's rows and width.
  void Blend(uint8_t* frameBuffer, int32_t raise) const;
  // The frame rows Blend writes: the first (from the bottom) and how many;
  // no rows when nothing is stored.
  std::pair<int32_t, int32_t> InkRows(int32_t raise) const;

 private:
  // Byte offsets in one stored row; an opaque run is copied, the others
  // blended.
  struct Run {
    int32_t row;
    uint32_t begin;
    uint32_t end;
    bool opaque;
  };

  void FindRuns(int32_t row, const uint8_t* rest);

  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t rowBytes_ = 0;
  std::vector<uint8_t> colour_;
  std::vector<uint8_t> rest_;
  std::vector<Run> runs_;
  bool stored_ = false;
};

}  // namespace SUBTITLEBLEND
