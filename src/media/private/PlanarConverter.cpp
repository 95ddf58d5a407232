#include "media/private/PlanarConverter.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace VELAVCODEC {
namespace {

// Rows start on this boundary, as the decoders' own pictures do.
constexpr int kRowAlignment = 64;

// The bits above 8 of the deep 4:2:0 forms the kernel below takes, or 0.
int ExtraBits(int format) {
  switch (format) {
    case AV_PIX_FMT_YUV420P10LE:
      return 2;
    case AV_PIX_FMT_YUV420P12LE:
      return 4;
    default:
      return 0;
  }
}

// One row of little-endian deep samples to 8 bits, rounded to nearest: the
// scaler's general path for this takes about ten times as long.
void NarrowRow(const uint16_t* from, uint8_t* to, int count, int extraBits) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i halfStep = _mm_set1_epi16(int16_t(1 << (extraBits - 1)));
  const __m128i shift = _mm_cvtsi32_si128(extraBits);
  for (; i + 16 <= count; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 8));
    const __m128i narrowLow = _mm_srl_epi16(_mm_adds_epu16(low, halfStep), shift);
    const __m128i narrowHigh = _mm_srl_epi16(_mm_adds_epu16(high, halfStep), shift);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(narrowLow, narrowHigh));
  }
#endif
  const int half = 1 << (extraBits - 1);
  for (; i < count; ++i) to[i] = uint8_t(std::min((from[i] + half) >> extraBits, 255));
}

}  // namespace

PlanarConverter::~PlanarConverter() { Release(); }

static AVPixelFormat PlanarFormatOf(int depth) {
  return depth > 8 ? AV_PIX_FMT_YUV420P10LE : AV_PIX_FMT_YUV420P;
}

bool PlanarConverter::Prepare(int width, int height, int depth) {
  Release();
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) return false;
  if (depth != 8 && depth != 10) return false;
  depth_ = depth;
  const int bytes =
      api_.av_image_get_buffer_size(PlanarFormatOf(depth), width, height, kRowAlignment);
  if (bytes <= 0) return false;
  pool_ = api_.av_buffer_pool_init(size_t(bytes), nullptr);
  width_ = width;
  height_ = height;
  return pool_ != nullptr;
}

void PlanarConverter::Release() {
  // Pictures still held elsewhere keep the pool's memory until they go.
  if (pool_ != nullptr) api_.av_buffer_pool_uninit(&pool_);
  if (context_ != nullptr) api_.sws_freeContext(context_);
  context_ = nullptr;
}

bool PlanarConverter::Takes(const AVFrame* picture) const {
  if (pool_ == nullptr) return false;
  if (!anySize_ && (picture->width != width_ || picture->height != height_)) return false;
  const AVPixFmtDescriptor* form = api_.av_pix_fmt_desc_get(AVPixelFormat(picture->format));
  constexpr uint64_t kNotYuv = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                               AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL;
  return form != nullptr && (form->flags & kNotYuv) == 0 && form->nb_components >= 3;
}

bool PlanarConverter::Convert(const AVFrame* picture, AVFrame* target) {
  api_.av_frame_unref(target);
  if (!Takes(picture)) return false;
  target->buf[0] = api_.av_buffer_pool_get(pool_);
  if (target->buf[0] == nullptr) return false;
  const AVPixelFormat format = PlanarFormatOf(depth_);
  if (api_.av_image_fill_arrays(target->data, target->linesize, target->buf[0]->data, format,
                                width_, height_, kRowAlignment) < 0)
    return false;
  target->width = width_;
  target->height = height_;
  target->format = format;
  target->color_range = AVCOL_RANGE_MPEG;
  const bool sameSize = picture->width == width_ && picture->height == height_;
  const bool converted = depth_ == 8 && ExtraBits(picture->format) > 0 && sameSize
                             ? ConvertDeep(picture, target)
                             : ConvertScaled(picture, target);
  if (!converted) api_.av_frame_unref(target);
  return converted;
}

bool PlanarConverter::ConvertDeep(const AVFrame* picture, AVFrame* target) const {
  const int extraBits = ExtraBits(picture->format);
  for (int plane = 0; plane < 3; ++plane) {
    const int shift = plane == 0 ? 0 : 1;
    for (int row = 0; row < height_ >> shift; ++row)
      NarrowRow(reinterpret_cast<const uint16_t*>(picture->data[plane] +
                                                  ptrdiff_t(row) * picture->linesize[plane]),
                target->data[plane] + ptrdiff_t(row) * target->linesize[plane], width_ >> shift,
                extraBits);
  }
  return true;
}

bool PlanarConverter::ConvertScaled(const AVFrame* picture, AVFrame* target) {
  // Kept while the pictures' form stays; made anew when it changes. A
  // picture of another size is scaled here too.
  context_ = api_.sws_getCachedContext(
      context_, picture->width, picture->height, AVPixelFormat(picture->format), width_, height_,
      AVPixelFormat(target->format), SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (context_ == nullptr) return false;
  return api_.sws_scale(context_, picture->data, picture->linesize, 0, picture->height,
                        target->data, target->linesize) == height_;
}

}  // namespace VELAVCODEC
