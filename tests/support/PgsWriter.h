#pragma once

// Writes Blu-ray picture subtitle streams (.sup files, "hdmv_pgs_subtitle")
// with known content, so that tests can hand the program picture subtitles
// whose ink, colours, times and forced flags they know beforehand.
#include <cstdint>
#include <string>
#include <vector>

namespace pgswriter {

// A palette colour given in RGB. It is written as Y Cr Cb with the BT.709
// matrix on video levels (16-235, 16-240), as discs carry it, so a decoder's
// RGB can be off by a step or two from what was given. ffmpeg reads the
// palette of a canvas 576 lines high or less with BT.601, and its colours
// then move further: use a taller canvas where colours are compared.
struct PaletteEntry {
  uint8_t Index = 0;
  uint8_t Red = 0, Green = 0, Blue = 0;
  uint8_t Alpha = 255;  // 0 transparent, 255 opaque
};

struct Object {
  uint16_t X = 0, Y = 0;  // top left corner on the canvas
  uint16_t Width = 0, Height = 0;
  std::vector<uint8_t> Indexes;  // Width * Height palette indexes, row by row
  bool Forced = false;           // shown even when only forced subtitles are
};

// Faults a set can be written with, for tests of bad input.
enum class Damage {
  None,
  NoEnd,            // the END segment that closes the set is left out
  TruncatedObject,  // each object carries half of the data its length states
};

struct DisplaySet {
  int64_t Pts90k = 0;  // presentation time in 90 kHz ticks; written modulo 2^32
  uint16_t CanvasWidth = 1920, CanvasHeight = 1080;
  std::vector<PaletteEntry> Palette;
  // Players show at most two objects at a time, and ffmpeg drops the rest; no
  // objects: a set that clears the screen.
  std::vector<Object> Objects;
  Damage Fault = Damage::None;
  // A set of objects written as a normal composition in the epoch before
  // it: composition and window only, showing the objects the epoch start
  // defined under the same ids (their order there), here at this set's
  // places and with this set's forced flags; Palette and each object's
  // Indexes are not written.
  bool SameEpoch = false;
};

// The bytes of a .sup file holding the sets in order. Every set with objects
// starts a new epoch with its own window (around all its objects), palette
// and objects; a clearing set is a composition with no objects in the window
// of the set before it. Throws std::invalid_argument when an object's
// indexes do not number Width * Height.
std::string WriteSup(const std::vector<DisplaySet>& sets);

// The segments of .sup bytes as libavformat's sup demuxer hands them on, one
// a packet: each without its "PG" and time stamps, with its presentation
// time. Bytes that do not split into whole segments give none.
struct Segment {
  int64_t Pts90k = 0;
  std::string Bytes;  // type, 16-bit length, payload
};
std::vector<Segment> SplitSup(const std::string& sup);

// The set that clears what `shown` showed, at pts90k, on its canvas.
DisplaySet ClearingSet(const DisplaySet& shown, int64_t pts90k);

// An object of one palette index filling a rectangle.
Object FilledRectangle(uint16_t x, uint16_t y, uint16_t width, uint16_t height, uint8_t index,
                       bool forced = false);

}  // namespace pgswriter
