#pragma once

// The installed video compressors: libavcodec's encoders that this machine's
// FFmpeg offers, each under its AVI four-character code, and Full Frames
// (uncompressed), which is always there. A code two encoders could serve
// (AV1) is served by the first of them installed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compressors/EncoderChoice.h"

namespace COMPRESSORCATALOG {

struct CompressorInfo {
  uint32_t code;
  std::string name;
  const char* encoder;  // libavcodec encoder name; null for Full Frames
  bool hasQuality;      // the quality setting means something
  bool hasDataRate;
  bool hasKeyFrames;
  // An AVI file can hold its pictures; the newer codecs go into Matroska,
  // MP4 and WebM only.
  bool aviCarries = true;
  // Writes 10-bit pictures too (4:2:0, little-endian 16-bit samples).
  bool keepsDeepColour = false;
};

// The encoder's speed presets, fastest first, and the library option that
// takes them; none for the encoders that have no such trade.
struct PresetList {
  const char* option = nullptr;
  std::vector<std::string> names;
};
PresetList PresetsOf(const CompressorInfo& info);
// Whether the compressor takes this preset; empty is always taken (the
// encoder's own).
bool TakesPreset(const CompressorInfo& info, const std::string& preset);

constexpr uint32_t kFullFrames = ENCODERCHOICE::FourCC('D', 'I', 'B', ' ');

// In the order the dialog and --list-compressors show them.
const std::vector<CompressorInfo>& InstalledCompressors();
const CompressorInfo* FindCompressor(uint32_t code);
// code is matched without regard to case or trailing blanks ("dib" names
// Full Frames).
const CompressorInfo* FindCompressorByCode(std::string_view code);
// The four characters of a code, trailing blanks included.
std::string CodeText(uint32_t code);

}  // namespace COMPRESSORCATALOG
