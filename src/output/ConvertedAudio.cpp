#include "output/ConvertedAudio.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace CONVERTEDAUDIO {
namespace {

// Opus codes everything at 48 kHz inside, whatever it is given.
constexpr int kOpusRate = 48000;
constexpr int kOpusBitsPerChannel = 64000;
// The native AAC encoder needs about 128 kb/s for stereo before most
// listeners hear it, more than Opus at the same rate; 384 kb/s for 5.1 spends
// a little on the LFE channel, which is simpler than weighing channels.
constexpr int kAacBitsPerChannel = 64000;
// AAC frames hold at most 6144 bits a channel, 1024 samples: the encoder
// would cut a higher rate itself, with a warning on the terminal.
constexpr int kAacMostBitsPerSample = 6;
constexpr int kFallbackRate = 48000;

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

// The source's own layout where the encoder lists it, else one listed with
// as many channels, else stereo. An encoder that lists none (the native AAC
// encoder of FFmpeg 5) takes 1 to 6 and 8 channels in FFmpeg's usual orders.
AVChannelLayout AacLayout(const AVCodec& codec, const AVChannelLayout& source) {
  AVChannelLayout layout{};
  const int channels = source.nb_channels;
  if (codec.ch_layouts != nullptr) {
    const AVChannelLayout* sameCount = nullptr;
    for (const AVChannelLayout* listed = codec.ch_layouts; listed->nb_channels != 0; ++listed) {
      if (av_channel_layout_compare(listed, &source) == 0) {
        sameCount = listed;
        break;
      }
      if (sameCount == nullptr && listed->nb_channels == channels) sameCount = listed;
    }
    if (sameCount != nullptr && av_channel_layout_copy(&layout, sameCount) >= 0) return layout;
  } else if (channels >= 1 && channels <= 8 && channels != 7) {
    av_channel_layout_default(&layout, channels);
    return layout;
  }
  av_channel_layout_from_mask(&layout, AV_CH_LAYOUT_STEREO);
  return layout;
}

// The source's rate where the encoder takes it: no resampling then.
int AacRate(const AVCodec& codec, int source) {
  if (source <= 0) return kFallbackRate;
  if (codec.supported_samplerates == nullptr) return source;
  for (const int* rate = codec.supported_samplerates; *rate != 0; ++rate)
    if (*rate == source) return source;
  return kFallbackRate;
}

// Float where the encoder takes it, packed or planar as it lists them: the
// decoders give float mostly, and nothing is rounded on the way.
AVSampleFormat EncoderFormat(const AVCodec& codec) {
  const AVSampleFormat* formats = codec.sample_fmts;
  if (formats == nullptr || formats[0] == AV_SAMPLE_FMT_NONE) return AV_SAMPLE_FMT_FLT;
  for (const AVSampleFormat* format = formats; *format != AV_SAMPLE_FMT_NONE; ++format)
    if (*format == AV_SAMPLE_FMT_FLT || *format == AV_SAMPLE_FMT_FLTP) return *format;
  return formats[0];
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

Target TargetFor(const AVOutputFormat* container) {
  return container != nullptr && std::strcmp(container->name, "mp4") == 0 ? Target::Aac
                                                                          : Target::Opus;
}

int TargetCodec(Target target) {
  return target == Target::Aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_OPUS;
}

bool Holds(const AVOutputFormat* container, Target target) {
  return avformat_query_codec(container, AVCodecID(TargetCodec(target)), FF_COMPLIANCE_NORMAL) == 1;
}

const char* TargetName(Target target) { return target == Target::Aac ? "AAC" : "Opus"; }

ConvertedAudio::~ConvertedAudio() {
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

std::string ConvertedAudio::Open(const AVCodecParameters& source, AVRational sourceBase,
                                 Target target, bool globalHeader) {
  sourceBase_ = sourceBase;
  const AVCodec* decoding = avcodec_find_decoder(source.codec_id);
  if (decoding == nullptr) return "the source's sound cannot be decoded";
  decoder_ = avcodec_alloc_context3(decoding);
  if (decoder_ == nullptr || avcodec_parameters_to_context(decoder_, &source) < 0) return "memory";
  decoder_->pkt_timebase = sourceBase;
  if (avcodec_open2(decoder_, decoding, nullptr) < 0) return "the source's sound cannot be decoded";

  const bool opus = target == Target::Opus;
  const AVCodec* encoding = avcodec_find_encoder_by_name(opus ? "libopus" : "aac");
  if (encoding == nullptr)
    return opus ? "this machine's FFmpeg has no Opus encoder (libopus)"
                : "this machine's FFmpeg has no AAC encoder";
  encoder_ = avcodec_alloc_context3(encoding);
  if (encoder_ == nullptr) return "memory";
  const AVSampleFormat format = EncoderFormat(*encoding);
  format_ = format;
  const int rate = opus ? kOpusRate : AacRate(*encoding, decoder_->sample_rate);
  int64_t bitsPerChannel = kOpusBitsPerChannel;
  if (opus) {
    encoder_->ch_layout = OutputLayout(decoder_->ch_layout.nb_channels);
  } else {
    AVChannelLayout given = InputLayout(decoder_->ch_layout);
    encoder_->ch_layout = AacLayout(*encoding, given);
    av_channel_layout_uninit(&given);
    bitsPerChannel = std::min<int64_t>(kAacBitsPerChannel, int64_t(kAacMostBitsPerSample) * rate);
  }
  timeBase_ = AVRational{1, rate};
  encoder_->sample_rate = rate;
  encoder_->sample_fmt = format;
  encoder_->bit_rate = bitsPerChannel * encoder_->ch_layout.nb_channels;
  encoder_->time_base = timeBase_;
  if (globalHeader) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(encoder_, encoding, nullptr) < 0)
    return std::string("the ") + TargetName(target) + " encoder cannot start";
  // 20 ms where the encoder takes any length.
  frameSize_ = encoder_->frame_size > 0 ? encoder_->frame_size : rate / 50;

  held_ = av_audio_fifo_alloc(format, encoder_->ch_layout.nb_channels, frameSize_ * 4);
  decoded_ = av_frame_alloc();
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (held_ == nullptr || decoded_ == nullptr || frame_ == nullptr || packet_ == nullptr)
    return "memory";
  frame_->format = format;
  frame_->sample_rate = rate;
  frame_->nb_samples = frameSize_;
  if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(frame_, 0) < 0)
    return "memory";
  return {};
}

bool ConvertedAudio::FillParameters(AVCodecParameters* parameters) const {
  return encoder_ != nullptr && avcodec_parameters_from_context(parameters, encoder_) >= 0;
}

bool ConvertedAudio::OpenResampler(const AVFrame& like) {
  swr_free(&resampler_);
  AVChannelLayout in = InputLayout(like.ch_layout);
  const int made = swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, AVSampleFormat(format_),
                                       encoder_->sample_rate, &in, AVSampleFormat(like.format),
                                       like.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  if (made < 0 || swr_init(resampler_) < 0) return false;
  inFormat_ = like.format;
  inRate_ = like.sample_rate;
  inChannels_ = like.ch_layout.nb_channels;
  return true;
}

bool ConvertedAudio::Write(const AVPacket& packet, const Sink& sink) {
  if (decoder_ == nullptr || finished_) return true;
  if (avcodec_send_packet(decoder_, &packet) < 0) {
    ++refused_;
    return true;
  }
  return TakeDecoded(sink);
}

bool ConvertedAudio::TakeDecoded(const Sink& sink) {
  for (;;) {
    const int received = avcodec_receive_frame(decoder_, decoded_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      ++refused_;
      return true;
    }
    if (!started_) {
      const int64_t time = decoded_->best_effort_timestamp;
      nextPts_ = time == AV_NOPTS_VALUE ? 0 : av_rescale_q(time, sourceBase_, timeBase_);
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
bool ConvertedAudio::Resample(const AVFrame* frame) {
  if (resampler_ == nullptr) return true;
  const int inSamples = frame != nullptr ? frame->nb_samples : 0;
  const int room = swr_get_out_samples(resampler_, inSamples);
  if (room < 0) return false;
  if (room == 0) return true;
  if (room > scratchSamples_) {
    if (scratch_ != nullptr) av_freep(&scratch_[0]);
    av_freep(&scratch_);
    if (av_samples_alloc_array_and_samples(&scratch_, nullptr, encoder_->ch_layout.nb_channels,
                                           room, AVSampleFormat(format_), 0) < 0)
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
bool ConvertedAudio::EncodeHeld(bool last, const Sink& sink) {
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

bool ConvertedAudio::PassPackets(const Sink& sink) {
  for (;;) {
    const int received = avcodec_receive_packet(encoder_, packet_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) return false;
    const bool taken = sink(packet_);
    av_packet_unref(packet_);
    if (!taken) return false;
  }
}

bool ConvertedAudio::Finish(const Sink& sink) {
  if (decoder_ == nullptr || encoder_ == nullptr || finished_) return true;
  finished_ = true;
  if (avcodec_send_packet(decoder_, nullptr) < 0 || !TakeDecoded(sink)) return false;
  return Resample(nullptr) && EncodeHeld(true, sink);
}

}  // namespace CONVERTEDAUDIO
