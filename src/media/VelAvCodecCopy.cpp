// Copying stretches: the video packets of a stretch no subtitle touches are
// handed out as the source stores them; the decoder sees only the others.
#include <algorithm>

#include "media/EntryPoints.h"
#include "media/KeyframeIndex.h"
#include "media/NalUnits.h"
#include "media/VelAvCodec.h"

namespace VELAVCODEC {
namespace {

bool ShownBefore(int64_t time, AVRational base, double until) {
  return time != AV_NOPTS_VALUE && base.num > 0 && base.den > 0 &&
         StreamSeconds(time, base.num, base.den) < until;
}

// A decoded picture's time as its packet stated it, as the index read it.
int64_t ShownAt(const AVFrame* frame) {
  return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}

}  // namespace

// A keyframe that starts an entry of Fates sets the fate of the
// packets up to the next one; other packets keep it.
bool VelAvCodec::CopiesVideoPacket(const AVPacket* packet) {
  if (Fates.empty() || (packet->flags & AV_PKT_FLAG_KEY) == 0) return CopyingVideo;
  const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (time == AV_NOPTS_VALUE) return CopyingVideo;
  const AVRational base = FormatContext->streams[VideoStream]->time_base;
  if (base.num <= 0 || base.den <= 0) return CopyingVideo;
  const double seconds = StreamSeconds(time, base.num, base.den);
  const auto found =
      std::lower_bound(Fates.begin(), Fates.end(), seconds,
                       [](const PacketFate& fate, double at) { return fate.KeyframeSeconds < at; });
  if (found != Fates.end() && found->KeyframeSeconds == seconds) {
    CopyingVideo = found->Copied;
    HeadUntil = found->HeadUntilSeconds;
    HeadPackets = HeadPictures = !CopyingVideo && HeadUntil > seconds;
    LeadingOwed = CopyingVideo && found->EncodesLeading;
    LeadingUntil = seconds;
  }
  return CopyingVideo;
}

// The open keyframe that starts a copied stretch goes to the decoder too,
// which still holds the pictures its leading ones refer to, and waits.
bool VelAvCodec::HoldForLeading() {
  if (!LeadingOwed || (Packet->flags & AV_PKT_FLAG_KEY) == 0) return false;
  LeadingOwed = false;
  if (!DecoderFed || Api->avcodec_send_packet(VideoCodecContext, Packet) < 0) return false;
  if (WaitingCopy == nullptr && (WaitingCopy = Api->av_packet_alloc()) == nullptr) return false;
  DecoderHasOutput = true;
  Api->av_packet_move_ref(WaitingCopy, Packet);
  CollectingLeading = DroppingFromKey = true;
  return true;
}

// A leading picture that refers back is decoded and its packet let go;
// anything else ends them, and waits until the keyframe is out.
bool VelAvCodec::CollectLeading() {
  if (VideoLengthSize < 0) {
    const AVCodecParameters* parameters = FormatContext->streams[VideoStream]->codecpar;
    VideoLengthSize = NALUNITS::LengthSizeOf(
        NALUNITS::Codec::Hevc, parameters->extradata,
        parameters->extradata_size > 0 ? std::size_t(parameters->extradata_size) : 0);
  }
  if (Packet->size > 0 &&
      NALUNITS::SkipsWithoutItsKeyframe(NALUNITS::Codec::Hevc, Packet->data,
                                        std::size_t(Packet->size), VideoLengthSize)) {
    SendToDecoder(Packet);
    return true;
  }
  CollectingLeading = false;
  if (AfterLeading == nullptr && (AfterLeading = Api->av_packet_alloc()) == nullptr) {
    Api->av_packet_unref(Packet);
    return false;
  }
  Api->av_packet_move_ref(AfterLeading, Packet);
  return false;
}

bool VelAvCodec::FromHeldKeyframe(const AVFrame* frame) const {
  if (!DroppingFromKey) return false;
  const int64_t time = ShownAt(frame);
  return time != AV_NOPTS_VALUE &&
         !ShownBefore(time, FormatContext->streams[VideoStream]->time_base, LeadingUntil);
}

// The packet that ended the leading pictures comes before any other.
int VelAvCodec::ReadOrResume() {
  if (AfterLeading == nullptr || AfterLeading->data == nullptr) return ReadPacket();
  Api->av_packet_move_ref(Packet, AfterLeading);
  return 0;
}

// The head ends with the first packet shown from its end on: the index
// made sure that none after it is shown before.
bool VelAvCodec::InCopiedHead(const AVPacket* packet) {
  if (!HeadPackets) return false;
  HeadPackets = ShownBefore(packet->pts, FormatContext->streams[VideoStream]->time_base, HeadUntil);
  return HeadPackets;
}

// A packet of a copied head goes to the decoder, which keeps its own
// reference, and out as it is. The decoder takes it at once: every picture
// it had ready was taken before this packet was read.
VelAvCodec::ReadResult VelAvCodec::CopyHeadPacket() {
  DecoderFed = true;
  int result = Api->avcodec_send_packet(VideoCodecContext, Packet);
  while (result == AVERROR(EAGAIN) &&
         Api->avcodec_receive_frame(VideoCodecContext, DecodedFrame) == 0) {
    Api->av_frame_unref(DecodedFrame);
    result = Api->avcodec_send_packet(VideoCodecContext, Packet);
  }
  if (result < 0) ++damagedPictures_;
  DecoderHasOutput = true;
  return ReadResult::CopiedVideo;
}

// The head's own pictures come out of the decoder first, in the order they
// are shown; the first one past it ends them.
bool VelAvCodec::BeforeHeadEnd(const AVFrame* frame) {
  if (!HeadPictures) return false;
  HeadPictures =
      ShownBefore(ShownAt(frame), FormatContext->streams[VideoStream]->time_base, HeadUntil);
  return HeadPictures;
}

// The copied packet in Packet goes out at once when the decoder holds
// nothing; otherwise it waits while the decoder gives up its pictures.
VelAvCodec::ReadResult VelAvCodec::TakeVideoPacket() {
  if (!DecoderFed) return ReadResult::CopiedVideo;
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
    if (!DecoderDrained) {
      if (!SendToDecoder(nullptr)) DecoderDrained = true;
      continue;
    }
    Api->avcodec_flush_buffers(VideoCodecContext);
    DecoderDrained = DecoderHasOutput = DecoderFed = DroppingFromKey = false;
    Api->av_packet_move_ref(Packet, WaitingCopy);
    return ReadResult::CopiedVideo;
  }
  return ReadResult::Failed;
}

uint8_t* VelAvCodec::DeliverVideoPacket(AVPacket* packet, int32_t& kind, int32_t& size) {
  VideoPacketTimes.Pts = packet->pts == AV_NOPTS_VALUE ? kNoTime : packet->pts;
  VideoPacketTimes.Dts = packet->dts == AV_NOPTS_VALUE ? kNoTime : packet->dts;
  VideoPacketTimes.Duration = packet->duration;
  VideoPacketTimes.Key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
  kind = KindVideoPacket;
  size = packet->size;
  return packet->data;
}

}  // namespace VELAVCODEC
