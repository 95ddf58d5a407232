#pragma once

// The bounds an event's overrides are held to, checked on text the limits
// have been through: sizes, scales, spacing, rims, shadows, blurs and the
// drawing scale within what the resolution allows.
#include <string_view>

#include "styled/StyledLimits.h"

namespace FUZZTARGETS {

void CheckHeldOverrides(std::string_view limited, const STYLEDLIMITS::Resolution& resolution);

}  // namespace FUZZTARGETS
