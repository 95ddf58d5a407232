// Reading: decoded pictures as bottom-up BMP images, audio packets as stored.
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
  if (Packet != nullptr) {
    while (!DecoderDrained) {
      if (DecodeNextPicture()) return DeliverPicture(kind, size);
      if (DecoderDrained) break;
      if (InputEnded) {
        // Drain: the decoder gives up the pictures it still holds.
        if (!SendToDecoder(nullptr)) DecoderDrained = true;
        continue;
      }
      if (Api->av_read_frame(FormatContext, Packet) < 0) {
        InputEnded = true;
        continue;
      }
      if (Packet->stream_index == VideoStream) {
        SendToDecoder(Packet);
      } else if (Packet->stream_index == AudioStream && Packet->size > 0) {
        return DeliverAudio(kind, size);
      } else {
        Api->av_packet_unref(Packet);
      }
    }
  }
  ErrorText = "[VelAvCodec::GetNextData] No usable data found...";
  return nullptr;
}

// True when a picture is waiting in DecodedFrame.
bool VelAvCodec::DecodeNextPicture() {
  while (DecoderHasOutput) {
    const int result = Api->avcodec_receive_frame(VideoCodecContext, DecodedFrame);
    if (result == 0) return true;
    DecoderHasOutput = false;
    if (result == AVERROR_EOF) {
      DecoderDrained = true;
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
  Api->av_packet_unref(Packet);
  size = int32_t(bytes);
  kind = KindAudio;
  return AudioBuffer.data();
}

uint8_t* VelAvCodec::DeliverPicture(int32_t& kind, int32_t& size) {
  kind = KindVideo;
  const bool scaled = ScaleToFrameBuffer();
  Api->av_frame_unref(DecodedFrame);
  if (!scaled) return nullptr;
  size = int32_t(Frame.size());
  return Frame.data();
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
