#pragma once

// What a job met of a damaged source, said in one line: pictures that did
// not decode whole, audio the decoder refused or the container could not
// take, and the times that were mended so that the file's times rise.
// Empty when the source was sound.
#include <string>

#include "media/VelAvCodec.h"
#include "output/MediaOutput.h"

namespace JOBDAMAGE {

std::string Summary(const VELAVCODEC::VelAvCodec::SourceDamage& source,
                    const MEDIAOUTPUT::TimeRepairs& repairs);

}  // namespace JOBDAMAGE
