#pragma once

// Full Frames: the pictures are stored as they come, uncompressed.
#include "compressors/Compressor.h"

namespace COMPRESSOR {

class FullFramesCompressor : public Compressor {
 public:
  HRESULT Start(const BITMAPINFOHEADER& input, DWORD scale, DWORD rate,
                std::vector<uint8_t>* outputFormat) override;
  HRESULT Compress(const void* pixels, size_t size, const ChunkSink& sink) override;
  HRESULT Finish(const ChunkSink&) override { return AVIERR_OK; }

 private:
  uint32_t imageSize_ = 0;
};

}  // namespace COMPRESSOR
