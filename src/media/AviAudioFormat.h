#pragma once

// How a copied audio stream is described in an AVI file: the wave format and
// the stream header's time units, so that AVI readers count the packets the
// way the source meant them.
#include <cstdint>
#include <vector>

#include "media/EntryPoints.h"

namespace VELAVCODEC {

struct AviAudioFormat {
  int32_t FormatTag = 0;
  int32_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t BytesPerSecond = 0;
  int32_t BlockAlign = 0;
  int32_t BitsPerSample = 0;
  // Stream header: one unit lasts Scale / Rate seconds; SampleSize 0 makes
  // every packet one unit, otherwise a unit is SampleSize bytes.
  int32_t Scale = 1;
  int32_t Rate = 1;
  int32_t SampleSize = 0;
  const uint8_t* ExtraData = nullptr;
  int32_t ExtraSize = 0;
};

// Describes the audio stream. fromAvi: the source is an AVI file, so its codec
// tag already is a wave format tag. extraStorage receives made-up extra data
// when the codec needs some that the source lacks. False when the codec has
// no wave format tag.
bool DescribeAviAudio(const EntryPoints& api, const AVStream* stream, bool fromAvi,
                      std::vector<uint8_t>& extraStorage, AviAudioFormat& format);

// A time span in the format's units.
int64_t ToAudioUnits(const AviAudioFormat& format, double seconds);

}  // namespace VELAVCODEC
