#include "avi/AviCompressor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "avi/Vfw.h"

namespace AVICOMPRESSOR {

using COMPRESSOR::Status;

HRESULT AviResultOf(Status status) {
  switch (status) {
    case Status::Ok:
      return AVIERR_OK;
    case Status::Unsupported:
      return AVIERR_UNSUPPORTED;
    case Status::BadFormat:
      return AVIERR_BADFORMAT;
    case Status::BadSize:
      return AVIERR_BADSIZE;
    case Status::BadParameter:
      return AVIERR_BADPARAM;
    case Status::Memory:
      return AVIERR_MEMORY;
    case Status::NoCompressor:
      return AVIERR_NOCOMPRESSOR;
    case Status::CompressorFailed:
      return AVIERR_COMPRESSOR;
    case Status::WriteFailed:
      return AVIERR_FILEWRITE;
  }
  return AVIERR_ERROR;
}

Status StatusOf(HRESULT result) {
  for (Status status :
       {Status::Ok, Status::Unsupported, Status::BadFormat, Status::BadSize, Status::BadParameter,
        Status::Memory, Status::NoCompressor, Status::CompressorFailed, Status::WriteFailed})
    if (AviResultOf(status) == result) return status;
  // Any other failure of the file is a failed write to the compressor.
  return Status::WriteFailed;
}

void FillOptions(const ENCODERCHOICE::EncoderChoice& choice, AVICOMPRESSOPTIONS& options) {
  options = AVICOMPRESSOPTIONS{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = choice.Codec;
  options.dwQuality = choice.Quality;
  options.dwKeyFrameEvery = choice.KeyFrameEvery;
  options.dwBytesPerSecond = choice.BytesPerSecond;
  options.dwFlags = AVICOMPRESSF_VALID;
  if (choice.KeyFramesOn) options.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  if (choice.DataRateOn) options.dwFlags |= AVICOMPRESSF_DATARATE;
  if (!choice.EncoderOptions.empty() || !choice.Preset.empty()) {
    // The encoder's options with their terminating zero, as the encoder
    // reads them; the preset, when there is one, after them.
    std::string parms = choice.EncoderOptions + '\0';
    if (!choice.Preset.empty()) parms += choice.Preset + '\0';
    options.cbParms = DWORD(parms.size());
    options.lpParms = AVIAllocBlock(parms.data(), options.cbParms);
  }
}

ENCODERCHOICE::EncoderChoice ChoiceOf(const AVICOMPRESSOPTIONS& options) {
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = options.fccHandler;
  choice.Quality = options.dwQuality;
  choice.KeyFrameEvery = options.dwKeyFrameEvery;
  choice.KeyFramesOn = (options.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0;
  choice.BytesPerSecond = options.dwBytesPerSecond;
  choice.DataRateOn = (options.dwFlags & AVICOMPRESSF_DATARATE) != 0;
  std::vector<BYTE> parms;
  if (options.lpParms && AVIReadBlock(options.lpParms, &parms)) {
    const auto optionsEnd = std::find(parms.begin(), parms.end(), 0);
    choice.EncoderOptions.assign(parms.begin(), optionsEnd);
    if (optionsEnd != parms.end())
      choice.Preset.assign(optionsEnd + 1, std::find(optionsEnd + 1, parms.end(), 0));
  }
  return choice;
}

UINT FlagsOf(const ENCODERCHOICE::ChoiceRequest& request) {
  return (request.KeyFrames ? ICMF_CHOOSE_KEYFRAME : 0) |
         (request.DataRate ? ICMF_CHOOSE_DATARATE : 0);
}

ENCODERCHOICE::ChoiceRequest RequestOf(UINT flags) {
  return {(flags & ICMF_CHOOSE_KEYFRAME) != 0, (flags & ICMF_CHOOSE_DATARATE) != 0};
}

bool BgrFormatOf(const BITMAPINFOHEADER& header, COMPRESSOR::BgrFormat& format) {
  if (header.biBitCount != 24 || header.biCompression != BI_RGB || header.biWidth <= 0 ||
      header.biHeight == 0 || header.biHeight == INT32_MIN)
    return false;
  format.Width = header.biWidth;
  format.Height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  format.TopDown = header.biHeight < 0;
  return true;
}

std::vector<uint8_t> StreamFormatOf(const COMPRESSOR::EncodedFormat& encoded,
                                    const BITMAPINFOHEADER& input) {
  BITMAPINFOHEADER header{};
  if (encoded.Code == 0) {
    // Stored as they came: the pictures' own header.
    header = input;
    header.biClrUsed = header.biClrImportant = 0;
  } else {
    header.biCompression = encoded.Code;
  }
  header.biSize = DWORD(sizeof header + encoded.ExtraData.size());
  header.biWidth = encoded.Width;
  header.biHeight = encoded.Height;
  header.biPlanes = 1;
  header.biBitCount = encoded.BitCount;
  header.biSizeImage = encoded.ImageSize;
  std::vector<uint8_t> format(sizeof header + encoded.ExtraData.size());
  std::memcpy(format.data(), &header, sizeof header);
  std::copy(encoded.ExtraData.begin(), encoded.ExtraData.end(), format.begin() + sizeof header);
  return format;
}

}  // namespace AVICOMPRESSOR
