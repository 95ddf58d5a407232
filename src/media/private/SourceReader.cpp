#include "media/private/SourceReader.h"

#include <algorithm>
#include <cmath>

#include "media/private/EntryPoints.h"

namespace VELAVCODEC {
namespace {

// How far ahead, in the source's seconds, and at most how many packets
// wait (a bound for files whose times jump).
constexpr double kLookAheadSeconds = 3.0;
constexpr size_t kMostHeldPackets = 4096;

}  // namespace

bool TrackPacketOf(const AVPacket* packet, const AVStream* stream, double videoStartSeconds,
                   SUBTITLETRACK::TrackPacket& collected) {
  if (packet->data == nullptr || packet->size <= 0) return false;
  const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (pts == AV_NOPTS_VALUE) return false;
  const double base = av_q2d(stream->time_base);
  const double startMs = (double(pts) * base - videoStartSeconds) * 1000.0;
  const double durationMs = packet->duration > 0 ? double(packet->duration) * base * 1000.0 : 0.0;
  if (!std::isfinite(startMs) || std::fabs(startMs) > 1e15 || !(durationMs < 1e15)) return false;
  collected.Text.assign(reinterpret_cast<const char*>(packet->data), size_t(packet->size));
  collected.StartMs = std::llround(startMs);
  collected.DurationMs = std::llround(durationMs);
  return true;
}

SourceReader::~SourceReader() { Release(); }

void SourceReader::Start(const Setup& setup) {
  Drop();
  setup_ = setup;
  collectedUntilMs_ = INT64_MIN;
}

int SourceReader::Read(AVPacket* packet) {
  if (setup_.SubtitleStream < 0) return api_.av_read_frame(setup_.Format, packet);
  FillLookAhead();
  if (held_.empty()) return endResult_;
  AVPacket* first = held_.front();
  held_.pop_front();
  api_.av_packet_move_ref(packet, first);
  spare_.push_back(first);
  return 0;
}

bool SourceReader::PacketSeconds(const AVPacket* packet, double& seconds) const {
  const int64_t time = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
  if (time == AV_NOPTS_VALUE) return false;
  seconds = double(time) * av_q2d(setup_.Format->streams[packet->stream_index]->time_base);
  return true;
}

// Reads until the packets held reach far enough past the first of them, or
// the reading ends.
void SourceReader::FillLookAhead() {
  while (endResult_ == 0 && held_.size() < kMostHeldPackets) {
    double first = 0.0;
    if (!held_.empty() &&
        (!PacketSeconds(held_.front(), first) || readSeconds_ - first >= kLookAheadSeconds))
      return;
    AVPacket* packet = SparePacket();
    if (packet == nullptr) {
      endResult_ = AVERROR(ENOMEM);
      return;
    }
    const int read = api_.av_read_frame(setup_.Format, packet);
    if (read < 0) {
      endResult_ = read;
      spare_.push_back(packet);
      return;
    }
    const int stream = packet->stream_index;
    if (stream == setup_.SubtitleStream) Collect(packet);
    if (!Read(stream)) {
      api_.av_packet_unref(packet);
      spare_.push_back(packet);
      continue;
    }
    double seconds = 0.0;
    if (PacketSeconds(packet, seconds) && (held_.empty() || seconds > readSeconds_))
      readSeconds_ = seconds;
    held_.push_back(packet);
  }
}

// Whether a stream's packets go on to the reading (the collected track's
// only when it is kept as well).
bool SourceReader::Read(int stream) const {
  return stream == setup_.VideoStream || stream == setup_.AudioStream ||
         (setup_.Kept != nullptr &&
          std::binary_search(setup_.Kept->begin(), setup_.Kept->end(), stream));
}

void SourceReader::Collect(const AVPacket* packet) {
  SUBTITLETRACK::TrackPacket collected;
  if (setup_.Collected != nullptr &&
      TrackPacketOf(packet, setup_.Format->streams[setup_.SubtitleStream], setup_.VideoStartSeconds,
                    collected) &&
      collected.StartMs > collectedUntilMs_)
    setup_.Collected->Add(std::move(collected));
}

AVPacket* SourceReader::SparePacket() {
  if (spare_.empty()) return api_.av_packet_alloc();
  AVPacket* packet = spare_.back();
  spare_.pop_back();
  return packet;
}

void SourceReader::Drop() {
  for (AVPacket* packet : held_) {
    api_.av_packet_unref(packet);
    spare_.push_back(packet);
  }
  held_.clear();
  endResult_ = 0;
  readSeconds_ = 0.0;
}

void SourceReader::Release() {
  Drop();
  for (AVPacket* packet : spare_) api_.av_packet_free(&packet);
  spare_.clear();
}

}  // namespace VELAVCODEC
