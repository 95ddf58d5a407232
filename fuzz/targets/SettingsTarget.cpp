// The settings file on any bytes: what it reads is held to the ranges the
// command line enforces, saving what was read and reading it again changes
// no value, and a key written into the file reads back as written while
// every other key reads as before. The first byte picks the section and key
// written; the rest is the file.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "compressors/CompressorCatalog.h"
#include "platform/IniFile.h"
#include "shell/Settings.h"

namespace FUZZTARGETS {
namespace {

using SETTINGS::Settings;

void CheckRanges(const Settings& settings) {
  FUZZ_REQUIRE(settings.Font.Size >= SUBTITLEFONT::kMinFontSize &&
               settings.Font.Size <= SUBTITLEFONT::kMaxFontSize);
  FUZZ_REQUIRE(settings.Font.Color <= SUBTITLEFONT::kMaxColor);
  FUZZ_REQUIRE(settings.Font.Charset >= 0 && settings.Font.Charset <= 255);
  for (int delay : {settings.FramesDelay, settings.TimeDelay})
    FUZZ_REQUIRE(delay >= -32768 && delay <= 32767);
  const SUBTITLELOOK::SubtitleLook& look = settings.Look;
  FUZZ_REQUIRE(look.Outline >= 0 && look.Outline <= SUBTITLELOOK::kMaximumOutline);
  FUZZ_REQUIRE(look.Shadow >= 0 && look.Shadow <= SUBTITLELOOK::kMaximumShadow);
  FUZZ_REQUIRE(look.BoxOpacity >= 0 && look.BoxOpacity <= SUBTITLELOOK::kMaximumBoxOpacity);
  FUZZ_REQUIRE(look.Margin >= 0 && look.Margin <= SUBTITLELOOK::kMaximumMargin);
}

// Everything but the texts, which a save may trim.
void CheckSameValues(const Settings& a, const Settings& b) {
  FUZZ_REQUIRE(a.Font.Size == b.Font.Size && a.Font.Color == b.Font.Color &&
               a.Font.Charset == b.Font.Charset && a.Font.Bold == b.Font.Bold &&
               a.Font.Italic == b.Font.Italic && a.Font.Underline == b.Font.Underline &&
               a.Font.StrikeOut == b.Font.StrikeOut);
  FUZZ_REQUIRE(a.AutoSize == b.AutoSize && a.UseFrames == b.UseFrames &&
               a.FramesDelay == b.FramesDelay && a.TimeDelay == b.TimeDelay);
  FUZZ_REQUIRE(a.ShowStatistics == b.ShowStatistics && a.SaveOnExit == b.SaveOnExit &&
               a.FixAudioVBR == b.FixAudioVBR && a.TranscodeVideo == b.TranscodeVideo);
  FUZZ_REQUIRE(a.Look == b.Look && a.Reading == b.Reading && a.Styled == b.Styled &&
               a.AlignToSpeech == b.AlignToSpeech);
  FUZZ_REQUIRE(a.ForcedOnly == b.ForcedOnly && a.BitDepth == b.BitDepth &&
               a.SubtitleNits == b.SubtitleNits && a.Sdr == b.Sdr &&
               a.ConvertAudio == b.ConvertAudio);
  // Never saved, so never changed by a save.
  FUZZ_REQUIRE(a.AvCodec == b.AvCodec && a.AvFormat == b.AvFormat && a.AvUtil == b.AvUtil &&
               a.SwScale == b.SwScale);
}

// A text that holds control characters may lose one more to a second save
// (the save trims them, then cuts the value at a line break, which can leave
// one at the end); any other comes back as the first save left it.
bool Printable(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x20; });
}

void CheckSameTexts(const Settings& a, const Settings& b) {
  for (auto text : {&Settings::SourceVideo, &Settings::Subtitle, &Settings::DestinationVideo})
    if (Printable(a.*text)) FUZZ_REQUIRE(a.*text == b.*text);
  if (Printable(a.Font.Name)) FUZZ_REQUIRE(a.Font.Name == b.Font.Name);
}

// What a read gives for a written value: the value up to its line break,
// without the blanks around it and one pair of enclosing quotes, no longer
// than a read returns.
std::string ReadBack(std::string value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  const std::size_t first = value.find_first_not_of(" \t");
  value = first == std::string::npos ? std::string() : value.substr(first);
  value = value.substr(0, value.find_last_not_of(" \t") + 1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > INIFILE::kMaxValueLength) value.resize(INIFILE::kMaxValueLength);
  return value;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(a[k])) !=
        std::tolower(static_cast<unsigned char>(b[k])))
      return false;
  return true;
}

struct Key {
  std::string Section, Name;
};

// Keys of the program and keys any file may have.
const std::vector<Key>& Probes() {
  static const std::vector<Key> keys = {
      {"FONT", "Name"},   {"FONT", "Size"},      {"OTHER", "SaveOnExit"},
      {"DLL", "AvCodec"}, {"FILES", "Subtitle"}, {"LOOK", "Margin"},
      {"a", "b"},         {"x y", "k"},          {"Job 1", "Argument"}};
  return keys;
}

void CheckWrite(const std::string& path, const std::string& value, uint8_t control) {
  const Key& written = Probes()[control % Probes().size()];
  std::vector<std::string> before;
  {
    INIFILE::IniFile file(path);
    for (const Key& key : Probes())
      before.push_back(file.ReadString(key.Section, key.Name, "\x01"));
    file.WriteString(written.Section, written.Name, value);
    FUZZ_REQUIRE(file.UpdateFile());
  }
  const INIFILE::IniFile file(path);
  for (std::size_t k = 0; k < Probes().size(); ++k) {
    const Key& key = Probes()[k];
    const std::string now = file.ReadString(key.Section, key.Name, "\x01");
    if (SameName(key.Section, written.Section) && SameName(key.Name, written.Name))
      FUZZ_REQUIRE(now == ReadBack(value));
    else
      FUZZ_REQUIRE(now == before[k]);
  }
}

// The window's compressor choice, saved and read again, is the same choice;
// its preset is one the compressor has.
void CheckCompressorChoice(const std::string& path) {
  const auto read = SETTINGS::LoadCompressorChoice(path);
  if (!read) return;
  const auto* compressor = COMPRESSORCATALOG::FindCompressor(read->Codec);
  FUZZ_REQUIRE(read->Preset.empty() || (compressor != nullptr &&
                                        COMPRESSORCATALOG::TakesPreset(*compressor, read->Preset)));
  std::string error;
  FUZZ_REQUIRE(SETTINGS::SaveCompressorChoice(path, *read, error));
  const auto again = SETTINGS::LoadCompressorChoice(path);
  FUZZ_REQUIRE(again.has_value());
  if (Printable(read->EncoderOptions)) FUZZ_REQUIRE(*again == *read);
}

}  // namespace

int FuzzSettings(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const uint8_t control = input.Byte();
  const std::string contents(input.Rest());
  const std::string path = TempPath("settings.ini");
  if (!WriteWholeFile(path, contents)) return 0;

  const Settings read = SETTINGS::LoadSettings(path);
  CheckRanges(read);
  // Closing the window saves into the file it read.
  std::string error;
  FUZZ_REQUIRE(SETTINGS::SaveSettings(path, read, error));
  const Settings saved = SETTINGS::LoadSettings(path);
  CheckSameValues(read, saved);
  // A second save finds nothing more to trim.
  FUZZ_REQUIRE(SETTINGS::SaveSettings(path, saved, error));
  const Settings again = SETTINGS::LoadSettings(path);
  CheckSameValues(saved, again);
  CheckSameTexts(saved, again);
  if (WriteWholeFile(path, contents)) CheckCompressorChoice(path);

  // A value from the file's own last line, written into the file as read.
  if (WriteWholeFile(path, contents)) {
    const std::size_t last = contents.rfind('\n');
    CheckWrite(path, contents.substr(last == std::string::npos ? 0 : last + 1), control);
  }
  std::remove(path.c_str());
  return 0;
}

}  // namespace FUZZTARGETS
