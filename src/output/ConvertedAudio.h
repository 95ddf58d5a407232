#pragma once

// The source's sound re-encoded, where the user asks for it and the
// container cannot hold the sound as it is: WebM takes Opus and Vorbis
// alone, MP4 no PCM, and such sound would otherwise be refused there. MP4
// gets AAC, which every player of it decodes; WebM and Matroska get Opus.
// The sound is decoded, resampled to the target's rate (Opus 48 kHz; AAC the
// source's rate where the encoder takes it) with the channels kept where the
// encoder takes them (else mixed down to stereo), and encoded in the
// encoder's own frames, each timed by the samples before it from the first
// decoded sound on, so that the sound stays where the source had it.
#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

struct AVAudioFifo;
struct AVOutputFormat;
struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace CONVERTEDAUDIO {

enum class Target { Opus, Aac };

// "Opus", "AAC": the name the log and the stream's title give the target.
const char* TargetName(Target target);
// What a container's converted sound is: MP4 players all decode AAC, and few
// Opus; WebM and Matroska take Opus.
Target TargetFor(const AVOutputFormat* container);
// Whether the container holds the target.
bool Holds(const AVOutputFormat* container, Target target);
// The target's codec (an AVCodecID).
int TargetCodec(Target target);

class ConvertedAudio {
 public:
  ConvertedAudio() = default;
  ~ConvertedAudio();
  ConvertedAudio(const ConvertedAudio&) = delete;
  ConvertedAudio& operator=(const ConvertedAudio&) = delete;

  // source: the source stream's parameters and time base. Empty when the
  // conversion is ready, else what failed.
  std::string Open(const AVCodecParameters& source, AVRational sourceBase, Target target,
                   bool globalHeader = true);
  // The encoded stream's parameters, for the muxer; with the encoder's
  // priming as initial_padding. False when they cannot be copied.
  bool FillParameters(AVCodecParameters* parameters) const;
  // One tick a sample of the output; known once Open succeeded.
  AVRational TimeBase() const { return timeBase_; }

  // Takes each encoded packet, its times in TimeBase(); the first packets
  // start before the sound by the encoder's priming. False stops the job.
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
  AVRational timeBase_{1, 48000};
  int format_ = -1;  // the encoder's sample format
  // What the resampler was set up for; a change mid-stream sets it up anew.
  int inFormat_ = -1, inRate_ = 0, inChannels_ = 0;
  int frameSize_ = 960;
  bool started_ = false, finished_ = false;
  int64_t nextPts_ = 0;
  int64_t refused_ = 0;
};

}  // namespace CONVERTEDAUDIO
