// Pictures handed out as decoded, in planar 4:2:0, for an encoder that takes
// that form: only what is shown or drawn on is converted to blue-green-red.
#include "media/EntryPoints.h"
#include "media/PictureScaler.h"
#include "media/VelAvCodec.h"

namespace VELAVCODEC {

// Only what the scaler would convert unchanged in size, on video levels,
// straight into the frame buffer.
bool VelAvCodec::KeepsPlanar(const AVFrame* picture) const {
  return KeepPlanar && RgbBuffer == nullptr && KeptPicture != nullptr &&
         picture->format == AV_PIX_FMT_YUV420P && picture->color_range != AVCOL_RANGE_JPEG &&
         picture->width == Width && picture->height == Height && Width % 2 == 0 && Height % 2 == 0;
}

void VelAvCodec::KeepPlanarPicture(AVFrame* picture) {
  Api->av_frame_move_ref(KeptPicture, picture);
  for (int plane = 0; plane < 3; ++plane) {
    KeptPlanar.Data[plane] = KeptPicture->data[plane];
    KeptPlanar.Stride[plane] = KeptPicture->linesize[plane];
  }
  KeptPlanar.Width = Width;
  KeptPlanar.Height = Height;
  PlanarKept = true;
}

void VelAvCodec::ReleaseKeptPicture() {
  if (!PlanarKept) return;
  Api->av_frame_unref(KeptPicture);
  PlanarKept = false;
}

const PLANARPICTURE::PlanarPicture* VelAvCodec::DeliveredPlanar() const {
  return PlanarKept ? &KeptPlanar : nullptr;
}

bool VelAvCodec::ConvertRows(const PLANARPICTURE::RowBand& band) {
  if (!PlanarKept || band.Count <= 0 ||
      Scaler->ScaleRows(KeptPicture, band.Top, band.Count) == PictureScaler::Result::Done)
    return true;
  ErrorText = kCantScaleText;
  return false;
}

bool VelAvCodec::ConvertPicture() {
  if (!PlanarKept) return true;
  const bool scaled = ScaleToFrameBuffer(KeptPicture);
  ReleaseKeptPicture();
  return scaled;
}

}  // namespace VELAVCODEC
