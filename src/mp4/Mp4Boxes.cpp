#include "mp4/Mp4Boxes.h"

#include <algorithm>

namespace MP4BOXES {

uint64_t BigEndian(const uint8_t* bytes, std::size_t count) {
  uint64_t value = 0;
  for (std::size_t k = 0; k < count; ++k) value = value << 8 | bytes[k];
  return value;
}

Box BoxAt(uint64_t at, const uint8_t* bytes) {
  Box box;
  box.At = at;
  box.Size = BigEndian(bytes, 4);
  std::copy_n(bytes + 4, box.Type.size(), box.Type.begin());
  if (box.Size == 1) box.Header = kLargeHeaderBytes;
  return box;
}

void TakeLargeSize(Box& box, const uint8_t* bytes) { box.Size = BigEndian(bytes, 8); }

bool FitWithin(Box& box, uint64_t end) {
  if (box.At > end) return false;
  const uint64_t room = end - box.At;
  // Only the 32-bit size says "to the end" with 0; a 64-bit size of 0 is
  // smaller than its header.
  if (box.Size == 0 && box.Header == kHeaderBytes) box.Size = room;
  return box.Size >= box.Header && box.Size <= room;
}

}  // namespace MP4BOXES
