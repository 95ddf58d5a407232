#include "shell/LookSettings.h"

#include <algorithm>

#include "shell/ColorValue.h"

namespace SETTINGS {
namespace {

constexpr const char* kSection = "LOOK";
constexpr const char* kKeys[] = {"Outline",    "OutlineColor", "Shadow",    "ShadowColor",
                                 "BoxOpacity", "BoxColor",     "Antialias", "Margin"};

int ReadClamped(const INIFILE::IniFile& file, const char* key, int fallback, int maximum) {
  return std::clamp(file.ReadInteger(kSection, key, fallback), 0, maximum);
}

uint32_t ReadColor(const INIFILE::IniFile& file, const char* key, uint32_t fallback) {
  return ParseColor(file.ReadString(kSection, key, FormatColor(fallback)));
}

bool HasLookSection(const INIFILE::IniFile& file) {
  // A value no key can hold: the file's values end at their first line break.
  const std::string absent = "\n";
  return std::any_of(std::begin(kKeys), std::end(kKeys), [&](const char* key) {
    return file.ReadString(kSection, key, absent) != absent;
  });
}

}  // namespace

void LoadLook(const INIFILE::IniFile& file, SUBTITLELOOK::SubtitleLook& look) {
  look.Outline = ReadClamped(file, "Outline", look.Outline, SUBTITLELOOK::kMaximumOutline);
  look.OutlineColor = ReadColor(file, "OutlineColor", look.OutlineColor);
  look.Shadow = ReadClamped(file, "Shadow", look.Shadow, SUBTITLELOOK::kMaximumShadow);
  look.ShadowColor = ReadColor(file, "ShadowColor", look.ShadowColor);
  look.BoxOpacity =
      ReadClamped(file, "BoxOpacity", look.BoxOpacity, SUBTITLELOOK::kMaximumBoxOpacity);
  look.BoxColor = ReadColor(file, "BoxColor", look.BoxColor);
  look.Antialias = file.ReadBool(kSection, "Antialias", look.Antialias);
  look.Margin = ReadClamped(file, "Margin", look.Margin, SUBTITLELOOK::kMaximumMargin);
}

void SaveLook(INIFILE::IniFile& file, const SUBTITLELOOK::SubtitleLook& look) {
  if (look == SUBTITLELOOK::SubtitleLook{} && !HasLookSection(file)) return;
  file.WriteInteger(kSection, "Outline", look.Outline);
  file.WriteString(kSection, "OutlineColor", FormatColor(look.OutlineColor));
  file.WriteInteger(kSection, "Shadow", look.Shadow);
  file.WriteString(kSection, "ShadowColor", FormatColor(look.ShadowColor));
  file.WriteInteger(kSection, "BoxOpacity", look.BoxOpacity);
  file.WriteString(kSection, "BoxColor", FormatColor(look.BoxColor));
  file.WriteBool(kSection, "Antialias", look.Antialias);
  file.WriteInteger(kSection, "Margin", look.Margin);
}

}  // namespace SETTINGS
