#pragma once

// The compressor for a catalogue entry: Full Frames for the uncompressed
// entry, else libavcodec's encoder behind the write-ahead thread.
#include <memory>

#include "compressors/Compressor.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/EncoderChoice.h"

namespace COMPRESSOR {

// globalHeader: the codec's set-up goes into the output format's extra data
// only (as MP4 and Matroska keep it), not into the key frames' chunks.
std::unique_ptr<Compressor> MakeCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                           const ENCODERCHOICE::EncoderChoice& choice,
                                           bool globalHeader = false);

}  // namespace COMPRESSOR
