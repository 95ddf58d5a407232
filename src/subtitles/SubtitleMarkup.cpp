#include "subtitles/SubtitleMarkup.h"

#include <array>
#include <cstdint>

#include "subtitles/SubtitleText.h"
#include "text/AsciiText.h"

namespace SUBTITLEFILE {
namespace {

constexpr std::size_t kNone = 0;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
using ASCIITEXT::EqualsIgnoringCase;
using ASCIITEXT::LowerAscii;

// Scanning stops at the next "<" so that a run of broken tags costs each
// character once.
class TagScanner {
 public:
  TagScanner(std::string_view text, std::size_t at) : text_(text), pos_(at) {}
  bool AtEnd() const { return pos_ >= text_.size() || text_[pos_] == '<'; }
  char Peek() const { return text_[pos_]; }
  bool Take(char c) {
    if (AtEnd() || Peek() != c) return false;
    ++pos_;
    return true;
  }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
  }
  std::string_view Name() {
    const std::size_t begin = pos_;
    while (!AtEnd() && IsLetter(Peek())) ++pos_;
    return text_.substr(begin, pos_ - begin);
  }
  // Up to a stop character or a blank.
  std::size_t SkipUntil(std::string_view stops) {
    const std::size_t begin = pos_;
    while (!AtEnd() && !IsBlank(Peek()) && stops.find(Peek()) == std::string_view::npos) ++pos_;
    return pos_ - begin;
  }
  // Past the closing quote; false when the quote is not closed.
  bool SkipQuoted(char quote) {
    while (!AtEnd() && Peek() != quote) ++pos_;
    return Take(quote);
  }
  void SkipToClose() {
    while (!AtEnd() && Peek() != '>') ++pos_;
  }
  void Rewind(std::size_t to) { pos_ = to; }
  std::size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_;
};

bool IsStyleTagName(std::string_view name) {
  for (std::string_view known : {"b", "i", "u", "s"})
    if (EqualsIgnoringCase(name, known)) return true;
  return false;
}

// Attributes of a font tag up to its ">": name, name=value, name="value" or
// name='value'. A quote left open ends at the next ">".
bool SkipFontAttributes(TagScanner& scan) {
  for (;;) {
    scan.SkipBlanks();
    if (scan.AtEnd() || scan.Peek() == '>') return !scan.AtEnd();
    if (scan.Take('/')) continue;
    if (scan.SkipUntil("=>\"'/") == 0) return false;
    scan.SkipBlanks();
    if (!scan.Take('=')) continue;
    scan.SkipBlanks();
    if (scan.AtEnd()) return false;
    const char quote = scan.Peek();
    if (quote == '"' || quote == '\'') {
      scan.Take(quote);
      const std::size_t value = scan.Position();
      if (!scan.SkipQuoted(quote)) {
        scan.Rewind(value);
        scan.SkipToClose();
        return !scan.AtEnd();
      }
    } else if (scan.SkipUntil(">") == 0) {
      return false;
    }
  }
}

// The length of the HTML-like tag at `at` (a "<"), or kNone.
std::size_t HtmlTagLength(std::string_view text, std::size_t at) {
  TagScanner scan(text, at + 1);
  scan.SkipBlanks();
  const bool closing = scan.Take('/');
  scan.SkipBlanks();
  const std::string_view name = scan.Name();
  const bool font = EqualsIgnoringCase(name, "font");
  if (!font && !IsStyleTagName(name)) return kNone;
  if (scan.AtEnd()) return kNone;
  if (scan.Peek() != '>') {
    if (!IsBlank(scan.Peek())) return kNone;  // "<bold>", "<b2>": another word
    if (font && !closing) {
      if (!SkipFontAttributes(scan)) return kNone;
    } else {
      scan.SkipBlanks();
    }
  }
  if (!scan.Take('>')) return kNone;
  return scan.Position() - at;
}

bool IsControlCodeLetter(char c) {
  const char lower = LowerAscii(c);
  return lower == 'y' || lower == 'c' || lower == 'f' || lower == 's' || lower == 'p' ||
         lower == 'h';
}

// The length of the override block or control code at `at` (a "{"), or
// kNone. A block left open, or holding another "{", is text.
std::size_t BraceCodeLength(std::string_view text, std::size_t at) {
  std::size_t body;
  if (at + 1 < text.size() && text[at + 1] == '\\')
    body = at + 2;
  else if (at + 2 < text.size() && IsControlCodeLetter(text[at + 1]) && text[at + 2] == ':')
    body = at + 3;
  else
    return kNone;
  const std::size_t close = text.find_first_of("{}", body);
  if (close == std::string_view::npos || text[close] != '}') return kNone;
  return close + 1 - at;
}

void AppendUtf8(uint32_t value, std::string& out) {
  if (value < 0x80) {
    out += char(value);
  } else if (value < 0x800) {
    out += char(0xC0 | value >> 6);
    out += char(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += char(0xE0 | value >> 12);
    out += char(0x80 | (value >> 6 & 0x3F));
    out += char(0x80 | (value & 0x3F));
  } else {
    out += char(0xF0 | value >> 18);
    out += char(0x80 | (value >> 12 & 0x3F));
    out += char(0x80 | (value >> 6 & 0x3F));
    out += char(0x80 | (value & 0x3F));
  }
}

// "&#39;" or "&#x27;": the value, or kNone past the limits of a character
// worth drawing.
uint32_t NumericReference(std::string_view text, std::size_t at, std::size_t& length) {
  std::size_t i = at + 2;
  const bool hex = i < text.size() && LowerAscii(text[i]) == 'x';
  if (hex) ++i;
  uint32_t value = 0;
  const std::size_t digitsBegin = i;
  for (; i < text.size() && i - digitsBegin < 7; ++i) {
    const char c = LowerAscii(text[i]);
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      break;
    value = value * (hex ? 16 : 10) + uint32_t(digit);
  }
  if (i == digitsBegin || i >= text.size() || text[i] != ';') return kNone;
  const bool drawable = value >= 0x20 && !(value >= 0x7F && value <= 0x9F) &&
                        !(value >= 0xD800 && value <= 0xDFFF) && value <= 0x10FFFF;
  if (!drawable) return kNone;
  length = i + 1 - at;
  return value;
}

// Appends the character of the entity at `at` (a "&") and returns the
// entity's length, or kNone when there is none the text can hold.
std::size_t AppendEntity(std::string_view text, std::size_t at, bool utf8, std::string& out) {
  struct Named {
    std::string_view name;
    uint32_t value;
  };
  static constexpr std::array<Named, 6> kNamed = {{
      {"&amp;", '&'},
      {"&lt;", '<'},
      {"&gt;", '>'},
      {"&quot;", '"'},
      {"&apos;", '\''},
      {"&nbsp;", 0xA0},
  }};
  std::size_t length = kNone;
  uint32_t value = kNone;
  for (const Named& entity : kNamed)
    if (EqualsIgnoringCase(text.substr(at, entity.name.size()), entity.name)) {
      length = entity.name.size();
      value = entity.value;
    }
  if (length == kNone && at + 1 < text.size() && text[at + 1] == '#')
    value = NumericReference(text, at, length);
  if (length == kNone) return kNone;
  if (utf8)
    AppendUtf8(value, out);
  else if (value == 0xA0 || value < 0x80)  // 0xA0 is the no-break space in every code page
    out += char(value);
  else
    return kNone;
  return length;
}

std::size_t MarkupLength(std::string_view text, std::size_t at) {
  if (text[at] == '<') return HtmlTagLength(text, at);
  if (text[at] == '{') return BraceCodeLength(text, at);
  return kNone;
}

}  // namespace

std::string CleanMarkup(std::string_view text, bool utf8) {
  std::string out;
  out.reserve(text.size());
  // Blanks right after removed markup are dropped while the text kept so far
  // ends in a blank (or is empty): "a <i> b" gives "a b", not "a  b".
  bool afterMarkup = false;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t markup = MarkupLength(text, i); markup != kNone) {
      i += markup;
      afterMarkup = true;
      continue;
    }
    const char c = text[i];
    if (IsBlank(c) && afterMarkup && (out.empty() || IsBlank(out.back()))) {
      ++i;
      continue;
    }
    afterMarkup = afterMarkup && IsBlank(c);
    if (c == '&') {
      if (const std::size_t entity = AppendEntity(text, i, utf8, out); entity != kNone) {
        i += entity;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return std::string(TrimControls(out));
}

}  // namespace SUBTITLEFILE
