#include "media/private/HdrProbe.h"

#include <algorithm>
#include <climits>

#include "media/private/OwnReading.h"

namespace VELAVCODEC {
namespace {

// Packets read for the first picture before the search gives up.
constexpr int kPacketLimit = 400;

// A rational as a count of 1/unit, clamped to the fields' range.
int64_t Units(AVRational value, int64_t unit, int64_t most) {
  if (value.den <= 0 || value.num < 0) return 0;
  const long double units = static_cast<long double>(value.num) * unit / value.den;
  return int64_t(std::min<long double>(units + 0.5L, static_cast<long double>(most)));
}

}  // namespace

PICTURECOLOUR::HdrMetadata HdrMetadataOf(const EntryPoints& api, const AVFrame* picture) {
  PICTURECOLOUR::HdrMetadata metadata;
  AVFrame* frame = const_cast<AVFrame*>(picture);  // only read
  if (const AVFrameSideData* side =
          api.av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
      side != nullptr && side->size >= sizeof(AVMasteringDisplayMetadata)) {
    const auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(side->data);
    PICTURECOLOUR::MasteringDisplay& mastering = metadata.Mastering;
    mastering.Present = display->has_primaries && display->has_luminance;
    for (int i = 0; i < 3; ++i) {
      mastering.PrimaryX[i] = int32_t(Units(display->display_primaries[i][0], 50000, 50000));
      mastering.PrimaryY[i] = int32_t(Units(display->display_primaries[i][1], 50000, 50000));
    }
    mastering.WhiteX = int32_t(Units(display->white_point[0], 50000, 50000));
    mastering.WhiteY = int32_t(Units(display->white_point[1], 50000, 50000));
    mastering.MaxLuminance = Units(display->max_luminance, 10000, UINT32_MAX);
    mastering.MinLuminance = Units(display->min_luminance, 10000, UINT32_MAX);
  }
  if (const AVFrameSideData* side =
          api.av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
      side != nullptr && side->size >= sizeof(AVContentLightMetadata)) {
    const auto* light = reinterpret_cast<const AVContentLightMetadata*>(side->data);
    metadata.Light.Present = true;
    metadata.Light.MaxCll = std::min<unsigned>(light->MaxCLL, 65535);
    metadata.Light.MaxFall = std::min<unsigned>(light->MaxFALL, 65535);
  }
  return metadata;
}

PICTURECOLOUR::HdrMetadata ReadFirstHdrMetadata(const EntryPoints& api, const std::string& fileName,
                                                int streamIndex) {
  OwnReading reading(api);
  if (!reading.Open(fileName, streamIndex)) return {};
  if (reading.DecodeFirstPicture(streamIndex, kPacketLimit))
    return HdrMetadataOf(api, reading.frame);
  return {};
}

}  // namespace VELAVCODEC
