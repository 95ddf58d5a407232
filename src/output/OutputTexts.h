#pragma once

// The errors every output gives alike, whatever its container.
#include <string>

#include "compressors/Compressor.h"

namespace OUTPUTTEXTS {

enum class FileProblem { Memory, Open };

// "Can't create output video file..." with the sentence for the problem.
std::string OutputFileErrorText(FileProblem problem);
// "Can't create compressed video stream..." with the sentence for the
// compressor's answer.
std::string CompressedStreamErrorText(COMPRESSOR::Status status);

}  // namespace OUTPUTTEXTS
