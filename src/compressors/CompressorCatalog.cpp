#include "compressors/CompressorCatalog.h"

#include <algorithm>
#include <cctype>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "compressors/EncoderHdrParams.h"
#include "compressors/HardwareEncoders.h"

namespace COMPRESSORCATALOG {

namespace {

using ENCODERCHOICE::FourCC;

// x264 and x265 share their names.
const PresetList kX26xPresets{"preset",
                              {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                               "slow", "slower", "veryslow", "placebo"}};

// Speeds given as numbers, from the fastest down to 0 (slowest).
PresetList CountDown(const char* option, int fastest) {
  PresetList numbers{option, {}};
  for (int speed = fastest; speed >= 0; --speed) numbers.names.push_back(std::to_string(speed));
  return numbers;
}

constexpr QualityControl kQuantiser{.scale = QualityScale::Quantiser};
constexpr RateControl kDataRateAndKeyFrames{.hasDataRate = true, .hasKeyFrames = true};

// A hardware family's H.264 and HEVC rows differ in code, name and encoder
// only. They run on their device: no threads of ours. Their constant-quality
// modes take the same scale as x264's rate factor, under the family's own
// option.
CompressorInfo HardwareRow(uint32_t code, const char* name, const char* encoder,
                           const char* rateOption) {
  return {.code = code,
          .name = name,
          .encoder = encoder,
          .aviCarries = false,
          .quality = {.scale = QualityScale::RateFactor, .rateOption = rateOption},
          .rate = kDataRateAndKeyFrames,
          .ownThreads = true,
          .hardware = {.probed = true}};
}

CompressorInfo Nvenc(uint32_t code, const char* name, const char* encoder) {
  CompressorInfo row = HardwareRow(code, name, encoder, "cq");
  row.presets = {"preset", {"p1", "p2", "p3", "p4", "p5", "p6", "p7"}};
  row.defaults = {{"rc", "vbr"}};
  return row;
}

CompressorInfo QuickSync(uint32_t code, const char* name, const char* encoder) {
  CompressorInfo row = HardwareRow(code, name, encoder, "global_quality");
  row.presets = {"preset", {"veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"}};
  row.picture.pixelFormat = AV_PIX_FMT_NV12;
  return row;
}

// VA-API takes its pictures in the device's memory, NV12 before the upload.
CompressorInfo VaApi(uint32_t code, const char* name, const char* encoder) {
  CompressorInfo row = HardwareRow(code, name, encoder, "qp");
  row.picture.pixelFormat = AV_PIX_FMT_NV12;
  row.defaults = {{"rc_mode", "CQP"}};
  row.hardware.deviceFrames = true;
  return row;
}

// The newer codecs' defaults are those people compare with: x265's medium
// at rate factor 28, SVT-AV1's preset 8 at 35, libvpx's good deadline at
// cpu-used 4 and 32. Their own threads beat slices.
const CompressorInfo kKnown[] = {
    {.code = kFullFrames, .name = "Full Frames (Uncompressed)"},
    {.code = FourCC('X', 'V', 'I', 'D'),
     .name = "MPEG-4 Part 2 (Xvid compatible)",
     .encoder = "mpeg4",
     .quality = kQuantiser,
     .rate = kDataRateAndKeyFrames},
    // A short look-ahead keeps the frames held back, and so the bytes the
    // writes report, close to the pictures handed in.
    {.code = FourCC('H', '2', '6', '4'),
     .name = "H.264 (x264)",
     .encoder = "libx264",
     .presets = kX26xPresets,
     .quality = {.scale = QualityScale::RateFactor, .rates = {51, 23, 12}},
     .rate = kDataRateAndKeyFrames,
     .ownThreads = true,
     .defaults = {{"rc-lookahead", "10"}}},
    {.code = FourCC('M', 'J', 'P', 'G'),
     .name = "Motion JPEG",
     .encoder = "mjpeg",
     .quality = kQuantiser,
     .rate = {.hasDataRate = true},
     .picture = {.fullRange = true}},
    {.code = FourCC('F', 'F', 'V', '1'),
     .name = "FFV1 (lossless)",
     .encoder = "ffv1",
     .rate = {.hasKeyFrames = true},
     .picture = {.pixelFormat = AV_PIX_FMT_0RGB32, .fullRange = true}},
    {.code = FourCC('H', 'F', 'Y', 'U'),
     .name = "HuffYUV (lossless)",
     .encoder = "huffyuv",
     .picture = {.pixelFormat = AV_PIX_FMT_RGB24, .fullRange = true}},
    {.code = FourCC('U', 'L', 'R', 'G'),
     .name = "Ut Video RGB (lossless)",
     .encoder = "utvideo",
     .picture = {.pixelFormat = AV_PIX_FMT_GBRP, .fullRange = true}},
    {.code = FourCC('H', 'E', 'V', 'C'),
     .name = "HEVC (x265)",
     .encoder = "libx265",
     .aviCarries = false,
     .presets = kX26xPresets,
     .quality = {.scale = QualityScale::RateFactor, .rates = {51, 28, 12}},
     .rate = kDataRateAndKeyFrames,
     .keepsDeepColour = true,
     .ownThreads = true,
     // Its frame threads; its pool of row threads, which change nothing of
     // the stream, still takes every core.
     .threads = 1,
     .defaults = {{"preset", "medium"}},
     .hdr = {.option = "x265-params", .format = ENCODERHDRPARAMS::X265},
     .chatter = {.options = {{"x265-params", "log-level=error"}}}},
    // SVT-AV1 misses a data rate by half over a few seconds: quality only;
    // and it takes no ceiling equal to its target, the target alone rules.
    // It prints its whole set-up unless its own log level says not to.
    {.code = FourCC('A', 'V', '0', '1'),
     .name = "AV1 (SVT-AV1)",
     .encoder = "libsvtav1",
     .aviCarries = false,
     .presets = CountDown("preset", 13),
     .quality = {.scale = QualityScale::RateFactor, .rates = {63, 35, 15}},
     .rate = {.hasKeyFrames = true, .dataRateCeiling = false},
     .keepsDeepColour = true,
     .ownThreads = true,
     .defaults = {{"preset", "8"}},
     .hdr = {.option = "svtav1-params", .format = ENCODERHDRPARAMS::SvtAv1},
     .chatter = {.variable = "SVT_LOG", .value = "1"},
     .endsStreamBeforeClose = true},
    {.code = FourCC('A', 'V', '0', '1'),
     .name = "AV1 (libaom)",
     .encoder = "libaom-av1",
     .aviCarries = false,
     .presets = CountDown("cpu-used", 8),
     .quality = {.scale = QualityScale::RateFactor, .rates = {63, 35, 15}},
     .rate = kDataRateAndKeyFrames,
     .keepsDeepColour = true,
     .ownThreads = true,
     .threads = 2,
     .defaults = {{"cpu-used", "6"}, {"row-mt", "1"}}},
    // libvpx has no place for HDR metadata in its stream; the container has.
    {.code = FourCC('V', 'P', '9', '0'),
     .name = "VP9 (libvpx)",
     .encoder = "libvpx-vp9",
     .aviCarries = false,
     .presets = CountDown("cpu-used", 8),
     .quality = {.scale = QualityScale::RateFactor, .rates = {63, 32, 15}},
     .rate = kDataRateAndKeyFrames,
     .keepsDeepColour = true,
     .ownThreads = true,
     .threads = 2,
     .defaults = {{"deadline", "good"}, {"cpu-used", "4"}, {"row-mt", "1"}}},
    // The hardware encoders, listed only where one opens on this machine.
    Nvenc(FourCC('N', 'V', 'H', '4'), "H.264 (NVENC)", "h264_nvenc"),
    Nvenc(FourCC('N', 'V', 'H', '5'), "HEVC (NVENC)", "hevc_nvenc"),
    QuickSync(FourCC('Q', 'S', 'H', '4'), "H.264 (Quick Sync)", "h264_qsv"),
    QuickSync(FourCC('Q', 'S', 'H', '5'), "HEVC (Quick Sync)", "hevc_qsv"),
    VaApi(FourCC('V', 'A', 'H', '4'), "H.264 (VA-API)", "h264_vaapi"),
    VaApi(FourCC('V', 'A', 'H', '5'), "HEVC (VA-API)", "hevc_vaapi"),
};

std::vector<CompressorInfo> FindInstalled() {
  std::vector<CompressorInfo> installed;
  for (const CompressorInfo& info : KnownCompressors()) {
    const bool served =
        std::any_of(installed.begin(), installed.end(),
                    [&](const CompressorInfo& other) { return other.code == info.code; });
    const bool there =
        info.encoder == nullptr ||
        (avcodec_find_encoder_by_name(info.encoder) != nullptr &&
         (!info.hardware.probed || HARDWAREENCODERS::Opens(info.encoder, info.picture.pixelFormat,
                                                           info.hardware.deviceFrames)));
    if (!served && there) installed.push_back(info);
  }
  return installed;
}

}  // namespace

const std::vector<CompressorInfo>& KnownCompressors() {
  static const std::vector<CompressorInfo> known(std::begin(kKnown), std::end(kKnown));
  return known;
}

const std::vector<CompressorInfo>& InstalledCompressors() {
  static const std::vector<CompressorInfo> installed = FindInstalled();
  return installed;
}

const CompressorInfo* FindCompressor(uint32_t code) {
  for (const CompressorInfo& info : InstalledCompressors())
    if (info.code == code) return &info;
  return nullptr;
}

const CompressorInfo* FindCompressorByCode(std::string_view code) {
  while (!code.empty() && code.back() == ' ') code.remove_suffix(1);
  if (code.empty() || code.size() > 4) return nullptr;
  char text[4] = {' ', ' ', ' ', ' '};
  for (size_t i = 0; i < code.size(); ++i) text[i] = char(std::toupper((unsigned char)code[i]));
  for (const CompressorInfo& info : InstalledCompressors()) {
    std::string known = CodeText(info.code);
    bool same = true;
    for (size_t i = 0; i < 4; ++i)
      same = same && std::toupper((unsigned char)known[i]) == (unsigned char)text[i];
    if (same) return &info;
  }
  return nullptr;
}

bool TakesPreset(const CompressorInfo& info, const std::string& preset) {
  if (preset.empty()) return true;
  const std::vector<std::string>& names = info.presets.names;
  return std::find(names.begin(), names.end(), preset) != names.end();
}

std::string CodeText(uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = char((code >> (8 * i)) & 0xFF);
  return text;
}

}  // namespace COMPRESSORCATALOG
