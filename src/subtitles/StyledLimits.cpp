#include "subtitles/StyledLimits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "subtitles/SubtitleText.h"

namespace STYLEDLIMITS {
namespace {

struct Range {
  double Low, High;
};

// A line half the picture high, a rim a fortieth of it: far beyond what a
// subtitle needs, and what keeps a picture's drawing within a second.
double MaximumFontSize(const Resolution& resolution) { return resolution.Height / 2.0; }
double MaximumRim(const Resolution& resolution) { return std::max(4.0, resolution.Height / 40.0); }
constexpr double kMaximumBlur = 10;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

bool IsNumberStart(std::string_view text, std::size_t at) {
  if (at >= text.size()) return false;
  const char c = text[at];
  if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') return true;
  return (c == '-' || c == '+') && at + 1 < text.size() &&
         (std::isdigit(static_cast<unsigned char>(text[at + 1])) || text[at + 1] == '.');
}

std::size_t NumberEnd(std::string_view text, std::size_t at) {
  std::size_t end = at;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
  while (end < text.size() &&
         (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
    ++end;
  // An exponent would let "1e9" through as 1.
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E') && end + 1 < text.size() &&
      (std::isdigit(static_cast<unsigned char>(text[end + 1])) || text[end + 1] == '-' ||
       text[end + 1] == '+')) {
    end += 2;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  }
  return end;
}

double Clamp(std::string_view number, const Range& range) {
  const double value = std::strtod(std::string(number).c_str(), nullptr);
  if (!std::isfinite(value)) return range.Low;
  return std::clamp(value, range.Low, range.High);
}

class EventLimiter {
 public:
  explicit EventLimiter(const Resolution& resolution)
      : size_{1, MaximumFontSize(resolution)},
        scale_{0, 400},
        spacing_{-resolution.Width / 10.0, resolution.Width / 10.0},
        rim_{0, MaximumRim(resolution)},
        blur_{0, kMaximumBlur},
        coordinate_{-2.0 * std::max(resolution.Width, resolution.Height),
                    3.0 * std::max(resolution.Width, resolution.Height)} {}

  std::string Limit(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size(), kMaximumEventText));
    for (std::size_t i = 0; i < text.size() && out.size() < kMaximumEventText;) {
      if (text[i] == '{') {
        std::size_t close = text.find('}', i);
        close = close == std::string_view::npos ? text.size() : close;
        out += '{';
        Block(text.substr(i + 1, close - i - 1), out);
        out += '}';
        i = close + 1;
        continue;
      }
      std::size_t end = text.find('{', i);
      if (end == std::string_view::npos) end = text.size();
      if (drawing_)
        Coordinates(text.substr(i, end - i), out);
      else
        out.append(text.substr(i, end - i));
      i = end;
    }
    if (out.size() > kMaximumEventText) out.resize(kMaximumEventText);
    return out;
  }

 private:
  // Numbers held to the coordinate range, and no more than the limit of
  // them; whatever follows the last allowed number is dropped.
  void Coordinates(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size();) {
      if (IsNumberStart(text, i)) {
        const std::size_t end = NumberEnd(text, i);
        if (++drawingNumbers_ > kMaximumDrawingNumbers) return;
        out += Number(Clamp(text.substr(i, end - i), coordinate_));
        i = end;
      } else {
        out += text[i++];
      }
    }
  }

  const Range* SingleValueRange(const std::string& name) const {
    if (name == "fs") return &size_;
    if (name == "fscx" || name == "fscy") return &scale_;
    if (name == "fsp") return &spacing_;
    if (name == "bord" || name == "xbord" || name == "ybord" || name == "shad" || name == "xshad" ||
        name == "yshad")
      return &rim_;
    if (name == "blur" || name == "be") return &blur_;
    return nullptr;
  }

  void Block(std::string_view block, std::string& out) {
    for (std::size_t i = 0; i < block.size();) {
      if (block[i] != '\\') {
        out += block[i++];
        continue;
      }
      std::size_t end = i + 1;
      while (end < block.size() && std::isalpha(static_cast<unsigned char>(block[end]))) ++end;
      const std::string name(block.substr(i + 1, end - i - 1));
      out.append(block.substr(i, end - i));
      i = end;
      if (const Range* range = SingleValueRange(name); range && IsNumberStart(block, i)) {
        const std::size_t numberEnd = NumberEnd(block, i);
        out += Number(Clamp(block.substr(i, numberEnd - i), *range));
        i = numberEnd;
      } else if (name == "p" && IsNumberStart(block, i)) {
        const std::size_t numberEnd = NumberEnd(block, i);
        const double scale = Clamp(block.substr(i, numberEnd - i), {0, 8});
        drawing_ = scale > 0;
        out += Number(std::floor(scale));
        i = numberEnd;
      } else if ((name == "pos" || name == "move" || name == "org" || name == "clip" ||
                  name == "iclip") &&
                 i < block.size() && block[i] == '(') {
        std::size_t close = block.find(')', i);
        close = close == std::string_view::npos ? block.size() : close;
        Coordinates(block.substr(i, close - i), out);
        if (close < block.size()) out += ')';
        i = close + 1;
      }
    }
  }

  Range size_, scale_, spacing_, rim_, blur_, coordinate_;
  bool drawing_ = false;
  int drawingNumbers_ = 0;
};

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = text.find(',', begin);
    fields.push_back(SUBTITLEFILE::TrimControls(
        text.substr(begin, comma == std::string_view::npos ? text.npos : comma - begin)));
    if (comma == std::string_view::npos) return fields;
    begin = comma + 1;
  }
}

std::string LimitStyleLine(std::string_view values, const std::vector<std::string>& names,
                           const Resolution& resolution) {
  const double rim = MaximumRim(resolution);
  std::vector<std::string_view> fields = SplitFields(values);
  std::string out;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) out += ',';
    const std::string name = k < names.size() ? names[k] : std::string();
    Range range{0, 0};
    if (name == "fontsize")
      range = {1, MaximumFontSize(resolution)};
    else if (name == "scalex" || name == "scaley")
      range = {0, 400};
    else if (name == "spacing")
      range = {-resolution.Width / 10.0, resolution.Width / 10.0};
    else if (name == "outline" || name == "shadow")
      range = {0, rim};
    else if (name == "marginl" || name == "marginr")
      range = {0, double(resolution.Width)};
    else if (name == "marginv")
      range = {0, double(resolution.Height)};
    if (range.High > range.Low && IsNumberStart(fields[k], 0))
      out += Number(Clamp(fields[k], range));
    else
      out.append(fields[k]);
  }
  return out;
}

}  // namespace

int HeaderNumber(std::string_view header, std::string_view key, int missing) {
  int value = missing;
  std::size_t begin = 0;
  while (begin < header.size()) {
    std::size_t end = header.find('\n', begin);
    if (end == std::string_view::npos) end = header.size();
    const std::string line =
        SUBTITLEFILE::LowerAscii(SUBTITLEFILE::TrimControls(header.substr(begin, end - begin)));
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
        line[key.size()] == ':')
      value = std::atoi(line.c_str() + key.size() + 1);
    begin = end + 1;
  }
  return value;
}

Resolution ScriptResolution(std::string_view header) {
  int width = HeaderNumber(header, "playresx", 0), height = HeaderNumber(header, "playresy", 0);
  // As the drawing completes a missing one.
  if (width <= 0 && height <= 0) return {};
  if (height <= 0) height = width == 1280 ? 1024 : std::max(1, width * 3 / 4);
  if (width <= 0) width = height == 1024 ? 1280 : std::max(1, height * 4 / 3);
  return {std::min(width, 1 << 16), std::min(height, 1 << 16)};
}

std::string LimitEventText(std::string_view text, const Resolution& resolution) {
  return EventLimiter(resolution).Limit(text);
}

std::string LimitStyles(std::string_view header, const Resolution& resolution) {
  std::string out;
  std::vector<std::string> names;
  bool styles = false;
  std::size_t begin = 0;
  while (begin < header.size()) {
    std::size_t end = header.find('\n', begin);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(begin, end - begin);
    const std::string lower = SUBTITLEFILE::LowerAscii(SUBTITLEFILE::TrimControls(line));
    if (!lower.empty() && lower.front() == '[') styles = lower.find("styles") != std::string::npos;
    if (styles && lower.rfind("format:", 0) == 0) {
      names.clear();
      for (std::string_view field : SplitFields(SUBTITLEFILE::TrimControls(line).substr(7)))
        names.push_back(SUBTITLEFILE::LowerAscii(field));
    }
    if (styles && lower.rfind("style:", 0) == 0)
      out +=
          "Style: " + LimitStyleLine(SUBTITLEFILE::TrimControls(line).substr(6), names, resolution);
    else
      out.append(line);
    out += '\n';
    begin = end + 1;
  }
  return out;
}

}  // namespace STYLEDLIMITS
