// The walks over MP4 boxes: the layout a source's first bytes tell, and
// the length written into a finished file's movie header. Two control
// bytes pick the length (or a raw one from the next bytes) and how many of
// the payload's bytes a shorter look gets; the payload is the file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "cli/StreamFiles.h"
#include "output/Mp4Length.h"

namespace FUZZTARGETS {
namespace {

using MP4LENGTH::Length;
using MP4LENGTH::Outcome;

// A job's lengths, and lengths no job makes.
constexpr Length kLengths[] = {
    {5400000, 1, 90000},       {1, 1, 1000},      {3600, 1001, 30000}, {INT64_MAX, 1, 1},
    {INT64_MAX, INT64_MAX, 1}, {1, 1, INT64_MAX}, {0, 1, 1},           {-5, 1, 1000}};

Length LengthOf(uint8_t control, Input& input) {
  if (!(control & 0x80)) return kLengths[control & 7];
  Length length;
  length.ticks = int64_t(input.Wide() >> (control & 0x3F));
  length.num = int64_t(input.Long()) - (control & 0x40 ? 1000 : 0);
  length.den = int64_t(input.Long());
  return length;
}

// What a shorter look told stays true of the longer one.
void CheckLayout(std::string_view head, std::size_t shorter) {
  const STREAMFILES::Layout whole = STREAMFILES::LayoutOf(head);
  const STREAMFILES::Layout part = STREAMFILES::LayoutOf(head.substr(0, shorter));
  if (part != STREAMFILES::Layout::NeedMoreBytes) FUZZ_REQUIRE(whole == part);
}

// Only the movie header's duration may change, and only when it was stated.
void CheckLength(std::string_view bytes, const Length& length) {
  const std::string path = TempPath("length.mp4");
  if (!WriteWholeFile(path, bytes)) return;
  const Outcome outcome = MP4LENGTH::StateLength(path, length);
  const std::string after = ReadWholeFile(path);
  std::remove(path.c_str());
  FUZZ_REQUIRE(after.size() == bytes.size());
  const bool positive = length.ticks > 0 && length.num > 0 && length.den > 0;
  FUZZ_REQUIRE((outcome == Outcome::NoLength) == !positive);
  std::size_t first = 0;
  while (first < bytes.size() && bytes[first] == after[first]) ++first;
  if (outcome != Outcome::Stated) {
    FUZZ_REQUIRE(first == bytes.size());
    return;
  }
  std::size_t last = bytes.size();
  while (last > first && bytes[last - 1] == after[last - 1]) --last;
  // A 32- or 64-bit duration.
  FUZZ_REQUIRE(last - first <= 8);
}

}  // namespace

int FuzzMp4Boxes(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const uint8_t control = input.Byte();
  const uint8_t shorter = input.Byte();
  const Length length = LengthOf(control, input);
  const std::string_view file = input.Rest();
  CheckLayout(file, std::min<std::size_t>(file.size(), std::size_t(shorter) * 4));
  CheckLength(file, length);
  return 0;
}

}  // namespace FUZZTARGETS
