#pragma once

#include <cstdint>

namespace VELAVCODEC {

// For a job that copies the stretches of the video no subtitle touches
// (the decoder's ReadingSetup). Each entry names a keyframe by its time (as
// ReadKeyframeIndex gives it, in order) and whether the video packets from
// it to the next entry's keyframe, in reading order, are handed out as the
// source stores them (KindVideoPacket) rather than decoded. Before a
// copied stretch the decoder gives up every picture it still holds, and
// it starts afresh after. Empty, as after Close: every packet is decoded.
// A decoded stretch may begin with a copied head: its packets shown
// before HeadUntilSeconds (a cut time of the index) are handed out as
// they are and decoded too, for the pictures after them to refer to;
// their pictures are not handed out.
// A copied stretch may start on an open keyframe whose leading pictures
// (HEVC's that refer back) are decoded and handed out in place of their
// packets, for the stretch before to encode; the keyframe's packet then
// waits until they are out.
struct PacketFate {
  double KeyframeSeconds = 0.0;
  bool Copied = false;
  double HeadUntilSeconds = 0.0;  // no head unless past KeyframeSeconds
  bool EncodesLeading = false;
};

}  // namespace VELAVCODEC
