#include "subtitles/SubtitleText.h"

#include <algorithm>
#include <array>

namespace SUBTITLEFILE {
namespace {

constexpr std::size_t kMaxUnbrokenLength = 128;
constexpr std::size_t kFirstBreakIndex = 112;

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view tag) {
  if (text.size() - at < tag.size()) return false;
  for (std::size_t i = 0; i < tag.size(); ++i)
    if (LowerAscii(text[at + i]) != LowerAscii(tag[i])) return false;
  return true;
}

// Every occurrence of tag, left to right without overlap, becomes one blank.
std::string ReplaceTagIgnoringCase(std::string_view text, std::string_view tag) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (StartsWithIgnoringCase(text, i, tag)) {
      out += ' ';
      i += tag.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Replacing the first occurrence of opening and `span` characters from it by
// a blank, again and again, never makes a new occurrence before the blank, so
// one pass gives the same text.
std::string ReplaceSpans(std::string_view text, std::string_view opening, std::size_t span) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, opening.size()) == opening) {
      out += ' ';
      i += std::min(span, text.size() - i);
    } else {
      out += text[i++];
    }
  }
  return out;
}

// One left-to-right pass without rescanning: each run of `count` blanks
// becomes one.
std::string ThinBlanks(std::string_view text, std::size_t count) {
  const std::string run(count, ' ');
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, count) == run) {
      out += ' ';
      i += count;
    } else {
      out += text[i++];
    }
  }
  return out;
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

std::string RemoveMarkup(std::string_view text) {
  static constexpr std::array<std::string_view, 10> kStyleTags = {
      "{y:i}", "{y:b}", "{y:u}", "{y:s}", "<b>", "</b>", "<i>", "</i>", "<u>", "</u>"};
  std::string result(text);
  for (std::string_view tag : kStyleTags) result = ReplaceTagIgnoringCase(result, tag);
  result = ReplaceSpans(result, "{C:$", 11);
  result = ReplaceSpans(result, "<font color=\"#", 22);
  result = ReplaceSpans(result, "</font>", 7);
  result = ThinBlanks(result, 3);
  return ThinBlanks(result, 2);
}

std::vector<std::string> BreakMicroDvdText(const std::string& text) {
  if (text.find('|') != std::string::npos) return SplitAtBars(text);
  if (text.size() <= kMaxUnbrokenLength) return {text};
  const std::size_t blank = text.find(' ', kFirstBreakIndex);
  // Without a blank to break at the text stays whole: it is never dropped.
  if (blank == std::string::npos) return {text};
  return {text.substr(0, blank), text.substr(blank + 1)};
}

}  // namespace SUBTITLEFILE
