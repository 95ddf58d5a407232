#include "compressors/Compressor.h"

#include "compressors/CompressorEncoder.h"
#include "compressors/CompressorFullFrames.h"
#include "compressors/CompressorWriteAhead.h"

namespace COMPRESSOR {
namespace {

struct StagedBytes : StagedPicture {
  std::vector<uint8_t> bytes;
};

}  // namespace

std::unique_ptr<StagedPicture> Compressor::NewStagedPicture() {
  return std::make_unique<StagedBytes>();
}

HRESULT Compressor::Stage(const void* pixels, size_t size, StagedPicture& picture) {
  if (pixels == nullptr) return AVIERR_BADPARAM;
  const uint8_t* bytes = static_cast<const uint8_t*>(pixels);
  try {
    static_cast<StagedBytes&>(picture).bytes.assign(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;
  }
  return AVIERR_OK;
}

HRESULT Compressor::CompressStaged(StagedPicture& picture, const ChunkSink& sink) {
  const std::vector<uint8_t>& bytes = static_cast<StagedBytes&>(picture).bytes;
  return Compress(bytes.data(), bytes.size(), sink);
}

HRESULT Compressor::CompressMixed(const PLANARPICTURE::MixedPicture&, const ChunkSink&) {
  return AVIERR_UNSUPPORTED;
}

HRESULT Compressor::StageMixed(const PLANARPICTURE::MixedPicture&, StagedPicture&) {
  return AVIERR_UNSUPPORTED;
}

std::unique_ptr<Compressor> MakeCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                           const AVICOMPRESSOPTIONS& options,
                                           const std::string& encoderOptions, bool globalHeader) {
  if (info.encoder == nullptr) return std::make_unique<FullFramesCompressor>();
  // Encoding on its own thread overlaps the caller's decoding of the next
  // picture.
  return std::make_unique<WriteAheadCompressor>(
      std::make_unique<EncoderCompressor>(info, options, encoderOptions, globalHeader));
}

}  // namespace COMPRESSOR
