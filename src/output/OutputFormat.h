#pragma once

// The records the job hands to the AVI file service, made from the source's
// stream values: the two stream headers, the audio format block, the software
// text, and the texts of its errors.
#include <cstdint>
#include <string>
#include <vector>

#include "media/StreamValues.h"
#include "platform/AviRecords.h"

namespace OUTPUTFORMAT {

constexpr int kSoftwareInfoSize = 96;

AVISTREAMINFOA VideoStreamInfo(const VELAVCODEC::VideoStreamValues& video, bool transcode);
AVISTREAMINFOA AudioStreamInfo(const VELAVCODEC::AudioStreamValues& audio, bool fixAudioVbr);
// WAVEFORMATEX followed by the codec's extra data.
std::vector<uint8_t> AudioFormatBlock(const VELAVCODEC::AudioStreamValues& audio);
// The LIST/INFO data with the ISFT text naming the program and its maker.
std::vector<uint8_t> SoftwareInfoBlock();

// "Can't create output video file..." with the sentence for the code.
std::string OutputFileErrorText(HRESULT code);
// "Can't create compressed video stream..." with the sentence for the code.
std::string CompressedStreamErrorText(HRESULT code);

}  // namespace OUTPUTFORMAT
