#pragma once

// The video decoder's side of the reading: packets sent to it, pictures
// taken from it, and what it still holds. A packet it can't take yet is kept
// and sent again once a picture was taken; at the end of the input it is
// drained of the pictures it holds; before a copied stretch it is emptied
// and started afresh. Pictures that do not decode whole are counted.
#include <atomic>
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace VELAVCODEC {

struct EntryPoints;
class PacketRouter;

class PictureDecoder {
 public:
  struct Setup {
    AVCodecContext* Context = nullptr;  // the opened video decoder
    AVFrame* Picture = nullptr;         // where a decoded picture is left
    AVPacket* Reading = nullptr;        // the reading's packet, which a pending one is
    std::atomic<int64_t>* DamagedPictures = nullptr;
  };
  explicit PictureDecoder(const EntryPoints& api) : api_(api) {}
  // Starts with a decoder that holds nothing (also after a seek).
  void Start(const Setup& setup);

  enum class Taken { Picture, None, OutOfMemory };
  // A picture into Setup::Picture, or None when the decoder wants more
  // input (or is drained); pictures the router lets go are skipped.
  Taken Take(PacketRouter& router);
  // Hands the packet (nullptr: end of input) to the decoder; false when it
  // refused it for good.
  bool Send(AVPacket* packet);
  // A packet of the pictures to come.
  void Feed(AVPacket* packet);
  // A packet that is copied as well as decoded, for the pictures after it
  // to refer to. The decoder takes it at once: every picture it had ready
  // was taken before this packet was read.
  void FeedAlongside(AVPacket* packet);
  // A copied open keyframe sent ahead of its leading pictures; false when
  // the decoder was given nothing since it started or refused it.
  bool FeedKeyframeAhead(AVPacket* packet);
  // The end of the input: one more call asks for the pictures held.
  void Drain();
  bool Drained() const { return drained_; }
  // Whether it took packets since it last started afresh.
  bool Fed() const { return fed_; }
  // Empty (drained): forgets everything, for a copied stretch to follow.
  void Restart();

 private:
  const EntryPoints& api_;
  Setup setup_;
  bool hasOutput_ = false;
  bool drained_ = false;
  bool pending_ = false;  // refused by a full decoder, sent again later
  bool fed_ = false;
};

}  // namespace VELAVCODEC
