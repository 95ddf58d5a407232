#pragma once

// The encoders in a graphics card or processor (NVENC, Quick Sync, VA-API):
// whether one opens on this machine, and the device memory the VA-API ones
// take their pictures in. Which encoder is which is the catalogue's to say. A machine without
// the hardware, or without its driver, simply lists none of them.
#include <cstdarg>
#include <string>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVBufferRef;
struct AVCodecContext;
struct AVFrame;

namespace HARDWAREENCODERS {

// Whether the encoder opens here for a small picture handed in as input
// (uploaded to device memory first where deviceFrames): the driver is there
// and the device takes the codec. The libraries' reports of a device that
// is not there are kept quiet.
bool Opens(const std::string& encoder, AVPixelFormat input, bool deviceFrames);

// FFmpeg's log callback, as the program routes it: a trial silences the log
// and puts this back after.
using LogCallback = void (*)(void* context, int level, const char* format, std::va_list arguments);
void RememberLogCallback(LogCallback callback);

// VA-API encoders take pictures in the device's memory only.
class DeviceFrames {
 public:
  DeviceFrames() = default;
  ~DeviceFrames();
  DeviceFrames(const DeviceFrames&) = delete;
  DeviceFrames& operator=(const DeviceFrames&) = delete;

  // Before the encoder opens: the device, and a pool of its pictures of the
  // context's size, which the context then takes. False when either fails.
  bool Attach(AVCodecContext* context, AVPixelFormat softwareFormat);
  // The software picture copied into a device picture, with its time; null
  // on failure. Valid until the next upload.
  AVFrame* Upload(const AVFrame* picture);

 private:
  AVBufferRef* device_ = nullptr;
  AVBufferRef* pool_ = nullptr;
  AVFrame* uploaded_ = nullptr;
};

}  // namespace HARDWAREENCODERS
