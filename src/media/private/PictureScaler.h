#pragma once

// Converts decoded pictures to 24-bit blue-green-red with the library's
// bicubic scaler, on as many threads as the machine has. The conversion
// context is kept until a picture of another size or format comes.
#include <cstdint>

#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

class PictureScaler {
 public:
  enum class Result { Done, NoContext, Failed };

  explicit PictureScaler(const EntryPoints& api) : api_(api) {}
  ~PictureScaler();
  PictureScaler(const PictureScaler&) = delete;
  PictureScaler& operator=(const PictureScaler&) = delete;

  // Tells where pictures go: rows of `stride` bytes from `firstRow` (the
  // stride may be negative for bottom-up rows) inside `storage`.
  bool SetTarget(uint8_t* storage, size_t storageSize, uint8_t* firstRow, int stride, int width,
                 int height);
  void ClearTarget();

  Result Scale(const AVFrame* picture);
  // Rows top .. top + count - 1 (top even) of a 4:2:0 picture of the
  // target's size, into the target's rows; on the caller's thread alone.
  Result ScaleRows(const AVFrame* picture, int top, int count);

 private:
  bool Prepare(const AVFrame* picture);
  SwsContext* NewContext(const AVFrame* picture) const;

  // What a conversion context was made for.
  struct Shape {
    int sourceWidth, sourceHeight, sourceFormat, targetWidth, targetHeight;
    bool operator==(const Shape&) const = default;
  };

  const EntryPoints& api_;
  SwsContext* context_ = nullptr;
  SwsContext* rowContext_ = nullptr;  // a few rows at a time, unthreaded
  Shape contextShape_{};
  int targetWidth_ = 0, targetHeight_ = 0;
  AVFrame* target_ = nullptr;
  uint8_t* targetTop_ = nullptr;
  int targetStride_ = 0;
};

}  // namespace VELAVCODEC
