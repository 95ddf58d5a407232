#pragma once

// The texts every output gives alike, whatever its container: the name of
// the software that wrote the file, and the errors.
#include <string>

#include "compressors/Compressor.h"

namespace OUTPUTTEXTS {

// The program, its web site and its makers, as the files name them.
std::string SoftwareText();

enum class FileProblem { Memory, Open };

// "Can't create output video file..." with the sentence for the problem.
std::string OutputFileErrorText(FileProblem problem);
// "Can't create compressed video stream..." with the sentence for the
// compressor's answer.
std::string CompressedStreamErrorText(COMPRESSOR::Status status);

}  // namespace OUTPUTTEXTS
