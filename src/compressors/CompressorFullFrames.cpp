#include "compressors/CompressorFullFrames.h"

#include "picture/BmpFrame.h"

namespace COMPRESSOR {

Status FullFramesCompressor::Start(const BgrFormat& input, uint32_t, uint32_t,
                                   EncodedFormat* output) {
  if (input.Width <= 0 || input.Height <= 0) return Status::BadFormat;
  imageSize_ = BMPFRAME::ImageBytes(input.Width, input.Height);
  output->Code = 0;
  output->Width = input.Width;
  output->Height = input.TopDown ? -input.Height : input.Height;
  output->BitCount = 24;
  output->ImageSize = imageSize_;
  output->ExtraData.clear();
  return Status::Ok;
}

Status FullFramesCompressor::Compress(const void* pixels, size_t size, const ChunkSink& sink) {
  if (imageSize_ == 0) return Status::BadFormat;
  if (size < imageSize_) return Status::BadSize;
  return sink({pixels, imageSize_, true});
}

}  // namespace COMPRESSOR
