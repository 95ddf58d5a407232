// Reading: decoded pictures as bottom-up BMP images, audio packets as stored.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/MmxUnit.h"
#include "media/private/PacketRouter.h"
#include "media/private/PictureDecoder.h"
#include "media/private/PictureScaler.h"
#include "media/private/ReadAheadQueue.h"

namespace VELAVCODEC {
namespace {

void CopyBytes(uint8_t* destination, const uint8_t* source, size_t n) {
  if (n >= 64)
    MMXUNIT::MmxCopy(destination, source, n);
  else
    std::memcpy(destination, source, n);
}

// A packet handed out as the source stores it, with its times.
template <typename Times>
void PacketDelivery(VelAvCodec::Delivery& delivery, VelAvCodec::Delivery::Kind kind,
                    const AVPacket* packet, const Times& times) {
  delivery.What = kind;
  delivery.Packet = packet;
  delivery.Pts = times.Pts;
  delivery.Dts = times.Dts;
  delivery.Duration = times.Duration;
  delivery.Key = times.Key;
}

}  // namespace

uint8_t* VelAvCodec::GetNextData(int32_t& kind, int32_t& size) {
  size = 0;
  ReleasePlanarPicture();
  if (DeliveredCopy != nullptr) Api->av_packet_unref(DeliveredCopy);
  if (ReadFailed) return DeliverEnd(true, InputError, size);
  if (Ahead != nullptr && Ahead->Running()) return TakeAhead(kind, size);
  switch (ReadNext()) {
    case ReadResult::Picture:
      return DeliverPicture(DecodedFrame, kind, size);
    case ReadResult::Audio:
      return DeliverAudio(Packet, kind, size, true);
    case ReadResult::AsStored:
      // Kept by reference until the next call, as reading ahead keeps it.
      if (DeliveredCopy == nullptr && (DeliveredCopy = Api->av_packet_alloc()) == nullptr) {
        Api->av_packet_unref(Packet);
        return DeliverEnd(true, "[VelAvCodec::GetNextData] Can't decode video: out of memory...",
                          size);
      }
      Api->av_packet_move_ref(DeliveredCopy, Packet);
      return DeliverAsStored(DeliveredCopy, kind, size);
    case ReadResult::Failed:
      return DeliverEnd(true, InputError, size);
    case ReadResult::End:
      break;
  }
  return DeliverEnd(false, "", size);
}

VelAvCodec::Delivery VelAvCodec::Deliver() {
  Delivery delivery;
  int32_t kind = 0;
  delivery.Data = GetNextData(kind, delivery.Size);
  if (delivery.Data == nullptr || delivery.Size <= 0) return delivery;
  if (kind == KindVideo) {
    delivery.What = Delivery::Kind::Picture;
    delivery.Timed = DeliveredTime.Timed;
    delivery.Seconds = DeliveredTime.Seconds;
    delivery.DurationSeconds = DeliveredTime.DurationSeconds;
    delivery.Planar = DeliveredPlanar();
    delivery.Pts = PicturePts;
  } else if (kind == KindVideoPacket || kind == KindStreamPacket) {
    const AVPacket* copied = DeliveredCopy != nullptr && DeliveredCopy->data != nullptr
                                 ? DeliveredCopy
                                 : DeliveredAudioPacket();
    const bool video = kind == KindVideoPacket;
    PacketDelivery(delivery, video ? Delivery::Kind::VideoPacket : Delivery::Kind::StreamPacket,
                   copied, VideoPacketTimes);
    if (!video) delivery.Stream = DeliveredStream;
  } else if (kind == KindAudio) {
    PacketDelivery(delivery, Delivery::Kind::Audio, DeliveredAudioPacket(), AudioTimes);
  }
  return delivery;
}

// The next picture (left in DecodedFrame) or audio packet (left in Packet).
// Nothing here touches what the caller reads, so that it can run on the
// read-ahead thread.
VelAvCodec::ReadResult VelAvCodec::ReadNext() {
  if (Packet == nullptr || InputFailed) return InputFailed ? ReadResult::Failed : ReadResult::End;
  return DecodeUntilItem(Items::PicturesAndSound);
}

// Reads and decodes until a picture (or, for the job, an audio packet) is
// ready. While a still is sought a read error just ends the input: the
// picture is then missing, which the caller reports.
VelAvCodec::ReadResult VelAvCodec::DecodeUntilItem(Items items) {
  const bool job = items == Items::PicturesAndSound;
  if (WaitingCopy != nullptr && WaitingCopy->data != nullptr && !Router->CollectingLeading())
    return DrainBeforeCopy();
  while (!VideoDecoding->Drained() && !InputFailed) {
    if (DecodeNextPicture()) return ReadResult::Picture;
    if (InputFailed || VideoDecoding->Drained()) break;
    if (InputEnded) {
      // Drain: the decoder gives up the pictures it still holds.
      VideoDecoding->Drain();
      continue;
    }
    const int read = ReadOrResume();
    if (read == AVERROR_EOF || (read < 0 && !job)) {
      InputEnded = true;
      // The held keyframe goes out after the last leading picture.
      if (Router->CollectingLeading()) {
        Router->EndLeading();
        return DrainBeforeCopy();
      }
      continue;
    }
    if (read < 0) {
      ReadingFailed("[VelAvCodec::GetNextData] Can't read the source file...");
      break;
    }
    const bool video = Packet->stream_index == VideoStream;
    if (video && job && Router->CollectingLeading()) {
      if (CollectLeading()) continue;
      return DrainBeforeCopy();
    }
    if (video && job && Router->Copies(Packet)) {
      if (ClipDropsPacket(Packet, false)) {
        Api->av_packet_unref(Packet);
        continue;
      }
      if (Packet->size > 0 && HoldForLeading()) continue;
      if (Packet->size > 0) return TakeVideoPacket();
      Api->av_packet_unref(Packet);
    } else if (video && job && Router->InCopiedHead(Packet) && Packet->size > 0) {
      VideoDecoding->FeedAlongside(Packet);
      if (ClipDropsPacket(Packet, false)) {
        Api->av_packet_unref(Packet);
        continue;
      }
      return ReadResult::AsStored;
    } else if (video) {
      VideoDecoding->Feed(Packet);
    } else if (job && Packet->stream_index == AudioStream && Packet->size > 0 &&
               !SkipsAudioPacket()) {
      CheckAudioPacket(Packet);
      return ReadResult::Audio;
    } else if (job && Packet->size > 0 && KeepsStream(Packet->stream_index) &&
               !ClipDropsPacket(Packet, IsSoundStream(Packet->stream_index))) {
      return ReadResult::AsStored;
    } else {
      Api->av_packet_unref(Packet);
    }
  }
  return InputFailed ? ReadResult::Failed : ReadResult::End;
}

bool VelAvCodec::IsSoundStream(int stream) const {
  return FormatContext->streams[stream]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool VelAvCodec::KeepsStream(int stream) const {
  return stream != VideoStream && stream != AudioStream &&
         std::binary_search(Kept.begin(), Kept.end(), stream);
}

// Reading ends for good on an error: every later call answers size -1.
uint8_t* VelAvCodec::DeliverEnd(bool failed, const char* error, int32_t& size) {
  if (failed || ReadFailed) {
    if (!ReadFailed) ErrorText = error;
    ReadFailed = true;
    size = -1;
    return nullptr;
  }
  ErrorText = "[VelAvCodec::GetNextData] No usable data found...";
  return nullptr;
}

void VelAvCodec::ReadingFailed(const char* text) {
  InputError = text;
  InputFailed = true;
}

// Audio that starts before the first picture: packets that end before it are
// left out, and PCM loses the samples before it.
bool VelAvCodec::SkipsAudioPacket() {
  if (ClipDropsPacket(Packet, true)) {
    Api->av_packet_unref(Packet);
    return true;
  }
  if (!AudioForAvi || Packet->pts == AV_NOPTS_VALUE) return false;
  const AVStream* stream = FormatContext->streams[AudioStream];
  const double base = av_q2d(stream->time_base);
  const double start = double(Packet->pts) * base;
  // An AVI's sound starts with its first picture, a clip's first one too.
  const double first = VideoStartSeconds + Clip.FromSeconds;
  if (start >= first) return false;
  int64_t duration = Packet->duration;
  if (duration <= 0 && AudioSampleSize == 0 && !AudioIsPcm && AudioRate > 0)
    duration = int64_t(std::llround(double(AudioScale) / AudioRate / base));
  if (AudioIsPcm && AudioBlockAlign > 0 && AudioSampleRate > 0) {
    const int64_t early = int64_t((first - start) * AudioSampleRate);
    const int64_t cut = std::min<int64_t>(early * AudioBlockAlign, Packet->size);
    if (cut >= Packet->size) {
      Api->av_packet_unref(Packet);
      return true;
    }
    Packet->data += cut;
    Packet->size -= int(cut);
    return false;
  }
  if (duration > 0 && start + double(duration) * base <= first + 1e-9) {
    Api->av_packet_unref(Packet);
    return true;
  }
  return false;
}

// True when a picture is waiting in DecodedFrame.
bool VelAvCodec::DecodeNextPicture() {
  for (;;) {
    switch (VideoDecoding->Take(*Router)) {
      case PictureDecoder::Taken::Picture:
        if (!ClipDropsPicture(DecodedFrame)) return true;
        Api->av_frame_unref(DecodedFrame);
        continue;
      case PictureDecoder::Taken::OutOfMemory:
        ReadingFailed("[VelAvCodec::GetNextData] Can't decode video: out of memory...");
        return false;
      case PictureDecoder::Taken::None:
        break;
    }
    return false;
  }
}

// The audio decoder sees every packet that is copied, so that one it
// refuses (damaged) is counted; what it decodes is let go.
void VelAvCodec::CheckAudioPacket(const AVPacket* packet) {
  if (AudioCodecContext == nullptr) return;
  if (AudioCheckFrame == nullptr && (AudioCheckFrame = Api->av_frame_alloc()) == nullptr) return;
  int result = Api->avcodec_send_packet(AudioCodecContext, packet);
  if (result == AVERROR(EAGAIN)) {
    while (Api->avcodec_receive_frame(AudioCodecContext, AudioCheckFrame) >= 0)
      Api->av_frame_unref(AudioCheckFrame);
    result = Api->avcodec_send_packet(AudioCodecContext, packet);
  }
  bool damaged = result < 0 && result != AVERROR(EAGAIN);
  for (;;) {
    const int received = Api->avcodec_receive_frame(AudioCodecContext, AudioCheckFrame);
    if (received < 0) {
      damaged = damaged || (received != AVERROR(EAGAIN) && received != AVERROR_EOF);
      break;
    }
    if (AudioCheckFrame->decode_error_flags != 0 ||
        (AudioCheckFrame->flags & AV_FRAME_FLAG_CORRUPT))
      damaged = true;
    Api->av_frame_unref(AudioCheckFrame);
  }
  if (damaged) ++damagedAudio_;
}

// copy: the bytes go into the audio buffer and the packet is emptied;
// otherwise the packet is handed out as it is and must stay until the next
// call.
uint8_t* VelAvCodec::DeliverAudio(AVPacket* packet, int32_t& kind, int32_t& size, bool copy) {
  const size_t bytes = size_t(packet->size);
  uint8_t* data = packet->data;
  if (copy) {
    if (AudioBuffer.size() < bytes) AudioBuffer.resize(bytes);
    CopyBytes(AudioBuffer.data(), packet->data, bytes);
    data = AudioBuffer.data();
  }
  const int64_t origin = std::llround(StartSeconds * AudioTimeBaseDen / AudioTimeBaseNum);
  AudioTimes.Pts = packet->pts == AV_NOPTS_VALUE ? kNoTime : packet->pts - origin;
  AudioTimes.Dts = packet->dts == AV_NOPTS_VALUE ? kNoTime : packet->dts - origin;
  AudioTimes.Duration = packet->duration;
  AudioTimes.Key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
  if (copy) Api->av_packet_unref(packet);
  size = int32_t(bytes);
  kind = KindAudio;
  return data;
}

uint8_t* VelAvCodec::DeliverPicture(AVFrame* picture, int32_t& kind, int32_t& size) {
  kind = KindVideo;
  SetPictureTime(picture);
  if (!CropPicture(picture) || !MapTones(picture)) {
    Api->av_frame_unref(picture);
    ErrorText = kCantScaleText;
    ReadFailed = true;
    size = -1;
    return nullptr;
  }
  if (CanDeliverPlanar(picture) && HoldPlanarPicture(picture)) {
    size = int32_t(Frame.size());
    return Frame.data();
  }
  const bool scaled = ScaleToFrameBuffer(picture);
  Api->av_frame_unref(picture);
  if (!scaled) {
    ReadFailed = true;  // ScaleToFrameBuffer said why
    size = -1;
    return nullptr;
  }
  size = int32_t(Frame.size());
  return Frame.data();
}

void VelAvCodec::SetPictureTime(const AVFrame* picture) {
  const AVStream* stream = FormatContext->streams[VideoStream];
  const double base = av_q2d(stream->time_base);
  const int64_t pts = picture->best_effort_timestamp;
  DeliveredTime.Timed = pts != AV_NOPTS_VALUE;
  PicturePts = DeliveredTime.Timed ? pts : kNoTime;
  DeliveredTime.Seconds = DeliveredTime.Timed ? double(pts) * base - VideoStartSeconds : 0.0;
  DeliveredTime.DurationSeconds =
      picture->pkt_duration > 0 ? double(picture->pkt_duration) * base : 1.0 / FramesPerSecond;
}

// Converts the decoded picture to blue-green-red, bottom row first. Pictures
// whose size changed mid-stream are scaled to the opened size.
bool VelAvCodec::ScaleToFrameBuffer(const AVFrame* picture) {
  switch (Scaler->Scale(picture)) {
    case PictureScaler::Result::NoContext:
      ErrorText = "[VelAvCodec::GetNextData] Can't get sws_context...";
      return false;
    case PictureScaler::Result::Failed:
      ErrorText = kCantScaleText;
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
