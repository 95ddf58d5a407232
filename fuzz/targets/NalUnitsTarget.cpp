// The keyframe kind read from a packet's NAL units, the length size read
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
