#include "media/private/OwnReading.h"

namespace VELAVCODEC {

OwnReading::~OwnReading() {
  if (frame != nullptr) api.av_frame_free(&frame);
  if (packet != nullptr) api.av_packet_free(&packet);
  if (codec != nullptr) api.avcodec_free_context(&codec);
  if (format != nullptr) api.avformat_close_input(&format);
}

bool OwnReading::Open(const std::string& fileName, int streamIndex, bool findStreamInfo) {
  if (api.avformat_open_input(&format, fileName.c_str(), nullptr, nullptr) < 0) return false;
  if (findStreamInfo && api.avformat_find_stream_info(format, nullptr) < 0) return false;
  if (streamIndex < 0 || unsigned(streamIndex) >= format->nb_streams) return false;
  const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
  const AVCodec* decoder = api.avcodec_find_decoder(parameters->codec_id);
  if (decoder == nullptr) return false;
  codec = api.avcodec_alloc_context3(decoder);
  packet = api.av_packet_alloc();
  frame = api.av_frame_alloc();
  return codec != nullptr && packet != nullptr && frame != nullptr &&
         api.avcodec_parameters_to_context(codec, parameters) >= 0 &&
         api.avcodec_open2(codec, decoder, nullptr) >= 0;
}

bool OwnReading::DecodeFirstPicture(int streamIndex, int packetLimit) {
  for (int packets = 0; packets < packetLimit; ++packets) {
    const bool more = api.av_read_frame(format, packet) >= 0;
    if (more && packet->stream_index != streamIndex) {
      api.av_packet_unref(packet);
      continue;
    }
    const int sent = api.avcodec_send_packet(codec, more ? packet : nullptr);
    if (more) api.av_packet_unref(packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && more) continue;
    if (api.avcodec_receive_frame(codec, frame) >= 0) return true;
    if (!more) break;
  }
  return false;
}

bool OwnReading::DecodeKeyPicture(int streamIndex, int packetLimit) {
  for (int packets = 0; packets < packetLimit; ++packets) {
    if (api.av_read_frame(format, packet) < 0) return false;
    const bool key = packet->stream_index == streamIndex && (packet->flags & AV_PKT_FLAG_KEY) != 0;
    const int sent = key ? api.avcodec_send_packet(codec, packet) : -1;
    api.av_packet_unref(packet);
    if (sent < 0) continue;
    api.avcodec_send_packet(codec, nullptr);
    return api.avcodec_receive_frame(codec, frame) >= 0;
  }
  return false;
}

}  // namespace VELAVCODEC
