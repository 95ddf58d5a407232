#include "shell/ColorValue.h"

#include <cstdio>

#include "platform/IniFile.h"

namespace SETTINGS {

std::string FormatColor(uint32_t color) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", color);
  return text;
}

uint32_t ParseColor(const std::string& text) {
  int32_t value = 0;
  return INIFILE::ParseInteger(text, value) ? static_cast<uint32_t>(value) : 0x000000;
}

}  // namespace SETTINGS
