#include "output/OpusAudio.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace OPUSAUDIO {
namespace {

constexpr int kRate = 48000;
constexpr AVSampleFormat kFormat = AV_SAMPLE_FMT_FLT;
constexpr int kBitsPerChannel = 64000;

// libopus takes more than two channels only in the Vorbis orders.
AVChannelLayout OutputLayout(int channels) {
  static const uint64_t kVorbisOrders[] = {AV_CH_LAYOUT_MONO,         AV_CH_LAYOUT_STEREO,
                                           AV_CH_LAYOUT_SURROUND,     AV_CH_LAYOUT_QUAD,
                                           AV_CH_LAYOUT_5POINT0_BACK, AV_CH_LAYOUT_5POINT1_BACK,
                                           AV_CH_LAYOUT_6POINT1,      AV_CH_LAYOUT_7POINT1};
  const int kept = channels >= 1 && channels <= 8 ? channels : 2;
  AVChannelLayout layout{};
  av_channel_layout_from_mask(&layout, kVorbisOrders[kept - 1]);
  return layout;
}

// A source that does not say where its channels go gets the usual places.
AVChannelLayout InputLayout(const AVChannelLayout& given) {
  AVChannelLayout layout{};
  if (given.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&given) == 0)
    av_channel_layout_default(&layout, std::max(given.nb_channels, 1));
  else
    av_channel_layout_copy(&layout, &given);
  return layout;
}

}  // namespace

OpusAudio::~OpusAudio() {
  avcodec_free_context(&decoder_);
  avcodec_free_context(&encoder_);
  swr_free(&resampler_);
  if (held_ != nullptr) av_audio_fifo_free(held_);
  av_frame_free(&decoded_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  if (scratch_ != nullptr) av_freep(&scratch_[0]);
  av_freep(&scratch_);
}

std::string OpusAudio::Open(const AVCodecParameters& source, AVRational sourceBase,
                            bool globalHeader) {
  sourceBase_ = sourceBase;
  const AVCodec* decoding = avcodec_find_decoder(source.codec_id);
  if (decoding == nullptr) return "the source's sound cannot be decoded";
  decoder_ = avcodec_alloc_context3(decoding);
  if (decoder_ == nullptr || avcodec_parameters_to_context(decoder_, &source) < 0) return "memory";
  decoder_->pkt_timebase = sourceBase;
  if (avcodec_open2(decoder_, decoding, nullptr) < 0) return "the source's sound cannot be decoded";

  const AVCodec* encoding = avcodec_find_encoder_by_name("libopus");
  if (encoding == nullptr) return "this machine's FFmpeg has no Opus encoder (libopus)";
  encoder_ = avcodec_alloc_context3(encoding);
  if (encoder_ == nullptr) return "memory";
  encoder_->sample_rate = kRate;
  encoder_->sample_fmt = kFormat;
  encoder_->ch_layout = OutputLayout(decoder_->ch_layout.nb_channels);
  encoder_->bit_rate = int64_t(kBitsPerChannel) * encoder_->ch_layout.nb_channels;
  encoder_->time_base = kTimeBase;
  if (globalHeader) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(encoder_, encoding, nullptr) < 0) return "the Opus encoder cannot start";
  frameSize_ = encoder_->frame_size > 0 ? encoder_->frame_size : 960;

  held_ = av_audio_fifo_alloc(kFormat, encoder_->ch_layout.nb_channels, frameSize_ * 4);
  decoded_ = av_frame_alloc();
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (held_ == nullptr || decoded_ == nullptr || frame_ == nullptr || packet_ == nullptr)
    return "memory";
  frame_->format = kFormat;
  frame_->sample_rate = kRate;
  frame_->nb_samples = frameSize_;
  if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(frame_, 0) < 0)
    return "memory";
  return {};
}

bool OpusAudio::FillParameters(AVCodecParameters* parameters) const {
  return encoder_ != nullptr && avcodec_parameters_from_context(parameters, encoder_) >= 0;
}

bool OpusAudio::OpenResampler(const AVFrame& like) {
  swr_free(&resampler_);
  AVChannelLayout in = InputLayout(like.ch_layout);
  const int made = swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, kFormat, kRate, &in,
                                       AVSampleFormat(like.format), like.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  if (made < 0 || swr_init(resampler_) < 0) return false;
  inFormat_ = like.format;
  inRate_ = like.sample_rate;
  inChannels_ = like.ch_layout.nb_channels;
  return true;
}

bool OpusAudio::Write(const AVPacket& packet, const Sink& sink) {
  if (decoder_ == nullptr || finished_) return true;
  if (avcodec_send_packet(decoder_, &packet) < 0) {
    ++refused_;
    return true;
  }
  return TakeDecoded(sink);
}

bool OpusAudio::TakeDecoded(const Sink& sink) {
  for (;;) {
    const int received = avcodec_receive_frame(decoder_, decoded_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      ++refused_;
      return true;
    }
    if (!started_) {
      const int64_t time = decoded_->best_effort_timestamp;
      nextPts_ = time == AV_NOPTS_VALUE ? 0 : av_rescale_q(time, sourceBase_, kTimeBase);
      started_ = true;
    }
    const bool sameForm = decoded_->format == inFormat_ && decoded_->sample_rate == inRate_ &&
                          decoded_->ch_layout.nb_channels == inChannels_;
    // Sound the resampler cannot take is damaged: it is left out.
    const bool usable = decoded_->sample_rate > 0 && decoded_->ch_layout.nb_channels > 0 &&
                        (sameForm || OpenResampler(*decoded_));
    const bool kept = !usable || (Resample(decoded_) && EncodeHeld(false, sink));
    if (!usable) ++refused_;
    av_frame_unref(decoded_);
    if (!kept) return false;
  }
}

// frame null: what the resampler still holds.
bool OpusAudio::Resample(const AVFrame* frame) {
  if (resampler_ == nullptr) return true;
  const int inSamples = frame != nullptr ? frame->nb_samples : 0;
  const int room = swr_get_out_samples(resampler_, inSamples);
  if (room < 0) return false;
  if (room == 0) return true;
  if (room > scratchSamples_) {
    if (scratch_ != nullptr) av_freep(&scratch_[0]);
    av_freep(&scratch_);
    if (av_samples_alloc_array_and_samples(&scratch_, nullptr, encoder_->ch_layout.nb_channels,
                                           room, kFormat, 0) < 0)
      return false;
    scratchSamples_ = room;
  }
  const uint8_t** in =
      frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr;
  const int made = swr_convert(resampler_, scratch_, room, in, inSamples);
  if (made < 0) return false;
  return av_audio_fifo_write(held_, reinterpret_cast<void**>(scratch_), made) >= made;
}

// Whole frames; at the end the rest, which the encoder takes short.
bool OpusAudio::EncodeHeld(bool last, const Sink& sink) {
  while (av_audio_fifo_size(held_) >= frameSize_ || (last && av_audio_fifo_size(held_) > 0)) {
    const int take = std::min(av_audio_fifo_size(held_), frameSize_);
    frame_->nb_samples = frameSize_;
    if (av_frame_make_writable(frame_) < 0) return false;
    frame_->nb_samples = take;
    if (av_audio_fifo_read(held_, reinterpret_cast<void**>(frame_->data), take) < take)
      return false;
    frame_->pts = nextPts_;
    nextPts_ += take;
    if (avcodec_send_frame(encoder_, frame_) < 0 || !PassPackets(sink)) return false;
  }
  if (last && (avcodec_send_frame(encoder_, nullptr) < 0 || !PassPackets(sink))) return false;
  return true;
}

bool OpusAudio::PassPackets(const Sink& sink) {
  for (;;) {
    const int received = avcodec_receive_packet(encoder_, packet_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) return false;
    const bool taken = sink(packet_);
    av_packet_unref(packet_);
    if (!taken) return false;
  }
}

bool OpusAudio::Finish(const Sink& sink) {
  if (decoder_ == nullptr || encoder_ == nullptr || finished_) return true;
  finished_ = true;
  if (avcodec_send_packet(decoder_, nullptr) < 0 || !TakeDecoded(sink)) return false;
  return Resample(nullptr) && EncodeHeld(true, sink);
}

}  // namespace OPUSAUDIO
