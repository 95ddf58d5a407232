#include "compressors/CompressorCatalog.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "compressors/HardwareEncoders.h"

namespace COMPRESSORCATALOG {

namespace {

const CompressorInfo kKnown[] = {
    {kFullFrames, "Full Frames (Uncompressed)", nullptr, false, false, false},
    {ENCODERCHOICE::FourCC('X', 'V', 'I', 'D'), "MPEG-4 Part 2 (Xvid compatible)", "mpeg4", true,
     true, true},
    {ENCODERCHOICE::FourCC('H', '2', '6', '4'), "H.264 (x264)", "libx264", true, true, true},
    {ENCODERCHOICE::FourCC('M', 'J', 'P', 'G'), "Motion JPEG", "mjpeg", true, true, false},
    {ENCODERCHOICE::FourCC('F', 'F', 'V', '1'), "FFV1 (lossless)", "ffv1", false, false, true},
    {ENCODERCHOICE::FourCC('H', 'F', 'Y', 'U'), "HuffYUV (lossless)", "huffyuv", false, false,
     false},
    {ENCODERCHOICE::FourCC('U', 'L', 'R', 'G'), "Ut Video RGB (lossless)", "utvideo", false, false,
     false},
    {ENCODERCHOICE::FourCC('H', 'E', 'V', 'C'), "HEVC (x265)", "libx265", true, true, true, false,
     true},
    // SVT-AV1 misses a data rate by half over a few seconds: quality only.
    {ENCODERCHOICE::FourCC('A', 'V', '0', '1'), "AV1 (SVT-AV1)", "libsvtav1", true, false, true,
     false, true},
    {ENCODERCHOICE::FourCC('A', 'V', '0', '1'), "AV1 (libaom)", "libaom-av1", true, true, true,
     false, true},
    {ENCODERCHOICE::FourCC('V', 'P', '9', '0'), "VP9 (libvpx)", "libvpx-vp9", true, true, true,
     false, true},
    // The hardware encoders, listed only where one opens on this machine.
    {ENCODERCHOICE::FourCC('N', 'V', 'H', '4'), "H.264 (NVENC)", "h264_nvenc", true, true, true,
     false},
    {ENCODERCHOICE::FourCC('N', 'V', 'H', '5'), "HEVC (NVENC)", "hevc_nvenc", true, true, true,
     false},
    {ENCODERCHOICE::FourCC('Q', 'S', 'H', '4'), "H.264 (Quick Sync)", "h264_qsv", true, true, true,
     false},
    {ENCODERCHOICE::FourCC('Q', 'S', 'H', '5'), "HEVC (Quick Sync)", "hevc_qsv", true, true, true,
     false},
    {ENCODERCHOICE::FourCC('V', 'A', 'H', '4'), "H.264 (VA-API)", "h264_vaapi", true, true, true,
     false},
    {ENCODERCHOICE::FourCC('V', 'A', 'H', '5'), "HEVC (VA-API)", "hevc_vaapi", true, true, true,
     false},
};

std::vector<CompressorInfo> FindInstalled() {
  std::vector<CompressorInfo> installed;
  for (const CompressorInfo& info : kKnown) {
    const bool served =
        std::any_of(installed.begin(), installed.end(),
                    [&](const CompressorInfo& other) { return other.code == info.code; });
    const bool there =
        info.encoder == nullptr ||
        (avcodec_find_encoder_by_name(info.encoder) != nullptr &&
         (!HARDWAREENCODERS::IsHardware(info.encoder) || HARDWAREENCODERS::Opens(info.encoder)));
    if (!served && there) installed.push_back(info);
  }
  return installed;
}

}  // namespace

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

// x264 and x265 share their names; SVT-AV1 counts down from 13, the fastest;
// libaom and libvpx take a speed of 0 (slowest) to 8 as cpu-used.
PresetList PresetsOf(const CompressorInfo& info) {
  const std::string encoder = info.encoder != nullptr ? info.encoder : "";
  if (encoder == "libx264" || encoder == "libx265")
    return {"preset",
            {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower",
             "veryslow", "placebo"}};
  if (encoder.ends_with("_nvenc")) return {"preset", {"p1", "p2", "p3", "p4", "p5", "p6", "p7"}};
  if (encoder.ends_with("_qsv"))
    return {"preset", {"veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"}};
  PresetList numbers;
  const int fastest = encoder == "libsvtav1" ? 13 : 8;
  if (encoder == "libsvtav1")
    numbers.option = "preset";
  else if (encoder == "libaom-av1" || encoder == "libvpx-vp9")
    numbers.option = "cpu-used";
  else
    return {};
  for (int speed = fastest; speed >= 0; --speed) numbers.names.push_back(std::to_string(speed));
  return numbers;
}

bool TakesPreset(const CompressorInfo& info, const std::string& preset) {
  if (preset.empty()) return true;
  const PresetList list = PresetsOf(info);
  return std::find(list.names.begin(), list.names.end(), preset) != list.names.end();
}

std::string CodeText(uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = char((code >> (8 * i)) & 0xFF);
  return text;
}

}  // namespace COMPRESSORCATALOG
