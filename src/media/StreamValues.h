#pragma once

// What an opened source tells about its chosen streams: the picture's size
// and rate, and how the copied audio stream is described in the output
// (wave format and time units). The decoder fills them; the job builds the
// output's stream headers from them.
#include <cstdint>

#include "picture/PictureColour.h"

namespace VELAVCODEC {

struct VideoStreamValues {
  int32_t Width = 0, Height = 0;
  int32_t FrameCount = 0;                 // an estimate from the container's duration
  int32_t VideoScale = 1, VideoRate = 1;  // a picture lasts VideoScale / VideoRate seconds
  int32_t FrameImageSize = 0;             // bytes of one picture's pixel rows
  double StartSeconds = 0.0, DurationSeconds = 0.0, FramesPerSecond = 0.0;
  // The container states its length (a pipe's may not).
  bool LengthKnown = false;
  // Pictures the output's video starts late, so that audio that begins a
  // little before the first picture keeps its place.
  int32_t VideoStartFrames = 0;
  // Where the video stream's first picture is due, in the source's seconds;
  // the times of the pictures GetNextData delivers count from here.
  double VideoStartSeconds = 0.0;
  // The source's average rate differs from the rate chosen: its pictures
  // may not come at a constant rate.
  bool VariableRate = false;
  // The pictures' depth and colour description, and the HDR metadata of
  // the first picture when the transfer is PQ or HLG.
  PICTURECOLOUR::PictureForm Form;
};

struct AudioStreamValues {
  // Wave format, and the codec's extra data that follows it.
  int32_t AudioFormatTag = 0, AudioChannels = 0, AudioSampleRate = 0, AudioBytesPerSecond = 0;
  int32_t AudioBlockAlign = 0, AudioBitsPerSample = 0;
  const uint8_t* AudioExtraData = nullptr;
  int32_t AudioExtraSize = 0;
  // Stream header: one unit lasts AudioScale / AudioRate seconds; a sample
  // size of 0 makes every packet one unit, otherwise a unit is that many
  // bytes. Start and length count units from the video's start.
  int32_t AudioScale = 1, AudioRate = 1, AudioSampleSize = 0;
  int32_t AudioStart = 0, AudioLength = 0;
  // Uncompressed samples: every unit is one block of AudioBlockAlign bytes.
  bool AudioIsPcm = false;
};

}  // namespace VELAVCODEC
