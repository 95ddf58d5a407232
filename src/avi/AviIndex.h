#pragma once

// The three indexes of an AVI file: idx1 for the first RIFF (AVI 1.0
// readers), and the OpenDML standard indexes (ix##) per stream and RIFF with
// the super index (indx) that points at them.
#include <cstdint>
#include <vector>

#include "avi/AviBytes.h"

namespace AVIINDEX {

// One chunk of the movi list: where its header starts in the file, its data
// size and whether it is a key frame.
struct AviChunkEntry {
  uint64_t offset;
  uint32_t size;
  bool key;
};

// One idx1 record: which stream's chunk id, and the chunk.
struct AviIdx1Entry {
  FOURCC chunkId;
  AviChunkEntry chunk;
};

// One ix## chunk as the super index refers to it.
struct AviSuperEntry {
  uint64_t offset;
  uint32_t size;
  uint32_t duration;
};

// Room for this many RIFFs of about 1 GB each per stream.
constexpr uint32_t kSuperIndexEntries = 1024;
constexpr uint32_t kSuperIndexChunkSize = 24 + 16 * kSuperIndexEntries;

// The data of the idx1 chunk. moviListType is the file offset of the "movi"
// list type, which idx1 offsets count from.
std::vector<uint8_t> Idx1(const std::vector<AviIdx1Entry>& entries, uint64_t moviListType);

// The data of an ix## chunk for the chunks of one stream within one RIFF.
std::vector<uint8_t> StandardIndex(FOURCC chunkId, const std::vector<AviChunkEntry>& chunks,
                                   uint64_t baseOffset);

// The whole indx chunk (header included), padded to kSuperIndexEntries.
void AppendSuperIndex(AVIBYTES::AviBytes& out, FOURCC chunkId,
                      const std::vector<AviSuperEntry>& entries);

}  // namespace AVIINDEX
