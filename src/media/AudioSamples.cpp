#include "media/AudioSamples.h"

#include <dlfcn.h>

#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "media/VelAvCodec.h"
#include "media/private/AudioEntryPoints.h"
#include "media/private/EntryPoints.h"
#include "media/private/LibraryBinding.h"

namespace AUDIOSAMPLES {
namespace {

// A block whose timestamp disagrees with the running count by more than this
// is placed where its timestamp says.
constexpr int64_t kPlacementSlack = kSampleRate / 100;
constexpr int kFilterSize = 8;

// The decoder's four libraries and the resampler, unloaded when the read is
// over.
class Binding {
 public:
  ~Binding() {
    if (resample_ != nullptr) dlclose(resample_);
    VELAVCODEC::UnloadLibraries(handles_);
  }
  std::string Bind(const AudioLibraryNames& names) {
    const auto& decoder = names.Decoder;
    std::string error = VELAVCODEC::BindLibraries(decoder.AvCodec, decoder.AvFormat, decoder.AvUtil,
                                                  decoder.SwScale, handles_, Api);
    if (!error.empty()) return error;
    resample_ = dlopen(names.SwResample.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (resample_ == nullptr) return names.SwResample + " not found";
    bool complete = true;
    auto find = [&](AudioLibrary library, const char* name) {
      void* symbol = dlsym(library == AudioLibrary::Util ? handles_.AvUtil : resample_, name);
      complete = complete && symbol != nullptr;
      return symbol;
    };
#define AUDIOSAMPLES_LOOK_UP(name, library) \
  Audio.name = reinterpret_cast<decltype(Audio.name)>(find(AudioLibrary::library, #name));
    AUDIOSAMPLES_ENTRY_POINTS(AUDIOSAMPLES_LOOK_UP)
#undef AUDIOSAMPLES_LOOK_UP
    return complete ? std::string() : "the audio libraries lack an entry point";
  }
  VELAVCODEC::EntryPoints Api;
  AudioEntryPoints Audio;

 private:
  VELAVCODEC::LibraryHandles handles_;
  void* resample_ = nullptr;
};

// Everything one read opens, released in reverse.
struct ReadState {
  ReadState(const VELAVCODEC::EntryPoints& api, const AudioEntryPoints& audio)
      : Api(api), Audio(audio) {}
  ~ReadState() {
    if (Resampler != nullptr) Audio.swr_free(&Resampler);
    if (Frame != nullptr) Api.av_frame_free(&Frame);
    if (Packet != nullptr) Api.av_packet_free(&Packet);
    if (Codec != nullptr) Api.avcodec_free_context(&Codec);
    if (Format != nullptr) Api.avformat_close_input(&Format);
  }
  const VELAVCODEC::EntryPoints& Api;
  const AudioEntryPoints& Audio;
  AVFormatContext* Format = nullptr;
  AVCodecContext* Codec = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;
  SwrContext* Resampler = nullptr;
  int Stream = -1;
  double StartSeconds = 0.0;
  double TimeBase = 0.0;
  int64_t NextPosition = 0;
  double VideoRate = 0.0;
  std::vector<float> Output;
  bool Centre = false;
  int Channels = 0;
};

int FindAudioStream(const AVFormatContext* format, int wanted) {
  int seen = 0;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (format->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (seen++ == wanted) return int(i);
  }
  return -1;
}

std::string OpenStream(ReadState& state, const std::string& fileName, int audioStream) {
  const VELAVCODEC::EntryPoints& api = state.Api;
  if (api.avformat_open_input(&state.Format, fileName.c_str(), nullptr, nullptr) < 0)
    return "can't open " + fileName;
  if (api.avformat_find_stream_info(state.Format, nullptr) < 0) return "can't read the streams";
  for (unsigned i = 0; i < state.Format->nb_streams && state.VideoRate == 0.0; ++i)
    if (state.Format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        state.Format->streams[i]->avg_frame_rate.den != 0)
      state.VideoRate = av_q2d(state.Format->streams[i]->avg_frame_rate);
  state.Stream = FindAudioStream(state.Format, std::max(audioStream, 0));
  if (state.Stream < 0) return "the source has no such audio stream";
  const AVStream* stream = state.Format->streams[state.Stream];
  const AVCodec* codec = api.avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return "no decoder for the audio stream";
  state.Codec = api.avcodec_alloc_context3(codec);
  state.Packet = api.av_packet_alloc();
  state.Frame = api.av_frame_alloc();
  if (state.Codec == nullptr || state.Packet == nullptr || state.Frame == nullptr)
    return "out of memory";
  if (api.avcodec_parameters_to_context(state.Codec, stream->codecpar) < 0 ||
      api.avcodec_open2(state.Codec, codec, nullptr) < 0)
    return "can't open the audio decoder";
  state.TimeBase = av_q2d(stream->time_base);
  if (state.Format->start_time != AV_NOPTS_VALUE)
    state.StartSeconds = double(state.Format->start_time) / AV_TIME_BASE;
  return {};
}

// Mono out of the frame's layout: the centre alone when there is one among
// several channels, else the resampler's own down-mix.
std::string MakeResampler(ReadState& state, const AVFrame* frame) {
  const AudioEntryPoints& api = state.Audio;
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
    api.av_channel_layout_default(&in, std::max(frame->ch_layout.nb_channels, 1));
  else
    api.av_channel_layout_copy(&in, &frame->ch_layout);
  AVChannelLayout mono{};
  api.av_channel_layout_default(&mono, 1);
  const int centre = api.av_channel_layout_index_from_channel(&in, AV_CHAN_FRONT_CENTER);
  int result =
      api.swr_alloc_set_opts2(&state.Resampler, &mono, AV_SAMPLE_FMT_FLT, kSampleRate, &in,
                              AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
  state.Centre = centre >= 0 && in.nb_channels > 1;
  state.Channels = in.nb_channels;
  if (result >= 0 && state.Centre) {
    std::vector<double> matrix(std::size_t(in.nb_channels), 0.0);
    matrix[std::size_t(centre)] = 1.0;
    result = api.swr_set_matrix(state.Resampler, matrix.data(), in.nb_channels);
  }
  // Finding speech needs no studio-grade filter: a short one halves the cost
  // of reading the audio.
  if (result >= 0)
    result = state.Api.av_opt_set_int(state.Resampler, "filter_size", kFilterSize, 0);
  if (result >= 0) result = api.swr_init(state.Resampler);
  api.av_channel_layout_uninit(&in);
  api.av_channel_layout_uninit(&mono);
  return result < 0 ? "can't convert the audio" : std::string();
}

// Moves the running count to the frame's timestamp when they disagree.
void PlaceFrame(ReadState& state, const AVFrame* frame) {
  int64_t stamp = frame->best_effort_timestamp;
  if (stamp == AV_NOPTS_VALUE) stamp = frame->pts;
  if (stamp == AV_NOPTS_VALUE) return;
  const double seconds = double(stamp) * state.TimeBase - state.StartSeconds;
  const int64_t buffered = state.Audio.swr_get_delay(state.Resampler, kSampleRate);
  const int64_t position = std::llround(seconds * kSampleRate) - buffered;
  if (std::llabs(position - state.NextPosition) > kPlacementSlack) state.NextPosition = position;
}

// Converts a frame (null: what the resampler still holds) and hands it on.
std::string Convert(ReadState& state, const AVFrame* frame, const SampleSink& sink) {
  const int inCount = frame == nullptr ? 0 : frame->nb_samples;
  const std::size_t room = std::size_t(
      int64_t(inCount) * kSampleRate / std::max(frame ? frame->sample_rate : 1, 1) + 4096);
  if (state.Output.size() < room) state.Output.resize(room);
  uint8_t* out = reinterpret_cast<uint8_t*>(state.Output.data());
  const int made = state.Audio.swr_convert(
      state.Resampler, &out, int(state.Output.size()),
      frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inCount);
  if (made < 0) return "can't convert the audio";
  if (made > 0) sink(state.Output.data(), std::size_t(made), state.NextPosition);
  state.NextPosition += made;
  return {};
}

std::string TakeFrames(ReadState& state, const SampleSink& sink) {
  const VELAVCODEC::EntryPoints& api = state.Api;
  while (api.avcodec_receive_frame(state.Codec, state.Frame) >= 0) {
    std::string error;
    if (state.Resampler == nullptr) error = MakeResampler(state, state.Frame);
    if (error.empty()) {
      PlaceFrame(state, state.Frame);
      error = Convert(state, state.Frame, sink);
    }
    api.av_frame_unref(state.Frame);
    if (!error.empty()) return error;
  }
  return {};
}

std::string DecodeAll(ReadState& state, const SampleSink& sink) {
  const VELAVCODEC::EntryPoints& api = state.Api;
  while (api.av_read_frame(state.Format, state.Packet) >= 0) {
    // A damaged packet costs its own samples only.
    if (state.Packet->stream_index == state.Stream)
      api.avcodec_send_packet(state.Codec, state.Packet);
    api.av_packet_unref(state.Packet);
    if (std::string error = TakeFrames(state, sink); !error.empty()) return error;
  }
  api.avcodec_send_packet(state.Codec, nullptr);
  if (std::string error = TakeFrames(state, sink); !error.empty()) return error;
  if (state.Resampler != nullptr) return Convert(state, nullptr, sink);
  return {};
}

}  // namespace

AudioLibraryNames AudioLibraryNames::Defaults() {
  return {VELAVCODEC::VelAvCodec::DefaultLibraryNames(),
          "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR)};
}

AudioSampleReader::AudioSampleReader(AudioLibraryNames names) : names_(std::move(names)) {}

bool AudioSampleReader::Read(const std::string& fileName, int audioStream, const SampleSink& sink) {
  ErrorText.clear();
  Binding binding;
  std::string error = binding.Bind(names_);
  if (error.empty()) {
    ReadState state(binding.Api, binding.Audio);
    try {
      error = OpenStream(state, fileName, audioStream);
      if (error.empty()) error = DecodeAll(state, sink);
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    }
    Channels = state.Centre ? "centre" : state.Channels == 1 ? "mono" : "mix";
    DurationSeconds = double(state.NextPosition) / kSampleRate;
    VideoFramesPerSecond = state.VideoRate;
  }
  ErrorText = error;
  return error.empty();
}

}  // namespace AUDIOSAMPLES
