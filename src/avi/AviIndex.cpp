#include "avi/AviIndex.h"

#include "avi/Vfw.h"

namespace AVIINDEX {

std::vector<uint8_t> Idx1(const std::vector<AviIdx1Entry>& entries, uint64_t moviListType) {
  AVIBYTES::AviBytes out;
  for (const AviIdx1Entry& entry : entries) {
    out.FourCC(entry.chunkId);
    out.U32(entry.chunk.key ? AVIIF_KEYFRAME : 0);
    out.U32(uint32_t(entry.chunk.offset - moviListType));
    out.U32(entry.chunk.size);
  }
  return out.Bytes();
}

std::vector<uint8_t> StandardIndex(FOURCC chunkId, const std::vector<AviChunkEntry>& chunks,
                                   uint64_t baseOffset) {
  AVIBYTES::AviBytes out;
  out.U16(2);  // longs per entry
  out.U8(0);   // sub type
  out.U8(1);   // AVI_INDEX_OF_CHUNKS
  out.U32(uint32_t(chunks.size()));
  out.FourCC(chunkId);
  out.U64(baseOffset);
  out.U32(0);
  for (const AviChunkEntry& chunk : chunks) {
    out.U32(uint32_t(chunk.offset + 8 - baseOffset));  // points at the data
    out.U32(chunk.size | (chunk.key ? 0u : 0x80000000u));
  }
  return out.Bytes();
}

void AppendSuperIndex(AVIBYTES::AviBytes& out, FOURCC chunkId,
                      const std::vector<AviSuperEntry>& entries) {
  size_t at = out.BeginChunk(MakeFourCC('i', 'n', 'd', 'x'));
  out.U16(4);  // longs per entry
  out.U8(0);
  out.U8(0);  // AVI_INDEX_OF_INDEXES
  out.U32(uint32_t(entries.size()));
  out.FourCC(chunkId);
  out.Zeros(12);
  for (const AviSuperEntry& entry : entries) {
    out.U64(entry.offset);
    out.U32(entry.size);
    out.U32(entry.duration);
  }
  out.Zeros(16 * (kSuperIndexEntries - entries.size()));
  out.EndChunk(at);
}

}  // namespace AVIINDEX
