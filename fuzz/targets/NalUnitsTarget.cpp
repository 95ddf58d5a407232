// The keyframe kind read from a packet's NAL units, whether it is a leading
// picture that may be left out, the length size read
// from a configuration record, the record's parameter sets, and start codes
// rewritten as lengths. One control byte: the codec (bit 0) and the framing
// the packet is read with (bits 1 to 3, including sizes no container
// gives); the rest is the packet, and is also read as a record and as an
// encoder's output.
#include <vector>
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "media/NalUnits.h"

namespace FUZZTARGETS {

int FuzzNalUnits(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const NALUNITS::Codec codec = (data[0] & 1) ? NALUNITS::Codec::Hevc : NALUNITS::Codec::H264;
  static constexpr int kFramings[] = {0, 1, 2, 4, 3, 5, -1, 0};
  const int framing = kFramings[(data[0] >> 1) & 7];
  const NALUNITS::KeyKind kind = NALUNITS::KindOfPacket(codec, data + 1, size - 1, framing);
  FUZZ_REQUIRE(kind == NALUNITS::KeyKind::Closed || kind == NALUNITS::KeyKind::Open ||
               kind == NALUNITS::KeyKind::NotKey);
  // A framing no container gives is never trusted.
  if (framing < 0 || framing > 4) FUZZ_REQUIRE(kind == NALUNITS::KeyKind::Open);
  // Only HEVC's leading pictures are left out, and only from what parses.
  const bool skipped = NALUNITS::SkipsWithoutItsKeyframe(codec, data + 1, size - 1, framing);
  if (codec == NALUNITS::Codec::H264 || framing < 0 || framing > 4) FUZZ_REQUIRE(!skipped);
  // A broken link is made in place: only the type of a clean random access
  // unit changes.
  std::vector<uint8_t> linked(data + 1, data + size);
  const std::size_t marked = NALUNITS::BreakLinks(linked.data(), linked.size(), framing);
  std::size_t changed = 0;
  for (std::size_t i = 0; i < linked.size(); ++i) {
    if (linked[i] == data[1 + i]) continue;
    ++changed;
    FUZZ_REQUIRE(((data[1 + i] >> 1) & 0x3f) == 21 && ((linked[i] >> 1) & 0x3f) == 16 &&
                 (linked[i] & 0x81) == (data[1 + i] & 0x81));
  }
  FUZZ_REQUIRE(changed == marked);
  const int record = NALUNITS::LengthSizeOf(codec, data + 1, size - 1);
  FUZZ_REQUIRE(record >= 0 && record <= 4);
  // Units framed with `framing` bytes of length each: how many, or 0 when
  // the lengths do not walk the bytes exactly.
  const auto units = [framing](const std::vector<uint8_t>& framed, bool trimmed) {
    std::size_t at = 0, count = 0;
    while (at < framed.size()) {
      if (framed.size() - at < std::size_t(framing)) return std::size_t(0);
      std::size_t length = 0;
      for (int i = 0; i < framing; ++i) length = (length << 8) | framed[at + std::size_t(i)];
      at += std::size_t(framing);
      if (length == 0 || length > framed.size() - at) return std::size_t(0);
      if (trimmed && framed[at + length - 1] == 0) return std::size_t(0);
      at += length;
      ++count;
    }
    return count;
  };
  std::vector<uint8_t> sets;
  if (NALUNITS::ParameterSetsOf(codec, data + 1, size - 1, framing, sets)) {
    FUZZ_REQUIRE(framing >= 1 && framing <= 4);
    FUZZ_REQUIRE(sets.empty() || units(sets, false) > 0);
  }
  std::vector<uint8_t> framed;
  if (NALUNITS::ToLengthPrefixed(data + 1, size - 1, framing, framed)) {
    // Each unit keeps its bytes, less the zeros a start code left, with a
    // length before it.
    FUZZ_REQUIRE(framing >= 1 && framing <= 4);
    FUZZ_REQUIRE(units(framed, true) > 0);
  }
  return 0;
}

}  // namespace FUZZTARGETS
