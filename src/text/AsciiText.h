#pragma once

// Letter case as files written in ASCII mean it (INI names, script sections,
// tags): only A to Z have another case, whatever the locale says, and other
// bytes compare as they are.
#include <string>
#include <string_view>

namespace ASCIITEXT {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace ASCIITEXT
