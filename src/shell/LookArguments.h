#pragma once

// The look options of the commands that draw subtitles: --outline,
// --outline-color, --shadow, --shadow-color, --box-opacity, --box-color,
// --antialias and --margin.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "subtitles/SubtitleLook.h"

namespace LOOKARGUMENTS {

// Nothing when args[i] is no look option. Otherwise the option (and its value,
// i moving onto it) is laid over the look, and the answer is empty, or what
// is wrong with it.
std::optional<std::string> ParseLookOption(const std::vector<std::string>& args, size_t& i,
                                           SUBTITLELOOK::SubtitleLook& look);

// Whether the look option takes a value.
bool TakesValue(const std::string& option);

// The options that give a job this look whatever the settings hold.
std::vector<std::string> LookOptions(const SUBTITLELOOK::SubtitleLook& look);

// A colour 0x00BBGGRR as the options write it: "0x" and six hex digits.
std::string ColourText(uint32_t colour);

}  // namespace LOOKARGUMENTS

// The options' lines of --help, for the usage texts of the commands.
#define LOOKARGUMENTS_USAGE                                                        \
  "      [--outline 0-8] [--outline-color 0xBBGGRR] [--shadow 0-8]\n"              \
  "      [--shadow-color 0xBBGGRR] [--box-opacity 0-100] [--box-color 0xBBGGRR]\n" \
  "      [--antialias] [--margin 0-1000]\n"
