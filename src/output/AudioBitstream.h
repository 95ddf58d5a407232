#pragma once

// Copied audio in the form the container stores it. AAC from MPEG-TS (and
// raw ADTS files) carries a header on every packet; MP4 and Matroska keep
// the codec's configuration once instead, so such packets go through
// libavcodec's aac_adtstoasc filter on their way to the muxer. Other audio
// passes untouched. A packet the filter refuses is damaged: it is counted
// and left out rather than failing the job.
#include <cstdint>
#include <functional>

struct AVBSFContext;
struct AVCodecParameters;
struct AVPacket;
struct AVRational;

namespace AUDIOBITSTREAM {

class AudioBitstream {
 public:
  AudioBitstream() = default;
  ~AudioBitstream();
  AudioBitstream(const AudioBitstream&) = delete;
  AudioBitstream& operator=(const AudioBitstream&) = delete;

  // What a packet goes on to: the muxer's write; false stops the job.
  using Sink = std::function<bool(AVPacket* packet)>;

  // parameters and timeBase: the output stream's. The first packet decides
  // whether a conversion is needed.
  bool Write(AVPacket* packet, const AVCodecParameters& parameters, AVRational timeBase,
             const Sink& sink);
  int64_t Refused() const { return refused_; }

 private:
  bool Start(const AVPacket& first, const AVCodecParameters& parameters, AVRational timeBase);

  bool decided_ = false;
  AVBSFContext* filter_ = nullptr;
  int64_t refused_ = 0;
};

}  // namespace AUDIOBITSTREAM
