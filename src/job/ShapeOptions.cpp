#include "job/ShapeOptions.h"

#include <charconv>
#include <vector>

namespace PICTURESHAPE {
namespace {

constexpr int kSmallest = 16;
constexpr int kLargest = 16384;

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Parts of `text` parted by `mark`.
std::vector<std::string_view> Split(std::string_view text, char mark) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(mark);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

}  // namespace

std::optional<CropAsked> ParseCrop(std::string_view text) {
  if (text.empty() || text == "none") return CropAsked{};
  if (text == "auto") return CropAsked{CropKind::Auto, {}};
  const std::vector<std::string_view> parts = Split(text, ':');
  if (parts.size() != 4) return std::nullopt;
  int values[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<int> value = ParseNumber(parts[i]);
    if (!value || *value < 0 || *value > kLargest) return std::nullopt;
    values[i] = *value;
  }
  if (values[0] < kSmallest || values[1] < kSmallest) return std::nullopt;
  // 4:2:0 pictures are cut on even lines and columns only.
  return CropAsked{CropKind::Exact,
                   {values[2] & ~1, values[3] & ~1, values[0] & ~1, values[1] & ~1}};
}

std::optional<std::pair<int, int>> ParseSize(std::string_view text) {
  const std::vector<std::string_view> parts = Split(text, 'x');
  if (parts.size() != 2) return std::nullopt;
  const std::optional<int> width = ParseNumber(parts[0]), height = ParseNumber(parts[1]);
  if (!width || !height || *width < kSmallest || *height < kSmallest || *width > kLargest ||
      *height > kLargest)
    return std::nullopt;
  return std::pair{*width, *height};
}

std::optional<Place> ParsePlace(std::string_view text) {
  if (text.empty() || text == "bottom") return Place::Bottom;
  if (text == "top") return Place::Top;
  if (text == "bars") return Place::Bars;
  return std::nullopt;
}

}  // namespace PICTURESHAPE
