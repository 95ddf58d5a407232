#pragma once

// Writes DVD picture subtitles as a VobSub pair (an .idx text index and the
// .sub program stream beside it, "dvd_subtitle") with known content, so that
// tests can hand the program DVD subtitles whose ink, colours, times and
// forced flags they know beforehand.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vobsubwriter {

// A colour of the .idx's palette, written there as RGB (hex rrggbb); ffmpeg
// takes it as it stands, with no trip through Y Cr Cb.
struct Colour {
  uint8_t Red = 0, Green = 0, Blue = 0;
};

struct Subpicture {
  // Shown from the start until the end. The start goes to the .idx in whole
  // milliseconds; the end becomes a stop command at the time between them,
  // counted down to whole ticks of 1024/90000 s (about 11.4 ms), which ffmpeg
  // reads back rounded down to a millisecond: the end it gives is never later
  // than asked and up to 12 ms earlier, so the picture is gone at a frame on
  // its end. A stop less than a tick after the start cannot be written. An end
  // not after the start writes no stop: ffmpeg then gives an end of 0 and no
  // duration (its own tool shows such a picture not at all).
  int64_t StartMs = 0, EndMs = 0;
  uint16_t X = 0, Y = 0;  // top left corner on the canvas; at most 4095
  // ffmpeg (5.1) decodes nothing of a picture one line high.
  uint16_t Width = 0, Height = 0;
  // Width * Height values 0..3, row by row: background, pattern, emphasis 1,
  // emphasis 2.
  std::vector<uint8_t> Pixels;
  // For each of the four values, a colour of the .idx's palette (0..15) and
  // an opacity from 0 (transparent) to 15 (opaque); ffmpeg scales the opacity
  // by 17 to 0..255.
  std::array<uint8_t, 4> PaletteIndex{0, 1, 2, 3};
  std::array<uint8_t, 4> Alpha{0, 15, 15, 15};
  // Written with the forced start command, which ffmpeg marks as forced and
  // keeps when only forced subtitles are asked for. ffmpeg trims the fully
  // transparent edges off a picture that is not forced, and keeps a forced
  // one's rectangle whole.
  bool Forced = false;
};

// The bytes of the two files; the .sub's name must be the .idx's with "sub"
// for its extension.
struct Pair {
  std::string Idx, Sub;
};

// The pictures in start order, each in its own run of 2048-byte packs whose
// first carries its start as a 90 kHz time stamp. The canvas size goes on the
// .idx's "size:" line, the palette on its "palette:" line, the language on
// its one "id:" line (stream index 0). Throws std::invalid_argument for a
// picture whose pixels do not number Width * Height, an empty or off-limits
// rectangle, a value, colour or opacity out of range, pictures out of order,
// a negative start, a stop delay or a picture's data beyond what the format
// can hold, or a language that would break the .idx's line.
Pair WriteVobSub(const std::vector<Subpicture>& pictures, uint16_t canvasWidth,
                 uint16_t canvasHeight, const std::array<Colour, 16>& palette,
                 const std::string& language = "en");

// A rectangle of one value (1..3), background nowhere, with the default
// colours and opacities.
Subpicture FilledRectangle(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t value,
                           int64_t startMs, int64_t endMs, bool forced = false);

}  // namespace vobsubwriter
