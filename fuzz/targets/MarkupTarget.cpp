// Markup on any text: the styled conversions of SubRip, WebVTT and MicroDVD
// text, the breaks for lines without spaces, the colours of font tags, and
// the classic and the full markup removal. The first byte is the removal's
// UTF-8 flag (low bit); the rest is the text, one cue line a line.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "styled/StyledMarkup.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleMarkup.h"
#include "subtitles/SubtitleText.h"

namespace FUZZTARGETS {
namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "&HBBGGRR&" or nothing.
bool IsAssColour(const std::string& colour) {
  if (colour.empty()) return true;
  if (colour.size() != 9 || colour.compare(0, 2, "&H") != 0 || colour.back() != '&') return false;
  for (std::size_t k = 2; k < 8; ++k)
    if (!IsHex(colour[k])) return false;
  return true;
}

// Text in UTF-8 stays UTF-8 through every conversion, and the breaks are
// added to text of no other script. `utf8`: all that went into the
// conversion was UTF-8, the lines before whose tags are still open
// included (a font's face comes back when a later one closes).
void CheckConverted(bool utf8, const std::string& converted) {
  const std::string broken = STYLEDMARKUP::AddLineBreakOpportunities(converted);
  if (utf8) {
    FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(converted));
    FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(broken));
  }
  if (SUBTITLEFILE::IsAscii(converted)) FUZZ_REQUIRE(broken == converted);
}

void CheckRemoval(std::string_view text, bool asked) {
  // As a reader would call them on text it did not decode.
  SUBTITLEFILE::RemoveMarkup(text, asked);
  SUBTITLEFILE::CleanMarkup(text, asked);

  const bool utf8 = SUBTITLEFILE::IsUtf8(text);
  const std::string removed = SUBTITLEFILE::RemoveMarkup(text, utf8);
  FUZZ_REQUIRE(removed.size() <= text.size());
  const std::string cleaned = SUBTITLEFILE::CleanMarkup(text, utf8);
  // Entities are never longer than their characters.
  FUZZ_REQUIRE(cleaned.size() <= text.size());
  if (utf8) FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(cleaned));
  // Without UTF-8, entities give ASCII and the no-break space only.
  if (SUBTITLEFILE::IsAscii(text))
    for (char c : SUBTITLEFILE::CleanMarkup(text, false))
      FUZZ_REQUIRE(uint8_t(c) < 0x80 || uint8_t(c) == 0xA0);
}

}  // namespace

int FuzzMarkup(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const bool utf8Flag = input.Byte() & 1;
  const std::string_view text = input.Rest();

  const bool utf8 = SUBTITLEFILE::IsUtf8(text);
  STYLEDMARKUP::TagState subRip, webVtt;
  std::vector<std::string> subRipLines, webVttLines;
  for (std::size_t begin = 0; begin <= text.size();) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    subRipLines.push_back(STYLEDMARKUP::SubRipLine(line, subRip));
    CheckConverted(utf8, subRipLines.back());
    webVttLines.push_back(STYLEDMARKUP::WebVttLine(line, webVtt));
    CheckConverted(utf8, webVttLines.back());
    CheckConverted(SUBTITLEFILE::IsUtf8(line), STYLEDMARKUP::MicroDvdText(line));
    FUZZ_REQUIRE(IsAssColour(STYLEDMARKUP::AssColour(line)));
  }
  CheckConverted(utf8, STYLEDMARKUP::JoinLines(subRipLines));
  CheckConverted(utf8, STYLEDMARKUP::JoinLines(webVttLines));
  CheckConverted(utf8, STYLEDMARKUP::AddLineBreakOpportunities(text));
  CheckRemoval(text, utf8Flag);
  return 0;
}

}  // namespace FUZZTARGETS
