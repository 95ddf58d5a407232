#pragma once

// The fuzz targets: one function a reader or a stage that takes hostile
// bytes, each run by a libFuzzer program of its own (fuzz/FuzzerMain.cpp) and
// by the replay test over the inputs kept in fuzz/findings/<name>/. A check
// that fails ends the process (FUZZ_REQUIRE), as a sanitizer's finding does.
// Every target takes any bytes; each says how it reads them.
#include <cstddef>
#include <cstdint>
#include <span>

namespace FUZZTARGETS {

using Target = int (*)(const uint8_t* data, std::size_t size);

// A whole subtitle file of any format: the first byte picks the frame rate
// and delay, the low bits of the last byte the reading options, the bytes
// between are the file. The shared fixtures' fuzz findings are in this form.
int FuzzSubtitleFile(const uint8_t* data, std::size_t size);

// The readers of one format each. Three control bytes (timing, reading
// options and how the file is made, picture and base style), then the
// payload: the file itself, or pieces between 0xFF bytes that the target
// lays out as cues of its format.
int FuzzSubRip(const uint8_t* data, std::size_t size);
int FuzzMicroDvd(const uint8_t* data, std::size_t size);
int FuzzAss(const uint8_t* data, std::size_t size);
int FuzzWebVtt(const uint8_t* data, std::size_t size);

// Markup conversion and removal on any text (one control byte first).
int FuzzMarkup(const uint8_t* data, std::size_t size);
// The limits put on a script (five control bytes: a resolution and a mode).
int FuzzLimits(const uint8_t* data, std::size_t size);
// The job queue file, as text.
int FuzzQueue(const uint8_t* data, std::size_t size);
// The settings file (one control byte, then the file).
int FuzzSettings(const uint8_t* data, std::size_t size);
// MP4 box walks (control bytes for a length and a prefix, then the file).
int FuzzMp4Boxes(const uint8_t* data, std::size_t size);
// Disc subtitle pictures decoded and drawn (one control byte: the source,
// sizes and timing; then length-prefixed records: a header and packets, or
// the file).
int FuzzDisplaySets(const uint8_t* data, std::size_t size);

// The keyframe kind of a video packet (one control byte: codec and
// framing; then the packet).
int FuzzNalUnits(const uint8_t* data, std::size_t size);

// The soft copy of a picture track whose forced pictures are burned (one
// control byte: the codec; then length-prefixed packets).
int FuzzForcedSets(const uint8_t* data, std::size_t size);

struct NamedTarget {
  const char* Name;  // the findings folder and the program: <name>_fuzzer
  Target Run;
  bool ReadsSubtitleText;  // the subtitle fixtures are seeds for it
};

std::span<const NamedTarget> AllTargets();

}  // namespace FUZZTARGETS
