#pragma once

// A reading of a source of its own, beside the job's: its file opened
// again and its video stream's decoder, all let go together.
#include <string>

#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

struct OwnReading {
  const EntryPoints& api;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  explicit OwnReading(const EntryPoints& entries) : api(entries) {}
  ~OwnReading();
  OwnReading(const OwnReading&) = delete;
  OwnReading& operator=(const OwnReading&) = delete;
  // False when the file, the stream or its decoder cannot be opened.
  bool Open(const std::string& fileName, int streamIndex, bool findStreamInfo = false);
  // The first picture of the stream from the reading's place on, into
  // `frame`; false when none came within `packetLimit` packets.
  bool DecodeFirstPicture(int streamIndex, int packetLimit);
  // The first key picture from the reading's place on, into `frame`: the
  // decoder is drained after it rather than fed the pictures its reordering
  // waits for (avcodec_flush_buffers makes it take packets again).
  bool DecodeKeyPicture(int streamIndex, int packetLimit);
};

}  // namespace VELAVCODEC
