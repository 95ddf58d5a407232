// Reading: decoded pictures as bottom-up BMP images, audio packets as stored.
#include <cmath>
#include <cstring>

#include "media/EntryPoints.h"
#include "media/MmxUnit.h"
#include "media/PictureScaler.h"
#include "media/VelAvCodec.h"

namespace VELAVCODEC {
namespace {

void CopyBytes(uint8_t* destination, const uint8_t* source, size_t n) {
  if (n >= 64)
    MMXUNIT::MmxCopy(destination, source, n);
  else
    std::memcpy(destination, source, n);
}

}  // namespace

uint8_t* VelAvCodec::GetNextData(int32_t& kind, int32_t& size) {
  size = 0;
  if (Packet != nullptr && !ReadFailed) {
    while (!DecoderDrained && !ReadFailed) {
      if (DecodeNextPicture()) return DeliverPicture(kind, size);
      if (ReadFailed) break;
      if (DecoderDrained) break;
      if (InputEnded) {
        // Drain: the decoder gives up the pictures it still holds.
        if (!SendToDecoder(nullptr)) DecoderDrained = true;
        continue;
      }
      const int read = Api->av_read_frame(FormatContext, Packet);
      if (read == AVERROR_EOF) {
        InputEnded = true;
        continue;
      }
      if (read < 0) {
        ReadingFailed("[VelAvCodec::GetNextData] Can't read the source file...");
        break;
      }
      if (Packet->stream_index == VideoStream) {
        SendToDecoder(Packet);
      } else if (Packet->stream_index == AudioStream && Packet->size > 0 && !SkipsAudioPacket()) {
        return DeliverAudio(kind, size);
      } else {
        Api->av_packet_unref(Packet);
      }
    }
  }
  if (ReadFailed) {
    size = -1;
    return nullptr;
  }
  ErrorText = "[VelAvCodec::GetNextData] No usable data found...";
  return nullptr;
}

// Reading ends for good on an error: every later call answers size -1.
void VelAvCodec::ReadingFailed(const char* text) {
  ErrorText = text;
  ReadFailed = true;
}

// Audio that starts before the first picture: packets that end before it are
// left out, and PCM loses the samples before it.
bool VelAvCodec::SkipsAudioPacket() {
  if (!DescribeAudioForAvi || Packet->pts == AV_NOPTS_VALUE) return false;
  const AVStream* stream = FormatContext->streams[AudioStream];
  const double base = av_q2d(stream->time_base);
  const double start = double(Packet->pts) * base;
  if (start >= VideoStartSeconds) return false;
  int64_t duration = Packet->duration;
  if (duration <= 0 && AudioSampleSize == 0 && !AudioIsPcm && AudioRate > 0)
    duration = int64_t(std::llround(double(AudioScale) / AudioRate / base));
  if (AudioIsPcm && AudioBlockAlign > 0 && AudioSampleRate > 0) {
    const int64_t early = int64_t((VideoStartSeconds - start) * AudioSampleRate);
    const int64_t cut = std::min<int64_t>(early * AudioBlockAlign, Packet->size);
    if (cut >= Packet->size) {
      Api->av_packet_unref(Packet);
      return true;
    }
    Packet->data += cut;
    Packet->size -= int(cut);
    return false;
  }
  if (duration > 0 && start + double(duration) * base <= VideoStartSeconds + 1e-9) {
    Api->av_packet_unref(Packet);
    return true;
  }
  return false;
}

// True when a picture is waiting in DecodedFrame.
bool VelAvCodec::DecodeNextPicture() {
  while (DecoderHasOutput) {
    const int result = Api->avcodec_receive_frame(VideoCodecContext, DecodedFrame);
    if (result == 0) return true;
    DecoderHasOutput = false;
    if (result == AVERROR_EOF) {
      DecoderDrained = true;
    } else if (result == AVERROR(ENOMEM)) {
      // Not a damaged picture: nothing more can be decoded.
      ReadingFailed("[VelAvCodec::GetNextData] Can't decode video: out of memory...");
      return false;
    } else if (PacketPending) {
      SendToDecoder(Packet);
      if (PacketPending) {
        // Still refused: give the packet up rather than spin.
        Api->av_packet_unref(Packet);
        PacketPending = false;
        DecoderHasOutput = false;
      }
    }
    // Otherwise the decoder wants more input, or the picture was damaged:
    // reading goes on.
  }
  return false;
}

// Hands the packet (nullptr: end of input) to the decoder. A packet the
// decoder can't take yet is kept and sent again once a picture was taken.
bool VelAvCodec::SendToDecoder(AVPacket* packet) {
  const int result = Api->avcodec_send_packet(VideoCodecContext, packet);
  PacketPending = packet != nullptr && result == AVERROR(EAGAIN);
  if (packet != nullptr && !PacketPending) Api->av_packet_unref(packet);
  DecoderHasOutput = true;
  return result >= 0 || PacketPending;
}

uint8_t* VelAvCodec::DeliverAudio(int32_t& kind, int32_t& size) {
  const size_t bytes = size_t(Packet->size);
  if (AudioBuffer.size() < bytes) AudioBuffer.resize(bytes);
  CopyBytes(AudioBuffer.data(), Packet->data, bytes);
  const int64_t origin = std::llround(StartSeconds * AudioTimeBaseDen / AudioTimeBaseNum);
  AudioPacketPts = Packet->pts == AV_NOPTS_VALUE ? kNoTime : Packet->pts - origin;
  AudioPacketDts = Packet->dts == AV_NOPTS_VALUE ? kNoTime : Packet->dts - origin;
  AudioPacketDuration = Packet->duration;
  AudioPacketKey = (Packet->flags & AV_PKT_FLAG_KEY) != 0;
  Api->av_packet_unref(Packet);
  size = int32_t(bytes);
  kind = KindAudio;
  return AudioBuffer.data();
}

uint8_t* VelAvCodec::DeliverPicture(int32_t& kind, int32_t& size) {
  kind = KindVideo;
  SetPictureTime();
  const bool scaled = ScaleToFrameBuffer();
  Api->av_frame_unref(DecodedFrame);
  if (!scaled) {
    ReadFailed = true;  // ScaleToFrameBuffer said why
    size = -1;
    return nullptr;
  }
  size = int32_t(Frame.size());
  return Frame.data();
}

void VelAvCodec::SetPictureTime() {
  const AVStream* stream = FormatContext->streams[VideoStream];
  const double base = av_q2d(stream->time_base);
  const int64_t pts = DecodedFrame->best_effort_timestamp;
  PictureTimed = pts != AV_NOPTS_VALUE;
  PictureSeconds = PictureTimed ? double(pts) * base - VideoStartSeconds : 0.0;
  PictureDurationSeconds = DecodedFrame->pkt_duration > 0
                               ? double(DecodedFrame->pkt_duration) * base
                               : 1.0 / FramesPerSecond;
}

// Converts the decoded picture to blue-green-red, bottom row first. Pictures
// whose size changed mid-stream are scaled to the opened size.
bool VelAvCodec::ScaleToFrameBuffer() {
  switch (Scaler->Scale(DecodedFrame)) {
    case PictureScaler::Result::NoContext:
      ErrorText = "[VelAvCodec::GetNextData] Can't get sws_context...";
      return false;
    case PictureScaler::Result::Failed:
      ErrorText = "[VelAvCodec::GetNextData] Can't scale image...";
      return false;
    case PictureScaler::Result::Done:
      break;
  }
  if (RgbBuffer == nullptr) return true;
  const size_t rowBytes = size_t(Width) * 3;
  for (int32_t row = 0; row < Height; ++row)
    CopyBytes(Frame.Row(Height - 1 - row), RgbBuffer + size_t(row) * RgbStride, rowBytes);
  return true;
}

}  // namespace VELAVCODEC
