#pragma once

// The mastering display and content light levels of a PQ or HLG source.
// HEVC and AV1 carry them in the stream itself, so they are known only once
// a picture is decoded; the encoder must have them before its first picture.
// The first picture is decoded here, from a reading of the file of its own.
#include <string>

#include "media/private/EntryPoints.h"
#include "picture/PictureColour.h"

namespace VELAVCODEC {

// What the video stream `streamIndex` of the file states with its first
// picture; nothing present when it states none or cannot be read.
PICTURECOLOUR::HdrMetadata ReadFirstHdrMetadata(const EntryPoints& api, const std::string& fileName,
                                                int streamIndex);

// The metadata a decoded picture carries.
PICTURECOLOUR::HdrMetadata HdrMetadataOf(const EntryPoints& api, const AVFrame* picture);

}  // namespace VELAVCODEC
