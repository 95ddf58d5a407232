// Reading a clip of the source: a seek to the keyframe before its start,
// and what the reading lets go on either side of it.
#include <algorithm>
#include <climits>
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

// A line of the drawn track shown at the clip's start began at most this
// long before it (a disc's subtitle picture stays until the next one).
constexpr double kTrackLookBackSeconds = 60.0;
// The track's packets are read this far past the start: a container may
// store them after the pictures they belong to.
constexpr double kTrackReadPastSeconds = 5.0;

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
  CollectTrackBeforeClip();
  if (!SeekBefore(std::llround(target))) return;
  if (AudioCodecContext != nullptr) Api->avcodec_flush_buffers(AudioCodecContext);
}

// The drawn track's packets from a while before the start up to it, read
// without decoding anything: the reading from the keyframe before the start
// would miss a line that began earlier.
void VelAvCodec::CollectTrackBeforeClip() {
  if (SubtitleStream < 0) return;
  const double base = av_q2d(FormatContext->streams[VideoStream]->time_base);
  const double from =
      std::max(VideoStartSeconds + Clip.FromSeconds - kTrackLookBackSeconds, 0.0) / base;
  if (!(std::fabs(from) < 9.0e18) ||
      Api->av_seek_frame(FormatContext, VideoStream, std::llround(from), AVSEEK_FLAG_BACKWARD) < 0)
    return;
  const AVStream* track = FormatContext->streams[SubtitleStream];
  int64_t lastMs = INT64_MIN;
  while (Api->av_read_frame(FormatContext, Packet) >= 0) {
    const double seconds = PacketSeconds(Packet, false);
    SUBTITLETRACK::TrackPacket collected;
    if (Packet->stream_index == SubtitleStream && seconds < Clip.FromSeconds &&
        TrackPacketOf(Packet, track, VideoStartSeconds, collected)) {
      lastMs = std::max(lastMs, collected.StartMs);
      Subtitles.Add(std::move(collected));
    }
    Api->av_packet_unref(Packet);
    if (seconds > Clip.FromSeconds + kTrackReadPastSeconds) break;
  }
  Reader->CollectedUntil(lastMs);
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
