#include "media/private/ToneMapper.h"

#include <algorithm>
#include <cmath>

#include "picture/TransferCurves.h"

namespace VELAVCODEC {
namespace {

constexpr double kReferenceWhite = 203.0;  // BT.2408
constexpr double kSuperWhite = 1.09;       // the top of 8-bit video levels
constexpr double kGamma = 2.4;             // BT.1886
constexpr double kHlgPeak = 1000.0, kHlgSystemGamma = 1.2;
constexpr double kKr2020 = 0.2627, kKb2020 = 0.0593, kKg2020 = 1 - kKr2020 - kKb2020;
constexpr double kKr709 = 0.2126, kKb709 = 0.0722;
// BT.2087's matrix inverted: linear BT.2020 light into BT.709 primaries.
constexpr double k2020To709[3][3] = {{1.660491, -0.587641, -0.072850},
                                     {-0.124550, 1.132900, -0.008349},
                                     {-0.018151, -0.100579, 1.118730}};
constexpr int kRowAlignment = 64;

// Rounded into 1 .. 254, the codes video levels allow; inline, as it runs
// six times a block.
inline uint8_t Level(float value) { return uint8_t(std::clamp(int(value + 0.5f), 1, 254)); }

}  // namespace

double SourcePeakNits(const PICTURECOLOUR::PictureForm& form) {
  double peak = 1000.0;
  if (form.Transfer == PICTURECOLOUR::kTransferPq) {
    if (form.Hdr.Mastering.Present && form.Hdr.Mastering.MaxLuminance > 0)
      peak = double(form.Hdr.Mastering.MaxLuminance) / 10000.0;
    if (form.Hdr.Light.Present && form.Hdr.Light.MaxCll > 0)
      peak = std::min(peak, double(form.Hdr.Light.MaxCll));
  }
  return std::clamp(peak, 400.0, 10000.0);
}

// The target's peak is found so that reference white lands on SDR white,
// SDR white being the peak's share of the super-white range.
ToneCurve::ToneCurve(int transfer, double sourcePeakNits)
    : pq_(transfer != PICTURECOLOUR::kTransferHlg),
      sourcePeak_(std::clamp(sourcePeakNits, 400.0, 10000.0)) {
  const double share = std::pow(kSuperWhite, kGamma);
  sourcePq_ = TRANSFERCURVES::PqSignalOf(sourcePeak_);
  double low = kReferenceWhite, high = sourcePeak_;
  for (int step = 0; step < 60; ++step) {
    targetPeak_ = (low + high) / 2;
    targetPq_ = TRANSFERCURVES::PqSignalOf(targetPeak_);
    if (Eetf(kReferenceWhite) < targetPeak_ / share)
      high = targetPeak_;
    else
      low = targetPeak_;
  }
  targetPq_ = TRANSFERCURVES::PqSignalOf(targetPeak_);
  sdrWhite_ = targetPeak_ / share;
}

double ToneCurve::Eetf(double nits) const {
  const double sourcePq = sourcePq_;
  const double e1 = std::clamp(TRANSFERCURVES::PqSignalOf(nits) / sourcePq, 0.0, 1.0);
  const double maxLum = targetPq_ / sourcePq;
  const double ks = 1.5 * maxLum - 0.5;
  double e2 = e1;
  if (e1 > ks && ks < 1) {
    const double t = (e1 - ks) / (1 - ks), t2 = t * t, t3 = t2 * t;
    e2 = (2 * t3 - 3 * t2 + 1) * ks + (t3 - 2 * t2 + t) * (1 - ks) + (-2 * t3 + 3 * t2) * maxLum;
  }
  return TRANSFERCURVES::NitsOfPq(e2 * sourcePq);
}

void ToneCurve::Map(double y, double cb, double cr, double out[3]) const {
  const double red = y + 2 * (1 - kKr2020) * cr, blue = y + 2 * (1 - kKb2020) * cb;
  const double signal[3] = {red, (y - kKr2020 * red - kKb2020 * blue) / kKg2020, blue};
  double light[3];
  for (int i = 0; i < 3; ++i)
    light[i] = pq_ ? TRANSFERCURVES::NitsOfPq(signal[i]) : TRANSFERCURVES::SceneOfHlg(signal[i]);
  double luminance = kKr2020 * light[0] + kKg2020 * light[1] + kKb2020 * light[2];
  if (!pq_) {
    // HLG's reference display: 1000 cd/m2 through the OOTF.
    const double gain = luminance > 0 ? kHlgPeak * std::pow(luminance, kHlgSystemGamma - 1) : 0;
    for (double& channel : light) channel *= gain;
    luminance *= gain;
  }
  const double scale = luminance > 0 ? Eetf(luminance) / luminance : 0;
  double sdr[3];
  for (int i = 0; i < 3; ++i) {
    const double linear =
        (k2020To709[i][0] * light[0] + k2020To709[i][1] * light[1] + k2020To709[i][2] * light[2]) *
        scale / sdrWhite_;
    sdr[i] = std::min(std::pow(std::max(linear, 0.0), 1 / kGamma), kSuperWhite);
  }
  const double luma = kKr709 * sdr[0] + (1 - kKr709 - kKb709) * sdr[1] + kKb709 * sdr[2];
  out[0] = 16 + 219 * luma;
  out[1] = 128 + 224 * (sdr[2] - luma) / (2 * (1 - kKb709));
  out[2] = 128 + 224 * (sdr[0] - luma) / (2 * (1 - kKr709));
}

ToneMapper::~ToneMapper() { Release(); }

// Pictures still held elsewhere keep the pool's memory until they go.
void ToneMapper::Release() {
  if (pool_ != nullptr) api_.av_buffer_pool_uninit(&pool_);
  std::vector<Node>().swap(table_);
  neutral_ = nullptr;
}

bool ToneMapper::Prepare(int width, int height, const PICTURECOLOUR::PictureForm& form) {
  Release();
  if (!form.IsHdr() || width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) return false;
  const ToneCurve curve(form.Transfer, SourcePeakNits(form));
  table_.resize(size_t(kLumaSteps) * kChromaSteps * kChromaSteps);
  // Nodes at every luma code, and at chroma codes 0, 32, ... 1024.
  for (int u = 0; u < kChromaSteps; ++u)
    for (int v = 0; v < kChromaSteps; ++v)
      for (int y = 0; y < kLumaSteps; ++y) {
        double out[3];
        curve.Map((y - 64) / 876.0, (u * 32 - 512) / 896.0, (v * 32 - 512) / 896.0, out);
        table_[RunOf(u, v) + size_t(y)] = {float(out[0]), float(out[1]), float(out[2])};
      }
  neutral_ = &table_[RunOf(512 / 32, 512 / 32)];
  const int bytes = api_.av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, kRowAlignment);
  if (bytes <= 0) return false;
  pool_ = api_.av_buffer_pool_init(size_t(bytes), nullptr);
  width_ = width;
  height_ = height;
  return pool_ != nullptr;
}

bool ToneMapper::Takes(const AVFrame* picture) const {
  return pool_ != nullptr && picture->format == AV_PIX_FMT_YUV420P10LE &&
         picture->width == width_ && picture->height == height_ &&
         picture->color_range != AVCOL_RANGE_JPEG;
}

// Two luma rows and their chroma row: each luma sample with its block's
// chroma, each chroma sample at its block's mean luma.
void ToneMapper::MapRows(const AVFrame* picture, AVFrame* target, int pair) const {
  const auto row = [](const AVFrame* frame, int plane, int index) {
    return frame->data[plane] + ptrdiff_t(index) * frame->linesize[plane];
  };
  const auto* upper = reinterpret_cast<const uint16_t*>(row(picture, 0, 2 * pair));
  const auto* lower = reinterpret_cast<const uint16_t*>(row(picture, 0, 2 * pair + 1));
  const auto* blue = reinterpret_cast<const uint16_t*>(row(picture, 1, pair));
  const auto* red = reinterpret_cast<const uint16_t*>(row(picture, 2, pair));
  uint8_t* outUpper = row(target, 0, 2 * pair);
  uint8_t* outLower = row(target, 0, 2 * pair + 1);
  uint8_t* outBlue = row(target, 1, pair);
  uint8_t* outRed = row(target, 2, pair);
  for (int x = 0; x < width_ / 2; ++x) {
    // The block's chroma, bilinear between its four nodes.
    const int u = std::min<int>(blue[x], 1023), v = std::min<int>(red[x], 1023);
    const int u0 = std::min(u >> 5, kChromaSteps - 2), v0 = std::min(v >> 5, kChromaSteps - 2);
    const float fu = float(u - u0 * 32) / 32, fv = float(v - v0 * 32) / 32;
    const float weights[4] = {(1 - fu) * (1 - fv), (1 - fu) * fv, fu * (1 - fv), fu * fv};
    const size_t runs[4] = {RunOf(u0, v0), RunOf(u0, v0 + 1), RunOf(u0 + 1, v0),
                            RunOf(u0 + 1, v0 + 1)};
    const int lumas[4] = {std::min<int>(upper[2 * x], 1023), std::min<int>(upper[2 * x + 1], 1023),
                          std::min<int>(lower[2 * x], 1023), std::min<int>(lower[2 * x + 1], 1023)};
    const size_t mean = size_t((lumas[0] + lumas[1] + lumas[2] + lumas[3] + 2) >> 2);
    float at[3] = {0, 0, 0};
    for (int n = 0; n < 4; ++n) {
      const Node& node = table_[runs[n] + mean];
      at[0] += weights[n] * node.Y;
      at[1] += weights[n] * node.U;
      at[2] += weights[n] * node.V;
    }
    // The block's colour moves its luma off the neutral curve by as much.
    const float shift = at[0] - neutral_[mean].Y;
    for (int k = 0; k < 4; ++k)
      (k < 2 ? outUpper : outLower)[2 * x + (k & 1)] = Level(neutral_[lumas[k]].Y + shift);
    outBlue[x] = Level(at[1]);
    outRed[x] = Level(at[2]);
  }
}

bool ToneMapper::Map(const AVFrame* picture, AVFrame* target) const {
  api_.av_frame_unref(target);
  if (!Takes(picture)) return false;
  target->buf[0] = api_.av_buffer_pool_get(pool_);
  if (target->buf[0] == nullptr ||
      api_.av_image_fill_arrays(target->data, target->linesize, target->buf[0]->data,
                                AV_PIX_FMT_YUV420P, width_, height_, kRowAlignment) < 0) {
    api_.av_frame_unref(target);
    return false;
  }
  target->width = width_;
  target->height = height_;
  target->format = AV_PIX_FMT_YUV420P;
  target->color_range = AVCOL_RANGE_MPEG;
  target->color_primaries = AVCOL_PRI_BT709;
  target->color_trc = AVCOL_TRC_BT709;
  target->colorspace = AVCOL_SPC_BT709;
  target->best_effort_timestamp = picture->best_effort_timestamp;
  target->pts = picture->pts;
  target->pkt_duration = picture->pkt_duration;
  for (int pair = 0; pair < height_ / 2; ++pair) MapRows(picture, target, pair);
  return true;
}

}  // namespace VELAVCODEC
