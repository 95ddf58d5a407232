#pragma once

// Brings a decoded picture of another YUV form (10 or 12 bits, 4:2:2, 4:4:4,
// full range) to 4:2:0 on video levels in 8 bits (or in 10, for an output
// that keeps deep colour), the form the planar path hands to the encoder, so that such sources skip
// the round trip through blue-green-red as 8-bit 4:2:0 ones do. The pictures come from a pool made
// once per source: an encoder may keep one while the next is converted.
#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

class PlanarConverter {
 public:
  explicit PlanarConverter(const EntryPoints& api) : api_(api) {}
  ~PlanarConverter();
  PlanarConverter(const PlanarConverter&) = delete;
  PlanarConverter& operator=(const PlanarConverter&) = delete;

  // For pictures of this size (both even) in `depth` bits (8 or 10); false
  // when memory is short.
  bool Prepare(int width, int height, int depth = 8);
  int Depth() const { return depth_; }
  void Release();
  // Pictures of any size are taken too, scaled to the prepared one (kept
  // across Prepare).
  void TakeAnySize(bool on) { anySize_ = on; }

  // Whether Convert takes such a picture: a YUV form of the prepared size
  // (or of any, see TakeAnySize).
  bool Takes(const AVFrame* picture) const;
  // Into `target` (emptied first), which then holds a pooled 4:2:0 picture
  // of the prepared depth.
  bool Convert(const AVFrame* picture, AVFrame* target);

 private:
  bool ConvertDeep(const AVFrame* picture, AVFrame* target) const;
  bool ConvertScaled(const AVFrame* picture, AVFrame* target);

  const EntryPoints& api_;
  AVBufferPool* pool_ = nullptr;
  SwsContext* context_ = nullptr;
  int width_ = 0, height_ = 0, depth_ = 8;
  bool anySize_ = false;
};

}  // namespace VELAVCODEC
