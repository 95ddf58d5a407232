#pragma once

// One audio stream of a source read from start to end as mono samples at a
// fixed low rate, for finding speech in it. The centre channel is taken when
// the stream has one beside others (dialogue lives there); otherwise the
// channels are mixed. Each decoded block is placed by its own timestamp, so
// a gap in the stream leaves a gap in the samples rather than pulling
// everything after it early.
//
// The libraries are bound for one Read and let go after it; errors are
// values (false and ErrorText).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "media/VelAvCodec.h"

namespace AUDIOSAMPLES {

constexpr int kSampleRate = 16000;

struct AudioLibraryNames {
  VELAVCODEC::VelAvCodec::LibraryNames Decoder;  // its libswscale is loaded too, unused
  std::string SwResample;
  // The sonames of the FFmpeg the program was built with.
  static AudioLibraryNames Defaults();
};

// Receives consecutive runs of samples; `position` is the first sample's
// place in samples from the source's start (it may jump forward over a gap
// and, for overlapping timestamps, back).
using SampleSink = std::function<void(const float* samples, std::size_t count, int64_t position)>;

class AudioSampleReader {
 public:
  explicit AudioSampleReader(AudioLibraryNames names = AudioLibraryNames::Defaults());

  // audioStream: position in the list of the source's audio streams.
  bool Read(const std::string& fileName, int audioStream, const SampleSink& sink);

  std::string ErrorText;
  // Which channels were used: "centre", "mono" (the only one) or "mix".
  std::string Channels;
  double DurationSeconds = 0.0;
  // The first video stream's average rate; 0 without one.
  double VideoFramesPerSecond = 0.0;

 private:
  AudioLibraryNames names_;
};

}  // namespace AUDIOSAMPLES
