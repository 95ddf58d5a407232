#pragma once

// A video compressor as the compressed stream drives it: it takes 24-bit BGR
// frames and hands out chunks with their key-frame flags.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compressors/CompressorCatalog.h"
#include "compressors/EncoderChoice.h"
#include "picture/PictureColour.h"
#include "picture/PlanarPicture.h"

struct AVPacket;

namespace COMPRESSOR {

// How a call went; the AVI service turns each into its own error code.
enum class Status {
  Ok,
  Unsupported,       // not in this state, or not by this compressor
  BadFormat,         // a picture or format the compressor does not take
  BadSize,           // fewer bytes than a picture has
  BadParameter,      // the encoder's options do not read
  Memory,            // out of memory
  NoCompressor,      // the encoder is not installed
  CompressorFailed,  // the encoder failed
  WriteFailed,       // the sink could not write a chunk
};

// The pictures a compressor takes: 24-bit BGR rows, each padded to four
// bytes, bottom row first unless TopDown.
struct BgrFormat {
  int32_t Width = 0;
  int32_t Height = 0;
  bool TopDown = false;
};

// What the compressed pictures are: their codec's four-character code (0
// for pictures stored as they came), size, bits a pixel, the size of an
// uncompressed picture, and the codec's set-up.
struct EncodedFormat {
  uint32_t Code = 0;
  int32_t Width = 0;
  int32_t Height = 0;  // negative: top-down, as the input was
  uint16_t BitCount = 24;
  uint32_t ImageSize = 0;
  std::vector<uint8_t> ExtraData;
  // The encoder's pixel format (an AVPixelFormat; -1 for none), which a
  // container's codec record may need (VP9's in MP4).
  int PixelFormat = -1;
  // The colour description the stream states (AVColorRange, AVColorPrimaries,
  // AVColorTransferCharacteristic, AVColorSpace; 0 and 2 unspecified).
  int ColourRange = 0, Primaries = 2, Transfer = 2, Matrix = 2;
  // An HDR stream's mastering display and light levels, for the container.
  PICTURECOLOUR::HdrMetadata Hdr;
};

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
using ChunkSink = std::function<Status(const Chunk& chunk)>;

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
  // Gives the format of the compressed frames; scale/rate is the frame
  // duration in seconds.
  virtual Status Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
                       EncodedFormat* output) = 0;
  // One frame; the chunks it releases (none while the encoder holds frames
  // back) go to sink.
  virtual Status Compress(const void* pixels, size_t size, const ChunkSink& sink) = 0;
  // Hands out the frames held back.
  virtual Status Finish(const ChunkSink& sink) = 0;

  // Compress split in two, for a caller that compresses on another thread:
  // Stage takes the picture in on the caller's thread, CompressStaged does
  // the rest. The two may run at once on different staged pictures. By
  // default the picture is copied as it is.
  virtual std::unique_ptr<StagedPicture> NewStagedPicture();  // after Start
  virtual Status Stage(const void* pixels, size_t size, StagedPicture& picture);
  virtual Status CompressStaged(StagedPicture& picture, const ChunkSink& sink);

  // After Start: true when the encoder works on 4:2:0 on video levels at the
  // input's own size, and so takes mixed pictures (planar, with the band of
  // drawn text in BGR) in place of BGR ones, sparing the round trip.
  virtual bool TakesPlanar() const { return false; }
  // A compressor whose frames of a picture may reach the sink after the
  // call that handed the picture in calls `handler` (on the caller's thread,
  // within a later call) once all the frames of one more picture have gone
  // to the sink, and answers true. The others answer false: every frame of
  // a picture has come by the time its call returns.
  using PictureEndHandler = std::function<Status()>;
  virtual bool NotifyPictureEnds(PictureEndHandler /*handler*/) { return false; }
  virtual Status CompressMixed(const PLANARPICTURE::MixedPicture& picture, const ChunkSink& sink);
  virtual Status StageMixed(const PLANARPICTURE::MixedPicture& picture, StagedPicture& staged);
};

}  // namespace COMPRESSOR
