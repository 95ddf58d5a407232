#include "cli/StreamFiles.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "mp4/Mp4Boxes.h"

namespace STREAMFILES {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kPeekBytes = 64 * 1024;  // what a pipe holds before its writer waits
constexpr auto kPeekPatience = std::chrono::seconds(5);

// Top-level boxes that may come before the index or the media data.
bool IsLeadingBox(const MP4BOXES::Box& box) {
  for (const char* known : {"ftyp", "styp", "free", "skip", "wide", "pdin", "uuid", "junk"})
    if (box.Is(known)) return true;
  return false;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsStandardInputPipe(const std::string& source) {
  struct stat input {};
  struct stat named {};
  return fstat(STDIN_FILENO, &input) == 0 && S_ISFIFO(input.st_mode) &&
         stat(source.c_str(), &named) == 0 && SameFile(input, named);
}

// A copy of what the pipe holds now; the pipe keeps it.
std::string CopyOfPipe(int fd) {
  int held = 0;
  if (ioctl(fd, FIONREAD, &held) != 0 || held <= 0) return {};
  int copy[2];
  if (pipe(copy) != 0) return {};
  std::string head;
  const ssize_t teed = tee(fd, copy[1], std::min(size_t(held), kPeekBytes), SPLICE_F_NONBLOCK);
  close(copy[1]);
  char buffer[4096];
  for (ssize_t got = teed > 0 ? 1 : 0; got > 0;) {
    got = read(copy[0], buffer, sizeof buffer);
    if (got > 0) head.append(buffer, size_t(got));
  }
  close(copy[0]);
  return head;
}

bool WriterClosed(int fd) {
  pollfd watched{fd, POLLIN, 0};
  return poll(&watched, 1, 0) > 0 && (watched.revents & POLLHUP) != 0;
}

// Waits for as many bytes as tell the layout, the end of the writer or the
// end of our patience.
Layout PipeLayout(int fd) {
  const auto deadline = Clock::now() + kPeekPatience;
  for (;;) {
    const bool closed = WriterClosed(fd);
    const std::string head = CopyOfPipe(fd);
    const Layout layout = LayoutOf(head);
    if (layout != Layout::NeedMoreBytes || closed || head.size() >= kPeekBytes ||
        Clock::now() >= deadline)
      return layout;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

// Only the file's first bytes are at hand, so a box is not held to an end:
// one that reaches past them asks for more, and a size below the shortest
// header (0, to the end of the file, among them) ends the search.
Layout LayoutOf(std::string_view head) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
  for (size_t at = 0;;) {
    if (head.size() - at < MP4BOXES::kHeaderBytes) return Layout::NeedMoreBytes;
    MP4BOXES::Box box = MP4BOXES::BoxAt(at, bytes + at);
    if (box.Is("moov") || box.Is("moof")) return Layout::Readable;
    if (box.Is("mdat")) return Layout::IndexAfterMedia;
    if (!IsLeadingBox(box)) return Layout::Readable;  // not an MP4 file, or one we cannot tell
    if (box.Header == MP4BOXES::kLargeHeaderBytes) {
      if (head.size() - at < MP4BOXES::kLargeHeaderBytes) return Layout::NeedMoreBytes;
      MP4BOXES::TakeLargeSize(box, bytes + at + MP4BOXES::kHeaderBytes);
    }
    if (box.Size < MP4BOXES::kHeaderBytes) return Layout::Readable;
    if (box.Size > head.size() - at) return Layout::NeedMoreBytes;
    at += box.Size;
  }
}

std::string SourcePath(const std::string& given) { return given == "-" ? "/dev/stdin" : given; }

std::string OutputProblem(const std::string& output) {
  if (output == "-")
    return "the output can't be standard output ('-'): a video file is completed by seeking "
           "back to its headers; name the output file";
  struct stat info {};
  if (stat(output.c_str(), &info) != 0) return {};
  const char* what = nullptr;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
    what = "a pipe";
  } else if (S_ISCHR(info.st_mode)) {
    const int fd = open(output.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0 && isatty(fd)) what = "a terminal";
    if (fd >= 0) close(fd);
  }
  if (what == nullptr) return {};
  return "the output '" + output + "' is " + what +
         ": a video file is completed by seeking back to its headers; name a file";
}

std::string PipedSourceProblem(const std::string& source) {
  if (!IsStandardInputPipe(source) || PipeLayout(STDIN_FILENO) != Layout::IndexAfterMedia)
    return {};
  return "the source is an MP4 or MOV file whose index follows its pictures, which can't be read "
         "from a pipe: give its file name, or write it with the index first (ffmpeg -movflags "
         "+faststart)";
}

bool IsStream(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 &&
         (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISCHR(info.st_mode));
}

}  // namespace STREAMFILES
