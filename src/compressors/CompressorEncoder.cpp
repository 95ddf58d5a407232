#include "compressors/CompressorEncoder.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "compressors/CompressorYuv.h"
#include "picture/BmpFrame.h"

namespace COMPRESSOR {

namespace {

// A picture in a buffer of its own, or one borrowed by reference from the
// decoder; ready is whichever was staged last.
struct StagedFrame : StagedPicture {
  AVFrame* frame = nullptr;
  AVFrame* borrowed = nullptr;
  AVFrame* ready = nullptr;
  ~StagedFrame() override {
    av_frame_free(&frame);
    av_frame_free(&borrowed);
  }
};

constexpr uint32_t kDefaultQuality = 7500;
constexpr int kDefaultKeyFrameEvery = 250;

// How many threads an encoder works with. The count shapes the stream (the
// slices of a picture, x264's frame threads), so it is fixed rather than the
// machine's, for the same file on any machine: the row's own, or what the
// libraries choose for themselves on two cores, where pictures of fewer than
// 17 rows get one.
int EncoderThreads(const COMPRESSORCATALOG::CompressorInfo& info, int height) {
  if (info.threads > 0) return info.threads;
  return (height + 15) / 16 >= 2 ? 3 : 1;
}

using COMPRESSORCATALOG::QualityScale;

std::atomic<bool> gChatterShown{false};

uint32_t EffectiveQuality(uint32_t quality) {
  return quality == ENCODERCHOICE::kDefaultQuality
             ? kDefaultQuality
             : std::min<uint32_t>(quality, ENCODERCHOICE::kHighestQuality);
}

// Linear between (0, low), (7500, atDefault) and (10000, high).
int MapQuality(uint32_t quality, double low, double atDefault, double high) {
  const double q = EffectiveQuality(quality);
  const double value = q <= kDefaultQuality
                           ? low + (atDefault - low) * q / kDefaultQuality
                           : atDefault + (high - atDefault) * (q - kDefaultQuality) / 2500.0;
  return int(std::lround(value));
}

bool IsSubsampled(AVPixelFormat format) { return format == AV_PIX_FMT_YUV420P; }

// first:second, either perhaps empty; the later items win where both set one.
std::string JoinParams(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  return second.empty() ? first : first + ":" + second;
}

}  // namespace

int QuantiserForQuality(uint32_t quality) { return MapQuality(quality, 31, 3, 1); }
int RateFactorForQuality(uint32_t quality) { return MapQuality(quality, 51, 23, 12); }

int RateFactorForQuality(const COMPRESSORCATALOG::CompressorInfo& info, uint32_t quality) {
  const COMPRESSORCATALOG::RateScale& rates = info.quality.rates;
  return MapQuality(quality, rates.low, rates.atDefault, rates.high);
}

void ShowEncoderChatter(bool shown) { gChatterShown = shown; }

void RouteEncoderLog(EncoderLogCallback callback) { av_log_set_callback(callback); }

EncoderCompressor::EncoderCompressor(const COMPRESSORCATALOG::CompressorInfo& info,
                                     const ENCODERCHOICE::EncoderChoice& choice, bool globalHeader)
    : info_(info), choice_(choice), globalHeader_(globalHeader) {}

EncoderCompressor::~EncoderCompressor() {
  if (context_ != nullptr && avcodec_is_open(context_) && !finished_ && info_.endsStreamBeforeClose)
    EndStream();
  sws_freeContext(scaler_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&context_);
}

// An encoder may wait for ever at its close unless the end of the stream was
// sent, and at the end of a stream that had no picture (SVT-AV1 does): a job
// stopped or failed halfway sends a black one if need be, then the end, and
// drops what comes.
void EncoderCompressor::EndStream() {
  if (nextPts_ == 0) {
    if (frame_ == nullptr || !MakeWritable(frame_)) return;
    const ptrdiff_t linesizes[4] = {frame_->linesize[0], frame_->linesize[1], frame_->linesize[2],
                                    0};
    av_image_fill_black(frame_->data, linesizes, AVPixelFormat(frame_->format),
                        context_->color_range, frame_->width, frame_->height);
    frame_->pts = nextPts_++;
    if (avcodec_send_frame(context_, frame_) < 0) return;
  }
  if (avcodec_send_frame(context_, nullptr) < 0) return;
  AVPacket* dropped = av_packet_alloc();
  while (dropped != nullptr && avcodec_receive_packet(context_, dropped) >= 0)
    av_packet_unref(dropped);
  av_packet_free(&dropped);
}

Status EncoderCompressor::Start(const BgrFormat& input, uint32_t scale, uint32_t rate,
                                EncodedFormat* output) {
  if (context_ != nullptr) return Status::Unsupported;
  if (input.Width <= 0 || input.Height <= 0) return Status::BadFormat;
  inputWidth_ = input.Width;
  inputHeight_ = input.Height;
  bottomUp_ = !input.TopDown;
  rowBytes_ = BMPFRAME::RowStride(input.Width);
  const COMPRESSORCATALOG::PictureForm& form = info_.picture;
  int width = input.Width, height = inputHeight_;
  if (IsSubsampled(form.pixelFormat)) {
    // 4:2:0 encoders need even sizes: the odd last column or row is dropped.
    width &= ~1;
    height &= ~1;
  }
  if (width < 2 || height < 2) return Status::BadFormat;
  Status result = OpenEncoder(width, height, scale, rate);
  if (result != Status::Ok) return result;
  frame_ = NewFrame();
  packet_ = av_packet_alloc();
  if (!frame_ || !packet_) return Status::Memory;
  if (IsSubsampled(form.pixelFormat)) {
    mixed_ = NewStagedPicture();
    if (!mixed_) return Status::Memory;
    yuvRange_ = form.fullRange ? YuvRange::Full : YuvRange::Limited;
    *output = OutputFormat();
    if (!deep_) return Status::Ok;  // converted by hand, see Compress
  }
  scaler_ = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, pictureFormat_,
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                           nullptr);
  if (!scaler_) return Status::CompressorFailed;
  *output = OutputFormat();
  return Status::Ok;
}

Status EncoderCompressor::OpenEncoder(int width, int height, uint32_t scale, uint32_t rate) {
  const AVCodec* codec = avcodec_find_encoder_by_name(info_.encoder);
  if (!codec) return Status::NoCompressor;
  context_ = avcodec_alloc_context3(codec);
  if (!context_) return Status::Memory;
  const COMPRESSORCATALOG::PictureForm& form = info_.picture;
  // 10 bits where the codec keeps deep colour; 8 everywhere else.
  if (choice_.BitDepth != 8 && !(choice_.BitDepth == 10 && info_.keepsDeepColour))
    return Status::Unsupported;
  deep_ = choice_.BitDepth == 10;
  context_->width = width;
  context_->height = height;
  context_->pix_fmt = deep_ ? AV_PIX_FMT_YUV420P10LE : form.pixelFormat;
  pictureFormat_ = context_->pix_fmt;
  if ((form.fullRange || choice_.Colour.FullRange) && IsSubsampled(form.pixelFormat))
    context_->color_range = AVCOL_RANGE_JPEG;
  else if (deep_ || !(choice_.Colour == ENCODERCHOICE::ColourDescription{}))
    context_->color_range = AVCOL_RANGE_MPEG;  // stated with the colour
  context_->color_primaries = AVColorPrimaries(choice_.Colour.Primaries);
  context_->color_trc = AVColorTransferCharacteristic(choice_.Colour.Transfer);
  context_->colorspace = AVColorSpace(choice_.Colour.Matrix);
  int num = 1, den = 25;
  if (scale > 0 && rate > 0) av_reduce(&num, &den, scale, rate, 65535);
  context_->time_base = {num, den};
  context_->framerate = {den, num};
  context_->codec_tag = globalHeader_ ? 0 : info_.code;
  if (globalHeader_) context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  context_->max_b_frames = 0;
  const bool chosenKeyFrames = choice_.KeyFramesOn && choice_.KeyFrameEvery;
  context_->gop_size = chosenKeyFrames ? int(std::min<uint32_t>(choice_.KeyFrameEvery, INT_MAX))
                                       : kDefaultKeyFrameEvery;
  context_->keyint_min = std::min(context_->gop_size, 25);
  context_->thread_count = EncoderThreads(info_, height);
  // Slices rather than frames for the others: frame threads would hold
  // pictures back.
  if (!info_.ownThreads) context_->thread_type = FF_THREAD_SLICE;
  ApplyRateControl();
  AVDictionary* dictionary = nullptr;
  if (!choice_.EncoderOptions.empty() &&
      av_dict_parse_string(&dictionary, choice_.EncoderOptions.c_str(), "=", ":", 0) < 0) {
    av_dict_free(&dictionary);
    return Status::BadParameter;
  }
  // The user's own options win over the preset chosen beside them.
  const COMPRESSORCATALOG::PresetList& presets = info_.presets;
  if (!choice_.Preset.empty() && presets.option != nullptr)
    av_dict_set(&dictionary, presets.option, choice_.Preset.c_str(), AV_DICT_DONT_OVERWRITE);
  for (const auto& [key, value] : info_.defaults)
    av_dict_set(&dictionary, key, value, AV_DICT_DONT_OVERWRITE);
  if (!gChatterShown) {
    const COMPRESSORCATALOG::ChatterQuiet& quiet = info_.chatter;
    for (const auto& [key, value] : quiet.options)
      av_dict_set(&dictionary, key, value, AV_DICT_DONT_OVERWRITE);
    if (quiet.variable != nullptr) setenv(quiet.variable, quiet.value, 0);
  }
  AddHdrParams(&dictionary);
  if (!choice_.Profile.empty()) av_dict_set(&dictionary, "profile", choice_.Profile.c_str(), 0);
  if (choice_.Level > 0) context_->level = choice_.Level;
  if (choice_.AspectNum > 0 && choice_.AspectDen > 0)
    context_->sample_aspect_ratio = {choice_.AspectNum, choice_.AspectDen};
  if (info_.quality.scale == QualityScale::RateFactor && context_->bit_rate == 0)
    av_dict_set_int(&dictionary, info_.quality.rateOption,
                    RateFactorForQuality(info_, choice_.Quality), AV_DICT_DONT_OVERWRITE);
  if (info_.hardware.deviceFrames) {
    deviceFrames_ = std::make_unique<HARDWAREENCODERS::DeviceFrames>();
    if (!deviceFrames_->Attach(context_, pictureFormat_)) {
      av_dict_free(&dictionary);
      return Status::CompressorFailed;
    }
  }
  const int opened = avcodec_open2(context_, codec, &dictionary);
  av_dict_free(&dictionary);
  return opened < 0 ? Status::CompressorFailed : Status::Ok;
}

// The HDR metadata goes before the user's own library options, which win.
void EncoderCompressor::AddHdrParams(AVDictionary** dictionary) const {
  const char* option = info_.hdr.option;
  if (option == nullptr || info_.hdr.format == nullptr) return;
  const std::string hdr = info_.hdr.format(choice_.Colour.Hdr);
  if (hdr.empty()) return;
  const AVDictionaryEntry* given = av_dict_get(*dictionary, option, nullptr, 0);
  const std::string value = JoinParams(hdr, given != nullptr ? given->value : "");
  av_dict_set(dictionary, option, value.c_str(), 0);
}

void EncoderCompressor::ApplyRateControl() {
  const QualityScale scale = info_.quality.scale;
  if (scale == QualityScale::None) return;
  if (choice_.DataRateOn && choice_.BytesPerSecond > 0) {
    // The data rate is a ceiling, kept over one second of pictures.
    context_->bit_rate = int64_t(choice_.BytesPerSecond) * 8;
    if (info_.rate.dataRateCeiling) context_->rc_max_rate = context_->bit_rate;
    context_->rc_buffer_size = int(std::min<int64_t>(context_->bit_rate, INT_MAX));
    return;
  }
  // A rate factor, not the library's default bit rate, rules.
  if (scale == QualityScale::RateFactor) context_->bit_rate = 0;
  if (scale == QualityScale::Quantiser) {
    context_->flags |= AV_CODEC_FLAG_QSCALE;
    context_->global_quality = FF_QP2LAMBDA * QuantiserForQuality(choice_.Quality);
  }
}

EncodedFormat EncoderCompressor::OutputFormat() const {
  EncodedFormat format;
  format.Code = info_.code;
  format.Width = context_->width;
  format.Height = context_->height;
  format.BitCount =
      uint16_t(context_->bits_per_coded_sample ? context_->bits_per_coded_sample : 24);
  format.ImageSize = uint32_t(context_->width) * uint32_t(context_->height) * 3;
  format.PixelFormat = pictureFormat_;
  format.ColourRange = context_->color_range;
  format.Primaries = context_->color_primaries;
  format.Transfer = context_->color_trc;
  format.Matrix = context_->colorspace;
  format.Hdr = choice_.Colour.Hdr;
  if (context_->extradata_size > 0)
    format.ExtraData.assign(context_->extradata, context_->extradata + context_->extradata_size);
  return format;
}

Status EncoderCompressor::Compress(const void* pixels, size_t size, const ChunkSink& sink) {
  const Status staged = StageInto(pixels, size, frame_);
  return staged != Status::Ok ? staged : Send(frame_, sink);
}

std::unique_ptr<StagedPicture> EncoderCompressor::NewStagedPicture() {
  if (context_ == nullptr) return nullptr;
  auto picture = std::make_unique<StagedFrame>();
  picture->frame = NewFrame();
  picture->borrowed = av_frame_alloc();
  if (picture->frame == nullptr || picture->borrowed == nullptr) return nullptr;
  return picture;
}

Status EncoderCompressor::Stage(const void* pixels, size_t size, StagedPicture& picture) {
  auto& staged = static_cast<StagedFrame&>(picture);
  staged.ready = staged.frame;
  return StageInto(pixels, size, staged.frame);
}

Status EncoderCompressor::CompressStaged(StagedPicture& picture, const ChunkSink& sink) {
  auto& staged = static_cast<StagedFrame&>(picture);
  if (staged.ready == nullptr) return Status::BadFormat;
  const Status sent = Send(staged.ready, sink);
  // The encoder keeps its own reference if it needs the picture: the
  // decoder's buffer goes back to it as soon as possible.
  av_frame_unref(staged.borrowed);
  staged.ready = nullptr;
  return sent;
}

// A picture in the encoder's pixel format, its buffer not made yet; or none.
AVFrame* EncoderCompressor::NewFrame() const {
  AVFrame* frame = av_frame_alloc();
  if (frame == nullptr) return nullptr;
  frame->format = pictureFormat_;
  frame->width = context_->width;
  frame->height = context_->height;
  return frame;
}

// Its buffer comes with the first picture copied into it, so that a slot
// that only ever borrows costs no memory; the encoder may still hold the
// picture staged in it last time.
bool EncoderCompressor::MakeWritable(AVFrame* frame) {
  if (frame->buf[0] == nullptr) return av_frame_get_buffer(frame, 0) >= 0;
  return av_frame_make_writable(frame) >= 0;
}

// Converts the caller's picture into the encoder's pixel format.
Status EncoderCompressor::StageInto(const void* pixels, size_t size, AVFrame* frame) {
  if (context_ == nullptr || finished_) return Status::BadFormat;
  if (pixels == nullptr || size < size_t(rowBytes_) * size_t(inputHeight_)) return Status::BadSize;
  if (!MakeWritable(frame)) return Status::Memory;
  // Rows are taken from the top, so a dropped odd row is the bottom one.
  const uint8_t* top = static_cast<const uint8_t*>(pixels);
  int stride = int(rowBytes_);
  if (bottomUp_) {
    top += size_t(rowBytes_) * size_t(inputHeight_ - 1);
    stride = -stride;
  }
  if (scaler_ != nullptr) {
    sws_scale(scaler_, &top, &stride, 0, frame->height, frame->data, frame->linesize);
  } else {
    const YuvPlanes planes{{frame->data[0], frame->data[1], frame->data[2]},
                           {frame->linesize[0], frame->linesize[1], frame->linesize[2]}};
    BgrToYuv420(top, stride, frame->width, 0, frame->height, yuvRange_, planes);
  }
  return Status::Ok;
}

// A deep encoder converts BGR pictures with the scaler, planar ones not.
bool EncoderCompressor::TakesPlanar() const {
  return context_ != nullptr && (scaler_ == nullptr || deep_) && yuvRange_ == YuvRange::Limited &&
         context_->width == inputWidth_ && context_->height == inputHeight_;
}

Status EncoderCompressor::CompressMixed(const PLANARPICTURE::MixedPicture& picture,
                                        const ChunkSink& sink) {
  if (!mixed_) return Status::BadFormat;
  const Status staged = StageMixed(picture, *mixed_);
  return staged != Status::Ok ? staged : CompressStaged(*mixed_, sink);
}

// A picture is borrowed from the decoder by reference when it needs no
// text, or when the text can go into the decoder's own buffer because no one
// else holds that any more (the decoder keeps the pictures it predicts from);
// otherwise it is copied into the slot's own buffer.
Status EncoderCompressor::StageMixed(const PLANARPICTURE::MixedPicture& picture,
                                     StagedPicture& slot) {
  auto& staged = static_cast<StagedFrame&>(slot);
  staged.ready = nullptr;
  if (!TakesPlanar() || finished_) return Status::BadFormat;
  const Band band = BandOf(picture);
  if (!band.Fits(picture)) return Status::BadFormat;
  if (picture.Planes.Frame != nullptr &&
      (band.end == band.top || av_frame_is_writable(const_cast<AVFrame*>(picture.Planes.Frame)))) {
    const PLANARPICTURE::PlanarPicture& planes = picture.Planes;
    const Status borrowed = Borrow(planes, staged.borrowed);
    if (borrowed != Status::Ok) return borrowed;
    const YuvPlanes target{
        {const_cast<uint8_t*>(planes.Data[0]), const_cast<uint8_t*>(planes.Data[1]),
         const_cast<uint8_t*>(planes.Data[2])},
        {planes.Stride[0], planes.Stride[1], planes.Stride[2]}};
    WriteBand(picture, band, target);
    staged.ready = staged.borrowed;
    return Status::Ok;
  }
  const Status copied = StageMixedInto(picture, band, staged.frame);
  if (copied == Status::Ok) staged.ready = staged.frame;
  return copied;
}

// The rows of the picture whose text comes from the BGR picture.
EncoderCompressor::Band EncoderCompressor::BandOf(
    const PLANARPICTURE::MixedPicture& picture) const {
  const int height = context_->height;
  const int top = std::clamp(picture.Band.Top & ~1, 0, height);
  return {top, std::clamp(top + (picture.Band.Count & ~1), top, height), context_->width, height,
          deep_ ? 10 : 8};
}

bool EncoderCompressor::Band::Fits(const PLANARPICTURE::MixedPicture& picture) const {
  const PLANARPICTURE::PlanarPicture& planes = picture.Planes;
  if (planes.Width != width || planes.Height != height || planes.Data[0] == nullptr ||
      planes.BitDepth != depth)
    return false;
  if (end == top || picture.Ink != nullptr) return true;
  // A band from BGR has 8 bits only.
  if (picture.Bgr == nullptr || depth != 8) return false;
  const BMPFRAME::BmpView bgr(const_cast<uint8_t*>(picture.Bgr));  // only read
  return bgr.Width() == width && bgr.Height() == height;
}

// References the decoder's buffers: only the planes, none of the decoded
// picture's properties (its picture type would force key frames, its side
// data would travel into the stream).
Status EncoderCompressor::Borrow(const PLANARPICTURE::PlanarPicture& planes, AVFrame* frame) {
  av_frame_unref(frame);
  const AVFrame* source = planes.Frame;
  for (int i = 0; i < AV_NUM_DATA_POINTERS && source->buf[i] != nullptr; ++i) {
    frame->buf[i] = av_buffer_ref(source->buf[i]);
    if (frame->buf[i] == nullptr) {
      av_frame_unref(frame);
      return Status::Memory;
    }
  }
  for (int plane = 0; plane < 3; ++plane) {
    frame->data[plane] = const_cast<uint8_t*>(planes.Data[plane]);
    frame->linesize[plane] = planes.Stride[plane];
  }
  frame->format = pictureFormat_;
  frame->width = context_->width;
  frame->height = context_->height;
  return Status::Ok;
}

// The planes are copied as they are, but for a band that comes from BGR.
Status EncoderCompressor::StageMixedInto(const PLANARPICTURE::MixedPicture& picture,
                                         const Band& band, AVFrame* frame) {
  if (!MakeWritable(frame)) return Status::Memory;
  const PLANARPICTURE::PlanarPicture& planes = picture.Planes;
  for (int plane = 0; plane < 3; ++plane) {
    const int shift = plane == 0 ? 0 : 1;
    const int top = band.top >> shift, end = band.end >> shift, rows = band.height >> shift;
    const int rowBytes = (band.width >> shift) * (band.depth > 8 ? 2 : 1);
    const auto copy = [&](int from, int to) {
      if (to > from)
        av_image_copy_plane(frame->data[plane] + ptrdiff_t(from) * frame->linesize[plane],
                            frame->linesize[plane],
                            planes.Data[plane] + ptrdiff_t(from) * planes.Stride[plane],
                            planes.Stride[plane], rowBytes, to - from);
    };
    if (picture.Ink != nullptr) {
      copy(0, rows);
    } else {
      copy(0, top);
      copy(end, rows);
    }
  }
  const YuvPlanes target{{frame->data[0], frame->data[1], frame->data[2]},
                         {frame->linesize[0], frame->linesize[1], frame->linesize[2]}};
  WriteBand(picture, band, target);
  return Status::Ok;
}

// The band's ink blended into the planes, or the band converted from the
// BGR picture as StageInto converts whole pictures.
void EncoderCompressor::WriteBand(const PLANARPICTURE::MixedPicture& picture, const Band& band,
                                  const YuvPlanes& target) const {
  if (band.end == band.top) return;
  if (picture.Ink != nullptr) {
    PLANARPICTURE::PlanarRows rows;
    for (int plane = 0; plane < 3; ++plane) {
      rows.Data[plane] = target.data[plane];
      rows.Stride[plane] = target.linesize[plane];
    }
    rows.BitDepth = band.depth;
    rows.Colours = picture.Colours;
    picture.Ink->BlendInto(rows, {band.top, band.end - band.top});
    return;
  }
  const BMPFRAME::BmpView bgr(const_cast<uint8_t*>(picture.Bgr));  // only read
  BgrToYuv420(bgr.Row(band.height - 1), -ptrdiff_t(bgr.Stride()), band.width, band.top,
              band.end - band.top, yuvRange_, target);
}

Status EncoderCompressor::Send(AVFrame* frame, const ChunkSink& sink) {
  if (context_ == nullptr || finished_) return Status::BadFormat;
  frame->pts = nextPts_++;
  frame->quality = context_->global_quality;
  AVFrame* sent = frame;
  if (deviceFrames_ && (sent = deviceFrames_->Upload(frame)) == nullptr)
    return Status::CompressorFailed;
  if (avcodec_send_frame(context_, sent) < 0) return Status::CompressorFailed;
  return Drain(sink);
}

Status EncoderCompressor::Finish(const ChunkSink& sink) {
  if (context_ == nullptr || finished_) return Status::Ok;
  finished_ = true;
  if (avcodec_send_frame(context_, nullptr) < 0) return Status::CompressorFailed;
  return Drain(sink);
}

Status EncoderCompressor::Drain(const ChunkSink& sink) {
  for (;;) {
    const int received = avcodec_receive_packet(context_, packet_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return Status::Ok;
    if (received < 0) return Status::CompressorFailed;
    const Status written = sink(
        {packet_->data, uint32_t(packet_->size), (packet_->flags & AV_PKT_FLAG_KEY) != 0, packet_});
    av_packet_unref(packet_);  // unless the sink took it
    if (written != Status::Ok) return written;
  }
}

}  // namespace COMPRESSOR
