#pragma once

// The mastering display and light levels in the words of each library's own
// "key=value:..." option; empty when the metadata has neither.
#include <string>

#include "picture/PictureColour.h"

namespace ENCODERHDRPARAMS {

// x265 counts in the units of the SEI and asks for hdr10 to write it.
std::string X265(const PICTURECOLOUR::HdrMetadata& hdr);
// SVT-AV1 takes plain numbers: chromaticities and candelas.
std::string SvtAv1(const PICTURECOLOUR::HdrMetadata& hdr);

}  // namespace ENCODERHDRPARAMS
