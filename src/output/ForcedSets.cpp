#include "output/ForcedSets.h"

#include <exception>

namespace FORCEDSETS {

namespace {

// PGS segments, as the demuxers hand them on: a type byte, then the length
// of what follows in 16 bits.
constexpr uint8_t kCompositionSegment = 0x16;
constexpr std::size_t kSegmentHeader = 3;

// A presentation composition: canvas size (4), frame rate (1), composition
// number (2), state (1), palette update flag (1), palette id (1), then the
// object count; each object after it is an id (2), a window id (1), flags
// (1) and a position (4), and a cropped one adds its crop rectangle (8).
constexpr std::size_t kCompositionHeader = 11;
constexpr std::size_t kObjectCountAt = 10;
constexpr std::size_t kObjectEntry = 8;
constexpr std::size_t kCropRectangle = 8;
constexpr std::size_t kObjectFlagsAt = 3;
constexpr uint8_t kCroppedFlag = 0x80;
constexpr uint8_t kForcedFlag = 0x40;

uint32_t Read16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }

uint32_t Read32(const uint8_t* p) { return Read16(p) << 16 | Read16(p + 2); }

struct Composition {
  bool Damaged = false;
  bool Removed = false;  // a forced object was taken out
};

// The composition's payload of `length` bytes (at least its header) added to
// `out` without its forced objects, as a segment of its own. What does not
// make a whole object is left out: the count then names only what is there.
Composition AppendComposition(const uint8_t* payload, std::size_t length,
                              std::vector<uint8_t>& out) {
  Composition result;
  const std::size_t start = out.size();
  out.push_back(kCompositionSegment);
  out.push_back(0);  // the length, once known
  out.push_back(0);
  out.insert(out.end(), payload, payload + kCompositionHeader);
  const unsigned count = payload[kObjectCountAt];
  unsigned kept = 0;
  std::size_t at = kCompositionHeader;
  for (unsigned k = 0; k < count; ++k) {
    if (length - at < kObjectEntry) {
      result.Damaged = true;
      break;
    }
    const uint8_t flags = payload[at + kObjectFlagsAt];
    const std::size_t entry = kObjectEntry + ((flags & kCroppedFlag) ? kCropRectangle : 0);
    if (length - at < entry) {
      result.Damaged = true;
      break;
    }
    if (flags & kForcedFlag) {
      result.Removed = true;
    } else {
      out.insert(out.end(), payload + at, payload + at + entry);
      ++kept;
    }
    at += entry;
  }
  // Bytes after the objects the count names belong to no object.
  if (at != length && !result.Damaged) result.Damaged = true;
  // No longer than the segment it came from, so its length fits 16 bits.
  const std::size_t written = out.size() - start - kSegmentHeader;
  out[start + 1] = static_cast<uint8_t>(written >> 8);
  out[start + 2] = static_cast<uint8_t>(written);
  out[start + kSegmentHeader + kObjectCountAt] = static_cast<uint8_t>(kept);
  return result;
}

// VobSub: a subpicture unit starts with its size and the offset of its first
// control sequence, 16 bits each, or (high-definition units, whose first 16
// bits are zero) 32 bits each after those zeros. A control sequence is a
// delay (16 bits), the offset of the next sequence (the unit's own width;
// the last names itself), then commands up to 0xFF.
struct UnitLayout {
  std::size_t OffsetSize;
  std::size_t FirstSequenceAt;  // where the first sequence's offset is
  std::size_t Header;
};
constexpr UnitLayout kStandardUnit{2, 2, 4};
constexpr UnitLayout kLargeUnit{4, 6, 10};
constexpr uint8_t kForcedStart = 0x00;
constexpr uint8_t kEndOfSequence = 0xFF;
constexpr uint8_t kChangeColours = 0x07;  // its own 16-bit size follows, counting itself

// The bytes a command's arguments take at `p` with `left` bytes there; -1
// when the command is unknown or its arguments run past the unit.
long ArgumentBytes(uint8_t command, const uint8_t* p, std::size_t left) {
  std::size_t bytes = 0;
  switch (command) {
    case 0x00:  // forced start
    case 0x01:  // start
    case 0x02:  // stop
      bytes = 0;
      break;
    case 0x03:  // colours
    case 0x04:  // opacities
      bytes = 2;
      break;
    case 0x05:  // rectangle
    case 0x85:
      bytes = 6;
      break;
    case 0x06:  // where the two fields' pixels are
      bytes = 4;
      break;
    case 0x86:
      bytes = 8;
      break;
    case 0x83:  // high-definition palette
      bytes = 768;
      break;
    case 0x84:  // high-definition opacities
      bytes = 256;
      break;
    case kChangeColours:
      if (left < 2) return -1;
      bytes = Read16(p);
      if (bytes < 2) return -1;
      break;
    default:
      return -1;
  }
  return bytes <= left ? static_cast<long>(bytes) : -1;
}

struct UnitWalk {
  bool Forced = false;
  bool Whole = false;  // every sequence read to its end, the last naming itself
};

// Each sequence must lie after the one before, so the walk ends within the
// unit however its offsets are set.
UnitWalk WalkUnit(const uint8_t* data, std::size_t size) {
  UnitWalk walk;
  if (size < kStandardUnit.Header) return walk;
  const UnitLayout& layout = Read16(data) == 0 ? kLargeUnit : kStandardUnit;
  if (size < layout.Header) return walk;
  const auto offsetAt = [&](std::size_t at) -> std::size_t {
    return layout.OffsetSize == 4 ? Read32(data + at) : Read16(data + at);
  };
  std::size_t at = offsetAt(layout.FirstSequenceAt);
  if (at < layout.Header) return walk;
  for (;;) {
    if (at >= size || size - at < 2 + layout.OffsetSize) return walk;
    const std::size_t next = offsetAt(at + 2);
    std::size_t pos = at + 2 + layout.OffsetSize;
    bool ended = false;
    while (pos < size) {
      const uint8_t command = data[pos++];
      if (command == kEndOfSequence) {
        ended = true;
        break;
      }
      if (command == kForcedStart) walk.Forced = true;
      const long arguments = ArgumentBytes(command, data + pos, size - pos);
      if (arguments < 0) return walk;
      pos += static_cast<std::size_t>(arguments);
    }
    if (!ended || next < at) return walk;
    if (next == at) {
      walk.Whole = true;
      return walk;
    }
    at = next;
  }
}

}  // namespace

SoftCopy::Outcome SoftCopy::Take(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size == 0 || data == nullptr) return Outcome::LeftOut;
  // The copy is never longer than the packet: once this holds, nothing below
  // allocates.
  try {
    out.reserve(size);
  } catch (const std::exception&) {
    return Outcome::Failed;
  }
  return codec_ == Codec::Pgs ? TakePgs(data, size, out) : TakeVobSub(data, size, out);
}

SoftCopy::Outcome SoftCopy::TakePgs(const uint8_t* data, std::size_t size,
                                    std::vector<uint8_t>& out) {
  bool damaged = false;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t left = size - at;
    if (left < kSegmentHeader) {
      damaged = true;
      break;
    }
    const uint8_t* segment = data + at;
    const std::size_t length = Read16(segment + 1);
    if (length > left - kSegmentHeader) {
      damaged = true;
      break;
    }
    at += kSegmentHeader + length;
    if (segment[0] != kCompositionSegment) {
      out.insert(out.end(), segment, segment + kSegmentHeader + length);
      continue;
    }
    ++kept_;
    if (length < kCompositionHeader) {
      damaged = true;
      out.insert(out.end(), segment, segment + kSegmentHeader + length);
      continue;
    }
    const Composition composition = AppendComposition(segment + kSegmentHeader, length, out);
    damaged |= composition.Damaged;
    if (composition.Removed) ++burned_;
  }
  if (damaged) ++damaged_;
  return out.empty() ? Outcome::LeftOut : Outcome::Written;
}

SoftCopy::Outcome SoftCopy::TakeVobSub(const uint8_t* data, std::size_t size,
                                       std::vector<uint8_t>& out) {
  const UnitWalk walk = WalkUnit(data, size);
  if (!walk.Whole) ++damaged_;
  if (walk.Forced) {
    ++burned_;
    return Outcome::LeftOut;
  }
  out.assign(data, data + size);
  ++kept_;
  return Outcome::Written;
}

}  // namespace FORCEDSETS
