#include "output/AudioBitstream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

namespace AUDIOBITSTREAM {
namespace {

// An ADTS frame starts with twelve set bits.
bool StartsWithAdts(const AVPacket& packet) {
  return packet.size > 2 && packet.data[0] == 0xFF && (packet.data[1] & 0xF0) == 0xF0;
}

}  // namespace

AudioBitstream::~AudioBitstream() { av_bsf_free(&filter_); }

bool AudioBitstream::Start(const AVPacket& first, const AVCodecParameters& parameters,
                           AVRational timeBase) {
  decided_ = true;
  if (parameters.codec_id != AV_CODEC_ID_AAC || !StartsWithAdts(first)) return true;
  const AVBitStreamFilter* adtsToAsc = av_bsf_get_by_name("aac_adtstoasc");
  if (adtsToAsc == nullptr || av_bsf_alloc(adtsToAsc, &filter_) < 0) return false;
  if (avcodec_parameters_copy(filter_->par_in, &parameters) < 0) return false;
  filter_->time_base_in = timeBase;
  return av_bsf_init(filter_) >= 0;
}

bool AudioBitstream::Write(AVPacket* packet, const AVCodecParameters& parameters,
                           AVRational timeBase, const Sink& sink) {
  if (!decided_ && !Start(*packet, parameters, timeBase)) {
    av_packet_unref(packet);
    return false;
  }
  if (filter_ == nullptr) return sink(packet);
  if (av_packet_make_refcounted(packet) < 0 || av_bsf_send_packet(filter_, packet) < 0) {
    ++refused_;
    av_packet_unref(packet);
    return true;
  }
  // One packet in, at most one out; a damaged one gives an error here.
  for (;;) {
    const int received = av_bsf_receive_packet(filter_, packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      ++refused_;
      continue;
    }
    if (!sink(packet)) return false;
  }
}

}  // namespace AUDIOBITSTREAM
