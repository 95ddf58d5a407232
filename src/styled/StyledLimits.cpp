#include "styled/StyledLimits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "subtitles/SubtitleNumbers.h"
#include "subtitles/SubtitleText.h"
#include "text/AsciiText.h"

namespace STYLEDLIMITS {
namespace {

using SUBTITLEFILE::IsNumberStart;
using SUBTITLEFILE::ScanDecimal;

struct Range {
  double Low, High;
};

// A line half the picture high, a rim a fortieth of it: far beyond what a
// subtitle needs, and what keeps a picture's drawing within reach.
double MaximumFontSize(const Resolution& resolution) {
  return std::max(1.0, resolution.Height / 2.0);
}
double MaximumRim(const Resolution& resolution) { return std::max(4.0, resolution.Height / 40.0); }
constexpr double kMaximumBlur = 10;
constexpr int kMaximumSide = 1 << 16;
// Angles, shears and the numbers no other range covers (times in
// milliseconds or centiseconds, weights, counts): wide enough for any
// script, narrow enough that the drawing's integer arithmetic cannot
// overflow on them.
constexpr Range kAngle{-360000, 360000};
constexpr Range kShear{-2, 2};
constexpr Range kAnyNumber{-1e8, 1e8};
// A number written longer than this is written again, shorter.
constexpr std::size_t kLongestNumber = 24;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

bool WrittenPlainly(std::string_view number) {
  return number.size() <= kLongestNumber && number.find_first_of("eE") == std::string_view::npos;
}

double Clamp(double value, const Range& range) {
  if (std::isnan(value)) return range.Low;
  return std::clamp(value, range.Low, range.High);
}

// A number written in place of the first `length` characters of `text`.
// The drawing stops reading a number where the text's number stopped; the
// one written must not run on into what followed it ("1e9" of "1e9.5" held
// at 10 would read 10.5), so a space keeps them apart. Nor may it join what
// came before it, which the text's number did not: "+99999999999" after a
// "-" is written "100000000", and "-100000000" would be read as one number
// (after \fs, the size); "1e" and ".5e99" would read as 1e100000000, a
// "5" and "+99999" in a drawing as one coordinate.
bool ContinuesNumber(char c) { return c != '\0' && std::strchr("0123456789.eE", c) != nullptr; }
bool JoinsNumber(char c) { return ContinuesNumber(c) || c == '+' || c == '-'; }

std::string KeptApart(std::string number, char before, std::string_view text, std::size_t length) {
  if (JoinsNumber(before)) number.insert(number.begin(), ' ');
  if (length < text.size() && ContinuesNumber(text[length])) number += ' ';
  return number;
}

// A tag of one value reads its number and passes over what follows it up
// to the next tag; characters that could still be read as a number are left
// out, so that nothing after the held value is read as part of it or held
// as a number of its own.
std::size_t AfterNumberRun(std::string_view block, std::size_t i) {
  while (i < block.size() && (ContinuesNumber(block[i]) || block[i] == '+' || block[i] == '-')) ++i;
  return i;
}

// The number at the start of `text` (IsNumberStart holds) as it goes to
// the drawing, after the character `before` ('\0' for none); `value` gets
// what it stands for. A tag's own value follows its name and the tag passes
// over what follows (`AfterNumberRun`), so needs no space to keep it apart.
enum class Follows { Read, PassedOver };
std::string Held(std::string_view text, const Range& range, std::size_t& length, double& value,
                 Follows follows = Follows::Read, char before = '\0') {
  const SUBTITLEFILE::Decimal number = ScanDecimal(text);
  length = number.Length;
  const std::string_view written = text.substr(0, number.Length);
  value = Clamp(number.Value, range);
  if (value == number.Value && WrittenPlainly(written)) return std::string(written);
  if (follows == Follows::PassedOver) return Number(value);
  return KeptApart(Number(value), before, text, length);
}

Range HeldRange(double low, double high) { return {low, std::max(low, high)}; }

constexpr double kTurnedOut = 2;

// What a glyph of the extent in force costs the drawing: its box grown by
// the rims and blur around it.
double BoxInk(double width, double height, const StyleExtent& extent) {
  const double pad = 2 * (extent.Outline + 3 * extent.Blur);
  return (width + pad) * (height + pad);
}

// A drawing's box, which leans whole.
double DrawingInk(double width, double height, const StyleExtent& extent) {
  const double upright = BoxInk(width, height, extent);
  return upright +
         extent.Lean * std::max(0.0, BoxInk(width + height, width + height, extent) - upright);
}

bool IsUtf8Continuation(char c) { return (uint8_t(c) & 0xC0) == 0x80; }

class EventLimiter {
 public:
  EventLimiter(const Resolution& resolution, const StyleExtent& extent, bool wraps)
      : size_{1, MaximumFontSize(resolution)},
        scale_{0, 400},
        spacing_{-resolution.Width / 10.0, resolution.Width / 10.0},
        rim_{0, MaximumRim(resolution)},
        blur_{0, kMaximumBlur},
        coordinate_{-2.0 * std::max(resolution.Width, resolution.Height),
                    3.0 * std::max(resolution.Width, resolution.Height)},
        area_(std::max(1.0, double(resolution.Width) * resolution.Height)),
        largestSize_(2.0 * resolution.Height),
        width_(resolution.Width),
        wraps_(wraps),
        extent_(extent) {}

  LimitedEvent Limit(std::string_view text) {
    out_.reserve(std::min(text.size(), kMaximumEventText));
    for (std::size_t i = 0; i < text.size() && !Full();) {
      if (text[i] == '{') {
        std::size_t close = text.find('}', i);
        close = close == std::string_view::npos ? text.size() : close;
        out_ += '{';
        Block(text.substr(i + 1, close - i - 1));
        if (!cut_) out_ += '}';
        i = close + 1;
        continue;
      }
      std::size_t end = text.find('{', i);
      if (end == std::string_view::npos) end = text.size();
      if (drawing_)
        Coordinates(text.substr(i, end - i), true);
      else
        Letters(text.substr(i, end - i));
      i = end;
    }
    EndDrawing();
    if (out_.size() > kMaximumEventText) out_.resize(kMaximumEventText);
    return {std::move(out_), ink_ / area_, cut_};
  }

 private:
  bool Full() const { return cut_ || out_.size() >= kMaximumEventText; }
  char LastWritten() const { return out_.empty() ? '\0' : out_.back(); }

  // Whether ink may be added; past the event's bound the rest is cut.
  bool Afford(double ink) {
    if (cut_) return false;
    if (ink_ + drawingInk_ + ink <= kMaximumEventInk * area_) return true;
    cut_ = true;
    return false;
  }

  // A glyph's ink; a leaning line's also grows the line's box, which is
  // drawn whole, by the square of the length the glyph adds. Glyphs are
  // taken as wide as most fonts' letters are on average.
  double Advance() const { return 0.6 * extent_.FontSize * extent_.ScaleX / 100; }
  double GlyphInk() const {
    const double advance = Advance();
    const double lean =
        extent_.Lean * (std::pow(lineLength_ + advance, 2) - lineLength_ * lineLength_);
    return BoxInk(advance, extent_.FontSize * extent_.ScaleY / 100, extent_) + lean;
  }

  // A line turned out of the picture's plane comes nearer the further it
  // reaches, and grows without bound: it may be no longer than the picture
  // is wide.
  bool FitsTurnedOut() {
    if (extent_.Lean < kTurnedOut || lineLength_ + Advance() <= width_) return true;
    cut_ = true;
    return false;
  }

  // Lines break at \N and, where the script wraps them, at the last blank
  // before a glyph that would pass the picture's width.
  void WrapBeforeGlyph() {
    if (!wraps_ || !blankInLine_ || lineLength_ + Advance() <= width_) return;
    lineLength_ = wordLength_;
    blankInLine_ = false;
  }
  void Advance(bool blank, bool breaks) {
    if (breaks) {
      lineLength_ = wordLength_ = 0;
      blankInLine_ = false;
      return;
    }
    lineLength_ += Advance();
    wordLength_ = blank ? 0 : wordLength_ + Advance();
    blankInLine_ = blankInLine_ || blank;
  }

  // Plain text: every character but blanks and line breaks is a glyph.
  void Letters(std::string_view text) {
    for (std::size_t i = 0; i < text.size() && !Full();) {
      std::size_t length = 1;
      while (i + length < text.size() && IsUtf8Continuation(text[i + length])) ++length;
      const bool escape = text[i] == '\\' && i + 1 < text.size();
      if (escape) length = 2;
      const bool breaks = escape && text[i + 1] == 'N';
      const bool blank = breaks || text[i] == ' ' || text[i] == '\t' ||
                         (escape && (text[i + 1] == 'n' || text[i + 1] == 'h'));
      if (!blank) {
        WrapBeforeGlyph();
        const double ink = GlyphInk();
        if (!Afford(ink) || !FitsTurnedOut()) return;
        ink_ += ink;
      }
      Advance(blank, breaks);
      out_.append(text.substr(i, length));
      i += length;
    }
  }

  // Numbers held to the coordinate range, and no more than the limit of
  // them; whatever follows the last allowed number is dropped. A drawing's
  // numbers also make its box, whose ink counts.
  void Coordinates(std::string_view text, bool drawing) {
    for (std::size_t i = 0; i < text.size() && !cut_;) {
      if (!IsNumberStart(text, i)) {
        out_ += text[i++];
        continue;
      }
      if (++drawingNumbers_ > kMaximumDrawingNumbers) return;
      std::size_t length = 0;
      double value = 0;
      const std::string held =
          Held(text.substr(i), coordinate_, length, value, Follows::Read, LastWritten());
      if (drawing && !Extend(value)) return;
      out_ += held;
      i += length;
    }
  }

  // Points alternate x and y.
  bool Extend(double value) {
    double(&low)[2] = boxLow_;
    double(&high)[2] = boxHigh_;
    const int axis = drawingAxis_;
    drawingAxis_ ^= 1;
    const double oldLow = low[axis], oldHigh = high[axis];
    low[axis] = std::min(low[axis], value);
    high[axis] = std::max(high[axis], value);
    if (high[0] < low[0] || high[1] < low[1]) return true;  // no whole point yet
    const double divisor = std::ldexp(1.0, std::max(drawingScale_ - 1, 0));
    const double ink = DrawingInk((high[0] - low[0]) / divisor * extent_.ScaleX / 100,
                                  (high[1] - low[1]) / divisor * extent_.ScaleY / 100, extent_);
    const double before = std::exchange(drawingInk_, 0);
    if (Afford(ink)) {
      drawingInk_ = ink;
      return true;
    }
    drawingInk_ = before;
    low[axis] = oldLow;
    high[axis] = oldHigh;
    return false;
  }

  void BeginDrawing(int scale) {
    EndDrawing();
    drawing_ = scale > 0;
    drawingScale_ = scale;
  }

  void EndDrawing() {
    ink_ += drawingInk_;
    drawingInk_ = 0;
    drawingAxis_ = 0;
    boxLow_[0] = boxLow_[1] = std::numeric_limits<double>::infinity();
    boxHigh_[0] = boxHigh_[1] = -std::numeric_limits<double>::infinity();
  }

  const Range* SingleValueRange(const std::string& name) const {
    if (name == "fs") return &size_;
    if (name == "fscx" || name == "fscy") return &scale_;
    if (name == "fsp") return &spacing_;
    if (name == "bord" || name == "xbord" || name == "ybord" || name == "shad" || name == "xshad" ||
        name == "yshad")
      return &rim_;
    if (name == "blur" || name == "be") return &blur_;
    if (name == "frx" || name == "fry" || name == "frz" || name == "fr") return &kAngle;
    if (name == "fax" || name == "fay") return &kShear;
    if (name == "pbo") return &coordinate_;
    return nullptr;
  }

  // The extent in force grows with what a tag sets; a size written with a
  // sign grows the size by tenths.
  void Grow(const std::string& name, double value, bool relative) {
    if (name == "fs" && relative)
      extent_.FontSize =
          std::min(largestSize_, extent_.FontSize * std::max(1.0, 1 + std::fabs(value) / 10));
    else if (name == "fs")
      extent_.FontSize = std::max(extent_.FontSize, value);
    else if (name == "fscx")
      extent_.ScaleX = std::max(extent_.ScaleX, value);
    else if (name == "fscy")
      extent_.ScaleY = std::max(extent_.ScaleY, value);
    else if (name == "bord" || name == "xbord" || name == "ybord")
      extent_.Outline = std::max(extent_.Outline, value);
    else if (name == "shad" || name == "xshad" || name == "yshad")
      extent_.Shadow = std::max(extent_.Shadow, value);
    else if (name == "blur" || name == "be")
      extent_.Blur = std::max(extent_.Blur, value);
    else if ((name == "frx" || name == "fry") && value != 0)
      extent_.Lean = kTurnedOut;
    else if ((name == "frz" || name == "fr") && value != 0)
      extent_.Lean = std::max(extent_.Lean, 1.0);
    else if (name == "fax" || name == "fay")
      extent_.Lean = std::max(extent_.Lean, std::min(1.0, std::fabs(value)));
  }

  // A colour or alpha value ("&HBBGGRR&") is hexadecimal, not a number.
  static std::size_t HexValueEnd(std::string_view block, std::size_t at) {
    std::size_t end = at + 1;
    if (end < block.size() && (block[end] == 'H' || block[end] == 'h')) ++end;
    while (end < block.size() && std::isxdigit(static_cast<unsigned char>(block[end]))) ++end;
    if (end < block.size() && block[end] == '&') ++end;
    return end;
  }

  void Block(std::string_view block) {
    // Where the last tag's name ended: a number written there cannot join
    // the name's letters (the "e" of "\fe").
    std::size_t nameEnd = std::string_view::npos;
    for (std::size_t i = 0; i < block.size() && !cut_;) {
      if (block[i] == '&') {
        const std::size_t end = HexValueEnd(block, i);
        out_.append(block.substr(i, end - i));
        i = end;
        continue;
      }
      if (IsNumberStart(block, i)) {
        // Times of a transition or a fade, and numbers of unknown tags.
        std::size_t length = 0;
        double value = 0;
        out_ += Held(block.substr(i), kAnyNumber, length, value, Follows::Read,
                     i == nameEnd ? '\0' : LastWritten());
        i += length;
        continue;
      }
      if (block[i] != '\\') {
        out_ += block[i++];
        continue;
      }
      std::size_t end = i + 1;
      while (end < block.size() && std::isalpha(static_cast<unsigned char>(block[end]))) ++end;
      const std::string name(block.substr(i + 1, end - i - 1));
      out_.append(block.substr(i, end - i));
      i = nameEnd = end;
      if (name == "fn" || name.starts_with("fn") || name == "r" || name.starts_with("r")) {
        // A font or style name, digits and all, up to the next tag.
        const std::size_t next = std::min(block.find('\\', i), block.size());
        out_.append(block.substr(i, next - i));
        i = next;
        continue;
      }
      // The drawing reads a tag's value past blanks after its name, as strtod
      // passes over them: "\fs 9999" asks a size of 9999, "\p 1" a drawing.
      const std::size_t valueAt = SUBTITLEFILE::PastBlanks(block, i);
      const Range* range = SingleValueRange(name);
      const bool valued = IsNumberStart(block, valueAt) && (range || name == "q" || name == "p");
      const bool coordinates =
          (name == "pos" || name == "move" || name == "org" || name == "clip" || name == "iclip") &&
          valueAt < block.size() && block[valueAt] == '(';
      if (!valued && !coordinates) continue;
      out_.append(block.substr(i, valueAt - i));
      i = valueAt;
      std::size_t length = 0;
      double value = 0;
      if (coordinates) {
        std::size_t close = block.find(')', i);
        close = close == std::string_view::npos ? block.size() : close;
        Coordinates(block.substr(i, close - i), false);
        if (close < block.size() && !cut_) out_ += ')';
        i = close + 1;
        continue;
      }
      if (range) {
        const bool relative = block[i] == '+' || block[i] == '-';
        out_ += Held(block.substr(i), *range, length, value, Follows::PassedOver);
        Grow(name, value, relative);
      } else if (name == "q") {
        out_ += Held(block.substr(i), kAnyNumber, length, value, Follows::PassedOver);
        wraps_ = wraps_ && value != 2;
      } else {
        Held(block.substr(i), {0, 8}, length, value);
        BeginDrawing(int(std::floor(value)));
        out_ += Number(std::floor(value));
      }
      i = AfterNumberRun(block, i + length);
    }
  }

  Range size_, scale_, spacing_, rim_, blur_, coordinate_;
  double area_;
  double largestSize_;
  double width_;
  bool wraps_;
  StyleExtent extent_;
  double lineLength_ = 0, wordLength_ = 0;
  bool blankInLine_ = false;
  std::string out_;
  double ink_ = 0;
  bool cut_ = false;
  bool drawing_ = false;
  int drawingScale_ = 0;
  int drawingNumbers_ = 0;
  int drawingAxis_ = 0;
  double drawingInk_ = 0;
  double boxLow_[2] = {std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::infinity()};
  double boxHigh_[2] = {-std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
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

// The range of a style's field by its name in the format line; none for
// names and colours.
bool StyleFieldRange(const std::string& name, const Resolution& resolution, Range& range) {
  if (name == "fontsize")
    range = {1, MaximumFontSize(resolution)};
  else if (name == "scalex" || name == "scaley")
    range = {0, 400};
  else if (name == "spacing")
    range = {-resolution.Width / 10.0, resolution.Width / 10.0};
  else if (name == "outline" || name == "shadow")
    range = {0, MaximumRim(resolution)};
  else if (name == "marginl" || name == "marginr")
    range = {0, double(resolution.Width)};
  else if (name == "marginv")
    range = {0, double(resolution.Height)};
  else if (name == "angle")
    range = kAngle;
  else if (name == "alignment" || name == "borderstyle" || name == "encoding" || name == "bold" ||
           name == "italic" || name == "underline" || name == "strikeout")
    range = kAnyNumber;
  else
    return false;
  return true;
}

std::string LimitStyleLine(std::string_view values, const std::vector<std::string>& names,
                           const Resolution& resolution) {
  std::vector<std::string_view> fields = SplitFields(values);
  std::string out;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) out += ',';
    const std::string name = k < names.size() ? names[k] : std::string();
    Range range{0, 0};
    if (StyleFieldRange(name, resolution, range) && IsNumberStart(fields[k], 0) &&
        ScanDecimal(fields[k]).Length == fields[k].size())
      out += LimitedNumber(fields[k], range.Low, range.High);
    else
      out.append(fields[k]);
  }
  return out;
}

// A header's lines, each with its lower-case trimmed form.
template <typename Visit>
void ForEachLine(std::string_view header, Visit&& visit) {
  std::size_t begin = 0;
  while (begin < header.size()) {
    std::size_t end = header.find('\n', begin);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(begin, end - begin);
    visit(line, ASCIITEXT::LowerAscii(SUBTITLEFILE::TrimControls(line)));
    begin = end + 1;
  }
}

// "key: value" with `key` in lower case; the value, else null.
std::optional<std::string_view> KeyValue(std::string_view lower, std::string_view original,
                                         std::string_view key) {
  if (lower.size() <= key.size() || lower.compare(0, key.size(), key) != 0 ||
      lower[key.size()] != ':')
    return std::nullopt;
  const std::string_view trimmed = SUBTITLEFILE::TrimControls(original);
  return SUBTITLEFILE::TrimControls(trimmed.substr(key.size() + 1));
}

// The script's own numbers that the drawing reads: its resolutions and
// wrap style, held to what the limits assume. A line whose number is
// already in range stays as written.
std::optional<std::string> LimitScriptInfoLine(std::string_view lower, std::string_view original) {
  for (const auto& [key, high] : {std::pair{"playresx", kMaximumSide},
                                  {"playresy", kMaximumSide},
                                  {"layoutresx", kMaximumSide},
                                  {"layoutresy", kMaximumSide},
                                  {"wrapstyle", 1 << 20}}) {
    const auto value = KeyValue(lower, original, key);
    if (!value) continue;
    const std::string number = std::to_string(SUBTITLEFILE::LeadingInteger(*value, 0, high, 0));
    if (*value == number) return std::nullopt;
    return std::string(
               SUBTITLEFILE::TrimControls(original).substr(0, std::string_view(key).size())) +
           ": " + number;
  }
  return std::nullopt;
}

// A style's field as a number, within the limits that already hold.
double FieldValue(std::string_view field, double missing) {
  const SUBTITLEFILE::Decimal number = ScanDecimal(field);
  return number.Length > 0 && std::isfinite(number.Value) ? number.Value : missing;
}

}  // namespace

std::string LimitedNumber(std::string_view written, double low, double high) {
  if (!IsNumberStart(written, 0)) return std::string(written);
  std::size_t length = 0;
  double value = 0;
  std::string held = Held(written, HeldRange(low, high), length, value);
  return held.append(written.substr(length));
}

int HeaderNumber(std::string_view header, std::string_view key, int missing) {
  int value = missing;
  ForEachLine(header, [&](std::string_view line, const std::string& lower) {
    if (const auto text = KeyValue(lower, line, key))
      value = int(SUBTITLEFILE::LeadingInteger(*text, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max(), 0));
  });
  return value;
}

Resolution ScriptResolution(std::string_view header) {
  int width = std::clamp(HeaderNumber(header, "playresx", 0), 0, kMaximumSide);
  int height = std::clamp(HeaderNumber(header, "playresy", 0), 0, kMaximumSide);
  // As the drawing completes a missing one.
  if (width <= 0 && height <= 0) return {};
  if (height <= 0) height = width == 1280 ? 1024 : std::max(1, width * 3 / 4);
  if (width <= 0) width = height == 1024 ? 1280 : std::max(1, height * 4 / 3);
  return {std::min(width, kMaximumSide), std::min(height, kMaximumSide)};
}

LimitedEvent LimitEvent(std::string_view text, const Resolution& resolution,
                        const StyleExtent& extent, bool wraps) {
  return EventLimiter(resolution, extent, wraps).Limit(text);
}

std::string LimitStyles(std::string_view header, const Resolution& resolution) {
  std::string out;
  std::vector<std::string> names;
  bool styles = false, info = false;
  ForEachLine(header, [&](std::string_view line, const std::string& lower) {
    if (!lower.empty() && lower.front() == '[') {
      styles = lower.find("styles") != std::string::npos;
      info = lower == "[script info]";
    }
    if (styles && lower.rfind("format:", 0) == 0) {
      names.clear();
      for (std::string_view field : SplitFields(SUBTITLEFILE::TrimControls(line).substr(7)))
        names.push_back(ASCIITEXT::LowerAscii(field));
    }
    std::optional<std::string> limited;
    if (info) limited = LimitScriptInfoLine(lower, line);
    if (styles && lower.rfind("style:", 0) == 0)
      limited =
          "Style: " + LimitStyleLine(SUBTITLEFILE::TrimControls(line).substr(6), names, resolution);
    out.append(limited ? std::string_view(*limited) : line);
    out += '\n';
  });
  return out;
}

StyleExtent ScriptStyleExtent(std::string_view header) {
  StyleExtent extent;
  bool any = false;
  std::vector<std::string> names;
  bool styles = false;
  ForEachLine(header, [&](std::string_view line, const std::string& lower) {
    if (!lower.empty() && lower.front() == '[') styles = lower.find("styles") != std::string::npos;
    if (styles && lower.rfind("format:", 0) == 0) {
      names.clear();
      for (std::string_view field : SplitFields(SUBTITLEFILE::TrimControls(line).substr(7)))
        names.push_back(ASCIITEXT::LowerAscii(field));
    }
    if (!styles || lower.rfind("style:", 0) != 0) return;
    const std::vector<std::string_view> fields =
        SplitFields(SUBTITLEFILE::TrimControls(line).substr(6));
    StyleExtent style;
    for (std::size_t k = 0; k < fields.size() && k < names.size(); ++k) {
      if (names[k] == "fontsize") style.FontSize = FieldValue(fields[k], style.FontSize);
      if (names[k] == "scalex") style.ScaleX = FieldValue(fields[k], style.ScaleX);
      if (names[k] == "scaley") style.ScaleY = FieldValue(fields[k], style.ScaleY);
      if (names[k] == "outline") style.Outline = FieldValue(fields[k], style.Outline);
      if (names[k] == "shadow") style.Shadow = FieldValue(fields[k], style.Shadow);
      if (names[k] == "angle" && FieldValue(fields[k], 0) != 0) style.Lean = 1;
    }
    if (!any) extent = style;
    any = true;
    extent.FontSize = std::max(extent.FontSize, style.FontSize);
    extent.ScaleX = std::max(extent.ScaleX, style.ScaleX);
    extent.ScaleY = std::max(extent.ScaleY, style.ScaleY);
    extent.Outline = std::max(extent.Outline, style.Outline);
    extent.Shadow = std::max(extent.Shadow, style.Shadow);
    extent.Lean = std::max(extent.Lean, style.Lean);
  });
  return extent;
}

std::string LimitLayer(std::string_view written) { return LimitedNumber(written, -1e6, 1e6); }

std::string LimitMargin(std::string_view written, const Resolution& resolution, bool vertical) {
  return LimitedNumber(written, 0, vertical ? resolution.Height : resolution.Width);
}

}  // namespace STYLEDLIMITS
