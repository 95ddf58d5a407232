#pragma once

// Subtitle text is 8-bit as read from the file; it becomes Unicode only when it
// is drawn, by the code page that belongs to the font's character set.
#include <QString>
#include <string>

namespace CODEPAGE {

// The single-byte code page of a font character-set code (0 Western, 204
// Cyrillic, ...); 1252 for any code without a script of its own.
int CodePageOfCharset(int charset);

// One subtitle line as characters. A line that is valid UTF-8 and holds
// non-ASCII characters is taken as UTF-8 whatever the script; anything else is
// read in the code page of the character set.
QString DecodeSubtitleText(const std::string& bytes, int charset);

// Whether the bytes are well-formed UTF-8 with at least one multi-byte
// sequence.
bool IsNonAsciiUtf8(const std::string& bytes);

}  // namespace CODEPAGE
