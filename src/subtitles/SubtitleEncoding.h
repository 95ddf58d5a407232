#pragma once

// How a subtitle file's bytes become the text its entries are read from. A
// Unicode file or an 8-bit file in a detected code page is turned into UTF-8
// once, when it is loaded, so that everything after sees one form.
#include <cstddef>
#include <string>
#include <string_view>

#include "subtitles/ReadingOptions.h"

namespace SUBTITLEFILE {

bool IsAscii(std::string_view bytes);
// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view bytes);
// Well-formed UTF-8 holding at least one character outside ASCII.
inline bool IsNonAsciiUtf8(std::string_view bytes) { return !IsAscii(bytes) && IsUtf8(bytes); }

// The bytes in the iconv encoding `from`, as UTF-8. What does not convert
// becomes U+FFFD, `unit` bytes at a time. False when iconv has no such
// encoding.
bool ConvertToUtf8(std::string_view bytes, const char* from, std::size_t unit, std::string& out);

// The encoding uchardet finds for 8-bit text, as an iconv name; empty when
// it finds none.
std::string DetectEncoding(std::string_view bytes);

struct DecodedText {
  std::string Text;      // UTF-8 when Utf8 is set, else the file's bytes
  bool Utf8 = false;     // the text is known to be UTF-8: characters are counted, not bytes
  std::string Encoding;  // what the text was read as; empty when not known
};

// The file's text as the options ask for it. Without Unicode the caller has
// already refused files that carry a mark.
DecodedText DecodeFileText(std::string bytes, const ReadingOptions& options);

}  // namespace SUBTITLEFILE
