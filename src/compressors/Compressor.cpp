#include "compressors/Compressor.h"

#include <vector>

namespace COMPRESSOR {
namespace {

struct StagedBytes : StagedPicture {
  std::vector<uint8_t> bytes;
};

}  // namespace

std::unique_ptr<StagedPicture> Compressor::NewStagedPicture() {
  return std::make_unique<StagedBytes>();
}

Status Compressor::Stage(const void* pixels, size_t size, StagedPicture& picture) {
  if (pixels == nullptr) return Status::BadParameter;
  const uint8_t* bytes = static_cast<const uint8_t*>(pixels);
  try {
    static_cast<StagedBytes&>(picture).bytes.assign(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    return Status::Memory;
  }
  return Status::Ok;
}

Status Compressor::CompressStaged(StagedPicture& picture, const ChunkSink& sink) {
  const std::vector<uint8_t>& bytes = static_cast<StagedBytes&>(picture).bytes;
  return Compress(bytes.data(), bytes.size(), sink);
}

Status Compressor::CompressMixed(const PLANARPICTURE::MixedPicture&, const ChunkSink&) {
  return Status::Unsupported;
}

Status Compressor::StageMixed(const PLANARPICTURE::MixedPicture&, StagedPicture&) {
  return Status::Unsupported;
}

}  // namespace COMPRESSOR
