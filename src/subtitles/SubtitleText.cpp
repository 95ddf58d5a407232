#include "subtitles/SubtitleText.h"

#include <algorithm>
#include <array>

#include "text/AsciiText.h"

namespace SUBTITLEFILE {
namespace {

constexpr std::size_t kMaxUnbrokenLength = 128;
constexpr std::size_t kFirstBreakIndex = 112;

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The tags start with "{" or "<", which have no case, so the first byte can be
// looked for exactly.
std::size_t FindIgnoringCase(std::string_view text, std::string_view tag, std::size_t from) {
  for (std::size_t at = text.find(tag[0], from); at != std::string_view::npos;
       at = text.find(tag[0], at + 1))
    if (ASCIITEXT::StartsWithIgnoringCase(text.substr(at), tag)) return at;
  return std::string_view::npos;
}

// Replaces, left to right and without rescanning, each occurrence that find
// reports and the `span` characters from it (fewer at the end) by one blank.
// Replacing only the first occurrence again and again gives the same text:
// the blank can never be part of a new occurrence before it.
template <typename Find>
void ReplaceSpans(std::string& text, std::size_t span, Find find, bool utf8 = false) {
  std::size_t at = find(text, 0);
  if (at == std::string::npos) return;  // the common case: nothing to copy
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (; at != std::string::npos; at = find(text, from)) {
    out.append(text, from, at - from);
    out += ' ';
    from = AdvanceCharacters(text, at, span, utf8);
  }
  out.append(text, from);
  text.swap(out);
}

void ReplaceExact(std::string& text, std::string_view opening, std::size_t span,
                  bool utf8 = false) {
  ReplaceSpans(
      text, span, [opening](std::string_view t, std::size_t from) { return t.find(opening, from); },
      utf8);
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CountCharacters(std::string_view text, bool utf8) {
  if (!utf8) return text.size();
  return std::size_t(
      std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuationByte(c); }));
}

std::vector<std::string> SplitAtBars(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', begin)) {
    lines.emplace_back(text, begin, bar - begin);
    begin = bar + 1;
  }
  if (begin < text.size()) lines.emplace_back(text, begin);
  return lines;
}

}  // namespace

std::vector<LineSpan> SplitTextLines(std::string_view text) {
  std::vector<LineSpan> lines;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.push_back({begin, i - begin});
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < text.size()) lines.push_back({begin, text.size() - begin});
  return lines;
}

std::string_view TrimControls(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsControlOrBlank(text[begin])) ++begin;
  while (end > begin && IsControlOrBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::size_t AdvanceCharacters(std::string_view text, std::size_t at, std::size_t count, bool utf8) {
  if (!utf8) return at + std::min(count, text.size() - at);
  for (; count > 0 && at < text.size(); --count) do
      ++at;
    while (at < text.size() && IsContinuationByte(text[at]));
  return at;
}

std::string RemoveMarkup(std::string_view text, bool utf8) {
  static constexpr std::array<std::string_view, 10> kStyleTags = {
      "{y:i}", "{y:b}", "{y:u}", "{y:s}", "<b>", "</b>", "<i>", "</i>", "<u>", "</u>"};
  std::string result(text);
  for (std::string_view tag : kStyleTags)
    ReplaceSpans(result, tag.size(), [tag](std::string_view t, std::size_t from) {
      return FindIgnoringCase(t, tag, from);
    });
  ReplaceExact(result, "{C:$", 11, utf8);
  ReplaceExact(result, "<font color=\"#", 22, utf8);
  ReplaceExact(result, "</font>", 7, utf8);
  ReplaceExact(result, "   ", 3);
  ReplaceExact(result, "  ", 2);
  return result;
}

std::vector<std::string> BreakMicroDvdText(const std::string& text, bool utf8) {
  if (text.find('|') != std::string::npos) return SplitAtBars(text);
  if (CountCharacters(text, utf8) <= kMaxUnbrokenLength) return {text};
  const std::size_t blank = text.find(' ', AdvanceCharacters(text, 0, kFirstBreakIndex, utf8));
  // Without a blank to break at the text stays whole: it is never dropped.
  if (blank == std::string::npos) return {text};
  return {text.substr(0, blank), text.substr(blank + 1)};
}

}  // namespace SUBTITLEFILE
