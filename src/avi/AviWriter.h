#pragma once

// Writes one AVI file: the header list from the streams' infos and formats,
// the movi list with the chunks in the order written, idx1 for the first
// RIFF and, once the file outgrows one RIFF, OpenDML AVIX RIFFs with ix##
// and indx indexes. The header is written in place when the file is
// finished, into room kept before the first movi list.
#include <cstdint>
#include <string>
#include <vector>

#include "avi/AviChunkFile.h"
#include "avi/AviIndex.h"
#include "avi/Vfw.h"

namespace AVIWRITER {

// A RIFF is closed before its movi data passes this size.
constexpr uint64_t kRiffLimit = uint64_t(1) << 30;

class AviWriter {
 public:
  explicit AviWriter(uint64_t riffLimit = kRiffLimit) : riffLimit_(riffLimit) {}

  HRESULT Create(const std::string& path);
  HRESULT AddStream(const AVISTREAMINFOA& info, int* index);
  HRESULT SetFormat(int stream, const void* format, size_t size);
  bool HasFormat(int stream) const { return !streams_[stream].format.empty(); }
  const AVISTREAMINFOA& Info(int stream) const { return streams_[stream].info; }
  void SetHandler(int stream, FOURCC handler) { streams_[stream].info.fccHandler = handler; }

  // Appends one chunk; *samples is what readers will count for it.
  HRESULT WriteChunk(int stream, const void* data, uint32_t size, bool key, LONG* samples);
  // A chunk for the header area, such as the LIST/INFO block (its data
  // starts with the list type).
  HRESULT AddHeaderData(FOURCC ckid, const void* data, size_t size);

  // Writes the indexes and the header, and closes the file.
  HRESULT Finish();
  int LastErrno() const { return file_.LastErrno(); }

 private:
  struct Stream {
    AVISTREAMINFOA info;
    std::vector<uint8_t> format;
    FOURCC chunkId = 0;
    FOURCC indexId = 0;
    uint64_t chunks = 0;
    uint64_t bytes = 0;
    uint32_t firstRiffChunks = 0;
    uint32_t maxChunk = 0;
    std::vector<AVIINDEX::AviChunkEntry> riffChunks;
    std::vector<AVIINDEX::AviSuperEntry> superIndex;
  };
  struct HeaderData {
    FOURCC ckid;
    std::vector<uint8_t> data;
  };

  uint64_t Samples(const Stream& stream, uint64_t chunks, uint64_t bytes) const;
  int VideoStream() const;
  std::vector<uint8_t> BuildHeader() const;
  void AppendStreamList(AVIBYTES::AviBytes& out, int index) const;
  void AppendMainHeader(AVIBYTES::AviBytes& out) const;
  bool HeaderFits(size_t extra) const;
  HRESULT StartFirstRiff();
  bool WriteHeaderInPlace();
  HRESULT StartNextRiff();
  HRESULT CloseRiff(bool last);
  bool AppendStandardIndexes();

  uint64_t riffLimit_;
  AVICHUNKFILE::AviChunkFile file_;
  std::vector<Stream> streams_;
  std::vector<HeaderData> headerData_;
  std::vector<AVIINDEX::AviIdx1Entry> idx1_;
  bool started_ = false;
  bool riffOpen_ = false;
  bool finished_ = false;
  bool hasIdx1_ = false;
  uint64_t headerRoom_ = 0;
  uint64_t riffStart_ = 0;
  uint64_t moviStart_ = 0;
  int riffCount_ = 0;
};

}  // namespace AVIWRITER
