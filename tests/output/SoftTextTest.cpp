// A text subtitle track converted for a container that cannot hold its
// codec: sources made with ffmpeg from small SubRip and ASS scripts, their
// packets converted and muxed into real MP4, WebM and Matroska files, and
// those files read back and decoded: the same cues, their styles where the
// target can carry them, and each start and end to the millisecond.
#include "output/SoftText.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace {

using SOFTTEXT::KeptTextCodec;
using SOFTTEXT::TextConversion;
using testsupport::fs::path;

// What a reader shows: a cue's times in milliseconds and its ASS text.
struct Shown {
  int64_t start = 0;
  int64_t end = 0;
  std::string text;
};

// The cues every source below is made of: an inline italic, two rows, and
// one bold and italic.
const char* const kSubRip =
    "1\n00:00:01,234 --> 00:00:02,345\n<i>Leaning</i> words\n\n"
    "2\n00:00:03,001 --> 00:00:04,999\nPlain row one\nrow two\n\n"
    "3\n00:00:05,500 --> 00:00:06,250\n<b>Bold</b> and <i>slanted</i>\n";
const std::vector<Shown> kSubRipCues = {{1234, 2345, "Leaning words"},
                                        {3001, 4999, "Plain row one\nrow two"},
                                        {5500, 6250, "Bold and slanted"}};

// The second cue takes its italics from its style alone.
const char* const kAss =
    "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n"
    "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
    "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
    "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
    "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,"
    "1,1,0,2,10,10,10,1\n"
    "Style: Slanted,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,-1,0,0,100,100,0,0,"
    "1,1,0,2,10,10,10,1\n\n"
    "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: 0,0:00:01.23,0:00:02.34,Default,,0,0,0,,{\\i1}Leaning{\\i0} words\n"
    "Dialogue: 0,0:00:03.00,0:00:04.99,Slanted,,0,0,0,,Whole line slanted\n"
    "Dialogue: 0,0:00:05.50,0:00:06.25,Default,,0,0,0,,Plain\\Nsecond row\n";
const std::vector<Shown> kAssCues = {{1230, 2340, "Leaning words"},
                                     {3000, 4990, "Whole line slanted"},
                                     {5500, 6250, "Plain\nsecond row"}};

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ParametersFree {
  void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Parameters = std::unique_ptr<AVCodecParameters, ParametersFree>;

// A file's first subtitle track: its parameters, time base and packets.
struct Track {
  Parameters parameters{avcodec_parameters_alloc()};
  AVRational timeBase{0, 1};
  std::vector<Packet> packets;
};

Track ReadTrack(const path& file) {
  Track track;
  AVFormatContext* opened = nullptr;
  EXPECT_EQ(avformat_open_input(&opened, file.c_str(), nullptr, nullptr), 0) << file;
  std::unique_ptr<AVFormatContext, FormatCloser> context(opened);
  if (!context || avformat_find_stream_info(context.get(), nullptr) < 0) return track;
  const int index = av_find_best_stream(context.get(), AVMEDIA_TYPE_SUBTITLE, -1, -1, nullptr, 0);
  EXPECT_GE(index, 0) << file << " has no subtitle track";
  if (index < 0) return track;
  const AVStream* stream = context->streams[index];
  avcodec_parameters_copy(track.parameters.get(), stream->codecpar);
  track.timeBase = stream->time_base;
  for (Packet packet(av_packet_alloc()); av_read_frame(context.get(), packet.get()) >= 0;
       packet.reset(av_packet_alloc())) {
    if (packet->stream_index == index)
      track.packets.push_back(std::move(packet));
    else
      av_packet_unref(packet.get());
  }
  return track;
}

// The ASS event's text: what follows its eight leading fields.
std::string EventText(const char* event) {
  std::string text = event != nullptr ? event : "";
  size_t at = 0;
  for (int field = 0; field < 8 && at != std::string::npos; ++field) {
    at = text.find(',', at);
    if (at != std::string::npos) ++at;
  }
  return at == std::string::npos ? std::string() : text.substr(at);
}

// The text without override blocks, \N as a line break.
std::string Plain(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      const size_t close = text.find('}', i);
      if (close != std::string::npos) {
        i = close;
        continue;
      }
    }
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'N' || text[i + 1] == 'n')) {
      plain += '\n';
      ++i;
      continue;
    }
    plain += text[i];
  }
  while (!plain.empty() && (plain.back() == '\n' || plain.back() == ' ')) plain.pop_back();
  return plain;
}

// Every cue a reader shows of the track: decoded, empty samples left out.
std::vector<Shown> Decode(const Track& track) {
  std::vector<Shown> shown;
  const AVCodec* codec = avcodec_find_decoder(track.parameters->codec_id);
  EXPECT_NE(codec, nullptr);
  if (codec == nullptr) return shown;
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, track.parameters.get());
  decoder->pkt_timebase = track.timeBase;
  EXPECT_EQ(avcodec_open2(decoder, codec, nullptr), 0);
  for (const Packet& packet : track.packets) {
    AVSubtitle subtitle{};
    int got = 0;
    if (avcodec_decode_subtitle2(decoder, &subtitle, &got, packet.get()) >= 0 && got) {
      std::string text;
      for (unsigned i = 0; i < subtitle.num_rects; ++i) text += EventText(subtitle.rects[i]->ass);
      if (!Plain(text).empty()) {
        const int64_t start = av_rescale_q(packet->pts, track.timeBase, AVRational{1, 1000});
        const int64_t end =
            av_rescale_q(packet->pts + packet->duration, track.timeBase, AVRational{1, 1000});
        shown.push_back({start, end, text});
      }
    }
    avsubtitle_free(&subtitle);
  }
  avcodec_free_context(&decoder);
  return shown;
}

void ExpectSameCues(const std::vector<Shown>& shown, const std::vector<Shown>& expected) {
  ASSERT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    SCOPED_TRACE("cue " + std::to_string(i + 1));
    EXPECT_EQ(Plain(shown[i].text), expected[i].text) << shown[i].text;
    EXPECT_EQ(shown[i].start, expected[i].start);
    EXPECT_EQ(shown[i].end, expected[i].end);
  }
}

// What converting a track into a file gave.
struct Written {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int packets = 0;
  int64_t skipped = 0;
  std::vector<uint8_t> extradata;
};

// Converts the track for the container the file's name says, as the
// muxer's caller does: the stream takes the conversion's parameters, each
// packet is rescaled to the stream's time base and interleaved.
Written ConvertInto(const Track& track, const path& file) {
  Written written;
  AVFormatContext* made = nullptr;
  EXPECT_GE(avformat_alloc_output_context2(&made, nullptr, nullptr, file.c_str()), 0);
  if (made == nullptr) return written;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> context(made,
                                                                       [](AVFormatContext* c) {
                                                                         if (c->pb != nullptr)
                                                                           avio_closep(&c->pb);
                                                                         avformat_free_context(c);
                                                                       });
  written.codec = KeptTextCodec(context->oformat, *track.parameters);
  TextConversion conversion;
  const std::string problem = conversion.Open(*track.parameters, track.timeBase, written.codec);
  EXPECT_EQ(problem, "");
  if (!problem.empty()) return written;
  AVStream* stream = avformat_new_stream(context.get(), nullptr);
  EXPECT_TRUE(conversion.FillParameters(stream->codecpar));
  written.extradata.assign(stream->codecpar->extradata,
                           stream->codecpar->extradata + stream->codecpar->extradata_size);
  stream->time_base = conversion.TimeBase();
  EXPECT_GE(avio_open(&context->pb, file.c_str(), AVIO_FLAG_WRITE), 0);
  EXPECT_GE(avformat_write_header(context.get(), nullptr), 0);
  const TextConversion::Sink mux = [&](AVPacket* packet) {
    EXPECT_GT(packet->duration, 0);
    av_packet_rescale_ts(packet, conversion.TimeBase(), stream->time_base);
    packet->stream_index = stream->index;
    ++written.packets;
    return av_interleaved_write_frame(context.get(), packet) >= 0;
  };
  for (const Packet& packet : track.packets) EXPECT_TRUE(conversion.Write(*packet, mux));
  EXPECT_TRUE(conversion.Finish(mux));
  EXPECT_EQ(av_write_trailer(context.get()), 0);
  written.skipped = conversion.Skipped();
  return written;
}

// The packets the conversion hands over, kept as copies.
std::vector<Packet> Converted(TextConversion& conversion, const std::vector<const AVPacket*>& in) {
  std::vector<Packet> out;
  const TextConversion::Sink keep = [&](AVPacket* packet) {
    out.emplace_back(av_packet_alloc());
    return av_packet_ref(out.back().get(), packet) == 0;
  };
  for (const AVPacket* packet : in) EXPECT_TRUE(conversion.Write(*packet, keep));
  EXPECT_TRUE(conversion.Finish(keep));
  return out;
}

class SoftTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(dir_ / "cues.srt", kSubRip);
    testsupport::WriteFile(dir_ / "cues.ass", kAss);
  }
  // A source made by ffmpeg from one of the scripts.
  path Made(const std::string& name, const std::string& arguments) {
    const path file = dir_ / name;
    testsupport::Ffmpeg(arguments + " '" + file.string() + "'");
    return file;
  }
  path In(const std::string& name) const { return dir_ / name; }
  testsupport::TempDir dir_;
};

bool HasItalic(const Shown& cue, const std::string& word) {
  return cue.text.find("{\\i1}" + word) != std::string::npos;
}

TEST_F(SoftTextTest, SubRipFromMatroskaBecomesMovTextAndWebVttWithItalicsAndExactTimes) {
  const Track source = ReadTrack(Made("srt.mkv", "-i '" + In("cues.srt").string() + "' -c:s copy"));
  ASSERT_EQ(source.parameters->codec_id, AV_CODEC_ID_SUBRIP);
  ExpectSameCues(Decode(source), kSubRipCues);

  for (const char* name : {"out.mp4", "out.webm"}) {
    SCOPED_TRACE(name);
    const Written written = ConvertInto(source, In(name));
    EXPECT_EQ(written.packets, 3);
    EXPECT_EQ(written.skipped, 0);
    const Track result = ReadTrack(In(name));
    EXPECT_EQ(result.parameters->codec_id, written.codec);
    const std::vector<Shown> shown = Decode(result);
    ExpectSameCues(shown, kSubRipCues);
    if (shown.size() != 3) continue;
    EXPECT_TRUE(HasItalic(shown[0], "Leaning")) << shown[0].text;
    EXPECT_FALSE(HasItalic(shown[0], "Leaning words")) << "the italics end after the word";
    EXPECT_TRUE(HasItalic(shown[2], "slanted")) << shown[2].text;
    EXPECT_NE(shown[2].text.find("{\\b1}Bold"), std::string::npos) << shown[2].text;
    EXPECT_EQ(shown[1].text.find("{\\i1}"), std::string::npos) << shown[1].text;
  }
  EXPECT_EQ(ConvertInto(source, In("out.mp4")).codec, AV_CODEC_ID_MOV_TEXT);
  EXPECT_EQ(ConvertInto(source, In("out.webm")).codec, AV_CODEC_ID_WEBVTT);
}

TEST_F(SoftTextTest, AssKeepsInlineAndStyleItalicsInMp4AndWebM) {
  // From Matroska in milliseconds, and from the script itself in the
  // centiseconds ASS counts in.
  Track fromMatroska = ReadTrack(Made("ass.mkv", "-i '" + In("cues.ass").string() + "' -c:s copy"));
  Track fromScript = ReadTrack(In("cues.ass"));
  ASSERT_EQ(av_cmp_q(fromScript.timeBase, AVRational{1, 100}), 0);
  for (const auto& [source, name] : {std::pair{&fromMatroska, "out.mp4"},
                                     {&fromMatroska, "out.webm"},
                                     {&fromScript, "script.mp4"},
                                     {&fromScript, "script.webm"}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(source->parameters->codec_id, AV_CODEC_ID_ASS);
    const Written written = ConvertInto(*source, In(name));
    EXPECT_EQ(written.packets, 3);
    const std::vector<Shown> shown = Decode(ReadTrack(In(name)));
    ExpectSameCues(shown, kAssCues);
    if (shown.size() != 3) continue;
    EXPECT_TRUE(HasItalic(shown[0], "Leaning")) << shown[0].text;
    EXPECT_TRUE(HasItalic(shown[1], "Whole")) << "the style's italics: " << shown[1].text;
    EXPECT_EQ(shown[2].text.find("{\\i1}"), std::string::npos) << shown[2].text;
  }
}

TEST_F(SoftTextTest, CuesWithoutDurationsEndWhereTheNextStarts) {
  Track source = ReadTrack(Made("srt.mkv", "-i '" + In("cues.srt").string() + "' -c:s copy"));
  for (Packet& packet : source.packets) packet->duration = 0;
  for (const char* name : {"open.mp4", "open.webm"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ConvertInto(source, In(name)).packets, 3);
    ExpectSameCues(Decode(ReadTrack(In(name))),
                   {{1234, 3001, "Leaning words"},
                    {3001, 5500, "Plain row one\nrow two"},
                    {5500, 5500 + SOFTTEXT::kLongestOpenCueMs, "Bold and slanted"}});
  }
}

TEST_F(SoftTextTest, CuesStartingTogetherAreAllWritten) {
  testsupport::WriteFile(In("together.srt"),
                         "1\n00:00:01,000 --> 00:00:03,000\nsign\n\n"
                         "2\n00:00:01,000 --> 00:00:02,000\nspeech\n\n"
                         "3\n00:00:03,500 --> 00:00:04,000\nafter\n");
  const Track source = ReadTrack(In("together.srt"));
  // WebM shows cues over each other as they are.
  EXPECT_EQ(ConvertInto(source, In("together.webm")).packets, 3);
  ExpectSameCues(Decode(ReadTrack(In("together.webm"))),
                 {{1000, 3000, "sign"}, {1000, 2000, "speech"}, {3500, 4000, "after"}});
  // An MP4 text track is one sample after the other: a sample for each
  // stretch, holding the lines of all the cues showing in it.
  EXPECT_EQ(ConvertInto(source, In("together.mp4")).packets, 3);
  ExpectSameCues(Decode(ReadTrack(In("together.mp4"))),
                 {{1000, 2000, "sign\nspeech"}, {2000, 3000, "sign"}, {3500, 4000, "after"}});
}

TEST_F(SoftTextTest, MovTextFromMp4BecomesSubRipInMatroskaAndWebVttInWebM) {
  const Track source =
      ReadTrack(Made("mov_text.mp4", "-i '" + In("cues.srt").string() + "' -c:s mov_text"));
  ASSERT_EQ(source.parameters->codec_id, AV_CODEC_ID_MOV_TEXT);
  // The MP4 holds empty samples in the gaps; they are no cues and no faults.
  ASSERT_GT(source.packets.size(), 3u);
  for (const char* name : {"out.mkv", "out.webm"}) {
    SCOPED_TRACE(name);
    const Written written = ConvertInto(source, In(name));
    EXPECT_EQ(written.packets, 3);
    EXPECT_EQ(written.skipped, 0);
    const std::vector<Shown> shown = Decode(ReadTrack(In(name)));
    ExpectSameCues(shown, kSubRipCues);
    if (shown.size() == 3) {
      EXPECT_TRUE(HasItalic(shown[0], "Leaning")) << shown[0].text;
    }
  }
  EXPECT_EQ(ConvertInto(source, In("out.mkv")).codec, AV_CODEC_ID_SUBRIP);
}

TEST_F(SoftTextTest, WebVttFileBecomesMovTextWithItsSampleDescription) {
  const Track source = ReadTrack(Made("cues.vtt", "-i '" + In("cues.srt").string() + "'"));
  ASSERT_EQ(source.parameters->codec_id, AV_CODEC_ID_WEBVTT);
  const Written written = ConvertInto(source, In("out.mp4"));
  EXPECT_EQ(written.codec, AV_CODEC_ID_MOV_TEXT);
  // The sample description: display flags, justification, colour, box,
  // style record and font table; 38 bytes at the least.
  EXPECT_GE(written.extradata.size(), 38u);
  const std::vector<Shown> shown = Decode(ReadTrack(In("out.mp4")));
  ExpectSameCues(shown, kSubRipCues);
  if (shown.size() == 3) {
    EXPECT_TRUE(HasItalic(shown[0], "Leaning")) << shown[0].text;
  }
}

}  // namespace

// Packets made here rather than by a demuxer: exactly as long as their text,
// without the padding libavformat gives. A deque, so that the packets' data
// stays where it is as more are added.
struct HandMade {
  std::deque<std::string> bytes;
  std::vector<Packet> packets;
  const AVPacket* Add(const std::string& data, int64_t pts, int64_t duration) {
    bytes.push_back(data);
    packets.emplace_back(av_packet_alloc());
    AVPacket* packet = packets.back().get();
    packet->data = reinterpret_cast<uint8_t*>(bytes.back().data());
    packet->size = int(bytes.back().size());
    packet->pts = packet->dts = pts;
    packet->duration = duration;
    return packet;
  }
  std::vector<const AVPacket*> All() const {
    std::vector<const AVPacket*> all;
    for (const Packet& packet : packets) all.push_back(packet.get());
    return all;
  }
};

Parameters ParametersOf(AVCodecID codec) {
  Parameters parameters(avcodec_parameters_alloc());
  parameters->codec_type = AVMEDIA_TYPE_SUBTITLE;
  parameters->codec_id = codec;
  return parameters;
}

// (start, duration) of each packet.
std::vector<std::pair<int64_t, int64_t>> Times(const std::vector<Packet>& packets) {
  std::vector<std::pair<int64_t, int64_t>> times;
  for (const Packet& packet : packets) times.emplace_back(packet->pts, packet->duration);
  return times;
}

TEST(KeptTextCodecTest, EachContainerKeepsWhatItTakesAndTextInItsOwnCodec) {
  const AVOutputFormat* matroska = av_guess_format("matroska", nullptr, nullptr);
  const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
  const AVOutputFormat* webm = av_guess_format("webm", nullptr, nullptr);
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  ASSERT_TRUE(matroska && mp4 && webm && avi);
  struct Case {
    const AVOutputFormat* container;
    AVCodecID source;
    AVCodecID kept;
  };
  const Case cases[] = {
      // Matroska holds the text codecs as they are and mov_text as SubRip.
      {matroska, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_SUBRIP},
      {matroska, AV_CODEC_ID_ASS, AV_CODEC_ID_ASS},
      {matroska, AV_CODEC_ID_WEBVTT, AV_CODEC_ID_WEBVTT},
      {matroska, AV_CODEC_ID_MOV_TEXT, AV_CODEC_ID_SUBRIP},
      {matroska, AV_CODEC_ID_HDMV_PGS_SUBTITLE, AV_CODEC_ID_HDMV_PGS_SUBTITLE},
      {matroska, AV_CODEC_ID_DVD_SUBTITLE, AV_CODEC_ID_DVD_SUBTITLE},
      // MP4 holds text as mov_text alone, pictures as VobSub alone.
      {mp4, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_MOV_TEXT},
      {mp4, AV_CODEC_ID_ASS, AV_CODEC_ID_MOV_TEXT},
      {mp4, AV_CODEC_ID_WEBVTT, AV_CODEC_ID_MOV_TEXT},
      {mp4, AV_CODEC_ID_TEXT, AV_CODEC_ID_MOV_TEXT},
      {mp4, AV_CODEC_ID_MOV_TEXT, AV_CODEC_ID_MOV_TEXT},
      {mp4, AV_CODEC_ID_HDMV_PGS_SUBTITLE, AV_CODEC_ID_NONE},
      {mp4, AV_CODEC_ID_DVD_SUBTITLE, AV_CODEC_ID_DVD_SUBTITLE},
      // WebM holds text as WebVTT alone and no pictures.
      {webm, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_WEBVTT},
      {webm, AV_CODEC_ID_ASS, AV_CODEC_ID_WEBVTT},
      {webm, AV_CODEC_ID_MOV_TEXT, AV_CODEC_ID_WEBVTT},
      {webm, AV_CODEC_ID_TEXT, AV_CODEC_ID_WEBVTT},
      {webm, AV_CODEC_ID_WEBVTT, AV_CODEC_ID_WEBVTT},
      {webm, AV_CODEC_ID_HDMV_PGS_SUBTITLE, AV_CODEC_ID_NONE},
      {webm, AV_CODEC_ID_DVD_SUBTITLE, AV_CODEC_ID_NONE},
      // AVI has no subtitle codec; a video codec is no subtitle track.
      {avi, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_NONE},
      {matroska, AV_CODEC_ID_H264, AV_CODEC_ID_NONE},
      {nullptr, AV_CODEC_ID_SUBRIP, AV_CODEC_ID_NONE},
  };
  for (const Case& c : cases) {
    const Parameters source = ParametersOf(c.source);
    EXPECT_EQ(KeptTextCodec(c.container, *source), c.kept)
        << (c.container ? c.container->name : "no container") << " with "
        << avcodec_get_name(c.source) << " keeps "
        << avcodec_get_name(KeptTextCodec(c.container, *source));
  }
}

TEST(TextConversionTest, OpenRefusesWhatItCannotConvertAndAClosedOneWritesNothing) {
  const Parameters pgs = ParametersOf(AV_CODEC_ID_HDMV_PGS_SUBTITLE);
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  struct Case {
    const AVCodecParameters* source;
    AVRational base;
    AVCodecID target;
  } const refused[] = {
      {pgs.get(), {1, 1000}, AV_CODEC_ID_MOV_TEXT},         // pictures are no text
      {subrip.get(), {0, 1}, AV_CODEC_ID_MOV_TEXT},         // no time base
      {subrip.get(), {1, -1000}, AV_CODEC_ID_WEBVTT},       // a negative one
      {subrip.get(), {1, 1000}, AV_CODEC_ID_DVD_SUBTITLE},  // a picture target
      {subrip.get(), {1, 1000}, AV_CODEC_ID_NONE},          // none at all
  };
  for (const Case& c : refused) {
    TextConversion conversion;
    EXPECT_NE(conversion.Open(*c.source, c.base, c.target), "")
        << avcodec_get_name(c.source->codec_id) << " to " << avcodec_get_name(c.target);
    Parameters out(avcodec_parameters_alloc());
    EXPECT_FALSE(conversion.FillParameters(out.get()));
    HandMade made;
    int handed = 0;
    EXPECT_TRUE(
        conversion.Write(*made.Add("words", 0, 1000), [&](AVPacket*) { return ++handed > 0; }));
    EXPECT_EQ(handed, 0);
    EXPECT_EQ(conversion.Skipped(), 1);
  }
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*subrip, {1, 1000}, AV_CODEC_ID_WEBVTT), "");
  EXPECT_NE(conversion.Open(*subrip, {1, 1000}, AV_CODEC_ID_MOV_TEXT), "") << "opens once";
}

TEST(TextConversionTest, ParametersCarryTheTargetAndItsHeader) {
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  struct Case {
    AVCodecID target;
    std::string headerStart;  // empty: no header
  } const cases[] = {{AV_CODEC_ID_WEBVTT, ""},
                     {AV_CODEC_ID_SUBRIP, ""},
                     {AV_CODEC_ID_ASS, "[Script Info]"},
                     {AV_CODEC_ID_MOV_TEXT, std::string("\0\0\0\0", 4)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(avcodec_get_name(c.target));
    TextConversion conversion;
    ASSERT_EQ(conversion.Open(*subrip, {1, 1000}, c.target), "");
    Parameters out(avcodec_parameters_alloc());
    ASSERT_TRUE(conversion.FillParameters(out.get()));
    EXPECT_EQ(out->codec_type, AVMEDIA_TYPE_SUBTITLE);
    EXPECT_EQ(out->codec_id, c.target);
    const std::string header(reinterpret_cast<const char*>(out->extradata),
                             size_t(out->extradata_size));
    if (c.headerStart.empty())
      EXPECT_EQ(out->extradata_size, 0);
    else
      EXPECT_EQ(header.substr(0, c.headerStart.size()), c.headerStart);
  }
}

TEST(TextConversionTest, ACueWithoutDurationEndsAtTheNextPacketOrAfterFiveSeconds) {
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  // In 1/90000, as an MP4 track may be timed: nothing is rounded to ms.
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*subrip, {1, 90000}, AV_CODEC_ID_WEBVTT), "");
  EXPECT_EQ(av_cmp_q(conversion.TimeBase(), AVRational{1, 90000}), 0);
  HandMade made;
  made.Add("first", 90001, 0);        // ends where the second starts
  made.Add("second", 180007, 45003);  // its own duration
  made.Add("third", 300000, 0);       // the next is more than 5 s later
  made.Add("fourth", 900000, -7);     // a negative duration is none
  made.Add("fifth", 910000, 0);       // at the end: 5 s
  std::vector<Packet> out = Converted(conversion, made.All());
  EXPECT_EQ(
      Times(out),
      (std::vector<std::pair<int64_t, int64_t>>{
          {90001, 90006}, {180007, 45003}, {300000, 450000}, {900000, 10000}, {910000, 450000}}));
  EXPECT_EQ(conversion.Skipped(), 0);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out[0]->data), size_t(out[0]->size)), "first");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out[4]->data), size_t(out[4]->size)), "fifth");
}

// The texts of mov_text samples, after their two length bytes.
std::vector<std::string> MovTexts(const std::vector<Packet>& packets) {
  std::vector<std::string> texts;
  for (const Packet& packet : packets) {
    const std::string sample(reinterpret_cast<const char*>(packet->data), size_t(packet->size));
    texts.push_back(sample.size() >= 2 ? sample.substr(2) : "?");
  }
  return texts;
}

TEST(TextConversionTest, CuesOfOneStartEndAtTheNextLaterPacket) {
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  const auto convert = [&](AVCodecID target, const HandMade& made) {
    TextConversion conversion;
    EXPECT_EQ(conversion.Open(*subrip, {1, 1000}, target), "");
    return Converted(conversion, made.All());
  };
  using TimesList = std::vector<std::pair<int64_t, int64_t>>;
  HandMade made;
  made.Add("a", 1000, 0);
  made.Add("b", 1000, 500);
  made.Add("c", 3000, 0);
  // mov_text: one sample after the other, each with every line showing.
  std::vector<Packet> out = convert(AV_CODEC_ID_MOV_TEXT, made);
  EXPECT_EQ(Times(out), (TimesList{{1000, 500}, {1500, 1500}, {3000, 5000}}));
  EXPECT_EQ(MovTexts(out), (std::vector<std::string>{"a\nb", "a", "c"}));
  // WebVTT holds cues over each other.
  EXPECT_EQ(Times(convert(AV_CODEC_ID_WEBVTT, made)),
            (TimesList{{1000, 500}, {1000, 2000}, {3000, 5000}}));

  // Two open cues of one start: WebVTT holds one open, the other lasts the
  // longest; mov_text shows both until the next.
  HandMade both;
  both.Add("x", 1000, 0);
  both.Add("y", 1000, 0);
  both.Add("z", 2000, 300);
  EXPECT_EQ(Times(convert(AV_CODEC_ID_WEBVTT, both)),
            (TimesList{{1000, 5000}, {1000, 1000}, {2000, 300}}));
  out = convert(AV_CODEC_ID_MOV_TEXT, both);
  EXPECT_EQ(Times(out), (TimesList{{1000, 1000}, {2000, 300}}));
  EXPECT_EQ(MovTexts(out), (std::vector<std::string>{"x\ny", "z"}));

  // An open cue under a longer one and over a shorter one: it shows in
  // every stretch up to the next later packet.
  HandMade under;
  under.Add("long", 0, 3000);
  under.Add("open", 1000, 0);
  under.Add("short", 1000, 500);
  under.Add("last", 4000, 100);
  out = convert(AV_CODEC_ID_MOV_TEXT, under);
  EXPECT_EQ(Times(out),
            (TimesList{{0, 1000}, {1000, 500}, {1500, 1500}, {3000, 1000}, {4000, 100}}));
  EXPECT_EQ(MovTexts(out),
            (std::vector<std::string>{"long", "long\nopen\nshort", "long\nopen", "open", "last"}));
}

TEST(TextConversionTest, AnEmptyMovTextSampleEndsTheCueHeldOpen) {
  const Parameters movText = ParametersOf(AV_CODEC_ID_MOV_TEXT);
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*movText, {1, 1000}, AV_CODEC_ID_SUBRIP), "");
  HandMade made;
  made.Add(std::string("\0\5words", 7), 1000, 0);
  made.Add(std::string("\0\0", 2), 1800, 0);
  std::vector<Packet> out = Converted(conversion, made.All());
  EXPECT_EQ(Times(out), (std::vector<std::pair<int64_t, int64_t>>{{1000, 800}}));
  EXPECT_EQ(conversion.Skipped(), 0);
}

TEST(TextConversionTest, PacketsThatCannotBeConvertedAreSkippedAndCounted) {
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*subrip, {1, 1000}, AV_CODEC_ID_MOV_TEXT), "");
  HandMade made;
  made.Add("\xff\xfe not UTF-8", 0, 500);
  made.Add("no time", AV_NOPTS_VALUE, 500);
  made.Add(std::string(2 * 1024 * 1024, 'x'), 1000, 500);  // no cue is that long
  made.Add("beyond the last time", INT64_MAX - 10, 500);
  made.Add("", 2000, 500);  // nothing to show, no fault
  made.Add("kept", 3000, 500);
  std::vector<Packet> out = Converted(conversion, made.All());
  EXPECT_EQ(conversion.Skipped(), 4);
  EXPECT_EQ(Times(out), (std::vector<std::pair<int64_t, int64_t>>{{3000, 500}}));

  const Parameters movText = ParametersOf(AV_CODEC_ID_MOV_TEXT);
  TextConversion fromMp4;
  ASSERT_EQ(fromMp4.Open(*movText, {1, 1000}, AV_CODEC_ID_WEBVTT), "");
  HandMade damaged;
  damaged.Add(std::string("\0\3\xff\xfe\xfd", 5), 0, 500);  // not UTF-8
  damaged.Add("\x01", 1000, 500);                           // not even the length
  damaged.Add(std::string("\0\4kept", 6), 2000, 500);
  out = Converted(fromMp4, damaged.All());
  EXPECT_EQ(fromMp4.Skipped(), 2);
  EXPECT_EQ(Times(out), (std::vector<std::pair<int64_t, int64_t>>{{2000, 500}}));
}

TEST(TextConversionTest, MovTextShowsAtMostSixtyFourCuesAtOnce) {
  const Parameters subrip = ParametersOf(AV_CODEC_ID_SUBRIP);
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*subrip, {1, 1000}, AV_CODEC_ID_MOV_TEXT), "");
  HandMade made;
  for (int i = 0; i < 70; ++i) made.Add("line " + std::to_string(i), 1000 + i, 100000);
  const std::vector<Packet> out = Converted(conversion, made.All());
  EXPECT_EQ(conversion.Skipped(), 6);
  // A stretch at each of the 64 starts, and one after each end but the last.
  ASSERT_EQ(out.size(), 127u);
  EXPECT_NE(MovTexts(out)[63].find("line 63"), std::string::npos);
  EXPECT_EQ(MovTexts(out)[63].find("line 64"), std::string::npos);
}

TEST(TextConversionTest, ASinkThatFailsStopsWriteAndFinish) {
  const Parameters text = ParametersOf(AV_CODEC_ID_TEXT);
  TextConversion conversion;
  ASSERT_EQ(conversion.Open(*text, {1, 1000}, AV_CODEC_ID_WEBVTT), "");
  HandMade made;
  const auto refuse = [](AVPacket*) { return false; };
  EXPECT_FALSE(conversion.Write(*made.Add("timed", 0, 500), refuse));
  EXPECT_TRUE(conversion.Write(*made.Add("held", 1000, 0), refuse)) << "nothing handed yet";
  EXPECT_FALSE(conversion.Finish(refuse));
  EXPECT_EQ(conversion.Skipped(), 0);
}

TEST(TextConversionTest, PlainTextBecomesTheTargetsOwnSamples) {
  const Parameters text = ParametersOf(AV_CODEC_ID_TEXT);
  struct Case {
    AVCodecID target;
    std::string sample;
  } const cases[] = {
      {AV_CODEC_ID_WEBVTT, "two\nrows"},
      // mov_text: the text's length in two bytes before it.
      {AV_CODEC_ID_MOV_TEXT, std::string("\0\10two\nrows", 10)},
      {AV_CODEC_ID_SUBRIP, "two\r\nrows"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(avcodec_get_name(c.target));
    TextConversion conversion;
    ASSERT_EQ(conversion.Open(*text, {1, 1000}, c.target), "");
    HandMade made;
    made.Add("two\nrows", 4000, 1500);
    const std::vector<Packet> out = Converted(conversion, made.All());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out[0]->data), size_t(out[0]->size)),
              c.sample);
    EXPECT_EQ(Times(out), (std::vector<std::pair<int64_t, int64_t>>{{4000, 1500}}));
    EXPECT_TRUE(out[0]->flags & AV_PKT_FLAG_KEY);
  }
}
