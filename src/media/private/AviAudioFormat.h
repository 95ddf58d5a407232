#pragma once

// How a copied audio stream is described in an AVI file: the wave format and
// the stream header's time units, so that AVI readers count the packets the
// way the source meant them.
#include <cstdint>
#include <vector>

#include "media/StreamValues.h"
#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

enum class AviAudioFit {
  Fits,
  NoFormatTag,   // the codec has no wave format tag
  NoParameters,  // no sample rate or no channels: the stream is not known
  Untimed,       // packets of no fixed duration and no block size
};

// Describes the audio stream (all but its start and length). fromAvi: the
// source is an AVI file, so its codec tag already is a wave format tag.
// extraStorage receives made-up extra data when the codec needs some that the
// source lacks. Anything but Fits: an AVI stream cannot carry it.
AviAudioFit DescribeAviAudio(const EntryPoints& api, const AVStream* stream, bool fromAvi,
                             std::vector<uint8_t>& extraStorage, AudioStreamValues& format);

// A time span in the format's units.
int64_t ToAudioUnits(const AudioStreamValues& format, double seconds);

}  // namespace VELAVCODEC
