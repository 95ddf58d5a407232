// Reading ahead of the pictures for a subtitle track. Containers may store a
// subtitle packet well after the pictures it belongs to (an MP4's chunks
// come a second or more apart), so while a track is collected the packets
// are read some seconds of the source ahead of those handed on: the track's
// packets are collected as soon as they are read, the others wait their
// turn in the order they were read.
#include "media/EntryPoints.h"
#include "media/VelAvCodec.h"

namespace VELAVCODEC {
namespace {

// How far ahead, in the source's seconds, and at most how many packets
// wait (a bound for files whose times jump).
constexpr double kLookAheadSeconds = 3.0;
constexpr size_t kMostHeldPackets = 4096;

}  // namespace

// The packet's time in seconds, false when it has none.
bool VelAvCodec::PacketSeconds(const AVPacket* packet, double& seconds) const {
  const int64_t time = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
  if (time == AV_NOPTS_VALUE) return false;
  seconds = double(time) * av_q2d(FormatContext->streams[packet->stream_index]->time_base);
  return true;
}

// The next packet into Packet: av_read_frame's result.
int VelAvCodec::ReadPacket() {
  if (SubtitleStream < 0) return Api->av_read_frame(FormatContext, Packet);
  FillLookAhead();
  if (LookAhead.Held.empty()) return LookAhead.EndResult;
  AVPacket* first = LookAhead.Held.front();
  LookAhead.Held.pop_front();
  Api->av_packet_move_ref(Packet, first);
  LookAhead.Spare.push_back(first);
  return 0;
}

// Reads until the packets held reach far enough past the first of them, or
// the reading ends.
void VelAvCodec::FillLookAhead() {
  PacketLookAhead& ahead = LookAhead;
  while (ahead.EndResult == 0 && ahead.Held.size() < kMostHeldPackets) {
    double first = 0.0;
    if (!ahead.Held.empty() && (!PacketSeconds(ahead.Held.front(), first) ||
                                ahead.ReadSeconds - first >= kLookAheadSeconds))
      return;
    AVPacket* packet = SparePacket();
    if (packet == nullptr) {
      ahead.EndResult = AVERROR(ENOMEM);
      return;
    }
    const int read = Api->av_read_frame(FormatContext, packet);
    if (read < 0) {
      ahead.EndResult = read;
      ahead.Spare.push_back(packet);
      return;
    }
    if (packet->stream_index == SubtitleStream ||
        (packet->stream_index != VideoStream && packet->stream_index != AudioStream)) {
      if (packet->stream_index == SubtitleStream) CollectSubtitlePacket(packet);
      Api->av_packet_unref(packet);
      ahead.Spare.push_back(packet);
      continue;
    }
    double seconds = 0.0;
    if (PacketSeconds(packet, seconds) && (ahead.Held.empty() || seconds > ahead.ReadSeconds))
      ahead.ReadSeconds = seconds;
    ahead.Held.push_back(packet);
  }
}

AVPacket* VelAvCodec::SparePacket() {
  if (LookAhead.Spare.empty()) return Api->av_packet_alloc();
  AVPacket* packet = LookAhead.Spare.back();
  LookAhead.Spare.pop_back();
  return packet;
}

// Before a seek, and when the source closes.
void VelAvCodec::DropLookAhead(bool freeAll) {
  for (AVPacket* packet : LookAhead.Held) {
    Api->av_packet_unref(packet);
    LookAhead.Spare.push_back(packet);
  }
  LookAhead.Held.clear();
  LookAhead.EndResult = 0;
  LookAhead.ReadSeconds = 0.0;
  if (!freeAll) return;
  for (AVPacket* packet : LookAhead.Spare) Api->av_packet_free(&packet);
  LookAhead.Spare.clear();
}

}  // namespace VELAVCODEC
