#pragma once

// The source's sound re-encoded as Opus, where the user asks for it and the
// container cannot hold the sound as it is: WebM takes Opus and Vorbis
// alone, and a film's AAC, AC-3 or DTS would otherwise be refused there.
// The sound is decoded, resampled to 48 kHz (eight channels at most; more are
// mixed down to stereo) and encoded in 20 ms frames, each timed by the
// samples before it from the first decoded sound on, so that the sound stays
// where the source had it.
#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

struct AVAudioFifo;
struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace OPUSAUDIO {

class OpusAudio {
 public:
  OpusAudio() = default;
  ~OpusAudio();
  OpusAudio(const OpusAudio&) = delete;
  OpusAudio& operator=(const OpusAudio&) = delete;

  // source: the source stream's parameters and time base. Empty when the
  // conversion is ready, else what failed.
  std::string Open(const AVCodecParameters& source, AVRational sourceBase,
                   bool globalHeader = true);
  // The Opus stream's parameters, for the muxer. False when they cannot be
  // copied.
  bool FillParameters(AVCodecParameters* parameters) const;
  static constexpr AVRational kTimeBase{1, 48000};

  // Takes each Opus packet, its times in kTimeBase; false stops the job.
  using Sink = std::function<bool(AVPacket* packet)>;
  // One source packet, its times in the source's time base. A packet the
  // decoder refuses is counted and left out.
  bool Write(const AVPacket& packet, const Sink& sink);
  // The sound still held, once the last packet was written.
  bool Finish(const Sink& sink);
  int64_t Refused() const { return refused_; }

 private:
  bool OpenResampler(const AVFrame& like);
  bool TakeDecoded(const Sink& sink);
  bool Resample(const AVFrame* frame);
  bool EncodeHeld(bool last, const Sink& sink);
  bool PassPackets(const Sink& sink);

  AVCodecContext* decoder_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* held_ = nullptr;
  AVFrame* decoded_ = nullptr;
  AVFrame* frame_ = nullptr;  // one encoder frame, made once
  AVPacket* packet_ = nullptr;
  // Resampled sound before it goes into the queue; grows only when a
  // decoded frame is longer than any before.
  uint8_t** scratch_ = nullptr;
  int scratchSamples_ = 0;
  AVRational sourceBase_{1, 1};
  // What the resampler was set up for; a change mid-stream sets it up anew.
  int inFormat_ = -1, inRate_ = 0, inChannels_ = 0;
  int frameSize_ = 960;
  bool started_ = false, finished_ = false;
  int64_t nextPts_ = 0;
  int64_t refused_ = 0;
};

}  // namespace OPUSAUDIO
