#include "avi/AviChunkFile.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace AVICHUNKFILE {

AviChunkFile::~AviChunkFile() { Close(); }

bool AviChunkFile::Create(const std::string& path) {
  Close();
  if (path.empty()) return false;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  lastErrno_ = fd_ < 0 ? errno : 0;
  end_ = 0;
  return fd_ >= 0;
}

bool AviChunkFile::AppendChunk(FOURCC id, const void* data, uint32_t size) {
  uint32_t header[2] = {id, size};
  static const char pad = 0;
  iovec parts[3] = {{header, 8}, {const_cast<void*>(data), size}, {const_cast<char*>(&pad), 1}};
  return AppendAll(parts, size % 2 ? 3 : 2, 8 + size + size % 2);
}

bool AviChunkFile::Append(const void* data, size_t size) {
  iovec part = {const_cast<void*>(data), size};
  return AppendAll(&part, 1, size);
}

bool AviChunkFile::AppendAll(const iovec* parts, int count, size_t total) {
  if (fd_ < 0) return false;
  iovec left[3];
  for (int i = 0; i < count; ++i) left[i] = parts[i];
  size_t done = 0;
  int first = 0;
  while (done < total) {
    ssize_t n = ::pwritev(fd_, left + first, count - first, off_t(end_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastErrno_ = n < 0 ? errno : ENOSPC;
      // Cut off the partial chunk so that readers never meet half of one.
      [[maybe_unused]] int cut = ::ftruncate(fd_, off_t(end_));
      return false;
    }
    done += size_t(n);
    for (size_t used = size_t(n); used > 0 && first < count;) {
      size_t take = std::min(used, left[first].iov_len);
      left[first].iov_base = static_cast<char*>(left[first].iov_base) + take;
      left[first].iov_len -= take;
      used -= take;
      if (left[first].iov_len == 0) ++first;
    }
  }
  end_ += total;
  return true;
}

bool AviChunkFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (fd_ < 0 || offset + size > end_) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(fd_, p, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastErrno_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    p += n;
    offset += uint64_t(n);
    size -= size_t(n);
  }
  return true;
}

bool AviChunkFile::Close() {
  if (fd_ < 0) return true;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

}  // namespace AVICHUNKFILE
