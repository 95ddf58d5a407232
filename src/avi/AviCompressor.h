#pragma once

// Where the compressors meet the AVI service: the service's compressor
// record and error codes made from the program's own encoder choice,
// compressor results and picture formats, and back. Nothing above the AVI
// edge sees the records.
#include <cstdint>
#include <vector>

#include "compressors/Compressor.h"
#include "compressors/EncoderChoice.h"
#include "platform/AviRecords.h"

namespace AVICOMPRESSOR {

HRESULT AviResultOf(COMPRESSOR::Status status);
COMPRESSOR::Status StatusOf(HRESULT result);

// The record of the choice; its encoder options go into a block of lpParms,
// released with AVISaveOptionsFree.
void FillOptions(const ENCODERCHOICE::EncoderChoice& choice, AVICOMPRESSOPTIONS& options);
// The choice a record holds, its encoder options read from lpParms.
ENCODERCHOICE::EncoderChoice ChoiceOf(const AVICOMPRESSOPTIONS& options);

UINT FlagsOf(const ENCODERCHOICE::ChoiceRequest& request);
ENCODERCHOICE::ChoiceRequest RequestOf(UINT flags);

// The pictures a stream's format describes: 24-bit BI_RGB only.
bool BgrFormatOf(const BITMAPINFOHEADER& header, COMPRESSOR::BgrFormat& format);
// The stream format (BITMAPINFOHEADER and the codec's set-up) of the
// compressed pictures; input is the uncompressed pictures' own header, which
// pictures stored as they came keep.
std::vector<uint8_t> StreamFormatOf(const COMPRESSOR::EncodedFormat& encoded,
                                    const BITMAPINFOHEADER& input);

}  // namespace AVICOMPRESSOR
