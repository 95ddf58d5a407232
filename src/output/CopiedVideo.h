#pragma once

// A video stream whose stretches no subtitle touches are copied from the
// source packet for packet, and whose others are encoded afresh: each such
// stretch by an encoder of its own, which starts on an IDR picture and is
// set to what the source uses. The encoder's start codes become the
// source's lengths and its parameter sets travel in the stream; the source's
// own go back into the stream before the first keyframe copied after an
// encoded stretch, so that a player decodes across every join.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compressors/Compressor.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/EncoderChoice.h"
#include "media/NalUnits.h"
#include "output/MediaOutput.h"
#include "picture/BmpFrame.h"
#include "picture/PlanarPicture.h"

struct AVCodecParameters;
struct AVPacket;

namespace COPIEDVIDEO {

struct Setup {
  NALUNITS::Codec Codec = NALUNITS::Codec::H264;
  // The source's configuration record (avcC or hvcC).
  std::vector<uint8_t> Record;
  int32_t Width = 0, Height = 0;
  uint32_t FrameScale = 1, FrameRate = 25;  // the pictures' rate, scale / rate seconds each
  // The source's clock, on which every time here is counted.
  int32_t BaseNum = 1, BaseDen = 25;
  // How far the source decodes a picture ahead of showing it, in ticks: an
  // encoded picture is decoded this much before its time, as the copied
  // ones around it are.
  int64_t DecodeLeadTicks = 0;
  COMPRESSORCATALOG::CompressorInfo Compressor;
  ENCODERCHOICE::EncoderChoice Choice;  // matched to the source
};

// One packet for the muxer, its times on the source's clock; the sink takes
// the packet's contents over.
using PacketSink = std::function<bool(AVPacket* packet)>;

// Why the source's video can't be continued by an encoder of this choice
// (another codec, depth or chroma, interlaced pictures); empty when it can.
// Otherwise the choice is set to the source's profile, level, shape and
// colour description.
std::string MatchSource(const AVCodecParameters& source, int encoderCodecId,
                        ENCODERCHOICE::EncoderChoice& choice);

class CopiedVideo {
 public:
  CopiedVideo();
  ~CopiedVideo();
  CopiedVideo(const CopiedVideo&) = delete;
  CopiedVideo& operator=(const CopiedVideo&) = delete;

  // Empty on success, else why the stream can't be written so.
  std::string Start(const Setup& setup, PacketSink sink);

  // A source packet of a copied stretch, its times from the source's start;
  // the muxer references its buffer where it has one.
  bool WriteCopied(const MEDIAOUTPUT::VideoPacket& packet);
  // A picture of an encoded stretch, at its time in ticks.
  bool WritePicture(const BMPFRAME::BmpView& picture, int64_t pts);
  bool WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, int64_t pts);
  // The pictures the encoder still holds.
  bool Finish();

  bool TakesPlanar() const;
  int64_t CopiedPictures() const { return copied_; }
  int64_t EncodedPictures() const { return encoded_; }
  uint64_t& BytesCounter() { return bytes_; }
  const std::string& Error() const { return error_; }

 private:
  bool OpenEncoder();
  bool EndStretch();
  bool Encode(int64_t pts,
              const std::function<COMPRESSOR::Status(const COMPRESSOR::ChunkSink&)>& compress);
  COMPRESSOR::Status WriteChunk(const COMPRESSOR::Chunk& chunk);
  bool Send(int64_t pts, int64_t dts, int64_t duration, bool key);
  bool Fail(const std::string& text);

  Setup setup_;
  PacketSink sink_;
  int lengthSize_ = 4;
  std::vector<uint8_t> sourceSets_;  // the source's parameter sets, framed
  std::unique_ptr<COMPRESSOR::Compressor> encoder_;
  bool encoding_ = false;        // the encoder took pictures of this stretch
  bool takesPlanar_ = false;     // what every encoder here takes
  bool setsOwed_ = false;        // the source's sets go before the next copied packet
  std::deque<int64_t> pending_;  // the times of pictures whose chunks are to come
  std::vector<uint8_t> buffer_;  // one packet's bytes, reused
  AVPacket* packet_ = nullptr;
  int64_t frameTicks_ = 1;
  int64_t lastDts_ = INT64_MIN;
  int64_t copied_ = 0, encoded_ = 0;
  uint64_t bytes_ = 0;
  std::string error_;
};

}  // namespace COPIEDVIDEO
