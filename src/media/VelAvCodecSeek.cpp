// Finding one picture by its time: a seek to the key frame before it, then
// decoding forward with the pictures' timestamps telling their numbers.
#include "media/EntryPoints.h"
#include "media/VelAvCodec.h"

namespace VELAVCODEC {
namespace {

constexpr const char* kNoPicture = "[VelAvCodec::SeekPicture] No picture at that time...";

int64_t FirstTimestamp(const AVStream* stream) {
  return stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
}

}  // namespace

uint8_t* VelAvCodec::SeekPicture(int32_t index, SeekResult& result) {
  result = SeekResult::Missing;
  ErrorText = kNoPicture;
  if (Packet == nullptr || index < 0) return nullptr;
  result = SeekResult::Uncounted;
  if (!SeekBefore(index)) return nullptr;
  const AVStream* stream = FormatContext->streams[VideoStream];
  const int64_t first = FirstTimestamp(stream);
  // Ticks of the stream's time base per picture, as a fraction.
  const int64_t perPicture = int64_t(VideoScale) * stream->time_base.den;
  const int64_t picturesPerTick = int64_t(VideoRate) * stream->time_base.num;
  int64_t previous = -1;
  while (DecodeNextVideoPicture()) {
    const int64_t time = DecodedFrame->best_effort_timestamp;
    const int64_t number =
        time == AV_NOPTS_VALUE ? -1 : Api->av_rescale(time - first, picturesPerTick, perPicture);
    // A picture the timestamps do not number one after the other.
    if (time == AV_NOPTS_VALUE || (previous < 0 && number > index) ||
        (previous >= 0 && number != previous + 1)) {
      Api->av_frame_unref(DecodedFrame);
      return nullptr;
    }
    if (number == index) {
      int32_t kind = 0, size = 0;
      uint8_t* picture = DeliverPicture(kind, size);
      result = picture != nullptr ? SeekResult::Found : SeekResult::Missing;
      return picture;
    }
    previous = number;
    Api->av_frame_unref(DecodedFrame);
  }
  // Pictures were counted up to the end without reaching the index.
  if (previous >= 0) result = SeekResult::Missing;
  ErrorText = kNoPicture;
  return nullptr;
}

// To the key frame at or before the picture's time, with the decoder emptied.
bool VelAvCodec::SeekBefore(int32_t index) {
  const AVStream* stream = FormatContext->streams[VideoStream];
  if (stream->time_base.num <= 0 || stream->time_base.den <= 0 || VideoRate <= 0) return false;
  const int64_t time =
      FirstTimestamp(stream) + Api->av_rescale(index, int64_t(VideoScale) * stream->time_base.den,
                                               int64_t(VideoRate) * stream->time_base.num);
  if (Api->av_seek_frame(FormatContext, VideoStream, time, AVSEEK_FLAG_BACKWARD) < 0) return false;
  Api->avcodec_flush_buffers(VideoCodecContext);
  Api->av_packet_unref(Packet);
  InputEnded = DecoderDrained = DecoderHasOutput = PacketPending = false;
  return true;
}

// The next decoded picture into DecodedFrame; packets of other streams are
// dropped.
bool VelAvCodec::DecodeNextVideoPicture() {
  while (!DecoderDrained) {
    if (DecodeNextPicture()) return true;
    if (DecoderDrained) break;
    if (InputEnded) {
      if (!SendToDecoder(nullptr)) DecoderDrained = true;
      continue;
    }
    if (Api->av_read_frame(FormatContext, Packet) < 0) {
      InputEnded = true;
      continue;
    }
    if (Packet->stream_index == VideoStream)
      SendToDecoder(Packet);
    else
      Api->av_packet_unref(Packet);
  }
  return false;
}

}  // namespace VELAVCODEC
