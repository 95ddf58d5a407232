#pragma once

// Little-endian byte building for RIFF chunks and their index records.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"

namespace AVIBYTES {

class AviBytes {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void U64(uint64_t v) { Put(v, 8); }
  void FourCC(FOURCC code) { U32(code); }
  void Raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }

  // Starts a chunk (or a LIST when listType is given) whose size is filled
  // in by EndChunk; returns the offset of the size field.
  size_t BeginChunk(FOURCC id) {
    FourCC(id);
    size_t at = bytes_.size();
    U32(0);
    return at;
  }
  size_t BeginList(FOURCC listType) {
    size_t at = BeginChunk(MakeFourCC('L', 'I', 'S', 'T'));
    FourCC(listType);
    return at;
  }
  void EndChunk(size_t sizeField) {
    uint32_t size = uint32_t(bytes_.size() - sizeField - 4);
    std::memcpy(&bytes_[sizeField], &size, 4);  // little-endian hosts only
    if (size % 2) U8(0);
  }
  void Chunk(FOURCC id, const void* data, size_t size) {
    size_t at = BeginChunk(id);
    Raw(data, size);
    EndChunk(at);
  }

  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void Put(uint64_t v, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
  }
  std::vector<uint8_t> bytes_;
};

}  // namespace AVIBYTES
