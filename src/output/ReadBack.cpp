#include "output/ReadBack.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace READBACK {

int64_t StoredPictures(const std::string& path, std::string& error) {
  AVFormatContext* format = nullptr;
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  int result = avformat_open_input(&format, path.c_str(), nullptr, nullptr);
  if (result >= 0) result = avformat_find_stream_info(format, nullptr);
  const int video =
      result >= 0 ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : result;
  AVPacket* packet = video >= 0 ? av_packet_alloc() : nullptr;
  int64_t pictures = 0;
  if (packet != nullptr) {
    while ((result = av_read_frame(format, packet)) >= 0) {
      pictures += packet->stream_index == video;
      av_packet_unref(packet);
    }
    if (result == AVERROR_EOF) result = 0;
  } else if (result >= 0) {
    result = AVERROR(ENOMEM);
  }
  av_packet_free(&packet);
  avformat_close_input(&format);
  if (video < 0 && result >= 0) result = video;
  if (result >= 0) return pictures;
  av_strerror(result, reason, sizeof reason);
  error = reason;
  return -1;
}

}  // namespace READBACK
