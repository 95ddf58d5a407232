#include "output/CopiedVideo.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include "compressors/CompressorFactory.h"
#include "output/OutputTexts.h"

namespace COPIEDVIDEO {
namespace {

constexpr int64_t kNoTime = INT64_MIN;

// a - b and a + 1 for times read from a file, held within the valid times
// rather than wrapping.
int64_t Less(int64_t a, int64_t b) {
  int64_t difference = 0;
  if (!__builtin_sub_overflow(a, b, &difference) && difference != kNoTime) return difference;
  return b > 0 ? kNoTime + 1 : INT64_MAX;
}
int64_t Next(int64_t a) { return a == INT64_MAX ? a : a + 1; }

// The encoder's word for the source's profile; empty where it has none.
const char* ProfileName(AVCodecID codec, int profile) {
  if (codec == AV_CODEC_ID_H264) {
    switch (profile & ~FF_PROFILE_H264_CONSTRAINED) {
      case FF_PROFILE_H264_BASELINE:
        return "baseline";
      case FF_PROFILE_H264_MAIN:
        return "main";
      case FF_PROFILE_H264_HIGH:
        return "high";
      case FF_PROFILE_H264_HIGH_10:
        return "high10";
      default:
        return "";
    }
  }
  if (profile == FF_PROFILE_HEVC_MAIN) return "main";
  if (profile == FF_PROFILE_HEVC_MAIN_10) return "main10";
  return "";
}

}  // namespace

std::string MatchSource(const AVCodecParameters& source, int encoderCodecId,
                        ENCODERCHOICE::EncoderChoice& choice) {
  if (source.codec_id != AV_CODEC_ID_H264 && source.codec_id != AV_CODEC_ID_HEVC)
    return "the source's video is neither H.264 nor HEVC";
  if (source.codec_id != encoderCodecId)
    return "the compressor writes another codec than the source's";
  if (source.field_order != AV_FIELD_PROGRESSIVE && source.field_order != AV_FIELD_UNKNOWN)
    return "the source's pictures are interlaced";
  const AVPixFmtDescriptor* pixels = av_pix_fmt_desc_get(AVPixelFormat(source.format));
  if (pixels == nullptr || pixels->log2_chroma_w != 1 || pixels->log2_chroma_h != 1 ||
      (pixels->flags & AV_PIX_FMT_FLAG_RGB) != 0)
    return "the source's pictures are not 4:2:0";
  if (pixels->comp[0].depth != choice.BitDepth)
    return "the compressor writes " + std::to_string(choice.BitDepth) +
           "-bit pictures, the source " + std::to_string(pixels->comp[0].depth) + "-bit ones";
  choice.Profile = ProfileName(source.codec_id, source.profile);
  choice.Level = source.codec_id == AV_CODEC_ID_H264 && source.level > 0 ? source.level : 0;
  if (source.sample_aspect_ratio.num > 0 && source.sample_aspect_ratio.den > 0) {
    choice.AspectNum = source.sample_aspect_ratio.num;
    choice.AspectDen = source.sample_aspect_ratio.den;
  }
  choice.Colour.Primaries = source.color_primaries;
  choice.Colour.Transfer = source.color_trc;
  choice.Colour.Matrix = source.color_space;
  choice.Colour.FullRange = source.color_range == AVCOL_RANGE_JPEG;
  return {};
}

CopiedVideo::CopiedVideo() = default;

CopiedVideo::~CopiedVideo() { av_packet_free(&packet_); }

std::string CopiedVideo::Start(const Setup& setup, PacketSink sink) {
  setup_ = setup;
  sink_ = std::move(sink);
  lengthSize_ = NALUNITS::LengthSizeOf(setup.Codec, setup.Record.data(), setup.Record.size());
  // A transport stream keeps start codes, in its packets and in the sets it
  // names, and the encoder writes them too; the muxer turns them into
  // lengths for the file.
  std::vector<uint8_t> framed;
  const bool setsRead =
      lengthSize_ == 0
          ? NALUNITS::ToLengthPrefixed(setup.Record.data(), setup.Record.size(), 4, framed)
          : NALUNITS::ParameterSetsOf(setup.Codec, setup.Record.data(), setup.Record.size(),
                                      lengthSize_, sourceSets_);
  if (!setsRead) return "the source's codec record does not read";
  if (lengthSize_ == 0) sourceSets_ = setup.Record;
  packet_ = av_packet_alloc();
  if (packet_ == nullptr) return "not enough memory";
  if (setup.BaseNum > 0 && setup.BaseDen > 0 && setup.FrameRate > 0)
    frameTicks_ = std::max<int64_t>(1, av_rescale_q(setup.FrameScale, {1, int(setup.FrameRate)},
                                                    {setup.BaseNum, setup.BaseDen}));
  if (!OpenEncoder()) return error_;
  return {};
}

// An encoder for the next encoded stretch; the first is made at the start,
// so that the job knows what form the encoders take pictures in.
bool CopiedVideo::OpenEncoder() {
  encoder_ = COMPRESSOR::MakeCompressor(setup_.Compressor, setup_.Choice, false);
  COMPRESSOR::EncodedFormat format;
  const COMPRESSOR::Status started =
      encoder_ ? encoder_->Start({setup_.Width, setup_.Height, false}, setup_.FrameScale,
                                 setup_.FrameRate, &format)
               : COMPRESSOR::Status::NoCompressor;
  if (started == COMPRESSOR::Status::Ok) {
    takesPlanar_ = encoder_->TakesPlanar();
    return true;
  }
  encoder_.reset();
  return Fail(OUTPUTTEXTS::CompressedStreamErrorText(started));
}

bool CopiedVideo::TakesPlanar() const { return takesPlanar_; }

bool CopiedVideo::Fail(const std::string& text) {
  if (error_.empty()) error_ = text;
  return false;
}

// The stretch's last pictures out of the encoder, which goes: the next
// stretch starts afresh with one of its own.
bool CopiedVideo::EndStretch() {
  if (!encoding_) return true;
  encoding_ = false;
  const COMPRESSOR::Status finished =
      encoder_->Finish([this](const COMPRESSOR::Chunk& chunk) { return WriteChunk(chunk); });
  encoder_.reset();
  pending_.clear();
  setsOwed_ = true;
  return finished == COMPRESSOR::Status::Ok || Fail("Can't write video output...");
}

bool CopiedVideo::Finish() { return EndStretch(); }

bool CopiedVideo::WriteCopied(const MEDIAOUTPUT::VideoPacket& copied) {
  if (!EndStretch()) return false;
  if (copied.Data == nullptr || copied.Size <= 0) return true;
  // After an encoded stretch the decoder holds the encoder's sets, which
  // may share the source's numbers.
  const bool withSets = setsOwed_ && copied.Key;
  const std::size_t size = std::size_t(copied.Size);
  const AVPacket* source = copied.Packet;
  if (!withSets && source != nullptr && source->buf != nullptr && source->data == copied.Data) {
    packet_->buf = av_buffer_ref(source->buf);
    if (packet_->buf == nullptr) return Fail("Can't write video output...");
    packet_->data = const_cast<uint8_t*>(copied.Data);  // only read
    packet_->size = copied.Size;
  } else {
    const std::size_t total = size + (withSets ? sourceSets_.size() : 0);
    if (total > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE ||
        av_new_packet(packet_, int(total)) < 0)
      return Fail("Can't write video output...");
    uint8_t* at = packet_->data;
    if (withSets) std::memcpy(at, sourceSets_.data(), sourceSets_.size());
    if (withSets) at += sourceSets_.size();
    std::memcpy(at, copied.Data, size);
    // An open HEVC keyframe after an encoded stretch is no longer the one
    // its leading pictures refer back from; those were encoded in the
    // stretch, and the pictures still to be shown before it must stay.
    if (withSets && setup_.Codec == NALUNITS::Codec::Hevc)
      NALUNITS::BreakLinks(at, size, lengthSize_);
    setsOwed_ = setsOwed_ && !withSets;
  }
  ++copied_;
  bytes_ += std::size_t(packet_->size);
  int64_t pts = copied.Pts, dts = copied.Dts;
  if (pts == kNoTime) pts = dts;
  // Matroska stores no decoding times: the first pictures of a stream with
  // B-pictures come without. They are decoded the stream's lead ahead of
  // their time, and each after the one before.
  if (dts == kNoTime && pts != kNoTime)
    dts = lastDts_ == INT64_MIN ? Less(pts, setup_.DecodeLeadTicks) : std::min(pts, Next(lastDts_));
  return Send(pts, dts, copied.Duration > 0 ? copied.Duration : frameTicks_, copied.Key);
}

bool CopiedVideo::WritePicture(const BMPFRAME::BmpView& picture, int64_t pts) {
  return Encode(pts, [&](const COMPRESSOR::ChunkSink& sink) {
    return encoder_->Compress(picture.Pixels(), picture.ImageSize(), sink);
  });
}

bool CopiedVideo::WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, int64_t pts) {
  return Encode(pts, [&](const COMPRESSOR::ChunkSink& sink) {
    return encoder_->CompressMixed(picture, sink);
  });
}

bool CopiedVideo::Encode(
    int64_t pts, const std::function<COMPRESSOR::Status(const COMPRESSOR::ChunkSink&)>& compress) {
  if (!encoder_ && !OpenEncoder()) return false;
  encoding_ = true;
  pending_.push_back(pts);
  ++encoded_;
  const COMPRESSOR::Status result =
      compress([this](const COMPRESSOR::Chunk& chunk) { return WriteChunk(chunk); });
  return result == COMPRESSOR::Status::Ok || Fail("Can't write video output...");
}

// The encoder writes no pictures out of order: each chunk is the picture
// handed in longest ago.
COMPRESSOR::Status CopiedVideo::WriteChunk(const COMPRESSOR::Chunk& chunk) {
  buffer_.clear();
  const uint8_t* bytes = static_cast<const uint8_t*>(chunk.data);
  if (lengthSize_ == 0 && bytes != nullptr) buffer_.assign(bytes, bytes + chunk.size);
  if ((lengthSize_ > 0 && !NALUNITS::ToLengthPrefixed(bytes, chunk.size, lengthSize_, buffer_)) ||
      buffer_.empty() || buffer_.size() > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE ||
      av_new_packet(packet_, int(buffer_.size())) < 0) {
    Fail("Can't write video output...");
    return COMPRESSOR::Status::WriteFailed;
  }
  std::memcpy(packet_->data, buffer_.data(), buffer_.size());
  bytes_ += buffer_.size();
  const int64_t pts = pending_.empty() ? Next(lastDts_) : pending_.front();
  if (!pending_.empty()) pending_.pop_front();
  return Send(pts, Less(pts, setup_.DecodeLeadTicks), frameTicks_, chunk.key)
             ? COMPRESSOR::Status::Ok
             : COMPRESSOR::Status::WriteFailed;
}

// Decoding times rise strictly and never pass the picture's own.
bool CopiedVideo::Send(int64_t pts, int64_t dts, int64_t duration, bool key) {
  if (lastDts_ != INT64_MIN && dts <= lastDts_) dts = std::min(pts, Next(lastDts_));
  lastDts_ = std::max(lastDts_, dts);
  packet_->pts = pts;
  packet_->dts = dts;
  packet_->duration = duration;
  packet_->flags = key ? AV_PKT_FLAG_KEY : 0;
  packet_->pos = -1;
  const bool sent = sink_(packet_);
  av_packet_unref(packet_);
  return sent || Fail("Can't write video output...");
}

}  // namespace COPIEDVIDEO
