// The soft copy of a picture track whose forced pictures are burned, on any
// packets.
//
// The first byte: bit 0 the codec (PGS, VobSub). Then records, each a 16-bit
// big-endian length and that many bytes (the last takes what is left), each
// a packet of the track.
//
// PGS: what is written is whole segments only, each of its compositions
// holds exactly the objects its count names and none of them forced, no
// composition holds more objects than the input's did, every other segment
// of the input up to its first cut comes out as it went in, and the copy of
// the copy is the copy. VobSub: a packet is written as it came or not at
// all, and the counts add up.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "output/ForcedSets.h"

namespace FUZZTARGETS {
namespace {

using FORCEDSETS::SoftCopy;
using Outcome = SoftCopy::Outcome;

constexpr std::size_t kMostPackets = 64;
constexpr uint8_t kComposition = 0x16;

struct Segments {
  std::vector<std::string_view> Other;  // every segment but the compositions
  int64_t Compositions = 0;
  int64_t Objects = 0;    // as the compositions' counts name them
  std::size_t Whole = 0;  // the bytes the whole segments take from the front
};

// Segments up to the first that runs past the end.
Segments Walk(std::string_view bytes) {
  Segments segments;
  while (bytes.size() - segments.Whole >= 3) {
    const std::string_view rest = bytes.substr(segments.Whole);
    const std::size_t length = std::size_t(uint8_t(rest[1])) << 8 | uint8_t(rest[2]);
    if (length > rest.size() - 3) break;
    const std::string_view segment = rest.substr(0, 3 + length);
    segments.Whole += segment.size();
    if (uint8_t(segment[0]) != kComposition) {
      segments.Other.push_back(segment);
      continue;
    }
    ++segments.Compositions;
    if (length >= 11) segments.Objects += uint8_t(segment[13]);
  }
  return segments;
}

// A written composition: its objects fill it exactly and none is forced.
void CheckComposition(std::string_view segment) {
  if (segment.size() < 3 + 11) return;  // passed as it came: it names no object
  const std::string_view payload = segment.substr(3);
  std::size_t at = 11;
  for (unsigned k = 0; k < uint8_t(payload[10]); ++k) {
    FUZZ_REQUIRE(payload.size() - at >= 8);
    const uint8_t flags = uint8_t(payload[at + 3]);
    FUZZ_REQUIRE((flags & 0x40) == 0);
    at += (flags & 0x80) ? 16 : 8;
    FUZZ_REQUIRE(at <= payload.size());
  }
  FUZZ_REQUIRE(at == payload.size());
}

std::string_view View(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void CheckPgs(const std::vector<std::string_view>& packets) {
  SoftCopy copy(SoftCopy::Codec::Pgs);
  std::vector<uint8_t> out, again;
  int64_t compositions = 0;
  for (std::string_view packet : packets) {
    const Outcome outcome =
        copy.Take(reinterpret_cast<const uint8_t*>(packet.data()), packet.size(), out);
    FUZZ_REQUIRE(outcome != Outcome::Failed);
    FUZZ_REQUIRE((outcome == Outcome::LeftOut) == out.empty());
    FUZZ_REQUIRE(out.size() <= packet.size());
    const Segments in = Walk(packet), written = Walk(View(out));
    FUZZ_REQUIRE(written.Whole == out.size());
    FUZZ_REQUIRE(written.Compositions == in.Compositions);
    FUZZ_REQUIRE(written.Objects <= in.Objects);
    FUZZ_REQUIRE(written.Other == in.Other);
    compositions += written.Compositions;
    for (std::size_t at = 0; at < out.size();) {
      const std::string_view segment =
          View(out).substr(at, 3 + (std::size_t(out[at + 1]) << 8 | out[at + 2]));
      if (out[at] == kComposition) CheckComposition(segment);
      at += segment.size();
    }
    // What is left has nothing more to take out, nor anything to cut.
    SoftCopy twice(SoftCopy::Codec::Pgs);
    const Outcome second = twice.Take(out.data(), out.size(), again);
    FUZZ_REQUIRE(second == outcome && again == out);
    FUZZ_REQUIRE(twice.BurnedSets() == 0);
  }
  FUZZ_REQUIRE(copy.KeptSets() == compositions);
  FUZZ_REQUIRE(copy.BurnedSets() <= copy.KeptSets());
}

void CheckVobSub(const std::vector<std::string_view>& packets) {
  SoftCopy copy(SoftCopy::Codec::VobSub);
  std::vector<uint8_t> out;
  int64_t packetsWithBytes = 0;
  for (std::string_view packet : packets) {
    const Outcome outcome =
        copy.Take(reinterpret_cast<const uint8_t*>(packet.data()), packet.size(), out);
    FUZZ_REQUIRE(outcome != Outcome::Failed);
    if (!packet.empty()) ++packetsWithBytes;
    if (outcome == Outcome::Written) {
      FUZZ_REQUIRE(View(out) == packet);
    } else {
      FUZZ_REQUIRE(out.empty());
    }
  }
  FUZZ_REQUIRE(copy.KeptSets() + copy.BurnedSets() == packetsWithBytes);
  FUZZ_REQUIRE(copy.DamagedPackets() <= packetsWithBytes);
}

}  // namespace

int FuzzForcedSets(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const uint8_t control = input.Byte();
  std::string_view rest = input.Rest();
  std::vector<std::string_view> packets;
  while (!rest.empty() && packets.size() < kMostPackets) {
    const std::size_t length = TakeNumber(rest, 2);
    packets.push_back(rest.substr(0, length));
    rest.remove_prefix(packets.back().size());
  }
  if (control & 1) {
    CheckVobSub(packets);
  } else {
    CheckPgs(packets);
  }
  return 0;
}

}  // namespace FUZZTARGETS
