#pragma once

// The markup of SubRip, MicroDVD and WebVTT text turned into the override
// blocks the styled drawing understands, so that italic, bold, underline,
// strike-out, colours, faces, sizes and placements are drawn rather than
// removed; and the breaks any event's text needs. Text comes and goes as
// UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace STYLEDMARKUP {

// What the tags opened so far in a cue have switched on; a closing tag
// without its opening one is passed over, so badly nested tags still end
// what they began.
struct TagState {
  int Italic = 0, Bold = 0, Underline = 0, StrikeOut = 0;
  struct Font {
    std::string Colour;  // "&HBBGGRR&"; empty when the tag set none
    std::string Face;
    std::string Size;
  };
  std::vector<Font> Fonts;
};

// A SubRip line: <i> <b> <u> <s> in any case, <font color= face= size=>,
// override blocks {\...} kept; other tags dropped.
std::string SubRipLine(std::string_view line, TagState& state);

// A WebVTT line: <i> <b> <u>, <c.class>, <v Speaker> (the name not drawn),
// time stamps and other tags dropped; character references decoded.
std::string WebVttLine(std::string_view line, TagState& state);

// A MicroDVD entry's whole text, "|" between its lines: {y:i,b,u,s}, {c:$BBGGRR},
// {f:face}, {s:size}; lower case for one line, upper case for the entry.
std::string MicroDvdText(std::string_view text);

// "#RRGGBB", "RRGGBB", "#RGB" or a colour name as "&HBBGGRR&"; empty when
// it is none of those.
std::string AssColour(std::string_view value);

// Lines joined by the forced break.
std::string JoinLines(const std::vector<std::string>& lines);

// Breaks that a line without spaces may wrap at (Chinese, Japanese, Thai),
// made as spaces of no width, since the drawing breaks lines only at spaces.
// Only in an event's text, never in its override blocks or escapes, and with
// the width scale in force set again after each; text of other scripts stays
// as it was. An event that animates its width scale, draws shapes or turns
// wrapping off is left as it is.
std::string AddLineBreakOpportunities(std::string_view text);

}  // namespace STYLEDMARKUP
