#include "shell/ReadingSettings.h"

#include <array>
#include <string>

namespace SETTINGS {
namespace {

using SUBTITLEFILE::ReadingOptions;

constexpr char kSection[] = "READING";

struct Key {
  const char* name;
  bool ReadingOptions::*option;
};

constexpr std::array<Key, 4> kKeys = {{
    {"Unicode", &ReadingOptions::Unicode},
    {"DetectCodePage", &ReadingOptions::DetectCodePage},
    {"CleanMarkup", &ReadingOptions::CleanMarkup},
    {"Tolerant", &ReadingOptions::Tolerant},
}};

bool HasSection(const INIFILE::IniFile& file) {
  const std::string absent = "\x01";
  for (const Key& key : kKeys)
    if (file.ReadString(kSection, key.name, absent) != absent) return true;
  return false;
}

}  // namespace

void LoadReading(const INIFILE::IniFile& file, ReadingOptions& reading) {
  for (const Key& key : kKeys) reading.*key.option = file.ReadBool(kSection, key.name, false);
}

void SaveReading(INIFILE::IniFile& file, const ReadingOptions& reading) {
  if (reading == ReadingOptions{} && !HasSection(file)) return;
  for (const Key& key : kKeys) file.WriteBool(kSection, key.name, reading.*key.option);
}

}  // namespace SETTINGS
