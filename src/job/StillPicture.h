#pragma once

// A still of one moment of the source, drawn exactly as the job draws that
// picture: the same decoder path, subtitle schedule and delay, font, auto-size
// and look. The window shows it before a run; the command line writes it.
#include <optional>
#include <string>
#include <vector>

#include "job/JobOptions.h"
#include "media/VelAvCodec.h"
#include "picture/BmpFrame.h"

namespace STILLPICTURE {

// A time from the source's start: seconds ("12.5"), or minutes and seconds
// ("1:05"), or hours, minutes and seconds ("1:02:03.5"); none when the text
// is no such time.
std::optional<double> ParseStillTime(const std::string& text);

// The number of the picture due `seconds` after the source's start.
int32_t PictureIndexAt(double seconds, double framesPerSecond);

// Opens the options' source with the decoder (closed again afterwards), finds
// the picture due at `seconds` and draws the subtitle due then onto it.
// False with the error text, in the decoder's or the subtitle file's words.
// With AlignToSpeech, `found` (when given) gets the alignment's finding.
bool ComposeStill(VELAVCODEC::VelAvCodec& decoder, const JOBOPTIONS::JobOptions& options,
                  double seconds, BMPFRAME::BmpFrame& still, std::string& error,
                  std::vector<std::string>* found = nullptr);

// Whether the file is the options' source video or subtitle file, by device
// and inode, whatever the spelling or link: a still written there would
// destroy it.
bool IsAnInput(const JOBOPTIONS::JobOptions& options, const std::string& fileName);

// Writes the picture as a PNG image of its own size.
bool WritePng(const BMPFRAME::BmpFrame& still, const std::string& fileName, std::string& error);

}  // namespace STILLPICTURE
