#include "compressors/CompressorFactory.h"

#include "compressors/CompressorEncoder.h"
#include "compressors/CompressorFullFrames.h"
#include "compressors/CompressorWriteAhead.h"

namespace COMPRESSOR {

std::unique_ptr<Compressor> MakeCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                           const ENCODERCHOICE::EncoderChoice& choice,
                                           bool globalHeader) {
  if (info.encoder == nullptr) return std::make_unique<FullFramesCompressor>();
  // Encoding on its own thread overlaps the caller's decoding of the next
  // picture.
  return std::make_unique<WriteAheadCompressor>(
      std::make_unique<EncoderCompressor>(info, choice, globalHeader));
}

}  // namespace COMPRESSOR
