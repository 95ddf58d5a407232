#include "shell/LookArguments.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace LOOKARGUMENTS {
namespace {

struct ValueOption {
  const char* name;
  const char* what;  // as the error names it
  int maximum;
  int base;
  int SUBTITLELOOK::SubtitleLook::*number;
  uint32_t SUBTITLELOOK::SubtitleLook::*colour;
};

constexpr int kColourMaximum = 0xFFFFFF;

const ValueOption kValueOptions[] = {
    {"--outline", "outline", SUBTITLELOOK::kMaximumOutline, 10,
     &SUBTITLELOOK::SubtitleLook::Outline, nullptr},
    {"--outline-color", "outline colour", kColourMaximum, 16, nullptr,
     &SUBTITLELOOK::SubtitleLook::OutlineColor},
    {"--shadow", "shadow", SUBTITLELOOK::kMaximumShadow, 10, &SUBTITLELOOK::SubtitleLook::Shadow,
     nullptr},
    {"--shadow-color", "shadow colour", kColourMaximum, 16, nullptr,
     &SUBTITLELOOK::SubtitleLook::ShadowColor},
    {"--box-opacity", "box opacity", SUBTITLELOOK::kMaximumBoxOpacity, 10,
     &SUBTITLELOOK::SubtitleLook::BoxOpacity, nullptr},
    {"--box-color", "box colour", kColourMaximum, 16, nullptr,
     &SUBTITLELOOK::SubtitleLook::BoxColor},
    {"--margin", "margin", SUBTITLELOOK::kMaximumMargin, 10, &SUBTITLELOOK::SubtitleLook::Margin,
     nullptr},
};

std::optional<int> ParseNumber(std::string_view text, int base, int maximum) {
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
      value > maximum)
    return std::nullopt;
  return value;
}

std::string Apply(const ValueOption& option, const std::string& value,
                  SUBTITLELOOK::SubtitleLook& look) {
  const auto number = ParseNumber(value, option.base, option.maximum);
  if (!number) return "bad " + std::string(option.what) + " '" + value + "'";
  if (option.number != nullptr)
    look.*option.number = *number;
  else
    look.*option.colour = uint32_t(*number);
  return {};
}

}  // namespace

std::optional<std::string> ParseLookOption(const std::vector<std::string>& args, size_t& i,
                                           SUBTITLELOOK::SubtitleLook& look) {
  const std::string& option = args[i];
  if (option == "--antialias") {
    look.Antialias = true;
    return std::string();
  }
  for (const ValueOption& candidate : kValueOptions) {
    if (option != candidate.name) continue;
    if (i + 1 >= args.size()) return "option '" + option + "' needs a value";
    return Apply(candidate, args[++i], look);
  }
  return std::nullopt;
}

bool TakesValue(const std::string& option) {
  for (const ValueOption& candidate : kValueOptions)
    if (option == candidate.name) return true;
  return false;
}

std::vector<std::string> LookOptions(const SUBTITLELOOK::SubtitleLook& look) {
  std::vector<std::string> options;
  for (const ValueOption& option : kValueOptions) {
    options.push_back(option.name);
    options.push_back(option.number != nullptr ? std::to_string(look.*option.number)
                                               : ColourText(look.*option.colour));
  }
  if (look.Antialias) options.push_back("--antialias");
  return options;
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", unsigned(colour));
  return text;
}

}  // namespace LOOKARGUMENTS
