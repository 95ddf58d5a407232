#include "media/private/PictureScaler.h"

#include <algorithm>
#include <thread>

namespace VELAVCODEC {
namespace {

// The frame buffer belongs to the decoder; the scaler only borrows it.
void KeepBuffer(void*, uint8_t*) {}

// Rows a band is converted in: each step is a whole picture to the row
// context, so any band is converted alike.
constexpr int kRowStep = 16;

// As many as the machine has, said outright: asked to choose for itself
// where the process may run on one core only, the scaler leaks its first
// frames. The count changes no pixel.
int64_t ScalerThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? int64_t(cores) : 1;
}

}  // namespace

PictureScaler::~PictureScaler() {
  ClearTarget();
  if (context_ != nullptr) api_.sws_freeContext(context_);
  if (rowContext_ != nullptr) api_.sws_freeContext(rowContext_);
}

bool PictureScaler::SetTarget(uint8_t* storage, size_t storageSize, uint8_t* firstRow, int stride,
                              int width, int height) {
  ClearTarget();
  target_ = api_.av_frame_alloc();
  if (target_ == nullptr) return false;
  target_->buf[0] = api_.av_buffer_create(storage, storageSize, KeepBuffer, nullptr, 0);
  if (target_->buf[0] == nullptr) {
    ClearTarget();
    return false;
  }
  target_->data[0] = targetTop_ = firstRow;
  target_->linesize[0] = targetStride_ = stride;
  target_->width = targetWidth_ = width;
  target_->height = targetHeight_ = height;
  target_->format = AV_PIX_FMT_BGR24;
  return true;
}

void PictureScaler::ClearTarget() {
  if (target_ != nullptr) api_.av_frame_free(&target_);
}

PictureScaler::Result PictureScaler::Scale(const AVFrame* picture) {
  if (!Prepare(picture)) return Result::NoContext;
  return api_.sws_scale_frame(context_, target_, picture) >= 0 ? Result::Done : Result::Failed;
}

PictureScaler::Result PictureScaler::ScaleRows(const AVFrame* picture, int top, int count) {
  if (target_ == nullptr || picture->format != AV_PIX_FMT_YUV420P || (top & 1) != 0 ||
      picture->width != targetWidth_ || picture->height != targetHeight_)
    return Result::NoContext;
  rowContext_ = api_.sws_getCachedContext(rowContext_, targetWidth_, kRowStep, AV_PIX_FMT_YUV420P,
                                          targetWidth_, kRowStep, AV_PIX_FMT_BGR24, SWS_BICUBIC,
                                          nullptr, nullptr, nullptr);
  if (rowContext_ == nullptr) return Result::NoContext;
  const int end = std::min(top + count, targetHeight_);
  for (int row = top; row < end; row += kRowStep) {
    const uint8_t* source[4] = {picture->data[0] + ptrdiff_t(row) * picture->linesize[0],
                                picture->data[1] + ptrdiff_t(row / 2) * picture->linesize[1],
                                picture->data[2] + ptrdiff_t(row / 2) * picture->linesize[2],
                                nullptr};
    const int sourceStride[4] = {picture->linesize[0], picture->linesize[1], picture->linesize[2],
                                 0};
    uint8_t* target[4] = {targetTop_ + ptrdiff_t(row) * targetStride_, nullptr, nullptr, nullptr};
    const int targetStride[4] = {targetStride_, 0, 0, 0};
    const int rows = std::min(kRowStep, end - row);
    if (api_.sws_scale(rowContext_, source, sourceStride, 0, rows, target, targetStride) != rows)
      return Result::Failed;
  }
  return Result::Done;
}

bool PictureScaler::Prepare(const AVFrame* picture) {
  if (target_ == nullptr) return false;
  const Shape shape{picture->width, picture->height, picture->format, targetWidth_, targetHeight_};
  if (context_ != nullptr && shape == contextShape_) return true;
  if (context_ != nullptr) api_.sws_freeContext(context_);
  context_ = NewContext(picture);
  contextShape_ = shape;
  return context_ != nullptr;
}

SwsContext* PictureScaler::NewContext(const AVFrame* picture) const {
  SwsContext* context = api_.sws_alloc_context();
  if (context == nullptr) return nullptr;
  const struct {
    const char* name;
    int64_t value;
  } options[] = {
      {"srcw", picture->width},   {"srch", picture->height},    {"src_format", picture->format},
      {"dstw", targetWidth_},     {"dsth", targetHeight_},      {"dst_format", AV_PIX_FMT_BGR24},
      {"sws_flags", SWS_BICUBIC}, {"threads", ScalerThreads()},
  };
  bool ok = picture->format >= 0;
  for (const auto& option : options)
    ok = ok && api_.av_opt_set_int(context, option.name, option.value, 0) >= 0;
  ok = ok && api_.sws_init_context(context, nullptr, nullptr) >= 0;
  if (!ok) {
    api_.sws_freeContext(context);
    return nullptr;
  }
  return context;
}

}  // namespace VELAVCODEC
