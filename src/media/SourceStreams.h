#pragma once

// What an output is told of the opened source's chosen streams: their
// values and codec parameters, not the decoder that read them.
#include <climits>
#include <cstdint>

#include "media/StreamValues.h"

struct AVCodecParameters;

namespace VELAVCODEC {

// A packet's time that the source does not give.
constexpr int64_t kNoTime = INT64_MIN;

struct SourceStreams {
  VideoStreamValues Video;
  AudioStreamValues Audio;
  // The source has a sound stream and one is chosen.
  bool HasAudio = false;
  // The streams' clocks: packet times count in these units.
  int32_t VideoTimeBaseNum = 1, VideoTimeBaseDen = 1;
  int32_t AudioTimeBaseNum = 1, AudioTimeBaseDen = 1;
  // The video stream's average frame rate, for a container's header.
  double AverageFramesPerSecond = 0.0;
  // For a container that copies them; valid while the source is open, null
  // where there is no such stream.
  const AVCodecParameters* VideoParameters = nullptr;
  const AVCodecParameters* AudioParameters = nullptr;
};

}  // namespace VELAVCODEC
