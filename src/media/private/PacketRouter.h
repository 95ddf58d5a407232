#pragma once

// Which of the video packets a job copies as the source stores them, and
// which decoded pictures around a cut are let go: the fates of the stretches
// between keyframes (PacketFate), followed packet by packet in
// reading order. It decides; the decoder front end moves the packets.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/PacketFate.h"

struct AVFrame;
struct AVPacket;

namespace VELAVCODEC {

class PacketRouter {
 public:
  struct Setup {
    // In keyframe order; empty: every packet is decoded.
    std::vector<PacketFate> Fates;
    // The video stream's clock, which packet and picture times count in.
    int32_t BaseNum = 1, BaseDen = 1;
    // The video stream's extra data (HEVC's parameter sets), which says how
    // long the units' length fields are; valid while the source is open.
    const uint8_t* ExtraData = nullptr;
    std::size_t ExtraSize = 0;
  };
  // Forgets the stretch being read.
  void Start(Setup setup);
  bool Routes() const { return !setup_.Fates.empty(); }

  // A video packet as it is read: true when it is handed out as it is. A
  // keyframe that starts an entry of the fates sets the fate of the packets
  // up to the next one; other packets keep it.
  bool Copies(const AVPacket* packet);
  // A packet of the copied head of a decoded stretch: handed out as it is
  // and decoded too. The head ends with the first packet shown from its end
  // on (the index made sure that none after it is shown before).
  bool InCopiedHead(const AVPacket* packet);
  // A decoded picture that is not handed out: one of the copied head's (they
  // come out of the decoder first, in the order they are shown), or one from
  // the held keyframe on.
  bool DropsPicture(const AVFrame* frame);

  // The copied open keyframe whose leading pictures are decoded in place of
  // their packets: true once, for its packet.
  bool OwesLeading(const AVPacket* packet);
  // The keyframe went to the decoder and waits: the leading pictures are
  // collected, and the keyframe's own picture and those after it let go.
  void StartLeading();
  bool CollectingLeading() const { return collectingLeading_; }
  // While collecting: true for a leading picture's packet (it refers back
  // past the keyframe); anything else ends them.
  bool IsLeading(const AVPacket* packet);
  void EndLeading() { collectingLeading_ = false; }
  // The decoder started afresh: nothing it gives is from the held keyframe.
  void DecoderRestarted() { droppingFromKey_ = false; }

 private:
  bool ShownBefore(int64_t time, double until) const;

  Setup setup_;
  bool copying_ = false;
  // The head of a decoded stretch still being copied (packets), and the
  // pictures still to be let go (decoded ones of the head).
  double headUntil_ = 0.0;
  bool headPackets_ = false, headPictures_ = false;
  bool leadingOwed_ = false, collectingLeading_ = false, droppingFromKey_ = false;
  double leadingUntil_ = 0.0;
  int lengthSize_ = -1;  // of the HEVC units, read when first needed
};

}  // namespace VELAVCODEC
