#pragma once

// Colours as the settings file keeps them: "0xRRGGBB" in hexadecimal.
#include <cstdint>
#include <string>

namespace SETTINGS {

// "Color" values: written "0x" and at least six upper-case hex digits; read as
// an integer in any of the file's forms, and black when the text is no number.
std::string FormatColor(uint32_t color);
uint32_t ParseColor(const std::string& text);

}  // namespace SETTINGS
