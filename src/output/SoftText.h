#pragma once

// A source's text subtitle track carried into a container that cannot hold
// its codec as it is: MP4 holds text as mov_text alone and WebM as WebVTT
// alone, while an MP4 source's mov_text means nothing to Matroska. Each
// packet is decoded by libavcodec into its ASS form and encoded again in the
// container's codec, so that what both sides know of the style (italics,
// bold, underline, colour) goes along, and each cue keeps the start and end
// the source gave it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVCodecParameters;
struct AVOutputFormat;
struct AVPacket;
struct AVSubtitle;

namespace SOFTTEXT {

// The codec the container keeps the source's subtitle track as:
// - the source's own codec where avformat_query_codec says the container
//   takes it (picture codecs too: PGS in Matroska, VobSub in Matroska and
//   MP4);
// - else, for a text codec libavcodec can decode, the first of mov_text,
//   SubRip, WebVTT and ASS that the container takes and libavcodec can
//   encode: mov_text in MP4, SubRip in Matroska, WebVTT in WebM;
// - else AV_CODEC_ID_NONE: the container keeps no such track (a picture
//   codec it does not take, any subtitles in a container without a text
//   codec, a text codec that cannot be decoded).
// A null container keeps nothing.
AVCodecID KeptTextCodec(const AVOutputFormat* container, const AVCodecParameters& source);

// True when the codec is one that TextConversion reads: a text subtitle
// codec libavcodec decodes.
bool IsConvertibleText(AVCodecID codec);

// A cue whose packet has no duration, and whose decoder gives no end either,
// lasts until the track's next packet, but no longer than this; the last
// such cue lasts exactly this. It is what the job gives such a cue when it
// draws it.
constexpr int64_t kLongestOpenCueMs = 5000;

// One track's conversion. Made, opened once, then fed the track's packets
// in the order the source has them, then finished.
class TextConversion {
 public:
  TextConversion() = default;
  ~TextConversion();
  TextConversion(const TextConversion&) = delete;
  TextConversion& operator=(const TextConversion&) = delete;

  // source: the source stream's parameters (its extradata: an ASS script's
  // header, a mov_text sample description) and time base; target: the
  // codec to write, as KeptTextCodec gives it. Empty when the conversion is
  // ready, else why not, as a phrase for one log line ("the source's
  // subtitles cannot be decoded"). Opens once; a second call is refused.
  std::string Open(const AVCodecParameters& source, AVRational sourceTimeBase, AVCodecID target);

  // The output stream's parameters: the target codec and the header its
  // encoder gives (mov_text's sample description with the default style,
  // an ASS script's header; none for SubRip and WebVTT). False when the
  // conversion is not open or the parameters cannot be copied.
  bool FillParameters(AVCodecParameters* out) const;

  // The time base of the packets handed to the sink: the source's own, so
  // that no time is rounded on the way. The muxer may pick another for the
  // stream (MP4 takes the denominator alone); rescale each packet to the
  // stream's time base once the header is written.
  AVRational TimeBase() const { return timeBase_; }

  // Takes each converted packet: pts = dts = the cue's start, duration its
  // length (never 0), in TimeBase(), flagged a key packet. The packet is not
  // reference-counted and its data lives in the conversion: it is good for
  // the call alone, av_interleaved_write_frame and av_packet_ref copy it.
  // False stops the conversion.
  using Sink = std::function<bool(AVPacket* packet)>;

  // One source packet, its times in the source's time base. Hands the sink
  // zero, one or two packets, in rising start order: the cue held open
  // before (whose end this packet's start gives), then this packet's own
  // cue when its end is known (from its duration, else from what the
  // decoder gives); a cue of unknown end is held for the next packet or
  // Finish. A packet that does not decode, that has no time, or whose cue
  // cannot be encoded is left out and counted in Skipped(); one that
  // decodes to no text (mov_text's empty samples between cues) is left out
  // silently. False only when the sink returned false.
  bool Write(const AVPacket& in, const Sink& sink);

  // Hands over a cue still held open, lasting kLongestOpenCueMs. False only
  // when the sink returned false.
  bool Finish(const Sink& sink);

  // Source packets left out because they could not be converted.
  int64_t Skipped() const { return skipped_; }

 private:
  // A cue encoded in the target codec, its times in timeBase_.
  struct Cue {
    std::vector<uint8_t> bytes;
    int size = 0;
    int64_t start = 0;
    int64_t end = 0;  // 0 with open set: not known yet
    bool open = false;
  };
  // Encodes the decoded subtitle into cue->bytes; false when it cannot be.
  bool Encode(const AVSubtitle& decoded, Cue* cue);
  bool Hand(const Cue& cue, const Sink& sink);
  bool CloseHeld(int64_t next, const Sink& sink);

  AVCodecContext* decoder_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  AVPacket* packet_ = nullptr;       // what the sink is given, made once
  AVPacket* input_ = nullptr;        // the source packet as the decoder is given it
  std::vector<uint8_t> inputBytes_;  // its bytes, padded; grows only
  AVRational timeBase_{1, 1000};
  int64_t longestOpen_ = 0;  // kLongestOpenCueMs in timeBase_
  // The cue being made and the one held open; swapped, so that their
  // buffers are made once and grow only for a cue larger than any before.
  Cue current_;
  Cue held_;
  int64_t skipped_ = 0;
};

}  // namespace SOFTTEXT
