#pragma once

// The output file under the AVI writer: appends chunks and patches bytes
// already written. A failed append is cut back off, so the file always ends
// on a whole chunk.
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/uio.h>

#include "platform/WinTypes.h"

namespace AVICHUNKFILE {

class AviChunkFile {
 public:
  AviChunkFile() = default;
  ~AviChunkFile();
  AviChunkFile(const AviChunkFile&) = delete;
  AviChunkFile& operator=(const AviChunkFile&) = delete;

  // Creates (or empties) the file; false when it cannot be created.
  bool Create(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }

  // Appends a chunk header, its data and the pad byte; false (with nothing
  // appended) on a write error.
  bool AppendChunk(FOURCC id, const void* data, uint32_t size);
  // Appends raw bytes; false (with nothing appended) on a write error.
  bool Append(const void* data, size_t size);
  // Overwrites bytes inside what is already written.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool WriteU32At(uint64_t offset, uint32_t value) { return WriteAt(offset, &value, 4); }

  uint64_t End() const { return end_; }
  // errno of the last failed write, 0 when none failed.
  int LastErrno() const { return lastErrno_; }
  bool Close();

 private:
  bool AppendAll(const iovec* parts, int count, size_t total);
  int fd_ = -1;
  int lastErrno_ = 0;
  uint64_t end_ = 0;
};

}  // namespace AVICHUNKFILE
