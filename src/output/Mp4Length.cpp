#include "output/Mp4Length.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "mp4/Mp4Boxes.h"

namespace MP4LENGTH {
namespace {

// ftyp, moov and what a muxer may put between them (free, uuid...). A file
// that needs more has its moov somewhere unexpected.
constexpr int kTopBoxes = 16;
constexpr int kMovieChildren = 64;

using Wide = unsigned __int128;

class File {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Its size, or -1 when it is not a regular file that was opened.
  int64_t Size() const {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return status.st_size;
  }
  bool Read(uint64_t at, uint8_t* to, size_t count) const {
    return Transfer(count, [&](size_t done) {
      return ::pread(fd_, to + done, count - done, off_t(at + done));
    });
  }
  bool Write(uint64_t at, const uint8_t* from, size_t count) const {
    return Transfer(count, [&](size_t done) {
      return ::pwrite(fd_, from + done, count - done, off_t(at + done));
    });
  }

 private:
  template <typename Step>
  static bool Transfer(size_t count, const Step& step) {
    for (size_t done = 0; done < count;) {
      const ssize_t n = step(done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }
  int fd_;
};

using MP4BOXES::BigEndian;
using MP4BOXES::Box;
using MP4BOXES::kHeaderBytes;
using MP4BOXES::kLargeHeaderBytes;

enum class Found { Box, Absent, Malformed, Unread };

Outcome OutcomeOf(Found found) {
  return found == Found::Absent   ? Outcome::NotFound
         : found == Found::Unread ? Outcome::Unwritten
                                  : Outcome::Malformed;
}

// The box at `at`, which must lie within its parent's end.
Found ReadBox(const File& file, uint64_t at, uint64_t end, Box& box) {
  uint8_t head[kLargeHeaderBytes];
  if (at > end || end - at < kHeaderBytes) return Found::Malformed;
  if (!file.Read(at, head, kHeaderBytes)) return Found::Unread;
  box = MP4BOXES::BoxAt(at, head);
  if (box.Header == kLargeHeaderBytes) {
    if (end - at < kLargeHeaderBytes) return Found::Malformed;
    if (!file.Read(at + kHeaderBytes, head + kHeaderBytes, kHeaderBytes)) return Found::Unread;
    MP4BOXES::TakeLargeSize(box, head + kHeaderBytes);
  }
  return MP4BOXES::FitWithin(box, end) ? Found::Box : Found::Malformed;
}

// The first box of the type among the boxes from `at` to `end`, looking at
// no more than `most` of them. Fragments end the search: the moov that
// describes them comes ahead of them.
Found FindBox(const File& file, uint64_t at, uint64_t end, const char* type, int most, Box& box) {
  for (int k = 0; k < most && at < end; ++k, at = box.End()) {
    const Found found = ReadBox(file, at, end, box);
    if (found != Found::Box || box.Is(type)) return found;
    if (box.Is("moof") || box.Is("mdat")) break;
  }
  return Found::Absent;
}

// ceil(length * timescale), or 0 when it is past `limit`.
uint64_t InTimescale(const Length& length, uint64_t timescale, uint64_t limit) {
  const Wide ticks = Wide(uint64_t(length.ticks)) * uint64_t(length.num);
  if (ticks > ~Wide(0) / timescale) return 0;
  const Wide scaled = (ticks * timescale + uint64_t(length.den) - 1) / uint64_t(length.den);
  return scaled < limit ? uint64_t(scaled) : 0;
}

}  // namespace

Outcome StateLength(const std::string& path, const Length& length) {
  if (length.ticks <= 0 || length.num <= 0 || length.den <= 0) return Outcome::NoLength;
  const File file(path);
  const int64_t size = file.Size();
  if (size < 0) return Outcome::Unopened;
  Box movie, header;
  Found found = FindBox(file, 0, uint64_t(size), "moov", kTopBoxes, movie);
  if (found == Found::Box)
    found = FindBox(file, movie.At + movie.Header, movie.End(), "mvhd", kMovieChildren, header);
  if (found != Found::Box) return OutcomeOf(found);

  // Version and flags, two times of creation and change, the timescale,
  // the duration: 4-byte times and duration in version 0, 8-byte in 1.
  uint8_t fields[32];
  const uint64_t content = header.Size - header.Header, start = header.At + header.Header;
  if (content < 20) return Outcome::Malformed;
  if (!file.Read(start, fields, 1)) return Outcome::Unwritten;
  const bool wide = fields[0] == 1;
  const uint64_t needed = wide ? 32 : 20;
  if (fields[0] > 1 || content < needed) return Outcome::Malformed;
  if (!file.Read(start, fields, needed)) return Outcome::Unwritten;
  const int width = wide ? 8 : 4;
  const uint64_t timescale = BigEndian(fields + needed - width - 4, 4);
  if (timescale == 0) return Outcome::Malformed;
  // All ones stands for a length not known.
  const uint64_t duration =
      InTimescale(length, timescale, wide ? uint64_t(INT64_MAX) : uint64_t(UINT32_MAX));
  if (duration == 0) return Outcome::TooLong;
  uint8_t bytes[8];
  for (int k = 0; k < width; ++k) bytes[k] = uint8_t(duration >> 8 * (width - 1 - k));
  return file.Write(start + needed - width, bytes, size_t(width)) ? Outcome::Stated
                                                                  : Outcome::Unwritten;
}

std::string UnstatedReason(Outcome outcome) {
  switch (outcome) {
    case Outcome::Stated:
    case Outcome::NoLength:
      return {};
    case Outcome::Unopened:
      return "the file could not be opened again";
    case Outcome::NotFound:
      return "no movie header ahead of the first fragment";
    case Outcome::Malformed:
      return "its boxes do not hold together";
    case Outcome::TooLong:
      return "the length does not fit the header";
    case Outcome::Unwritten:
      return "reading or writing the file failed";
  }
  return {};
}

}  // namespace MP4LENGTH
