#include "media/DisplaySetDecoder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "media/VelAvCodec.h"
#include "media/private/EntryPoints.h"

namespace DISPLAYSETDECODER {
namespace {

using SUBTITLETRACK::TrackCodec;

// Bounds on what a damaged stream may make us hold: a side of a canvas or
// a bitmap, the pixels of one set, and the bytes of a file's packets.
constexpr int kLargestSide = SUBTITLETRACK::kLargestCanvasSide;
constexpr int64_t kLargestSetPixels = int64_t(kLargestSide) * 4096;
constexpr int64_t kLargestFileBytes = int64_t(1) << 30;

AVCodecID CodecIdOf(TrackCodec codec) {
  switch (codec) {
    case TrackCodec::Pgs:
      return AV_CODEC_ID_HDMV_PGS_SUBTITLE;
    case TrackCodec::VobSub:
      return AV_CODEC_ID_DVD_SUBTITLE;
    case TrackCodec::Dvb:
      return AV_CODEC_ID_DVB_SUBTITLE;
    default:
      return AV_CODEC_ID_NONE;
  }
}

// Picture streams only.
TrackCodec PictureCodecOf(AVCodecID id) {
  const TrackCodec codec = SUBTITLETRACK::CodecOfLibraryId(id);
  return SUBTITLETRACK::IsPicture(codec) ? codec : TrackCodec::None;
}

bool SaneSide(int side) { return side > 0 && side <= kLargestSide; }

// Milliseconds of a time in the stream's units; false when it is missing or
// beyond any film.
bool MillisecondsOf(int64_t time, AVRational base, int64_t& ms) {
  if (time == AV_NOPTS_VALUE || base.num <= 0 || base.den <= 0) return false;
  const double value = double(time) * base.num / base.den * 1000.0;
  if (!std::isfinite(value) || std::fabs(value) > 1e12) return false;
  ms = std::llround(value);
  return true;
}

// The display size a DVB packet's display definition segment gives; false
// when it holds none. The packet may begin with the PES data identifier and
// stream id; then come segments: 0x0F, type, page id (2), length (2), data.
bool DvbDisplaySize(const std::string& packet, int32_t& width, int32_t& height) {
  const auto byte = [&](size_t at) { return uint8_t(packet[at]); };
  size_t at = packet.size() >= 2 && byte(0) == 0x20 ? 2 : 0;
  while (at + 6 <= packet.size() && byte(at) == 0x0F) {
    const size_t length = size_t(byte(at + 4)) << 8 | byte(at + 5);
    if (byte(at + 1) == 0x14 && length >= 5 && at + 6 + length <= packet.size()) {
      width = (int32_t(byte(at + 7)) << 8 | byte(at + 8)) + 1;
      height = (int32_t(byte(at + 9)) << 8 | byte(at + 10)) + 1;
      return true;
    }
    at += 6 + length;
  }
  return false;
}

}  // namespace

DisplaySetDecoder::DisplaySetDecoder(const VELAVCODEC::VelAvCodec& libraries)
    : api_(libraries.Libraries()) {}

DisplaySetDecoder::~DisplaySetDecoder() { Close(); }

void DisplaySetDecoder::Close() {
  if (context_ != nullptr) api_.avcodec_free_context(&context_);
  if (packet_ != nullptr) api_.av_packet_free(&packet_);
  setPending_ = false;
}

std::string DisplaySetDecoder::Open(const SUBTITLETRACK::TrackInfo& info) {
  Close();
  damaged_ = 0;
  displayWidth_ = displayHeight_ = 0;
  codec_ = info.Codec;
  const AVCodec* codec = api_.avcodec_find_decoder(CodecIdOf(info.Codec));
  if (codec == nullptr)
    return "[PictureSubtitles] This FFmpeg has no decoder for the subtitle pictures...";
  context_ = api_.avcodec_alloc_context3(codec);
  packet_ = api_.av_packet_alloc();
  if (context_ == nullptr || packet_ == nullptr) {
    Close();
    return "[PictureSubtitles] Can't allocate memory for the subtitle decoder...";
  }
  if (!info.Header.empty() && info.Header.size() < (1u << 20)) {
    auto* extra =
        static_cast<uint8_t*>(api_.av_mallocz(info.Header.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (extra != nullptr) {
      std::memcpy(extra, info.Header.data(), info.Header.size());
      context_->extradata = extra;
      context_->extradata_size = int(info.Header.size());
    }
  }
  // DVB's display is 720x576 unless a set says otherwise.
  canvasWidth_ = SaneSide(info.CanvasWidth)      ? info.CanvasWidth
                 : info.Codec == TrackCodec::Dvb ? 720
                                                 : 0;
  canvasHeight_ = SaneSide(info.CanvasHeight)     ? info.CanvasHeight
                  : info.Codec == TrackCodec::Dvb ? 576
                                                  : 0;
  if (canvasWidth_ > 0 && canvasHeight_ > 0) {
    context_->width = canvasWidth_;
    context_->height = canvasHeight_;
  }
  // A damaged DVB region states up to 65535 x 65535 pixels, which the
  // decoder would allocate and fill before a bitmap of it reached us; no
  // more than a set of ours may hold.
  context_->max_pixels = kLargestSetPixels;
  if (api_.avcodec_open2(context_, codec, nullptr) < 0) {
    Close();
    return "[PictureSubtitles] Can't open the subtitle pictures' decoder...";
  }
  return {};
}

void DisplaySetDecoder::Decode(const SUBTITLETRACK::TrackPacket& packet,
                               std::vector<SUBTITLEBITMAPS::DisplaySet>& sets) {
  if (context_ == nullptr || packet.Text.empty() ||
      packet.Text.size() > size_t(std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE))
    return;
  if (!setPending_) {
    setPending_ = true;
    setStartMs_ = packet.StartMs;
  }
  int32_t width = 0, height = 0;
  if (codec_ == TrackCodec::Dvb && DvbDisplaySize(packet.Text, width, height) && SaneSide(width) &&
      SaneSide(height)) {
    displayWidth_ = width;
    displayHeight_ = height;
  }
  padded_.resize(std::max(padded_.size(), packet.Text.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::memcpy(padded_.data(), packet.Text.data(), packet.Text.size());
  std::memset(padded_.data() + packet.Text.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
  packet_->data = padded_.data();
  packet_->size = int(packet.Text.size());
  AVSubtitle subtitle{};
  int got = 0;
  const int used = api_.avcodec_decode_subtitle2(context_, &subtitle, &got, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  if (used < 0) {
    ++damaged_;
    setPending_ = false;
    return;
  }
  if (!got) return;
  SUBTITLEBITMAPS::DisplaySet set;
  const bool whole = TakeBitmaps(&subtitle, set);
  if (!whole) ++damaged_;
  // The set's own times count from its packet's; an end it does not give
  // may come with the packet.
  const uint32_t start = subtitle.start_display_time, end = subtitle.end_display_time;
  set.StartMs = setStartMs_ + (start < 60000 ? start : 0);
  if (end != std::numeric_limits<uint32_t>::max() && end > start && end - start <= 86400000u)
    set.EndMs = set.StartMs + (end - start);
  else if (packet.DurationMs > 0 && !SetsLastUntilNext())
    set.EndMs = set.StartMs + packet.DurationMs;
  // A DVB stream's display definition, then the decoder's own canvas.
  if (displayWidth_ > 0) {
    set.CanvasWidth = displayWidth_;
    set.CanvasHeight = displayHeight_;
  } else {
    set.CanvasWidth = SaneSide(context_->width) ? context_->width : canvasWidth_;
    set.CanvasHeight = SaneSide(context_->height) ? context_->height : canvasHeight_;
  }
  api_.avsubtitle_free(&subtitle);
  setPending_ = false;
  sets.push_back(std::move(set));
}

// The set's bitmaps, copied out of the decoder's; false when some were left
// out as beyond reason.
bool DisplaySetDecoder::TakeBitmaps(const void* decoded, SUBTITLEBITMAPS::DisplaySet& set) {
  const auto& subtitle = *static_cast<const AVSubtitle*>(decoded);
  bool whole = true;
  int64_t pixels = 0;
  for (unsigned k = 0; k < subtitle.num_rects; ++k) {
    const AVSubtitleRect* rect = subtitle.rects[k];
    if (rect == nullptr || rect->type != SUBTITLE_BITMAP) continue;
    if (!SaneSide(rect->w) || !SaneSide(rect->h) || rect->data[0] == nullptr ||
        rect->linesize[0] < rect->w || rect->x < 0 || rect->y < 0 || rect->x > kLargestSide ||
        rect->y > kLargestSide || pixels + int64_t(rect->w) * rect->h > kLargestSetPixels) {
      whole = false;
      continue;
    }
    pixels += int64_t(rect->w) * rect->h;
    SUBTITLEBITMAPS::Bitmap bitmap;
    bitmap.X = rect->x;
    bitmap.Y = rect->y;
    bitmap.Width = rect->w;
    bitmap.Height = rect->h;
    // Rows four bytes apart at least, as a picture library wants them.
    bitmap.Stride = (rect->w + 3) & ~3;
    bitmap.Indexes.assign(size_t(bitmap.Stride) * size_t(rect->h), 0);
    for (int y = 0; y < rect->h; ++y)
      std::memcpy(bitmap.Indexes.data() + size_t(y) * size_t(bitmap.Stride),
                  rect->data[0] + ptrdiff_t(y) * rect->linesize[0], size_t(rect->w));
    if (rect->data[1] != nullptr) {
      const int colours = std::clamp(rect->nb_colors, 0, 256);
      std::memcpy(bitmap.Palette.data(), rect->data[1], size_t(colours) * sizeof(uint32_t));
    }
    bitmap.Forced = (rect->flags & AV_SUBTITLE_FLAG_FORCED) != 0;
    set.Bitmaps.push_back(std::move(bitmap));
  }
  return whole;
}

bool IsPictureFileName(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(uint8_t(c)));
  return extension == "sup" || extension == "idx";
}

std::string ReadPictureFile(const VELAVCODEC::VelAvCodec& libraries, const std::string& path,
                            SUBTITLETRACK::TrackInfo& info,
                            std::vector<SUBTITLETRACK::TrackPacket>& packets,
                            std::string* unopened) {
  const VELAVCODEC::EntryPoints& api = libraries.Libraries();
  info = SUBTITLETRACK::TrackInfo{};
  packets.clear();
  if (unopened != nullptr) unopened->clear();
  AVFormatContext* format = nullptr;
  if (const int opened = api.avformat_open_input(&format, path.c_str(), nullptr, nullptr);
      opened < 0) {
    // An .idx that is there but misses its .sub: the library's own line
    // names the .sub, and the .idx is not to blame.
    std::error_code ignored;
    if (unopened != nullptr &&
        (opened != AVERROR(ENOENT) || !std::filesystem::exists(path, ignored))) {
      char reason[AV_ERROR_MAX_STRING_SIZE] = {};
      api.av_strerror(opened, reason, sizeof reason);
      *unopened = reason;
    }
    return "[PictureSubtitles] Can't open the subtitle file...";
  }
  std::string error;
  int chosen = -1;
  if (api.avformat_find_stream_info(format, nullptr) < 0) {
    error = "[PictureSubtitles] Can't read the subtitle file's streams...";
  } else {
    for (unsigned i = 0; i < format->nb_streams && chosen < 0; ++i)
      if (PictureCodecOf(format->streams[i]->codecpar->codec_id) != TrackCodec::None)
        chosen = int(i);
    if (chosen < 0) error = "[PictureSubtitles] The file holds no PGS, VobSub or DVB subtitles...";
  }
  if (chosen >= 0) {
    const AVStream* stream = format->streams[chosen];
    const AVCodecParameters* parameters = stream->codecpar;
    info.Codec = PictureCodecOf(parameters->codec_id);
    if (parameters->extradata != nullptr && parameters->extradata_size > 0)
      info.Header.assign(reinterpret_cast<const char*>(parameters->extradata),
                         size_t(parameters->extradata_size));
    info.CanvasWidth = SUBTITLETRACK::CanvasSideOf(parameters->width);
    info.CanvasHeight = SUBTITLETRACK::CanvasSideOf(parameters->height);
    info.Forced = (stream->disposition & AV_DISPOSITION_FORCED) != 0;
    AVPacket* packet = api.av_packet_alloc();
    int64_t bytes = 0;
    int read = packet != nullptr ? 0 : -1;
    while (read >= 0 && (read = api.av_read_frame(format, packet)) >= 0) {
      int64_t startMs = 0;
      if (packet->stream_index == chosen && packet->size > 0 &&
          MillisecondsOf(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts,
                         stream->time_base, startMs)) {
        bytes += packet->size;
        if (bytes > kLargestFileBytes) {
          error = "[PictureSubtitles] The subtitle file is too large...";
          read = -1;
        } else {
          SUBTITLETRACK::TrackPacket kept;
          kept.Text.assign(reinterpret_cast<const char*>(packet->data), size_t(packet->size));
          kept.StartMs = startMs;
          int64_t durationMs = 0;
          if (packet->duration > 0 &&
              MillisecondsOf(packet->duration, stream->time_base, durationMs))
            kept.DurationMs = durationMs;
          packets.push_back(std::move(kept));
        }
      }
      api.av_packet_unref(packet);
    }
    if (packet == nullptr)
      error = "[PictureSubtitles] Can't allocate memory for the subtitle file...";
    api.av_packet_free(&packet);
  }
  api.avformat_close_input(&format);
  if (error.empty() && packets.empty())
    error = "[PictureSubtitles] The subtitle file holds no subtitle pictures...";
  if (!error.empty()) packets.clear();
  return error;
}

}  // namespace DISPLAYSETDECODER
