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
#include <limits>
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
struct AVSubtitleRect;

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

// A cue whose packet has no duration (libavcodec's text decoders know no
// end but the packet's duration) lasts until the track's next packet that
// starts later, but no longer than this; the last such cue lasts exactly
// this. It is what the job gives such a cue when it draws it.
constexpr int64_t kLongestOpenCueMs = 5000;

// One track's conversion. Made, opened once, then fed the track's packets
// in the order the source has them, then finished.
class TextConversion {
 public:
  TextConversion();
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
  // the packets that are settled by it, in rising start order, often none
  // or one:
  // - WebVTT, SubRip, ASS: each cue as it is, once its end is known: from
  //   its packet's duration, else from the start of the next packet that
  //   starts later (the cue is held open until then, or until Finish). One
  //   cue is held open at a time; an open cue followed by another open one
  //   of the same start lasts kLongestOpenCueMs.
  // - mov_text shows one sample after the other, so cues that overlap (two
  //   lines starting together, a sign over speech) become one sample for
  //   each stretch between their starts and ends, holding the lines of all
  //   the cues showing in it; a stretch is handed over once no later packet
  //   can change it. At most 64 cues show at once; one more is skipped.
  // A packet that does not decode, that has no time, whose times do not fit
  // in 64 bits, or whose cue cannot be encoded is left out and counted in
  // Skipped() (for mov_text, each stretch that cannot be encoded is); one
  // that decodes to no text (mov_text's empty samples between cues, an
  // empty packet) is left out silently but still ends the cue held open.
  // False only when the sink returned false.
  bool Write(const AVPacket& in, const Sink& sink);

  // Hands over all that is still held: an open cue lasts kLongestOpenCueMs.
  // False only when the sink returned false.
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
  // A cue kept whole until the stretches it shows in are settled: its ASS
  // events as decoded, its times in timeBase_.
  struct Shown {
    std::vector<std::string> events;
    int64_t start = 0;
    int64_t end = 0;
    bool open = false;
  };
  // Sets cue's start and end (or open) from the decoded subtitle and its
  // packet; false when they do not fit in 64 bits.
  bool Time(const AVSubtitle& decoded, int64_t start, int64_t duration, Cue* cue);
  // Where an open cue ends: at the next packet's start, or at the longest.
  int64_t OpenEnd(int64_t start, int64_t next) const;
  // Nothing will start before next any more (AV_NOPTS_VALUE: the end):
  // ends the open cues and hands over all that is settled.
  bool Reach(int64_t next, const Sink& sink);
  bool HandHeld(int64_t next, const Sink& sink);
  bool Keep(const AVSubtitle& decoded, const Cue& cue);
  bool Settle(int64_t until, const Sink& sink);
  bool HandStretch(int64_t from, int64_t to, const Sink& sink);
  // Encodes the decoded subtitle into cue->bytes; false when it cannot be.
  bool Encode(const AVSubtitle& decoded, Cue* cue);
  bool Hand(const Cue& cue, const Sink& sink);

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
  // For a target that shows one sample after the other (mov_text): the
  // cues not yet handed over whole, and the time up to which all is.
  bool sequential_ = false;
  std::vector<Shown> showing_;
  int64_t settled_ = std::numeric_limits<int64_t>::min();
  // The stretch being encoded; kept so that they grow only.
  std::vector<std::string> joined_;
  std::vector<AVSubtitleRect> rects_;
  std::vector<AVSubtitleRect*> rectPointers_;
  int64_t skipped_ = 0;
};

}  // namespace SOFTTEXT
