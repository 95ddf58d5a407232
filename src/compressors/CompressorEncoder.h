#pragma once

// A compressor over one of libavcodec's video encoders.
#include <cstdarg>
#include <string>

#include "compressors/Compressor.h"
#include "compressors/CompressorYuv.h"
#include "compressors/HardwareEncoders.h"

struct AVCodecContext;
struct AVDictionary;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace COMPRESSOR {

// Where the quality 0..10000 lands on the encoder's own scale: MPEG-4 and
// Motion JPEG quantiser (31..1) or x264's constant rate factor (51..12); the
// default quality (7500) gives quantiser 3 and rate factor 23.
int QuantiserForQuality(uint32_t quality);
int RateFactorForQuality(uint32_t quality);
// The same on the encoder's own rate factor (x265's 51..28..12, SVT-AV1's
// and libvpx's 63..35..15 and 63..32..15).
int RateFactorForQuality(const COMPRESSORCATALOG::CompressorInfo& info, uint32_t quality);

// The encoders' own reports on standard error (x265's and SVT-AV1's set-up,
// their statistics) are kept off unless shown is set (--verbose).
void ShowEncoderChatter(bool shown);

// The encoders report (x264's statistics, errors) through callback instead
// of writing to standard error.
using EncoderLogCallback = void (*)(void* context, int level, const char* format,
                                    std::va_list arguments);
void RouteEncoderLog(EncoderLogCallback callback);

class EncoderCompressor : public Compressor {
 public:
  EncoderCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                    const ENCODERCHOICE::EncoderChoice& choice, bool globalHeader = false);
  ~EncoderCompressor() override;

  Status Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
               EncodedFormat* output) override;
  Status Compress(const void* pixels, size_t size, const ChunkSink& sink) override;
  Status Finish(const ChunkSink& sink) override;
  std::unique_ptr<StagedPicture> NewStagedPicture() override;
  Status Stage(const void* pixels, size_t size, StagedPicture& picture) override;
  Status CompressStaged(StagedPicture& picture, const ChunkSink& sink) override;
  bool TakesPlanar() const override;
  Status CompressMixed(const PLANARPICTURE::MixedPicture& picture, const ChunkSink& sink) override;
  Status StageMixed(const PLANARPICTURE::MixedPicture& picture, StagedPicture& staged) override;

 private:
  // Rows top .. end - 1 of a picture width x height.
  struct Band {
    int top, end, width, height, depth;
    bool Fits(const PLANARPICTURE::MixedPicture& picture) const;
  };
  Band BandOf(const PLANARPICTURE::MixedPicture& picture) const;
  Status StageMixedInto(const PLANARPICTURE::MixedPicture& picture, const Band& band,
                        AVFrame* frame);
  Status Borrow(const PLANARPICTURE::PlanarPicture& planes, AVFrame* frame);
  void WriteBand(const PLANARPICTURE::MixedPicture& picture, const Band& band,
                 const YuvPlanes& target) const;
  void EndStream();
  AVFrame* NewFrame() const;
  static bool MakeWritable(AVFrame* frame);
  Status StageInto(const void* pixels, size_t size, AVFrame* frame);
  Status Send(AVFrame* frame, const ChunkSink& sink);
  Status OpenEncoder(int width, int height, uint32_t scale, uint32_t rate);
  void ApplyRateControl();
  void AddHdrParams(AVDictionary** dictionary) const;
  Status Drain(const ChunkSink& sink);
  EncodedFormat OutputFormat() const;

  COMPRESSORCATALOG::CompressorInfo info_;
  ENCODERCHOICE::EncoderChoice choice_;
  bool globalHeader_ = false;
  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::unique_ptr<StagedPicture> mixed_;  // mixed pictures compressed at once
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int32_t inputWidth_ = 0, inputHeight_ = 0;
  uint32_t rowBytes_ = 0;
  bool bottomUp_ = true;
  YuvRange yuvRange_ = YuvRange::Limited;
  bool deep_ = false;  // 10-bit pictures
  // What the pictures are staged in; the context's own form differs for an
  // encoder that takes device pictures, which are uploaded as they are sent.
  AVPixelFormat pictureFormat_ = AV_PIX_FMT_NONE;
  std::unique_ptr<HARDWAREENCODERS::DeviceFrames> deviceFrames_;
  int64_t nextPts_ = 0;
  bool finished_ = false;
};

}  // namespace COMPRESSOR
