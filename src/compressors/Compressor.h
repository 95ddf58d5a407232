#pragma once

// A video compressor as the compressed stream drives it: it takes 24-bit BGR
// frames and hands out chunks with their key-frame flags.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compressors/CompressorCatalog.h"
#include "picture/PlanarPicture.h"
#include "platform/AviRecords.h"

struct AVPacket;

namespace COMPRESSOR {

// One compressed frame. packet, when not null, is the encoder's own packet
// holding the bytes: a sink that keeps the frame past the call takes the
// packet's reference over (leaving it blank) rather than copying the bytes.
struct Chunk {
  const void* data = nullptr;
  uint32_t size = 0;
  bool key = false;
  AVPacket* packet = nullptr;
};

// Receives one compressed frame; returns the write's result.
using ChunkSink = std::function<HRESULT(const Chunk& chunk)>;

// A picture taken in by a compressor, apart from the caller's buffer, in the
// form the compressor works on; it can be compressed later, on another
// thread.
class StagedPicture {
 public:
  virtual ~StagedPicture() = default;
};

class Compressor {
 public:
  virtual ~Compressor() = default;
  // input: 24-bit BI_RGB, bottom-up (positive height) or top-down. Gives the
  // format of the compressed frames (a BITMAPINFOHEADER and extra data).
  // scale/rate is the frame duration in seconds.
  virtual HRESULT Start(const BITMAPINFOHEADER& input, DWORD scale, DWORD rate,
                        std::vector<uint8_t>* outputFormat) = 0;
  // One frame; the chunks it releases (none while the encoder holds frames
  // back) go to sink.
  virtual HRESULT Compress(const void* pixels, size_t size, const ChunkSink& sink) = 0;
  // Hands out the frames held back.
  virtual HRESULT Finish(const ChunkSink& sink) = 0;

  // Compress split in two, for a caller that compresses on another thread:
  // Stage takes the picture in on the caller's thread, CompressStaged does
  // the rest. The two may run at once on different staged pictures. By
  // default the picture is copied as it is.
  virtual std::unique_ptr<StagedPicture> NewStagedPicture();  // after Start
  virtual HRESULT Stage(const void* pixels, size_t size, StagedPicture& picture);
  virtual HRESULT CompressStaged(StagedPicture& picture, const ChunkSink& sink);

  // After Start: true when the encoder works on 4:2:0 on video levels at the
  // input's own size, and so takes mixed pictures (planar, with the band of
  // drawn text in BGR) in place of BGR ones, sparing the round trip.
  virtual bool TakesPlanar() const { return false; }
  // A compressor whose frames of a picture may reach the sink after the
  // call that handed the picture in calls `handler` (on the caller's thread,
  // within a later call) once all the frames of one more picture have gone
  // to the sink, and answers true. The others answer false: every frame of
  // a picture has come by the time its call returns.
  using PictureEndHandler = std::function<HRESULT()>;
  virtual bool NotifyPictureEnds(PictureEndHandler /*handler*/) { return false; }
  virtual HRESULT CompressMixed(const PLANARPICTURE::MixedPicture& picture, const ChunkSink& sink);
  virtual HRESULT StageMixed(const PLANARPICTURE::MixedPicture& picture, StagedPicture& staged);
};

// encoderOptions: "key=value:key=value" options of the libavcodec encoder.
// globalHeader: the codec's set-up goes into the output format's extra data
// only (as MP4 and Matroska keep it), not into the key frames' chunks.
std::unique_ptr<Compressor> MakeCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                           const AVICOMPRESSOPTIONS& options,
                                           const std::string& encoderOptions,
                                           bool globalHeader = false);

}  // namespace COMPRESSOR
