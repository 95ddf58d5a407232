#include "media/KeyframeIndex.h"

#include <algorithm>

#include "media/NalUnits.h"
#include "media/private/EntryPoints.h"

namespace VELAVCODEC {
namespace {

struct Reading {
  const EntryPoints& api;
  AVFormatContext* format = nullptr;
  AVPacket* packet = nullptr;
  ~Reading() {
    if (packet != nullptr) api.av_packet_free(&packet);
    if (format != nullptr) api.avformat_close_input(&format);
  }
};

// Seconds of a stream time, false when it has none or the clock is unusable.
bool Seconds(int64_t time, AVRational base, double& seconds) {
  if (time == AV_NOPTS_VALUE || base.num <= 0 || base.den <= 0) return false;
  seconds = StreamSeconds(time, base.num, base.den);
  return true;
}

}  // namespace

std::vector<double> CutsOf(const std::vector<double>& shown) {
  std::vector<double> cuts;
  if (shown.size() < 2) return cuts;
  // The earliest time shown from each picture on, in decoding order.
  std::vector<double> earliestAfter(shown.size());
  earliestAfter.back() = shown.back();
  for (std::size_t i = shown.size() - 1; i-- > 0;)
    earliestAfter[i] = std::min(shown[i], earliestAfter[i + 1]);
  double latestBefore = shown.front();
  for (std::size_t i = 1; i < shown.size(); ++i) {
    if (latestBefore < earliestAfter[i] && (cuts.empty() || cuts.back() < earliestAfter[i]))
      cuts.push_back(earliestAfter[i]);
    latestBefore = std::max(latestBefore, shown[i]);
  }
  return cuts;
}

bool ReadKeyframeIndex(const EntryPoints& api, const std::string& fileName, int streamIndex,
                       KeyframeIndex& index, std::string& error) {
  index = KeyframeIndex();
  Reading reading{api};
  if (api.avformat_open_input(&reading.format, fileName.c_str(), nullptr, nullptr) < 0) {
    error = "can't open " + fileName;
    return false;
  }
  if (streamIndex < 0 || unsigned(streamIndex) >= reading.format->nb_streams) {
    error = "no such video stream";
    return false;
  }
  const AVStream* stream = reading.format->streams[streamIndex];
  const AVCodecParameters* parameters = stream->codecpar;
  NALUNITS::Codec codec;
  if (parameters->codec_id == AV_CODEC_ID_H264) {
    codec = NALUNITS::Codec::H264;
    index.Codec = "h264";
  } else if (parameters->codec_id == AV_CODEC_ID_HEVC) {
    codec = NALUNITS::Codec::Hevc;
    index.Codec = "hevc";
  } else {
    error = "the source's video is neither H.264 nor HEVC";
    return false;
  }
  const int lengthSize = NALUNITS::LengthSizeOf(
      codec, parameters->extradata,
      parameters->extradata_size > 0 ? std::size_t(parameters->extradata_size) : 0);
  reading.packet = api.av_packet_alloc();
  if (reading.packet == nullptr) {
    error = "not enough memory";
    return false;
  }
  double latest = 0.0;
  std::vector<double> shown;  // in decoding order
  bool untimed = false;
  while (api.av_read_frame(reading.format, reading.packet) >= 0) {
    AVPacket& packet = *reading.packet;
    double pts = 0.0, duration = 0.0;
    const bool timed =
        packet.stream_index == streamIndex && (Seconds(packet.pts, stream->time_base, pts) ||
                                               Seconds(packet.dts, stream->time_base, pts));
    // A cut goes by the times shown: a packet without one leaves none sure.
    untimed = untimed || (packet.stream_index == streamIndex && packet.pts == AV_NOPTS_VALUE);
    if (timed) {
      shown.push_back(pts);
      // How far a picture comes after one decoded before it: containers
      // that store no decoding times still tell the reordering this way.
      if (index.Pictures++ > 0) index.ReorderSeconds = std::max(index.ReorderSeconds, latest - pts);
      latest = std::max(latest, pts);
      Seconds(packet.duration, stream->time_base, duration);
      index.EndSeconds = std::max(index.EndSeconds, pts + std::max(duration, 0.0));
      if (!index.Keyframes.empty() && pts < index.Keyframes.back().Seconds) {
        IndexedKeyframe& key = index.Keyframes.back();
        key.LeadingSeconds = std::max(key.LeadingSeconds, key.Seconds - pts);
      }
      if ((packet.flags & AV_PKT_FLAG_KEY) != 0) {
        const NALUNITS::KeyKind kind = NALUNITS::KindOfPacket(
            codec, packet.data, packet.size > 0 ? std::size_t(packet.size) : 0, lengthSize);
        if (kind != NALUNITS::KeyKind::NotKey)
          index.Keyframes.push_back({pts, kind == NALUNITS::KeyKind::Closed, 0.0});
        double dts = 0.0;
        if (kind != NALUNITS::KeyKind::NotKey && packet.pts != AV_NOPTS_VALUE &&
            Seconds(packet.dts, stream->time_base, dts))
          index.DecodeLeadSeconds = std::max(index.DecodeLeadSeconds, pts - dts);
      }
    }
    api.av_packet_unref(reading.packet);
  }
  std::sort(
      index.Keyframes.begin(), index.Keyframes.end(),
      [](const IndexedKeyframe& a, const IndexedKeyframe& b) { return a.Seconds < b.Seconds; });
  if (!untimed) index.CutSeconds = CutsOf(shown);
  return true;
}

}  // namespace VELAVCODEC
