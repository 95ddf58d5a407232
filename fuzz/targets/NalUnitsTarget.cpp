// The keyframe kind read from a packet's NAL units, and the length size
// read from a configuration record. One control byte: the codec (bit 0) and
// the framing the packet is read with (bits 1 to 3, including sizes no
// container gives); the rest is the packet, and is also read as a record.
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
  return 0;
}

}  // namespace FUZZTARGETS
