#include "shell/Settings.h"

#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswscale/version.h>

#include <algorithm>
#include <cstdio>

#include "compressors/CompressorCatalog.h"
#include "platform/IniFile.h"
#include "shell/JobOptionTable.h"
#include "shell/LookSettings.h"

namespace SETTINGS {
namespace {

using INIFILE::IniFile;

std::string Soname(const char* library, int major) {
  return std::string("lib") + library + ".so." + std::to_string(major);
}

// Signed 16 bits, the range of the delay controls.
int ClampDelay(int value) { return std::clamp(value, -32768, 32767); }

// Leading and trailing blanks and control characters removed, and quotes
// around the whole name with them: the file reads a quoted value without its
// quotes, so a name saved as "a.avi " would come back with a blank that the
// next save takes away.
std::string TrimFileName(const std::string& name) {
  auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  // The file keeps a value up to its line break: trimmed after that cut, a
  // name reads back as it was saved.
  std::string trimmed = name.substr(0, name.find_first_of("\r\n"));
  for (;;) {
    auto first = std::find_if(trimmed.begin(), trimmed.end(), kept);
    auto last = std::find_if(trimmed.rbegin(), trimmed.rend(), kept).base();
    trimmed = first < last ? std::string(first, last) : std::string();
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == '"' || trimmed.front() == '\'') &&
                        trimmed.back() == trimmed.front();
    if (!quoted) return trimmed;
    trimmed = trimmed.substr(1, trimmed.size() - 2);
  }
}

// The ranges the command line enforces: a settings file is input too.
void LoadFont(const IniFile& file, SUBTITLEFONT::SubtitleFont& font) {
  font.Name = file.ReadString("FONT", "Name", font.Name);
  font.Size = std::clamp(file.ReadInteger("FONT", "Size", font.Size), SUBTITLEFONT::kMinFontSize,
                         SUBTITLEFONT::kMaxFontSize);
  font.Color = ParseColor(file.ReadString("FONT", "Color", FormatColor(font.Color))) &
               SUBTITLEFONT::kMaxColor;
  font.Charset = file.ReadInteger("FONT", "Charset", font.Charset) & 0xFF;
  font.Bold = file.ReadBool("FONT", "Bold", font.Bold);
  font.Italic = file.ReadBool("FONT", "Italic", font.Italic);
  font.Underline = file.ReadBool("FONT", "Underline", font.Underline);
  font.StrikeOut = file.ReadBool("FONT", "StrikeOut", font.StrikeOut);
}

// A read trims the blanks round a value and takes one pair of quotes off it:
// a text (a font's name, an encoder's options) that would lose something so
// is saved in quotes, and reads back as it was.
std::string NameAsSaved(const std::string& name) {
  if (name.empty()) return name;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted = name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
                      name.back() == name.front();
  return blank(name.front()) || blank(name.back()) || quoted ? '"' + name + '"' : name;
}

void SaveFont(IniFile& file, const SUBTITLEFONT::SubtitleFont& font) {
  file.WriteString("FONT", "Name", NameAsSaved(font.Name));
  file.WriteInteger("FONT", "Size", font.Size);
  file.WriteString("FONT", "Color", FormatColor(font.Color));
  file.WriteInteger("FONT", "Charset", font.Charset);
  file.WriteBool("FONT", "Bold", font.Bold);
  file.WriteBool("FONT", "Italic", font.Italic);
  file.WriteBool("FONT", "Underline", font.Underline);
  file.WriteBool("FONT", "StrikeOut", font.StrikeOut);
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
  settings.SourceVideo = file.ReadString("FILES", "SourceVideo", "");
  settings.Subtitle = file.ReadString("FILES", "Subtitle", "");
  settings.DestinationVideo = file.ReadString("FILES", "DestinationVideo", "");
  LoadFont(file, settings.Font);
  settings.AutoSize = file.ReadBool("SUBTITLE", "AutoSize", settings.AutoSize);
  settings.UseFrames = file.ReadBool("SUBTITLE", "UseFrames", settings.UseFrames);
  settings.FramesDelay = ClampDelay(file.ReadInteger("SUBTITLE", "FramesDelay", 0));
  settings.TimeDelay = ClampDelay(file.ReadInteger("SUBTITLE", "TimeDelay", 0));
  settings.ShowStatistics = file.ReadBool("OTHER", "ShowStatistics", settings.ShowStatistics);
  settings.SaveOnExit = file.ReadBool("OTHER", "SaveOnExit", settings.SaveOnExit);
  LoadLook(file, settings.Look);
  JOBOPTIONTABLE::LoadKeys(file, settings);
  return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string& error) {
  IniFile file(path);
  file.WriteBool("OTHER", "SaveOnExit", settings.SaveOnExit);
  if (settings.SaveOnExit) {
    file.WriteString("FILES", "SourceVideo", TrimFileName(settings.SourceVideo));
    file.WriteString("FILES", "Subtitle", TrimFileName(settings.Subtitle));
    file.WriteString("FILES", "DestinationVideo", TrimFileName(settings.DestinationVideo));
    SaveFont(file, settings.Font);
    file.WriteBool("SUBTITLE", "AutoSize", settings.AutoSize);
    file.WriteBool("SUBTITLE", "UseFrames", settings.UseFrames);
    file.WriteInteger("SUBTITLE", "FramesDelay", settings.FramesDelay);
    file.WriteInteger("SUBTITLE", "TimeDelay", settings.TimeDelay);
    file.WriteBool("OTHER", "ShowStatistics", settings.ShowStatistics);
    JOBOPTIONTABLE::SaveKeys(file, settings, "OTHER");
    SaveLook(file, settings.Look);
    // The sections added since, each as the table's rules keep it.
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
    file.WriteString(kCompressor, "EncoderOptions", NameAsSaved(choice.EncoderOptions));
  if (file.UpdateFile()) return true;
  error = "Unable to write to " + path;
  return false;
}

}  // namespace SETTINGS
