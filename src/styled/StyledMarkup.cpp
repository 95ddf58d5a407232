#include "styled/StyledMarkup.h"

#include <QColor>
#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "subtitles/SubtitleNumbers.h"
#include "subtitles/SubtitleText.h"
#include "text/AsciiText.h"

namespace STYLEDMARKUP {
namespace {

// The value of name="value", name='value' or name=value in a tag's inside.
std::string Attribute(std::string_view inside, std::string_view name) {
  const std::string lower = ASCIITEXT::LowerAscii(inside);
  std::size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    const bool starts = at == 0 || std::isspace(static_cast<unsigned char>(lower[at - 1]));
    std::size_t p = at + name.size();
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (!starts || p >= lower.size() || lower[p] != '=') {
      at += name.size();
      continue;
    }
    ++p;
    while (p < lower.size() && lower[p] == ' ') ++p;
    const char quote = p < inside.size() && (inside[p] == '"' || inside[p] == '\'') ? inside[p] : 0;
    if (quote) ++p;
    std::size_t end = p;
    while (end < inside.size() && (quote ? inside[end] != quote : inside[end] != ' ')) ++end;
    return std::string(inside.substr(p, end - p));
  }
  return {};
}

// Switches a counted style on at its first opening and off at its last
// closing.
void Count(int& counter, bool closing, char tag, std::string& out) {
  if (!closing) {
    if (counter++ == 0) out += std::string("{\\") + tag + "1}";
  } else if (counter > 0 && --counter == 0) {
    out += std::string("{\\") + tag + "0}";
  }
}

// After a </font>: each value it set goes back to the one an outer font
// set, else to the style's.
void CloseFont(TagState& state, std::string& out) {
  if (state.Fonts.empty()) return;
  const TagState::Font closed = state.Fonts.back();
  state.Fonts.pop_back();
  auto outer = [&](std::string TagState::Font::*member) -> std::string {
    for (auto it = state.Fonts.rbegin(); it != state.Fonts.rend(); ++it)
      if (!((*it).*member).empty()) return (*it).*member;
    return {};
  };
  std::string block;
  if (!closed.Colour.empty()) block += "\\c" + outer(&TagState::Font::Colour);
  if (!closed.Face.empty()) block += "\\fn" + outer(&TagState::Font::Face);
  if (!closed.Size.empty()) block += "\\fs" + outer(&TagState::Font::Size);
  if (!block.empty()) out += "{" + block + "}";
}

void OpenFont(std::string_view inside, TagState& state, std::string& out) {
  TagState::Font font;
  font.Colour = AssColour(Attribute(inside, "color"));
  font.Face = Attribute(inside, "face");
  font.Face.erase(std::remove_if(font.Face.begin(), font.Face.end(),
                                 [](char c) { return c == '{' || c == '}' || c == '\\'; }),
                  font.Face.end());
  const std::string size = Attribute(inside, "size");
  if (!size.empty() && std::all_of(size.begin(), size.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      }))
    font.Size = size.substr(0, 4);
  std::string block;
  if (!font.Colour.empty()) block += "\\c" + font.Colour;
  if (!font.Face.empty()) block += "\\fn" + font.Face;
  if (!font.Size.empty()) block += "\\fs" + font.Size;
  if (!block.empty()) out += "{" + block + "}";
  state.Fonts.push_back(std::move(font));
}

// The tag's name, lower case, without a WebVTT class (".yellow").
std::string TagName(std::string_view inside) {
  std::size_t end = 0;
  while (end < inside.size() && std::isalnum(static_cast<unsigned char>(inside[end]))) ++end;
  return ASCIITEXT::LowerAscii(inside.substr(0, end));
}

bool IsTagStart(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size() || text[at] != '<') return false;
  const char next = text[at + 1] == '/' && at + 2 < text.size() ? text[at + 2] : text[at + 1];
  return std::isalpha(static_cast<unsigned char>(next)) ||
         std::isdigit(static_cast<unsigned char>(next));
}

// One tag (without its angle brackets) applied; false for tags the format
// does not know, which are dropped all the same.
void ApplyTag(std::string_view inside, TagState& state, bool fonts, std::string& out) {
  const bool closing = !inside.empty() && inside.front() == '/';
  if (closing) inside.remove_prefix(1);
  const std::string name = TagName(inside);
  if (name == "i")
    Count(state.Italic, closing, 'i', out);
  else if (name == "b")
    Count(state.Bold, closing, 'b', out);
  else if (name == "u")
    Count(state.Underline, closing, 'u', out);
  else if (name == "s")
    Count(state.StrikeOut, closing, 's', out);
  else if (fonts && name == "font")
    closing ? CloseFont(state, out) : OpenFont(inside, state, out);
}

std::string_view DecodeEntity(std::string_view text, std::size_t at, std::size_t& length) {
  static const std::pair<std::string_view, std::string_view> kEntities[] = {
      {"&amp;", "&"},
      {"&lt;", "<"},
      {"&gt;", ">"},
      {"&nbsp;", "\xC2\xA0"},
      {"&lrm;", "\xE2\x80\x8E"},
      {"&rlm;", "\xE2\x80\x8F"},
      {"&quot;", "\""},
      {"&apos;", "'"}};
  for (const auto& [entity, value] : kEntities)
    if (text.substr(at, entity.size()) == entity) {
      length = entity.size();
      return value;
    }
  length = 0;
  return {};
}

std::string TagLine(std::string_view line, TagState& state, bool webVtt) {
  std::string out;
  out.reserve(line.size() + 16);
  for (std::size_t i = 0; i < line.size();) {
    if (IsTagStart(line, i)) {
      const std::size_t close = line.find('>', i);
      if (close != std::string_view::npos) {
        ApplyTag(line.substr(i + 1, close - i - 1), state, !webVtt, out);
        i = close + 1;
        continue;
      }
    }
    if (webVtt && line[i] == '&') {
      std::size_t length = 0;
      const std::string_view value = DecodeEntity(line, i, length);
      if (length > 0) {
        out += value;
        i += length;
        continue;
      }
    }
    out += line[i++];
  }
  return out;
}

// MicroDVD control codes: {y:...} one line, {Y:...} the whole entry.
std::string ControlCode(char kind, std::string_view value) {
  std::string block;
  switch (std::tolower(static_cast<unsigned char>(kind))) {
    case 'y':
      for (char c : ASCIITEXT::LowerAscii(value))
        if (c == 'i' || c == 'b' || c == 'u' || c == 's') block += std::string("\\") + c + "1";
      break;
    case 'c': {
      const std::string_view trimmed = SUBTITLEFILE::TrimControls(value);
      const std::size_t digits = trimmed.find_first_not_of('$');
      const std::string_view hex =
          digits == std::string_view::npos ? std::string_view() : trimmed.substr(digits);
      if (hex.size() == 6 && std::all_of(hex.begin(), hex.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
          }))
        block = "\\c&H" + std::string(hex) + "&";  // already blue-green-red
      break;
    }
    case 'f':
      if (!SUBTITLEFILE::TrimControls(value).empty() &&
          SUBTITLEFILE::TrimControls(value).find_first_of("{}\\") == std::string_view::npos)
        block = "\\fn" + std::string(SUBTITLEFILE::TrimControls(value));
      break;
    case 's': {
      const std::string_view size = SUBTITLEFILE::TrimControls(value);
      if (!size.empty() && size.size() <= 4 && std::all_of(size.begin(), size.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
          }))
        block = "\\fs" + std::string(size);
      break;
    }
    default:
      break;
  }
  return block;
}

// A line's leading control codes taken off it, into the entry's or the
// line's overrides.
std::string_view TakeControlCodes(std::string_view line, std::string& entry, std::string& own) {
  while (line.size() > 3 && line[0] == '{' && line[2] == ':' &&
         std::isalpha(static_cast<unsigned char>(line[1]))) {
    const std::size_t close = line.find('}');
    if (close == std::string_view::npos) break;
    const std::string block = ControlCode(line[1], line.substr(3, close - 3));
    (std::isupper(static_cast<unsigned char>(line[1])) ? entry : own) += block;
    line.remove_prefix(close + 1);
  }
  return line;
}

// An event's text in the pieces the drawing reads it in: plain text, the
// two-letter escapes, override blocks, and a "{" that no "}" closes, which
// is drawn as written with everything after it.
struct Piece {
  enum { Plain, Escape, Block, Unclosed } Kind;
  std::string_view Text;
};

std::vector<Piece> Pieces(std::string_view text) {
  std::vector<Piece> pieces;
  std::size_t start = 0;
  auto textUpTo = [&](std::size_t end) {
    if (end > start) pieces.push_back({Piece::Plain, text.substr(start, end - start)});
  };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '\\' && i + 1 < text.size() &&
        std::string_view("Nnh{}").find(text[i + 1]) != std::string_view::npos) {
      textUpTo(i);
      pieces.push_back({Piece::Escape, text.substr(i, 2)});
      start = i += 2;
    } else if (text[i] == '{') {
      textUpTo(i);
      const std::size_t close = text.find('}', i);
      if (close == std::string_view::npos) {
        pieces.push_back({Piece::Unclosed, text.substr(i)});
        return pieces;
      }
      pieces.push_back({Piece::Block, text.substr(i, close + 1 - i)});
      start = i = close + 1;
    } else {
      ++i;
    }
  }
  textUpTo(text.size());
  return pieces;
}

// Each tag of a block's inside, without its backslash and the blanks after
// it: up to the next backslash outside parentheses, so that an animation
// holds the tags it animates.
template <typename Visit>
void ForEachTag(std::string_view inside, Visit&& visit) {
  std::size_t at = inside.find('\\');
  while (at != std::string_view::npos) {
    std::size_t begin = at + 1;
    while (begin < inside.size() && (inside[begin] == ' ' || inside[begin] == '\t')) ++begin;
    std::size_t end = begin;
    for (int depth = 0; end < inside.size(); ++end) {
      if (inside[end] == '(') ++depth;
      if (inside[end] == ')' && depth > 0) --depth;
      if (inside[end] == '\\' && depth == 0) break;
    }
    if (end > begin) visit(inside.substr(begin, end - begin));
    at = end < inside.size() ? end : std::string_view::npos;
  }
}

// A tag's value: what follows its name, blanks and an opening parenthesis
// taken off.
std::string_view Value(std::string_view tag, std::size_t nameLength) {
  std::string_view value = tag.substr(nameLength);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.front() == '('))
    value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

int IntegerValue(std::string_view tag, std::size_t nameLength) {
  return int(SUBTITLEFILE::LeadingInteger(Value(tag, nameLength), -1000, 1000, 0));
}

// Tags under which a break would change the drawing: a width scale that
// moves (the scale set again after the break would stop it), a drawing (its
// commands are no text) and wrapping turned off.
bool BlockForbidsBreaks(std::string_view block) {
  bool forbids = false;
  ForEachTag(block.substr(1, block.size() - 2), [&](std::string_view tag) {
    if (tag.front() == 't' && tag.find('(') != std::string_view::npos)
      ForEachTag(tag.substr(tag.find('(') + 1), [&](std::string_view animated) {
        forbids |= animated.starts_with("fsc") && !animated.starts_with("fscy");
      });
    else if (tag.front() == 'p' && !tag.starts_with("pos") && !tag.starts_with("pbo"))
      forbids |= IntegerValue(tag, 1) != 0;
    else if (tag.front() == 'q')
      forbids |= IntegerValue(tag, 1) == 2;
  });
  return forbids;
}

// The width scale in force, as far as the blocks read so far tell: the
// style's (the event's, or the one a reset named: a bare tag sets the scale
// of the style in force), one a tag set (the tag kept whole, to be set again
// as written), or one not known here: what a value given to the tag for both
// scales means to the drawing.
struct WidthScale {
  enum { Style, Set, Unknown } Kind = Style;
  std::string Tag;
};

void Follow(std::string_view tag, WidthScale& scale) {
  if (tag.starts_with("fscx")) {
    scale.Kind = Value(tag, 4).empty() ? WidthScale::Style : WidthScale::Set;
    scale.Tag = tag;
  } else if (tag.starts_with("fsc") && !tag.starts_with("fscy")) {
    scale.Kind = Value(tag, 3).empty() ? WidthScale::Style : WidthScale::Unknown;
  } else if (tag.front() == 'r') {
    scale.Kind = WidthScale::Style;
  }
}

// A space drawn zero wide, where the drawing may break a line without a
// gap, and the scale in force set again after it.
std::string BreakOpportunity(const WidthScale& scale) {
  return "{\\fscx0} {\\" + (scale.Kind == WidthScale::Set ? scale.Tag : std::string("fscx")) + "}";
}

// Letters of scripts written without spaces between words, and the full-
// width punctuation that goes with them.
bool WrittenWithoutSpaces(char32_t c) {
  switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Bopomofo:
    case QChar::Script_Yi:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
    case QChar::Script_Tibetan:
      return true;
    default:
      return (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE4F) ||
             (c >= 0xFF00 && c <= 0xFFEF);
  }
}

char32_t CodePointBefore(const QString& text, qsizetype at) {
  const QChar last = text[at - 1];
  if (last.isLowSurrogate() && at >= 2 && text[at - 2].isHighSurrogate())
    return QChar::surrogateToUcs4(text[at - 2], last);
  return last.unicode();
}

char32_t CodePointAt(const QString& text, qsizetype at) {
  const QChar first = text[at];
  if (first.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
    return QChar::surrogateToUcs4(first, text[at + 1]);
  return first.unicode();
}

// Where the drawing cannot break already: beside a letter written without
// spaces, not beside a space, and never after a backslash, which would make
// an escape of the brace that follows.
bool WantsBreak(const QString& text, qsizetype at) {
  const char32_t before = CodePointBefore(text, at), after = CodePointAt(text, at);
  if (!WrittenWithoutSpaces(before) && !WrittenWithoutSpaces(after)) return false;
  return !QChar::isSpace(before) && !QChar::isSpace(after) && before != '\\';
}

// Text that gets no break is kept byte for byte, bytes that are no UTF-8
// included.
void AddToRun(std::string_view run, const WidthScale& scale, std::string& out) {
  const bool ascii = std::all_of(run.begin(), run.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const QString text = QString::fromUtf8(run.data(), qsizetype(run.size()));
  if (ascii || scale.Kind == WidthScale::Unknown || text.toStdString() != run) {
    out.append(run);
    return;
  }
  QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
  qsizetype last = 0;
  for (qsizetype at = finder.toNextBoundary(); at > 0 && at < text.size();
       at = finder.toNextBoundary()) {
    if (!WantsBreak(text, at)) continue;
    out += text.mid(last, at - last).toStdString();
    out += BreakOpportunity(scale);
    last = at;
  }
  out += text.mid(last).toStdString();
}

}  // namespace

std::string AssColour(std::string_view value) {
  value = SUBTITLEFILE::TrimControls(value);
  if (value.empty()) return {};
  QString name = QString::fromUtf8(value.data(), qsizetype(value.size()));
  if (value.size() == 6 && std::all_of(value.begin(), value.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
      }))
    name.prepend('#');
  const QColor colour = QColor::fromString(name);
  if (!colour.isValid()) return {};
  char text[16];
  std::snprintf(text, sizeof text, "&H%02X%02X%02X&", colour.blue(), colour.green(), colour.red());
  return text;
}

std::string SubRipLine(std::string_view line, TagState& state) {
  return TagLine(line, state, false);
}

std::string WebVttLine(std::string_view line, TagState& state) {
  return TagLine(line, state, true);
}

std::string MicroDvdText(std::string_view text) {
  std::string entry;
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t bar = text.find('|', begin);
    if (bar == std::string_view::npos) bar = text.size();
    std::string own;
    const std::string_view line = TakeControlCodes(text.substr(begin, bar - begin), entry, own);
    lines.push_back(own.empty() ? std::string(line) : "{" + own + "}" + std::string(line));
    begin = bar + 1;
  }
  // A line's own codes end with it: each later line starts from the entry's.
  std::string joined = entry.empty() ? "" : "{" + entry + "}";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += entry.empty() ? "\\N{\\r}" : "\\N{\\r" + entry + "}";
    joined += lines[i];
  }
  return joined;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += "\\N";
    joined += lines[i];
  }
  return joined;
}

std::string AddLineBreakOpportunities(std::string_view text) {
  const std::vector<Piece> pieces = Pieces(text);
  if (std::any_of(pieces.begin(), pieces.end(), [](const Piece& piece) {
        return piece.Kind == Piece::Block && BlockForbidsBreaks(piece.Text);
      }))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  WidthScale scale;
  for (const Piece& piece : pieces) {
    if (piece.Kind == Piece::Plain) {
      AddToRun(piece.Text, scale, out);
      continue;
    }
    out.append(piece.Text);
    if (piece.Kind == Piece::Block)
      ForEachTag(piece.Text.substr(1, piece.Text.size() - 2),
                 [&](std::string_view tag) { Follow(tag, scale); });
  }
  return out;
}

}  // namespace STYLEDMARKUP
