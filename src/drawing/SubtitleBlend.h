#pragma once

// An entry's picture with real coverage, kept in the form a frame blends it
// fastest: premultiplied blue-green-red bytes, and beside each byte how much
// of the frame's byte stays under it (255 - alpha). Rows are bottom-up, like
// the frames. The covered pixels are found once per entry as runs, so that a
// frame costs only the pixels the entry covers.
#include <QImage>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace SUBTITLEBLEND {

// One coloured coverage bitmap to lay over what is there: `Bitmap` holds
// Height rows of Width bytes (0 bare, 255 covered), Stride apart, its first
// row Top rows below the picture's top edge. Opacity scales the coverage.
struct CoverageImage {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0, Stride = 0;
  const uint8_t* Bitmap = nullptr;
  uint8_t Blue = 0, Green = 0, Red = 0, Opacity = 255;
};

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
  // A picture made of coverage bitmaps, each laid over the ones before;
  // parts outside the allocated size are cut off. Only the rows the last
  // composite touched are cleared, so a frame-sized picture costs what its
  // text covers.
  void BeginComposite();
  void Composite(const CoverageImage& image);
  void EndComposite();

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
  void ClearRows(int32_t first, int32_t end);
  void ClearRow(int32_t row);

  // A composite's scratch rows: each pixel's alpha, and the image's colour,
  // three bytes a pixel; the picture's width, grown once.
  std::vector<uint8_t> alpha_;
  std::vector<uint8_t> pattern_;
  // Rows (bottom-up, end exclusive) a composite has written since cleared.
  int32_t dirtyFirst_ = 0;
  int32_t dirtyEnd_ = 0;

  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t rowBytes_ = 0;
  std::unique_ptr<uint8_t[]> colour_;
  std::unique_ptr<uint8_t[]> rest_;
  std::vector<uint8_t> rowReady_;  // per row: written since Allocate
  std::vector<Run> runs_;
  bool stored_ = false;
};

}  // namespace SUBTITLEBLEND
