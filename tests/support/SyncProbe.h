#pragma once

// Sources with a white flash in the picture and a 1 kHz beep in the sound,
// made with the ffmpeg tool, and where the two are in a written file.
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

// ffmpeg inputs: black 160x120 video with one white picture at flashAt, and
// 48 kHz sound with a 0.1 s beep at beepAt.
std::string FlashVideo(double rate, double duration, double flashAt);
std::string Beep(double duration, double beepAt);
// FlashVideo's input with a filter appended to its chain.
std::string FlashVideo(double rate, double duration, double flashAt, const std::string& filter);
// 50 pictures a second, every other one left out for the first 2 s.
std::string VariableRateFlashVideo(double duration, double flashAt);

// The first picture brighter than mid-grey, by its presentation time.
double FlashTime(const fs::path& file);
// The decoded audio as 48 kHz mono, silence in front of its first sample so
// that sample 0 is at the file's time 0.
std::vector<int16_t> DecodedAudio(const fs::path& file);
double BeepTime(const std::vector<int16_t>& samples);
// One stream entry of ffprobe ("v" or "a"), as a number.
double StreamEntry(const fs::path& file, const std::string& stream, const std::string& entry);
// The end of the last picture.
double VideoEnd(const fs::path& file);

// Where the audio stream ends as an AVI header states it: its start and
// length.
double HeaderAudioEnd(const fs::path& file);

struct Measured {
  double lateness;   // the beep after the flash
  double audioTail;  // the audio's end after the video's
};
Measured MeasureSync(const fs::path& file);

// MD5 of every audio packet's data, in file order.
std::vector<std::string> AudioPacketHashes(const fs::path& file);
int DecodedPictures(const fs::path& file);

}  // namespace testsupport
