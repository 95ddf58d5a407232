#pragma once

// The installed video compressors: libavcodec's encoders that this machine's
// FFmpeg offers, each under its AVI four-character code, and Full Frames
// (uncompressed), which is always there. A code two encoders could serve
// (AV1) is served by the first of them installed.
//
// One row holds everything in which one encoder differs from another, so
// that the encoder, the dialog and the outputs ask the row, never the name.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "compressors/EncoderChoice.h"

namespace COMPRESSORCATALOG {

// The encoder's speed presets, fastest first, and the library option that
// takes them; none for the encoders that have no such trade.
struct PresetList {
  const char* option = nullptr;
  std::vector<std::string> names;
};

// Library options as key and value.
using Options = std::vector<std::pair<const char*, const char*>>;

enum class QualityScale { None, Quantiser, RateFactor };

// A rate factor's value at quality 0, at the default quality and at 10000.
struct RateScale {
  double low, atDefault, high;
};

// Where the quality 0..10000 goes; None where the setting means nothing.
struct QualityControl {
  QualityScale scale = QualityScale::None;
  RateScale rates{51, 23, 12};
  // The library option the rate factor goes to.
  const char* rateOption = "crf";
};

struct RateControl {
  bool hasDataRate = false;
  bool hasKeyFrames = false;
  // The data rate is a ceiling as well as the target.
  bool dataRateCeiling = true;
};

// The pictures the encoder is handed, 8-bit.
struct PictureForm {
  AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
  bool fullRange = false;
};

// How HDR metadata reaches the stream: written by format into the
// library's own "key=value:..." option; none where only the container
// carries it.
struct HdrPassing {
  const char* option = nullptr;
  std::string (*format)(const PICTURECOLOUR::HdrMetadata& hdr) = nullptr;
};

// What keeps the encoder's own reports off standard error unless the
// libraries' chatter is asked for: options, and an environment variable
// for a library that reads no option before it prints.
struct ChatterQuiet {
  Options options{};
  const char* variable = nullptr;
  const char* value = nullptr;
};

// Hardware encoders are listed only where a trial opens one; VA-API's take
// their pictures in device memory.
struct HardwareUse {
  bool probed = false;
  bool deviceFrames = false;
};

struct CompressorInfo {
  uint32_t code;
  std::string name;
  const char* encoder = nullptr;  // libavcodec encoder name; null for Full Frames
  // An AVI file can hold its pictures; the newer codecs go into Matroska,
  // MP4 and WebM only.
  bool aviCarries = true;
  PresetList presets{};
  QualityControl quality{};
  RateControl rate{};
  PictureForm picture{};
  // Writes 10-bit pictures too (4:2:0, little-endian 16-bit samples).
  bool keepsDeepColour = false;
  // The encoder threads itself, better than slices would.
  bool ownThreads = false;
  // The threads it is given, fixed since the count shapes the stream (the
  // slices of a picture, frame threads); 0: what the libraries choose for
  // themselves on two cores.
  int threads = 0;
  // Options it gets unless the user's own say otherwise.
  Options defaults{};
  HdrPassing hdr{};
  ChatterQuiet chatter{};
  HardwareUse hardware{};
  // The encoder waits for ever at its close unless its stream was ended.
  bool endsStreamBeforeClose = false;

  // The quality setting means something.
  bool HasQuality() const { return quality.scale != QualityScale::None; }
};

// Whether the compressor takes this preset; empty is always taken (the
// encoder's own).
bool TakesPreset(const CompressorInfo& info, const std::string& preset);

constexpr uint32_t kFullFrames = ENCODERCHOICE::FourCC('D', 'I', 'B', ' ');

// Every row, installed here or not, in the catalogue's order.
const std::vector<CompressorInfo>& KnownCompressors();
// In the order the dialog and --list-compressors show them.
const std::vector<CompressorInfo>& InstalledCompressors();
const CompressorInfo* FindCompressor(uint32_t code);
// code is matched without regard to case or trailing blanks ("dib" names
// Full Frames).
const CompressorInfo* FindCompressorByCode(std::string_view code);
// The four characters of a code, trailing blanks included.
std::string CodeText(uint32_t code);

}  // namespace COMPRESSORCATALOG
