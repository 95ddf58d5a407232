// Reading a clip of the source: a seek to the keyframe before its start,
// and what the reading lets go on either side of it.
#include <cmath>

#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/PictureDecoder.h"
#include "media/private/SourceReader.h"

namespace VELAVCODEC {
namespace {

// The index of an MP4 names its keyframes by their decoding times, which
// run ahead of the pictures' by the reordering: a seek this much before the
// start still lands on the keyframe before it.
constexpr double kSeekLeadSeconds = 1.0;

// Times within this of the clip's edges count as on them: Matroska keeps
// milliseconds.
constexpr double kEdgeSeconds = 1.0e-3;

}  // namespace

void VelAvCodec::StartClip(double fromSeconds, double toSeconds) {
  Clip = {};
  if (!(fromSeconds > 0.0) && !(toSeconds < kWholeSource)) return;
  Clip.Asked = true;
  Clip.FromSeconds = std::max(fromSeconds, 0.0);
  Clip.ToSeconds = toSeconds;
  Clip.SoundDone = AudioStream < 0;
  if (!(fromSeconds > 0.0) || Packet == nullptr || VideoStream < 0) return;
  const AVStream* stream = FormatContext->streams[VideoStream];
  const double base = av_q2d(stream->time_base);
  const double target = (VideoStartSeconds + Clip.FromSeconds - kSeekLeadSeconds) / base;
  // A source that can't seek (a pipe) is read from its start instead.
  if (!(base > 0.0) || !(std::fabs(target) < 9.0e18)) return;
  if (!SeekBefore(std::llround(target))) return;
  if (AudioCodecContext != nullptr) Api->avcodec_flush_buffers(AudioCodecContext);
}

// A packet's time on the pictures' clock (its end, when `ending` and it
// states how long it lasts); NaN when it has none.
double VelAvCodec::PacketSeconds(const AVPacket* packet, bool ending) const {
  const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (time == AV_NOPTS_VALUE) return std::nan("");
  const double base = av_q2d(FormatContext->streams[packet->stream_index]->time_base);
  const int64_t length = ending && packet->duration > 0 ? packet->duration : 0;
  return (double(time) + double(length)) * base - VideoStartSeconds;
}

bool VelAvCodec::ClipDropsPicture(const AVFrame* picture) {
  if (!Clip.Asked) return false;
  if (Clip.PicturesDone) return true;
  const int64_t pts = picture->best_effort_timestamp;
  if (pts == AV_NOPTS_VALUE) return false;
  const double seconds =
      double(pts) * av_q2d(FormatContext->streams[VideoStream]->time_base) - VideoStartSeconds;
  if (seconds < Clip.FromSeconds - kEdgeSeconds) return true;
  if (seconds < Clip.ToSeconds - kEdgeSeconds) return false;
  // The decoder gives its pictures in the order they are shown.
  Clip.PicturesDone = true;
  EndClipWhenDone();
  return true;
}

// sound: the packet that covers the start stays; of other streams the
// packets from the start on.
bool VelAvCodec::ClipDropsPacket(const AVPacket* packet, bool sound) {
  if (!Clip.Asked) return false;
  const double start = PacketSeconds(packet, false);
  if (std::isnan(start)) return false;
  if (start >= Clip.ToSeconds - kEdgeSeconds) {
    if (packet->stream_index == AudioStream) {
      Clip.SoundDone = true;
      EndClipWhenDone();
    }
    return true;
  }
  const double edge = sound ? PacketSeconds(packet, true) : start + kEdgeSeconds;
  return edge <= Clip.FromSeconds;
}

// What follows in the file is past the clip: the input ends here, and the
// decoder gives up what it holds (let go too).
void VelAvCodec::EndClipWhenDone() {
  if (Clip.PicturesDone && Clip.SoundDone) InputEnded = true;
}

}  // namespace VELAVCODEC
