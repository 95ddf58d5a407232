// Copying stretches: the video packets of a stretch no subtitle touches are
// handed out as the source stores them; the decoder sees only the others.
#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/PacketRouter.h"
#include "media/private/PictureDecoder.h"
#include "media/private/SourceReader.h"

namespace VELAVCODEC {

// The open keyframe that starts a copied stretch goes to the decoder too,
// which still holds the pictures its leading ones refer to, and waits.
bool VelAvCodec::HoldForLeading() {
  if (!Router->OwesLeading(Packet) || !VideoDecoding->FeedKeyframeAhead(Packet)) return false;
  if (WaitingCopy == nullptr && (WaitingCopy = Api->av_packet_alloc()) == nullptr) return false;
  Api->av_packet_move_ref(WaitingCopy, Packet);
  Router->StartLeading();
  return true;
}

// A leading picture that refers back is decoded and its packet let go;
// anything else ends them, and waits until the keyframe is out.
bool VelAvCodec::CollectLeading() {
  if (Router->IsLeading(Packet)) {
    VideoDecoding->Send(Packet);
    return true;
  }
  if (AfterLeading == nullptr && (AfterLeading = Api->av_packet_alloc()) == nullptr) {
    Api->av_packet_unref(Packet);
    return false;
  }
  Api->av_packet_move_ref(AfterLeading, Packet);
  return false;
}

// The packet that ended the leading pictures comes before any other.
int VelAvCodec::ReadOrResume() {
  if (AfterLeading == nullptr || AfterLeading->data == nullptr) return Reader->Read(Packet);
  Api->av_packet_move_ref(Packet, AfterLeading);
  return 0;
}

// The copied packet in Packet goes out at once when the decoder holds
// nothing; otherwise it waits while the decoder gives up its pictures.
VelAvCodec::ReadResult VelAvCodec::TakeVideoPacket() {
  if (!VideoDecoding->Fed()) return ReadResult::AsStored;
  if (WaitingCopy == nullptr && (WaitingCopy = Api->av_packet_alloc()) == nullptr) {
    ReadingFailed("[VelAvCodec::GetNextData] Can't decode video: out of memory...");
    return ReadResult::Failed;
  }
  Api->av_packet_move_ref(WaitingCopy, Packet);
  return DrainBeforeCopy();
}

// The pictures the decoder still holds come first; once it is empty, it
// starts afresh and the waiting packet goes out.
VelAvCodec::ReadResult VelAvCodec::DrainBeforeCopy() {
  while (!InputFailed) {
    if (DecodeNextPicture()) return ReadResult::Picture;
    if (InputFailed) break;
    if (!VideoDecoding->Drained()) {
      VideoDecoding->Drain();
      continue;
    }
    VideoDecoding->Restart();
    Router->DecoderRestarted();
    Api->av_packet_move_ref(Packet, WaitingCopy);
    return ReadResult::AsStored;
  }
  return ReadResult::Failed;
}

uint8_t* VelAvCodec::DeliverAsStored(AVPacket* packet, int32_t& kind, int32_t& size) {
  VideoPacketTimes.Pts = packet->pts == AV_NOPTS_VALUE ? kNoTime : packet->pts;
  VideoPacketTimes.Dts = packet->dts == AV_NOPTS_VALUE ? kNoTime : packet->dts;
  VideoPacketTimes.Duration = packet->duration;
  VideoPacketTimes.Key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
  DeliveredStream = packet->stream_index;
  kind = packet->stream_index == VideoStream ? KindVideoPacket : KindStreamPacket;
  size = packet->size;
  return packet->data;
}

}  // namespace VELAVCODEC
