#pragma once

// The output for a container: the AVI file, or libavformat's muxer.
#include <memory>

#include "output/MediaOutput.h"

namespace MEDIAOUTPUT {

std::unique_ptr<MediaOutput> MakeOutput(Container container);

}  // namespace MEDIAOUTPUT
