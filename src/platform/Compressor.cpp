#include "platform/Compressor.h"

#include "platform/CompressorEncoder.h"
#include "platform/CompressorFullFrames.h"
#include "platform/CompressorWriteAhead.h"

namespace COMPRESSOR {

std::unique_ptr<Compressor> MakeCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                           const AVICOMPRESSOPTIONS& options,
                                           const std::string& encoderOptions) {
  if (info.encoder == nullptr) return std::make_unique<FullFramesCompressor>();
  // Encoding on its own thread overlaps the caller's decoding of the next
  // picture.
  return std::make_unique<WriteAheadCompressor>(
      std::make_unique<EncoderCompressor>(info, options, encoderOptions));
}

}  // namespace COMPRESSOR
