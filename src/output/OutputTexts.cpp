#include "output/OutputTexts.h"

#include "avi/AviCompressor.h"
#include "output/OutputFormat.h"

namespace OUTPUTTEXTS {

// The AVI file's texts are the ones every container gives.
std::string OutputFileErrorText(FileProblem problem) {
  return OUTPUTFORMAT::OutputFileErrorText(problem == FileProblem::Memory ? AVIERR_MEMORY
                                                                          : AVIERR_FILEOPEN);
}

std::string CompressedStreamErrorText(COMPRESSOR::Status status) {
  return OUTPUTFORMAT::CompressedStreamErrorText(AVICOMPRESSOR::AviResultOf(status));
}

}  // namespace OUTPUTTEXTS
