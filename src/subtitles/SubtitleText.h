#pragma once

// Text helpers of the subtitle file: line splitting, trimming, markup removal
// and the breaking of MicroDVD texts into lines. Text is 8-bit, byte for byte,
// unless it is known to be UTF-8.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace SUBTITLEFILE {

struct LineSpan {
  std::size_t begin = 0;
  std::size_t size = 0;
};

// Lines end at CR, LF or CR LF; a last line without a break counts, a final
// break adds no empty line.
std::vector<LineSpan> SplitTextLines(std::string_view text);

// Removes leading and trailing bytes with codes 0 to 32.
std::string_view TrimControls(std::string_view text);

// The text after a UTF-8 byte order mark, which a file read as 8-bit text
// still starts with.
inline std::string_view SkipUtf8Mark(std::string_view text) {
  return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// The classic markup removal of entry texts. `utf8`: the spans that
// tags cover are counted in characters of UTF-8 text, not in bytes.
std::string RemoveMarkup(std::string_view text, bool utf8 = false);

// A MicroDVD text as entry lines: split at "|", or at the first blank from
// index 112 on when longer than 128 characters (counted in characters of
// UTF-8 text when `utf8`).
std::vector<std::string> BreakMicroDvdText(const std::string& text, bool utf8 = false);

// The byte index just past `count` characters from `at`: a character is a
// byte, or in UTF-8 a lead byte with its continuation bytes. Stops at the end.
std::size_t AdvanceCharacters(std::string_view text, std::size_t at, std::size_t count, bool utf8);

}  // namespace SUBTITLEFILE
