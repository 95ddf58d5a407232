#pragma once

// Where the picture of a film lies inside its frame, apart from the black
// bars of a letterboxed or pillarboxed master: found from the luma of a few
// pictures spread over the film. A scene that is dark all over says nothing
// of where the bars end, so each picture only widens what the others found.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace PICTUREEXTENT {

struct Rect {
  int X = 0, Y = 0, Width = 0, Height = 0;
  bool operator==(const Rect&) const = default;
};

class ExtentFinder {
 public:
  // For frames of this size; a frame of another size is passed over.
  ExtentFinder(int width, int height);

  // One picture's luma plane: `bitDepth` bits a sample (8, or up to 16 in
  // little-endian pairs), rows `stride` bytes apart, black at 16 (scaled to
  // the depth) on video levels or at 0 on full range.
  void AddPicture(const uint8_t* luma, ptrdiff_t stride, int width, int height, int bitDepth,
                  bool fullRange);
  // Pictures that showed anything brighter than black.
  int Lit() const { return lit_; }
  // The extent over every picture, its place and size even (for 4:2:0)
  // and never smaller than what a picture showed; the whole frame when no
  // picture showed anything.
  Rect Extent() const;

 private:
  int width_, height_;
  int top_, bottom_, left_, right_;  // rows and columns, bottom and right past the end
  int lit_ = 0;
  std::vector<int> rowCounts_, columnCounts_;
};

// The bars a crop of a frame of that size takes away, for the log:
// "black bars above and below", "a black bar on the left", "no black bars".
const char* BarsText(const Rect& crop, int width, int height);

}  // namespace PICTUREEXTENT
