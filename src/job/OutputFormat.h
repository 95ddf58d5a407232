#pragma once

// The records the job hands to the AVI file service: the two stream headers,
// the audio format block, the software text, and the texts of its errors.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Vfw.h"

namespace OUTPUTFORMAT {

// The source values the headers are made from (copied from the decoder).
struct VideoValues {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t VideoScale = 1;
  int32_t VideoRate = 1;
  int32_t FrameImageSize = 0;
};

struct AudioValues {
  int32_t AudioScale = 1;
  int32_t AudioRate = 1;
  int32_t AudioStart = 0;
  int32_t AudioLength = 0;
  int32_t AudioSampleSize = 0;
  int32_t AudioBytesPerSecond = 0;
  int32_t AudioChannels = 0;
  int32_t AudioFormatTag = 0;
  int32_t AudioBitsPerSample = 0;
  int32_t AudioBlockAlign = 0;
  int32_t AudioSampleRate = 0;
  const uint8_t* AudioExtraData = nullptr;
  int32_t AudioExtraSize = 0;
};

constexpr int kSoftwareInfoSize = 96;

AVISTREAMINFOA VideoStreamInfo(const VideoValues& video, bool transcode);
AVISTREAMINFOA AudioStreamInfo(const AudioValues& audio, bool fixAudioVbr);
// WAVEFORMATEX followed by the codec's extra data.
std::vector<uint8_t> AudioFormatBlock(const AudioValues& audio);
// The LIST/INFO data with the ISFT text naming the program and its maker.
std::vector<uint8_t> SoftwareInfoBlock();

// "Can't create output video file..." with the sentence for the code.
std::string OutputFileErrorText(HRESULT code);
// "Can't create compressed video stream..." with the sentence for the code.
std::string CompressedStreamErrorText(HRESULT code);

}  // namespace OUTPUTFORMAT
