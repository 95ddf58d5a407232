#include "shell/Settings.h"

#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswscale/version.h>

#include <algorithm>

#include "compressors/CompressorCatalog.h"
#include "platform/IniFile.h"
#include "shell/JobOptionTable.h"

namespace SETTINGS {
namespace {

using INIFILE::IniFile;

std::string Soname(const char* library, int major) {
  return std::string("lib") + library + ".so." + std::to_string(major);
}

constexpr const char* kCompressor = "COMPRESSOR";

// "XVID", "DIB": the code's characters without its trailing blanks.
std::string CodeText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += char((code >> (8 * i)) & 0xFF);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Up to four printable characters; anything else gives the fallback.
uint32_t ParseCode(const std::string& text, uint32_t fallback) {
  if (text.empty() || text.size() > 4) return fallback;
  char c[4] = {' ', ' ', ' ', ' '};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] <= ' ' || text[i] > '~') return fallback;
    c[i] = text[i];
  }
  return ENCODERCHOICE::FourCC(c[0], c[1], c[2], c[3]);
}

}  // namespace

Settings::Settings()
    : AvCodec(Soname("avcodec", LIBAVCODEC_VERSION_MAJOR)),
      AvFormat(Soname("avformat", LIBAVFORMAT_VERSION_MAJOR)),
      AvUtil(Soname("avutil", LIBAVUTIL_VERSION_MAJOR)),
      SwScale(Soname("swscale", LIBSWSCALE_VERSION_MAJOR)) {}

Settings LoadSettings(const std::string& path) {
  const IniFile file(path);
  Settings settings;
  settings.AvCodec = file.ReadString("DLL", "AvCodec", settings.AvCodec);
  settings.AvFormat = file.ReadString("DLL", "AvFormat", settings.AvFormat);
  settings.AvUtil = file.ReadString("DLL", "AvUtil", settings.AvUtil);
  settings.SwScale = file.ReadString("DLL", "SwScale", settings.SwScale);
  settings.ShowStatistics = file.ReadBool("OTHER", "ShowStatistics", settings.ShowStatistics);
  settings.SaveOnExit = file.ReadBool("OTHER", "SaveOnExit", settings.SaveOnExit);
  JOBOPTIONTABLE::LoadKeys(file, settings);
  return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string& error) {
  IniFile file(path);
  file.WriteBool("OTHER", "SaveOnExit", settings.SaveOnExit);
  if (settings.SaveOnExit) {
    // [OTHER] is there already: its window key goes before the job's, where
    // it has always been.
    file.WriteBool("OTHER", "ShowStatistics", settings.ShowStatistics);
    JOBOPTIONTABLE::SaveKeys(file, settings);
  }
  if (file.UpdateFile()) return true;
  error = "Unable to write to " + path;
  return false;
}

std::optional<ENCODERCHOICE::EncoderChoice> LoadCompressorChoice(const std::string& path) {
  const IniFile file(path);
  if (file.ReadString(kCompressor, "Code", "").empty()) return std::nullopt;
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = ParseCode(file.ReadString(kCompressor, "Code", ""),
                           ENCODERCHOICE::FourCC('X', 'V', 'I', 'D'));
  choice.Quality = uint32_t(std::clamp(file.ReadInteger(kCompressor, "Quality", 7500), 0, 10000));
  // The ranges of the dialog's fields.
  choice.KeyFrameEvery =
      uint32_t(std::clamp(file.ReadInteger(kCompressor, "KeyFrames", 250), 1, 100000));
  choice.BytesPerSecond =
      uint32_t(std::clamp(file.ReadInteger(kCompressor, "DataRate", 300), 1, 1000000)) * 1024;
  choice.KeyFramesOn = file.ReadBool(kCompressor, "KeyFramesOn", false);
  choice.DataRateOn = file.ReadBool(kCompressor, "DataRateOn", false);
  // A preset the compressor does not have is its own.
  choice.Preset = file.ReadString(kCompressor, "Preset", "");
  const auto* compressor = COMPRESSORCATALOG::FindCompressor(choice.Codec);
  if (compressor == nullptr || !COMPRESSORCATALOG::TakesPreset(*compressor, choice.Preset))
    choice.Preset.clear();
  choice.EncoderOptions = file.ReadString(kCompressor, "EncoderOptions", "");
  return choice;
}

bool SaveCompressorChoice(const std::string& path, const ENCODERCHOICE::EncoderChoice& choice,
                          std::string& error) {
  IniFile file(path);
  file.WriteString(kCompressor, "Code", CodeText(choice.Codec));
  file.WriteInteger(kCompressor, "Quality",
                    int32_t(std::min(choice.Quality, ENCODERCHOICE::kHighestQuality)));
  file.WriteInteger(kCompressor, "KeyFrames", int32_t(choice.KeyFrameEvery));
  file.WriteBool(kCompressor, "KeyFramesOn", choice.KeyFramesOn);
  file.WriteInteger(kCompressor, "DataRate", int32_t(choice.BytesPerSecond / 1024));
  file.WriteBool(kCompressor, "DataRateOn", choice.DataRateOn);
  // Written only once there is one: a file that never had them stays as it was.
  if (!choice.Preset.empty() || !file.ReadString(kCompressor, "Preset", "").empty())
    file.WriteString(kCompressor, "Preset", choice.Preset);
  if (!choice.EncoderOptions.empty() || !file.ReadString(kCompressor, "EncoderOptions", "").empty())
    file.WriteString(kCompressor, "EncoderOptions",
                     JOBOPTIONTABLE::QuotedIfNeeded(choice.EncoderOptions));
  if (file.UpdateFile()) return true;
  error = "Unable to write to " + path;
  return false;
}

}  // namespace SETTINGS
