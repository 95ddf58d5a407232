// Pictures handed out as decoded, in planar 4:2:0, for an encoder that takes
// that form: only what is shown or drawn on is converted to blue-green-red.
#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/PictureScaler.h"
#include "media/private/PlanarConverter.h"
#include "media/private/ToneMapper.h"

namespace VELAVCODEC {

// Pictures of the opened (even) size in a YUV form: the scaler would
// convert them unchanged in size straight into the frame buffer.
bool VelAvCodec::CanDeliverPlanar(const AVFrame* picture) const {
  if (!PlanarWanted || RgbBuffer != nullptr || PlanarFrame == nullptr || Width % 2 != 0 ||
      Height % 2 != 0)
    return false;
  if (!FitsOpenedSize(picture)) return Geometry.Scales() && Converter->Takes(picture);
  return IsNativePlanar(picture) || Converter->Takes(picture);
}

bool VelAvCodec::SetPlanarDepth(int depth) {
  if (depth == Converter->Depth()) return true;
  if (Width % 2 != 0 || Height % 2 != 0 || !Form.Yuv) return false;
  return Converter->Prepare(Width, Height, depth);
}

int VelAvCodec::PlanarDepth() const { return Converter->Depth(); }

bool VelAvCodec::SetToneMapping(bool on) {
  if (!on) {
    ToneMap->Release();
    return true;
  }
  if (ToneFrame == nullptr) ToneFrame = Api->av_frame_alloc();
  return ToneFrame != nullptr && ToneMap->Prepare(CroppedWidth, CroppedHeight, Form);
}

bool VelAvCodec::ToneMapping() const { return ToneMap->Prepared(); }

// An HDR picture is tone-mapped in its place; false when that failed.
bool VelAvCodec::MapTones(AVFrame* picture) {
  if (!ToneMap->Prepared() || !ToneMap->Takes(picture)) return true;
  if (!ToneMap->Map(picture, ToneFrame)) return false;
  Api->av_frame_unref(picture);
  Api->av_frame_move_ref(picture, ToneFrame);
  return true;
}

// Already in the form handed out: kept as decoded.
bool VelAvCodec::IsNativePlanar(const AVFrame* picture) const {
  const AVPixelFormat handedOut =
      Converter->Depth() == 8 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV420P10LE;
  return picture->format == handedOut && picture->color_range != AVCOL_RANGE_JPEG;
}

// False, with the picture untouched, when it could not be converted.
bool VelAvCodec::HoldPlanarPicture(AVFrame* picture) {
  if (IsNativePlanar(picture) && FitsOpenedSize(picture)) {
    Api->av_frame_move_ref(PlanarFrame, picture);
  } else {
    if (!Converter->Convert(picture, PlanarFrame)) return false;
    Api->av_frame_unref(picture);
  }
  for (int plane = 0; plane < 3; ++plane) {
    PlanarView.Data[plane] = PlanarFrame->data[plane];
    PlanarView.Stride[plane] = PlanarFrame->linesize[plane];
  }
  PlanarView.Width = Width;
  PlanarView.Height = Height;
  PlanarView.BitDepth = Converter->Depth();
  PlanarView.Frame = PlanarFrame;
  PlanarHeld = true;
  return true;
}

void VelAvCodec::ReleasePlanarPicture() {
  if (!PlanarHeld) return;
  Api->av_frame_unref(PlanarFrame);
  PlanarHeld = false;
}

const PLANARPICTURE::PlanarPicture* VelAvCodec::DeliveredPlanar() const {
  return PlanarHeld ? &PlanarView : nullptr;
}

bool VelAvCodec::ConvertRows(const PLANARPICTURE::RowBand& band) {
  if (!PlanarHeld || band.Count <= 0 ||
      Scaler->ScaleRows(PlanarFrame, band.Top, band.Count) == PictureScaler::Result::Done)
    return true;
  ErrorText = kCantScaleText;
  return false;
}

bool VelAvCodec::ConvertPicture() {
  if (!PlanarHeld) return true;
  const bool scaled = ScaleToFrameBuffer(PlanarFrame);
  ReleasePlanarPicture();
  return scaled;
}

}  // namespace VELAVCODEC
