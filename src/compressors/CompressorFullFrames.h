#pragma once

// Full Frames: the pictures are stored as they come, uncompressed.
#include "compressors/Compressor.h"

namespace COMPRESSOR {

class FullFramesCompressor : public Compressor {
 public:
  Status Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
               EncodedFormat* output) override;
  Status Compress(const void* pixels, size_t size, const ChunkSink& sink) override;
  Status Finish(const ChunkSink&) override { return Status::Ok; }

 private:
  uint32_t imageSize_ = 0;
};

}  // namespace COMPRESSOR
