#include "output/SoftText.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

namespace SOFTTEXT {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
// A cue's first buffer holds any cue mov_text can (65535 bytes of text and
// its style records); a larger one doubles it, up to a bound no real cue
// comes near.
constexpr size_t kFirstCueBytes = 128 * 1024;
constexpr size_t kLargestCueBytes = 4 * 1024 * 1024;
// A source packet beyond this is no cue but a damaged file.
constexpr int kLargestPacket = 1024 * 1024;
// Cues showing at once in one mov_text sample; a file with more is damaged
// or hostile, and each stretch costs all of them.
constexpr size_t kMostShowing = 64;

bool Takes(const AVOutputFormat* container, AVCodecID codec) {
  return avformat_query_codec(container, codec, FF_COMPLIANCE_NORMAL) == 1;
}

bool IsTextCodec(AVCodecID codec) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
  return descriptor != nullptr && descriptor->type == AVMEDIA_TYPE_SUBTITLE &&
         (descriptor->props & AV_CODEC_PROP_TEXT_SUB) != 0;
}

std::string NameOf(AVCodecID codec) { return avcodec_get_name(codec); }

// a + b, or nothing where it would not fit.
bool Add(int64_t a, int64_t b, int64_t* sum) {
  if ((b > 0 && a > std::numeric_limits<int64_t>::max() - b) ||
      (b < 0 && a < std::numeric_limits<int64_t>::min() + 1 - b))
    return false;
  *sum = a + b;
  return true;
}

}  // namespace

bool IsConvertibleText(AVCodecID codec) {
  return IsTextCodec(codec) && avcodec_find_decoder(codec) != nullptr;
}

AVCodecID KeptTextCodec(const AVOutputFormat* container, const AVCodecParameters& source) {
  if (container == nullptr || avcodec_get_type(source.codec_id) != AVMEDIA_TYPE_SUBTITLE)
    return AV_CODEC_ID_NONE;
  if (Takes(container, source.codec_id)) return source.codec_id;
  if (!IsConvertibleText(source.codec_id)) return AV_CODEC_ID_NONE;
  // mov_text first: MP4's own; SubRip before WebVTT and ASS because every
  // Matroska reader shows it and it keeps the inline styles.
  for (AVCodecID codec :
       {AV_CODEC_ID_MOV_TEXT, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_WEBVTT, AV_CODEC_ID_ASS}) {
    if (Takes(container, codec) && avcodec_find_encoder(codec) != nullptr) return codec;
  }
  return AV_CODEC_ID_NONE;
}

TextConversion::TextConversion() = default;

TextConversion::~TextConversion() {
  avcodec_free_context(&decoder_);
  avcodec_free_context(&encoder_);
  av_packet_free(&packet_);
  av_packet_free(&input_);
}

std::string TextConversion::Open(const AVCodecParameters& source, AVRational sourceTimeBase,
                                 AVCodecID target) {
  if (decoder_ != nullptr || encoder_ != nullptr) return "the conversion is open already";
  if (!IsConvertibleText(source.codec_id))
    return "the source's " + NameOf(source.codec_id) + " subtitles are not text that can be read";
  if (sourceTimeBase.num <= 0 || sourceTimeBase.den <= 0)
    return "the source's subtitle track has no valid time base";
  const AVCodec* encoding = IsTextCodec(target) ? avcodec_find_encoder(target) : nullptr;
  if (encoding == nullptr) return "there is no text encoder for " + NameOf(target);
  const AVCodec* decoding = avcodec_find_decoder(source.codec_id);

  // A failure leaves nothing half made, so that Write refuses everything.
  struct Undo {
    TextConversion* self;
    bool done = false;
    ~Undo() {
      if (done) return;
      avcodec_free_context(&self->decoder_);
      avcodec_free_context(&self->encoder_);
    }
  } undo{this};

  decoder_ = avcodec_alloc_context3(decoding);
  if (decoder_ == nullptr || avcodec_parameters_to_context(decoder_, &source) < 0)
    return "no memory for the subtitle decoder";
  // The decoder turns a packet's duration into the cue's end only with it.
  decoder_->pkt_timebase = sourceTimeBase;
  if (avcodec_open2(decoder_, decoding, nullptr) < 0)
    return "the source's " + NameOf(source.codec_id) + " subtitles cannot be decoded";

  encoder_ = avcodec_alloc_context3(encoding);
  if (encoder_ == nullptr) return "no memory for the subtitle encoder";
  encoder_->time_base = sourceTimeBase;
  // The encoders look up each cue's named style (an ASS script's italic
  // style, mov_text's default font) in the header the decoder made.
  if (decoder_->subtitle_header != nullptr && decoder_->subtitle_header_size > 0) {
    const int size = decoder_->subtitle_header_size;
    auto* header = static_cast<uint8_t*>(av_mallocz(size_t(size) + 1));
    if (header == nullptr) return "no memory for the subtitle encoder";
    std::memcpy(header, decoder_->subtitle_header, size_t(size));
    encoder_->subtitle_header = header;
    encoder_->subtitle_header_size = size;
  }
  if (avcodec_open2(encoder_, encoding, nullptr) < 0)
    return "the " + NameOf(target) + " encoder cannot be opened";

  if (packet_ == nullptr) packet_ = av_packet_alloc();
  if (input_ == nullptr) input_ = av_packet_alloc();
  if (packet_ == nullptr || input_ == nullptr) return "no memory for the subtitle packets";
  current_.bytes.assign(kFirstCueBytes, 0);
  held_.bytes.assign(kFirstCueBytes, 0);
  held_.open = false;
  timeBase_ = sourceTimeBase;
  // An MP4 text track shows one sample at a time.
  sequential_ = target == AV_CODEC_ID_MOV_TEXT;
  longestOpen_ = std::max<int64_t>(1, av_rescale_q(kLongestOpenCueMs, kMilliseconds, timeBase_));
  undo.done = true;
  return {};
}

bool TextConversion::FillParameters(AVCodecParameters* out) const {
  if (encoder_ == nullptr || out == nullptr) return false;
  return avcodec_parameters_from_context(out, encoder_) >= 0;
}

bool TextConversion::Write(const AVPacket& in, const Sink& sink) {
  const int64_t start = in.pts != AV_NOPTS_VALUE ? in.pts : in.dts;
  if (encoder_ == nullptr || start == AV_NOPTS_VALUE) {
    ++skipped_;
    return true;
  }
  // Any timed packet ends the cues held open, even one with no text: an MP4
  // track's empty sample is exactly where the cue before it ends.
  if (!Reach(start, sink)) return false;
  if (in.size <= 0 || in.data == nullptr) return true;
  if (in.size > kLargestPacket) {
    ++skipped_;
    return true;
  }

  // The text decoders read the packet as a string up to its end and past
  // it into the padding, which a packet not made by libavformat may lack.
  const size_t padded = size_t(in.size) + AV_INPUT_BUFFER_PADDING_SIZE;
  if (inputBytes_.size() < padded) inputBytes_.resize(padded);
  std::memcpy(inputBytes_.data(), in.data, size_t(in.size));
  std::memset(inputBytes_.data() + in.size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  av_packet_unref(input_);
  input_->data = inputBytes_.data();
  input_->size = in.size;
  input_->pts = in.pts;
  input_->dts = in.dts;
  input_->duration = in.duration;

  AVSubtitle decoded{};
  int got = 0;
  const int result = avcodec_decode_subtitle2(decoder_, &decoded, &got, input_);
  av_packet_unref(input_);
  const bool hasText = result >= 0 && got != 0 && decoded.num_rects > 0;
  Cue& cue = current_;
  bool timed = hasText && Time(decoded, start, in.duration, &cue);
  if (timed && sequential_) {
    timed = Keep(decoded, cue);
  } else if (timed) {
    timed = Encode(decoded, &cue);
  }
  avsubtitle_free(&decoded);
  if (result < 0 || (hasText && !timed)) {
    ++skipped_;
    return true;
  }
  if (!hasText || sequential_ || cue.size == 0) return true;
  if (!cue.open) return Hand(cue, sink);
  // One cue is held open at a time: an open one of the same start before
  // it gets the longest time.
  if (held_.open && !HandHeld(AV_NOPTS_VALUE, sink)) return false;
  std::swap(current_, held_);
  return true;
}

bool TextConversion::HandHeld(int64_t next, const Sink& sink) {
  held_.open = false;
  held_.end = OpenEnd(held_.start, next);
  return held_.end <= held_.start || Hand(held_, sink);
}

bool TextConversion::Finish(const Sink& sink) { return Reach(AV_NOPTS_VALUE, sink); }

bool TextConversion::Time(const AVSubtitle& decoded, int64_t start, int64_t duration, Cue* cue) {
  cue->open = false;
  if (!Add(start, av_rescale_q(decoded.start_display_time, kMilliseconds, timeBase_), &cue->start))
    return false;
  // The packet's own duration is exact in the source's time base. The
  // decoder's end is in milliseconds, and libavcodec's text decoders make it
  // from that duration alone: a packet without one leaves the cue open.
  const bool endless = decoded.end_display_time == 0 ||
                       decoded.end_display_time == std::numeric_limits<uint32_t>::max() ||
                       decoded.end_display_time <= decoded.start_display_time;
  bool timed = true;
  if (duration > 0)
    timed = Add(start, duration, &cue->end);
  else if (!endless)
    timed = Add(start, av_rescale_q(decoded.end_display_time, kMilliseconds, timeBase_), &cue->end);
  else
    cue->open = true;
  if (timed && !cue->open && cue->end <= cue->start) cue->open = true;
  return timed;
}

int64_t TextConversion::OpenEnd(int64_t start, int64_t next) const {
  int64_t end = 0;
  if (!Add(start, longestOpen_, &end)) end = std::numeric_limits<int64_t>::max();
  if (next != AV_NOPTS_VALUE && next > start && next < end) end = next;
  return end;
}

bool TextConversion::Reach(int64_t next, const Sink& sink) {
  // A packet of the same start (the second line of two that show
  // together) does not end an open cue; the next later one does.
  const auto ends = [next](int64_t start) { return next == AV_NOPTS_VALUE || next > start; };
  if (!sequential_) return !held_.open || !ends(held_.start) || HandHeld(next, sink);
  for (Shown& shown : showing_) {
    if (!shown.open || !ends(shown.start)) continue;
    shown.open = false;
    shown.end = OpenEnd(shown.start, next);
  }
  return Settle(next == AV_NOPTS_VALUE ? std::numeric_limits<int64_t>::max() : next, sink);
}

bool TextConversion::Keep(const AVSubtitle& decoded, const Cue& cue) {
  if (showing_.size() >= kMostShowing) return false;
  Shown shown;
  shown.start = cue.start;
  shown.end = cue.end;
  shown.open = cue.open;
  for (unsigned i = 0; i < decoded.num_rects; ++i) {
    const AVSubtitleRect* rect = decoded.rects[i];
    if (rect == nullptr || rect->type != SUBTITLE_ASS || rect->ass == nullptr) return false;
    shown.events.emplace_back(rect->ass);
  }
  showing_.push_back(std::move(shown));
  return true;
}

// Every cue shows from its start to its end; a target that shows one sample
// after the other gets a sample for each stretch between two of those times,
// holding the text of all the cues showing then, so that a sign and a line
// of speech that start together both show for as long as each lasts.
bool TextConversion::Settle(int64_t until, const Sink& sink) {
  while (!showing_.empty()) {
    int64_t from = std::numeric_limits<int64_t>::max();
    for (const Shown& shown : showing_) from = std::min(from, shown.start);
    from = std::max(from, settled_);
    if (from >= until) return true;
    // A stretch ends where a cue starts or ends, and is settled once it
    // ends by until: a packet that changes nothing splits no sample.
    int64_t to = std::numeric_limits<int64_t>::max();
    bool bounded = false;
    for (const Shown& shown : showing_) {
      for (int64_t time : {shown.start, shown.open ? from : shown.end}) {
        if (time <= from || time > to) continue;
        to = time;
        bounded = true;
      }
    }
    if (!bounded || to > until) return true;
    if (!HandStretch(from, to, sink)) return false;
    settled_ = to;
    showing_.erase(
        std::remove_if(showing_.begin(), showing_.end(),
                       [&](const Shown& shown) { return !shown.open && shown.end <= to; }),
        showing_.end());
  }
  return true;
}

bool TextConversion::HandStretch(int64_t from, int64_t to, const Sink& sink) {
  // The text of each cue after the first goes on a line of its own; the
  // events' own fields (style, margins) stay as the decoder gave them.
  joined_.clear();
  for (const Shown& shown : showing_) {
    if (shown.open || shown.start > from || shown.end <= from) continue;
    for (const std::string& event : shown.events) {
      joined_.push_back(event);
      if (joined_.size() == 1) continue;
      size_t text = 0;
      for (int field = 0; field < 8 && text != std::string::npos; ++field) {
        text = joined_.back().find(',', text);
        if (text != std::string::npos) ++text;
      }
      if (text != std::string::npos) joined_.back().insert(text, "\\N");
    }
  }
  if (joined_.empty()) return true;
  rects_.resize(joined_.size());
  rectPointers_.resize(joined_.size());
  for (size_t i = 0; i < joined_.size(); ++i) {
    rects_[i] = AVSubtitleRect{};
    rects_[i].type = SUBTITLE_ASS;
    rects_[i].ass = joined_[i].data();
    rectPointers_[i] = &rects_[i];
  }
  AVSubtitle stretch{};
  stretch.num_rects = unsigned(rectPointers_.size());
  stretch.rects = rectPointers_.data();
  Cue& cue = current_;
  cue.start = from;
  cue.end = to;
  if (!Encode(stretch, &cue)) {
    ++skipped_;
    return true;
  }
  return cue.size == 0 || Hand(cue, sink);
}

bool TextConversion::Encode(const AVSubtitle& decoded, Cue* cue) {
  // The encoders refuse a subtitle that does not start at its packet; the
  // start is carried in the packet's time instead.
  AVSubtitle shifted = decoded;
  shifted.start_display_time = 0;
  for (;;) {
    const int size =
        avcodec_encode_subtitle(encoder_, cue->bytes.data(), int(cue->bytes.size()), &shifted);
    if (size >= 0) {
      cue->size = size;
      return true;
    }
    if (size != AVERROR_BUFFER_TOO_SMALL || cue->bytes.size() >= kLargestCueBytes) return false;
    cue->bytes.resize(cue->bytes.size() * 2);
  }
}

bool TextConversion::Hand(const Cue& cue, const Sink& sink) {
  av_packet_unref(packet_);
  packet_->data = const_cast<uint8_t*>(cue.bytes.data());
  packet_->size = cue.size;
  packet_->pts = cue.start;
  packet_->dts = cue.start;
  packet_->duration = cue.end - cue.start;
  packet_->flags = AV_PKT_FLAG_KEY;
  const bool taken = sink(packet_);
  // Not reference-counted: this forgets the pointers, the bytes stay ours.
  av_packet_unref(packet_);
  return taken;
}

}  // namespace SOFTTEXT
