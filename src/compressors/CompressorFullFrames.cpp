#include "compressors/CompressorFullFrames.h"

#include "picture/BmpFrame.h"

#include <cstring>

namespace COMPRESSOR {

HRESULT FullFramesCompressor::Start(const BITMAPINFOHEADER& input, DWORD, DWORD,
                                    std::vector<uint8_t>* outputFormat) {
  if (input.biBitCount != 24 || input.biCompression != BI_RGB || input.biWidth <= 0 ||
      input.biHeight == 0)
    return AVIERR_BADFORMAT;
  BITMAPINFOHEADER output = input;
  output.biSize = sizeof output;
  output.biPlanes = 1;
  const int32_t height = input.biHeight < 0 ? -input.biHeight : input.biHeight;
  imageSize_ = BMPFRAME::ImageBytes(input.biWidth, height);
  output.biSizeImage = imageSize_;
  output.biClrUsed = output.biClrImportant = 0;
  outputFormat->resize(sizeof output);
  std::memcpy(outputFormat->data(), &output, sizeof output);
  return AVIERR_OK;
}

HRESULT FullFramesCompressor::Compress(const void* pixels, size_t size, const ChunkSink& sink) {
  if (imageSize_ == 0) return AVIERR_BADFORMAT;
  if (size < imageSize_) return AVIERR_BADSIZE;
  return sink({pixels, imageSize_, true});
}

}  // namespace COMPRESSOR
