#pragma once

// The soft copy of a picture subtitle track whose forced pictures are burned
// into the video. When a job burns only the forced pictures of a PGS
// (hdmv_pgs_subtitle) or VobSub (dvd_subtitle) track, the output also keeps
// the track as a soft track, and that copy must not show the burned pictures
// again: a viewer who turns it on would see each forced line twice, once in
// the picture and once over it.
//
// Bytes in, bytes out: the unit knows no container and no library, so the
// muxer hands it each packet of the track as the source stores it and writes
// what it gives back in its place, with the input packet's time, duration and
// flags. The unit holds nothing between packets (every packet's answer is
// known from its own bytes), so there is nothing left to flush at the end.
//
// PGS: a packet holds one or more whole segments, each a type byte, a 16-bit
// big-endian length and that many bytes, as libavformat gives them: one
// segment a packet from a .sup file (its "PG" and time stamps taken off),
// one display set a block from Matroska, or several sets. The .sup file's
// own "PG" headers are not part of them: its bytes must be split as its
// demuxer splits them. In every presentation composition segment the
// composition objects with the forced flag are taken out and the object
// count put right; everything else is written unchanged, object definitions
// included, so each later set of an epoch still finds every object it shows,
// whatever the forced sets before it showed. A set left with no objects
// clears the screen: what it showed is in the picture already.
//
// VobSub: a packet is one subpicture unit. One whose control sequences hold
// the forced start command (0x00) is the one the forced-only burning draws,
// and is left out whole; every other packet is written unchanged. A player
// that shows a VobSub picture until the next one (no stop command) then shows
// the picture before a left-out one until the next kept one. A change of
// colours and contrast (0x07) is passed over by its own size; libavcodec 5.1
// ends a sequence there instead, so a unit whose forced start comes after
// one is drawn by neither the burning nor, being left out, the soft copy.
//
// Damage is never a failure: a segment whose length runs past its packet is
// cut off with what follows it in the packet (a decoder cannot read it, and
// half a composition could still show a forced object to a lenient one); a
// composition whose count names more objects than it holds keeps the whole
// ones it holds; a segment too short for a composition's header holds no
// object and passes. A VobSub packet whose control sequences cannot be walked
// to their end is judged by what could be read of them. Every damaged packet
// is counted.
//
// Typical use, one SoftCopy for each kept track:
//
//   FORCEDSETS::SoftCopy copy(FORCEDSETS::SoftCopy::Codec::Pgs);
//   std::vector<uint8_t> bytes;  // reused: no allocation once it has grown
//   switch (copy.Take(packet->data, packet->size, bytes)) {
//     case FORCEDSETS::SoftCopy::Outcome::Written: /* write bytes at packet's time */ break;
//     case FORCEDSETS::SoftCopy::Outcome::LeftOut: /* write nothing */ break;
//     case FORCEDSETS::SoftCopy::Outcome::Failed: /* out of memory: fail the job */ break;
//   }
#include <cstddef>
#include <cstdint>
#include <vector>

namespace FORCEDSETS {

class SoftCopy {
 public:
  enum class Codec { Pgs, VobSub };

  enum class Outcome {
    Written,  // `out` holds the packet to write in the input's place
    LeftOut,  // nothing goes in the input's place; `out` is empty
    Failed,   // no memory for `out`: a fault of ours, never of the input's
  };

  explicit SoftCopy(Codec codec) : codec_(codec) {}

  // One packet of the track (data may be null when size is 0). `out` is
  // replaced, its capacity kept. A PGS packet is LeftOut only when nothing
  // whole is left of it.
  Outcome Take(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out);

  // PGS: presentation compositions from which forced objects were taken out.
  // VobSub: packets left out.
  int64_t BurnedSets() const { return burned_; }
  // PGS: presentation compositions written, the burned ones among them (they
  // are written with the objects that were not forced, or none). VobSub:
  // packets written.
  int64_t KeptSets() const { return kept_; }
  // Packets that were cut, mended or could not be read to their end.
  int64_t DamagedPackets() const { return damaged_; }

 private:
  Outcome TakePgs(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out);
  Outcome TakeVobSub(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out);

  Codec codec_;
  int64_t burned_ = 0, kept_ = 0, damaged_ = 0;
};

}  // namespace FORCEDSETS
