// The picture's shape: the part of each picture kept (a crop), the size it
// is handed out at, and where the picture lies inside the frame, measured
// over a few pictures from a reading of its own.
#include <optional>
#include <vector>

#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"
#include "media/private/OwnReading.h"
#include "media/private/PlanarConverter.h"

namespace VELAVCODEC {
namespace {

// Packets read after a seek for its first picture before the sample is let go.
constexpr int kPacketLimit = 400;
// The share of the film left out at either end: titles and credits.
constexpr double kEndsLeftOut = 0.04;

// The luma plane as the picture holds it, when it is one the finder reads
// in place: planar, the first plane, samples alone in one or two bytes.
bool ReadsLumaInPlace(const AVPixFmtDescriptor* form) {
  if (form == nullptr) return false;
  constexpr uint64_t kNotYuv = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                               AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL |
                               AV_PIX_FMT_FLAG_BE;
  const AVComponentDescriptor& luma = form->comp[0];
  return (form->flags & kNotYuv) == 0 && luma.plane == 0 && luma.offset == 0 && luma.shift == 0 &&
         luma.step == (luma.depth > 8 ? 2 : 1);
}

bool FullRange(const AVFrame* picture) {
  switch (picture->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
      return true;
    default:
      return picture->color_range == AVCOL_RANGE_JPEG;
  }
}

}  // namespace

bool VelAvCodec::ApplyGeometry() {
  CroppedWidth = Width;
  CroppedHeight = Height;
  Converter->TakeAnySize(Geometry.Scales());
  if (Geometry.Crops()) {
    if (Geometry.CropX < 0 || Geometry.CropY < 0 || Geometry.CropWidth > Width - Geometry.CropX ||
        Geometry.CropHeight > Height - Geometry.CropY) {
      ErrorText = "[VelAvCodec::Open] The crop does not fit the picture...";
      return false;
    }
    CroppedWidth = Geometry.CropWidth;
    CroppedHeight = Geometry.CropHeight;
  }
  Width = Geometry.Scales() ? Geometry.Width : CroppedWidth;
  Height = Geometry.Scales() ? Geometry.Height : CroppedHeight;
  FrameImageSize = int32_t(BMPFRAME::ImageBytes(Width, Height));
  return true;
}

// A picture of another size than the source's first (a stream that changes
// size) is left whole: the scaler brings it to the opened size.
bool VelAvCodec::CropPicture(AVFrame* picture) {
  if (!Geometry.Crops()) return true;
  const int right = picture->width - Geometry.CropX - Geometry.CropWidth;
  const int bottom = picture->height - Geometry.CropY - Geometry.CropHeight;
  if (right < 0 || bottom < 0) return true;
  picture->crop_left = size_t(Geometry.CropX);
  picture->crop_top = size_t(Geometry.CropY);
  picture->crop_right = size_t(right);
  picture->crop_bottom = size_t(bottom);
  return Api->av_frame_apply_cropping(picture, AV_FRAME_CROP_UNALIGNED) >= 0;
}

bool VelAvCodec::FitsOpenedSize(const AVFrame* picture) const {
  return picture->width == Width && picture->height == Height;
}

std::string VelAvCodec::MeasureExtent(int samples, MeasuredExtent& measured) const {
  measured = {};
  if (FormatContext == nullptr || VideoStream < 0 || samples <= 0) return "the source is not open";
  // A pipe read again would lose what the job reads.
  if (FormatContext->pb == nullptr || (FormatContext->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0)
    return "a source that can't seek (a pipe) is read once only";
  OwnReading reading(*Api);
  if (!reading.Open(FileName, VideoStream)) return "the source could not be read again";
  // Where the picture ends needs no deblocking.
  reading.codec->skip_loop_filter = AVDISCARD_ALL;
  const int64_t start = FormatContext->start_time != AV_NOPTS_VALUE ? FormatContext->start_time : 0;
  const int64_t duration = FormatContext->duration > 0 ? FormatContext->duration : 0;
  std::optional<PICTUREEXTENT::ExtentFinder> finder;
  std::vector<uint8_t> gray;
  SwsContext* toGray = nullptr;
  for (int i = 0; i < samples; ++i) {
    const double share = kEndsLeftOut + (1.0 - 2 * kEndsLeftOut) * (i + 0.5) / samples;
    const int64_t at = start + int64_t(double(duration) * share);
    // A source of unknown length, or one that cannot seek, gives its first
    // picture alone.
    const bool sought =
        duration > 0 && Api->av_seek_frame(reading.format, -1, at, AVSEEK_FLAG_BACKWARD) >= 0;
    if (!sought && i > 0) break;
    Api->avcodec_flush_buffers(reading.codec);
    if (!reading.DecodeKeyPicture(VideoStream, kPacketLimit)) continue;
    const AVFrame* picture = reading.frame;
    if (!finder) {
      finder.emplace(picture->width, picture->height);
      measured.FrameWidth = picture->width;
      measured.FrameHeight = picture->height;
    }
    ++measured.Sampled;
    const AVPixFmtDescriptor* form = Api->av_pix_fmt_desc_get(AVPixelFormat(picture->format));
    if (ReadsLumaInPlace(form)) {
      finder->AddPicture(picture->data[0], picture->linesize[0], picture->width, picture->height,
                         form->comp[0].depth, FullRange(picture));
    } else {
      // Other forms (RGB, packed YUV) are brought to gray first.
      toGray = Api->sws_getCachedContext(
          toGray, picture->width, picture->height, AVPixelFormat(picture->format), picture->width,
          picture->height, AV_PIX_FMT_GRAY8, SWS_POINT, nullptr, nullptr, nullptr);
      gray.resize(size_t(picture->width) * size_t(picture->height));
      uint8_t* target[4] = {gray.data(), nullptr, nullptr, nullptr};
      const int stride[4] = {picture->width, 0, 0, 0};
      if (toGray != nullptr && Api->sws_scale(toGray, picture->data, picture->linesize, 0,
                                              picture->height, target, stride) > 0)
        finder->AddPicture(gray.data(), picture->width, picture->width, picture->height, 8, true);
    }
    Api->av_frame_unref(reading.frame);
  }
  if (toGray != nullptr) Api->sws_freeContext(toGray);
  if (!finder) return "no picture of the source could be decoded";
  measured.Extent = finder->Extent();
  measured.Lit = finder->Lit();
  return {};
}

}  // namespace VELAVCODEC
