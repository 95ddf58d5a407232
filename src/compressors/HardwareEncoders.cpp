#include "compressors/HardwareEncoders.h"

#include <atomic>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/hwcontext.h>
#include <libavutil/log.h>
}

namespace HARDWAREENCODERS {
namespace {

constexpr int kProbeWidth = 256, kProbeHeight = 144;

std::atomic<LogCallback> gRouted{nullptr};

void Silent(void*, int, const char*, std::va_list) {}

bool TryOpen(const AVCodec* codec, AVPixelFormat input, bool deviceFrames) {
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (context == nullptr) return false;
  context->width = kProbeWidth;
  context->height = kProbeHeight;
  context->time_base = {1, 25};
  context->framerate = {25, 1};
  context->pix_fmt = input;
  DeviceFrames frames;
  const bool ready = !deviceFrames || frames.Attach(context, context->pix_fmt);
  const bool opened = ready && avcodec_open2(context, codec, nullptr) >= 0;
  avcodec_free_context(&context);
  return opened;
}

}  // namespace

void RememberLogCallback(LogCallback callback) { gRouted = callback; }

bool Opens(const std::string& encoder, AVPixelFormat input, bool deviceFrames) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder.c_str());
  if (codec == nullptr) return false;
  av_log_set_callback(Silent);
  const bool opened = TryOpen(codec, input, deviceFrames);
  const LogCallback routed = gRouted;
  av_log_set_callback(routed != nullptr ? routed : av_log_default_callback);
  return opened;
}

DeviceFrames::~DeviceFrames() {
  av_frame_free(&uploaded_);
  av_buffer_unref(&pool_);
  av_buffer_unref(&device_);
}

bool DeviceFrames::Attach(AVCodecContext* context, AVPixelFormat softwareFormat) {
  if (av_hwdevice_ctx_create(&device_, AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0) < 0)
    return false;
  pool_ = av_hwframe_ctx_alloc(device_);
  if (pool_ == nullptr) return false;
  auto* pool = reinterpret_cast<AVHWFramesContext*>(pool_->data);
  pool->format = AV_PIX_FMT_VAAPI;
  pool->sw_format = softwareFormat;
  pool->width = context->width;
  pool->height = context->height;
  pool->initial_pool_size = 20;
  if (av_hwframe_ctx_init(pool_) < 0) return false;
  context->hw_frames_ctx = av_buffer_ref(pool_);
  if (context->hw_frames_ctx == nullptr) return false;
  context->pix_fmt = AV_PIX_FMT_VAAPI;
  uploaded_ = av_frame_alloc();
  return uploaded_ != nullptr;
}

AVFrame* DeviceFrames::Upload(const AVFrame* picture) {
  if (pool_ == nullptr || uploaded_ == nullptr) return nullptr;
  av_frame_unref(uploaded_);
  if (av_hwframe_get_buffer(pool_, uploaded_, 0) < 0 ||
      av_hwframe_transfer_data(uploaded_, picture, 0) < 0 ||
      av_frame_copy_props(uploaded_, picture) < 0)
    return nullptr;
  return uploaded_;
}

}  // namespace HARDWAREENCODERS
