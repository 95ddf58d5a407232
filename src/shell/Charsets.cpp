#include "shell/Charsets.h"

namespace CHARSETS {

const std::vector<Charset>& NamedCharsets() {
  static const std::vector<Charset> charsets = {
      {0, "Western"},   {161, "Greek"},
      {162, "Turkish"}, {163, "Vietnamese"},
      {177, "Hebrew"},  {178, "Arabic"},
      {186, "Baltic"},  {204, "Cyrillic"},
      {222, "Thai"},    {238, "Central European"},
  };
  return charsets;
}

std::string CharsetName(int code) {
  for (const Charset& charset : NamedCharsets())
    if (charset.Code == code) return charset.Name;
  return "";
}

}  // namespace CHARSETS
