#include "shell/StyledSettings.h"

#include <string>

namespace SETTINGS {
namespace {

constexpr char kSection[] = "STYLED";
constexpr char kOn[] = "Styled";
constexpr char kLeftToRight[] = "LeftToRight";

bool HasSection(const INIFILE::IniFile& file) {
  const std::string absent = "\x01";
  return file.ReadString(kSection, kOn, absent) != absent ||
         file.ReadString(kSection, kLeftToRight, absent) != absent;
}

}  // namespace

void LoadStyled(const INIFILE::IniFile& file, STYLEDSCRIPT::StyledOptions& styled) {
  styled.On = file.ReadBool(kSection, kOn, false);
  styled.LeftToRight = file.ReadBool(kSection, kLeftToRight, false);
}

void SaveStyled(INIFILE::IniFile& file, const STYLEDSCRIPT::StyledOptions& styled) {
  if (styled == STYLEDSCRIPT::StyledOptions{} && !HasSection(file)) return;
  file.WriteBool(kSection, kOn, styled.On);
  file.WriteBool(kSection, kLeftToRight, styled.LeftToRight);
}

}  // namespace SETTINGS
