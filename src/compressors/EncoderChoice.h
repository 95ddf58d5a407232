#pragma once

// The compressor a job writes with, and how: what the dialog, the command
// line, the queue and the settings file choose and the job hands to its
// output. Native to this program; the AVI service's record of the same
// choice is made from it at the AVI edge only.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "picture/PictureColour.h"

namespace ENCODERCHOICE {

// "XVID": four characters, the first in the lowest byte.
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

// The quality an encoder picks when none is chosen.
constexpr uint32_t kDefaultQuality = 0xFFFFFFFF;
constexpr uint32_t kHighestQuality = 10000;

// The colour description an encoder writes into its stream, in the codes of
// ITU-T H.273 (which libavcodec's AVColor* values are). 2 is "unspecified",
// what every compressor writes today; a deep or HDR output states its own.
struct ColourDescription {
  int Primaries = 2;
  int Transfer = 2;
  int Matrix = 2;
  bool FullRange = false;  // else video levels, unless the encoder's own form is full range
  // What an HDR stream states of its mastering display and light levels.
  PICTURECOLOUR::HdrMetadata Hdr;

  friend bool operator==(const ColourDescription&, const ColourDescription&) = default;
};

// What the user asks of the output's colour beside the compressor (the
// dialog's colour fields); a field left unset leaves it to the job's
// options.
struct ColourAsked {
  std::optional<int> BitDepth;  // 0 (as the source), 8 or 10
  std::optional<bool> Sdr;      // tone-map an HDR source even where it could stay HDR
  std::optional<int> SubtitleNits;

  friend bool operator==(const ColourAsked&, const ColourAsked&) = default;
};

struct EncoderChoice {
  uint32_t Codec = FourCC('X', 'V', 'I', 'D');  // the catalogue's code
  uint32_t Quality = kDefaultQuality;           // 0 to 10000
  // A key frame at least this often when KeyFramesOn; the value is kept
  // while off, for the next choice.
  uint32_t KeyFrameEvery = 0;
  bool KeyFramesOn = false;
  // At most this many bytes a second when DataRateOn, else the quality.
  uint32_t BytesPerSecond = 0;
  bool DataRateOn = false;
  // "key=value:key=value" options of the libavcodec encoder.
  std::string EncoderOptions;
  // Bits a sample of the pictures the encoder is handed and writes.
  int BitDepth = 8;
  // The encoder's speed preset ("medium", "8"); empty: the encoder's own,
  // or what the encoder options say.
  std::string Preset;
  ColourAsked Asked;
  ColourDescription Colour;
  // Pictures encoded into another stream, between stretches copied from it,
  // match that stream: its profile in the encoder's word ("high", "main10"),
  // its level (H.264's level_idc) and its pictures' shape. Empty and 0 leave
  // them to the encoder.
  std::string Profile;
  int Level = 0;
  int AspectNum = 0, AspectDen = 1;

  friend bool operator==(const EncoderChoice&, const EncoderChoice&) = default;
};

// Which of the choice's fields are asked for.
struct ChoiceRequest {
  bool KeyFrames = true;
  bool DataRate = true;
};

// Makes the choice: the compressor dialog, the command line's options, a
// stand-in in tests. False when it was cancelled.
using Chooser = std::function<bool(const ChoiceRequest& request, EncoderChoice& choice)>;

}  // namespace ENCODERCHOICE
