#pragma once

// A palette of the user's for VobSub streams, put into the stream's header
// where the decoder reads the disc's own.
#include <string>

namespace DISPLAYSETDECODER {

// Sixteen colours "RRGGBB,RRGGBB,..." (hex digits): the palette a VobSub
// stream is drawn with in place of its own. Empty when it is one, else what
// is wrong with it.
std::string VobSubPaletteProblem(const std::string& colours);
// A VobSub header with its palette line replaced by the colours (or one
// added); the colours checked by VobSubPaletteProblem.
std::string WithVobSubPalette(const std::string& header, const std::string& colours);

}  // namespace DISPLAYSETDECODER
