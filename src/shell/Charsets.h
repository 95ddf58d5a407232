#pragma once

// The character-set codes a subtitle font can carry, and the script names the
// font options show for them.
#include <string>
#include <vector>

namespace CHARSETS {

struct Charset {
  int Code;
  const char* Name;
};

// The ten named scripts, Western first.
const std::vector<Charset>& NamedCharsets();

// The script name of a code from 0 to 255; empty for a code without a name.
std::string CharsetName(int code);

}  // namespace CHARSETS
