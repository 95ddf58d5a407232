#include "media/private/HdrProbe.h"

#include <algorithm>
#include <climits>

namespace VELAVCODEC {
namespace {

// Packets read for the first picture before the search gives up.
constexpr int kPacketLimit = 400;

// A rational as a count of 1/unit, clamped to the fields' range.
int64_t Units(AVRational value, int64_t unit, int64_t most) {
  if (value.den <= 0 || value.num < 0) return 0;
  const long double units = static_cast<long double>(value.num) * unit / value.den;
  return int64_t(std::min<long double>(units + 0.5L, static_cast<long double>(most)));
}

struct Reading {
  const EntryPoints& api;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  ~Reading() {
    if (frame != nullptr) api.av_frame_free(&frame);
    if (packet != nullptr) api.av_packet_free(&packet);
    if (codec != nullptr) api.avcodec_free_context(&codec);
    if (format != nullptr) api.avformat_close_input(&format);
  }
};

bool OpenReading(Reading& reading, const std::string& fileName, int streamIndex) {
  const EntryPoints& api = reading.api;
  if (api.avformat_open_input(&reading.format, fileName.c_str(), nullptr, nullptr) < 0)
    return false;
  if (streamIndex < 0 || unsigned(streamIndex) >= reading.format->nb_streams) return false;
  const AVCodecParameters* parameters = reading.format->streams[streamIndex]->codecpar;
  const AVCodec* decoder = api.avcodec_find_decoder(parameters->codec_id);
  if (decoder == nullptr) return false;
  reading.codec = api.avcodec_alloc_context3(decoder);
  reading.packet = api.av_packet_alloc();
  reading.frame = api.av_frame_alloc();
  return reading.codec != nullptr && reading.packet != nullptr && reading.frame != nullptr &&
         api.avcodec_parameters_to_context(reading.codec, parameters) >= 0 &&
         api.avcodec_open2(reading.codec, decoder, nullptr) >= 0;
}

}  // namespace

PICTURECOLOUR::HdrMetadata HdrMetadataOf(const EntryPoints& api, const AVFrame* picture) {
  PICTURECOLOUR::HdrMetadata metadata;
  AVFrame* frame = const_cast<AVFrame*>(picture);  // only read
  if (const AVFrameSideData* side =
          api.av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
      side != nullptr && side->size >= sizeof(AVMasteringDisplayMetadata)) {
    const auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(side->data);
    PICTURECOLOUR::MasteringDisplay& mastering = metadata.Mastering;
    mastering.Present = display->has_primaries && display->has_luminance;
    for (int i = 0; i < 3; ++i) {
      mastering.PrimaryX[i] = int32_t(Units(display->display_primaries[i][0], 50000, 50000));
      mastering.PrimaryY[i] = int32_t(Units(display->display_primaries[i][1], 50000, 50000));
    }
    mastering.WhiteX = int32_t(Units(display->white_point[0], 50000, 50000));
    mastering.WhiteY = int32_t(Units(display->white_point[1], 50000, 50000));
    mastering.MaxLuminance = Units(display->max_luminance, 10000, UINT32_MAX);
    mastering.MinLuminance = Units(display->min_luminance, 10000, UINT32_MAX);
  }
  if (const AVFrameSideData* side =
          api.av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
      side != nullptr && side->size >= sizeof(AVContentLightMetadata)) {
    const auto* light = reinterpret_cast<const AVContentLightMetadata*>(side->data);
    metadata.Light.Present = true;
    metadata.Light.MaxCll = std::min<unsigned>(light->MaxCLL, 65535);
    metadata.Light.MaxFall = std::min<unsigned>(light->MaxFALL, 65535);
  }
  return metadata;
}

PICTURECOLOUR::HdrMetadata ReadFirstHdrMetadata(const EntryPoints& api, const std::string& fileName,
                                                int streamIndex) {
  Reading reading{api};
  if (!OpenReading(reading, fileName, streamIndex)) return {};
  for (int packets = 0; packets < kPacketLimit; ++packets) {
    const bool more = api.av_read_frame(reading.format, reading.packet) >= 0;
    if (more && reading.packet->stream_index != streamIndex) {
      api.av_packet_unref(reading.packet);
      continue;
    }
    const int sent = api.avcodec_send_packet(reading.codec, more ? reading.packet : nullptr);
    if (more) api.av_packet_unref(reading.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && more) continue;
    if (api.avcodec_receive_frame(reading.codec, reading.frame) >= 0)
      return HdrMetadataOf(api, reading.frame);
    if (!more) break;
  }
  return {};
}

}  // namespace VELAVCODEC
