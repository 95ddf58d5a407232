// The packets of the source's other streams, handed out as it stores them
// when the reading keeps them.
#include <fstream>
#include <map>

#include "media/BoundLibraries.h"
#include "media/MediaFixtures.h"

namespace {

using mediatest::MakeMedia;
using mediatest::NewDecoder;
using VELAVCODEC::OtherStream;
using VELAVCODEC::VelAvCodec;

struct StoredPacket {
  int64_t pts = 0;
  int size = 0;
  bool operator==(const StoredPacket&) const = default;
  friend void PrintTo(const StoredPacket& packet, std::ostream* out) {
    *out << packet.pts << ":" << packet.size;
  }
};
using PacketsByStream = std::map<int, std::vector<StoredPacket>>;

// Video, AAC (chosen), MP3 in French with a title, and a SubRip track.
std::string SourceWithOtherStreams() {
  const std::string srt = (mediatest::MediaDir() / "kept.srt").string();
  std::ofstream(srt) << "1\n00:00:00,200 --> 00:00:00,900\nOne\n\n"
                        "2\n00:00:01,000 --> 00:00:01,600\nTwo\n";
  return MakeMedia("kept.mkv", std::string("-f lavfi -i testsrc=size=64x48:rate=25:duration=2") +
                                   " -f lavfi -i sine=duration=2 -f lavfi -i sine=frequency=880:"
                                   "duration=2 -i '" +
                                   srt +
                                   "' -map 0 -map 1 -map 2 -map 3 -c:v mpeg4 -c:a:0 aac "
                                   "-c:a:1 libmp3lame -c:s srt -metadata:s:a:1 language=fra "
                                   "-metadata:s:a:1 title=Commentary");
}

// Every packet of the streams, read straight from the file.
PacketsByStream StoredPackets(const std::string& path, std::vector<int> streams) {
  mediatest::BoundLibraries libraries;
  EXPECT_EQ(libraries.Error, "");
  const VELAVCODEC::EntryPoints& api = libraries.Api;
  AVFormatContext* format = nullptr;
  PacketsByStream stored;
  if (api.avformat_open_input(&format, path.c_str(), nullptr, nullptr) != 0) return stored;
  AVPacket* packet = api.av_packet_alloc();
  while (api.av_read_frame(format, packet) >= 0) {
    if (std::find(streams.begin(), streams.end(), packet->stream_index) != streams.end() &&
        packet->size > 0)
      stored[packet->stream_index].push_back({packet->pts, packet->size});
    api.av_packet_unref(packet);
  }
  api.av_packet_free(&packet);
  api.avformat_close_input(&format);
  return stored;
}

struct Reading {
  int pictures = 0, audio = 0;
  PacketsByStream kept;
};

Reading ReadKeeping(const std::string& path, std::vector<int32_t> kept, bool ahead,
                    int subtitleTrack = -1) {
  auto decoder = NewDecoder();
  Reading run;
  if (!decoder->PreOpen(path)) return run;
  decoder->SelectVideoStream(0);
  decoder->SelectAudioStream(0);
  if (subtitleTrack >= 0) EXPECT_TRUE(decoder->SelectSubtitleTrack(subtitleTrack));
  // As for a container that keeps the sound's own times.
  EXPECT_TRUE(decoder->Open({.AudioForAvi = false})) << decoder->ErrorText;
  decoder->SetReading({.KeptStreams = std::move(kept)});
  if (ahead) EXPECT_TRUE(decoder->StartReadingAhead(3));
  for (;;) {
    const VelAvCodec::Delivery delivery = decoder->Deliver();
    if (delivery.Size <= 0) break;
    if (delivery.What == VelAvCodec::Delivery::Kind::Picture) ++run.pictures;
    if (delivery.What == VelAvCodec::Delivery::Kind::Audio) ++run.audio;
    if (delivery.What != VelAvCodec::Delivery::Kind::StreamPacket) continue;
    EXPECT_NE(delivery.Packet, nullptr);
    run.kept[delivery.Stream].push_back({delivery.Pts, delivery.Size});
  }
  return run;
}

TEST(KeptStreams, ComeAsStoredAmongThePicturesAndTheChosenSound) {
  const std::string path = SourceWithOtherStreams();
  const PacketsByStream stored = StoredPackets(path, {2, 3});
  ASSERT_EQ(stored.size(), 2u);
  ASSERT_EQ(stored.at(3).size(), 2u);

  const Reading plain = ReadKeeping(path, {}, false);
  EXPECT_TRUE(plain.kept.empty()) << "nothing kept unless asked";
  EXPECT_EQ(plain.pictures, 50);
  for (const bool ahead : {false, true}) {
    const Reading kept = ReadKeeping(path, {3, 2}, ahead);
    EXPECT_EQ(kept.kept, stored) << "ahead " << ahead;
    EXPECT_EQ(kept.pictures, plain.pictures);
    EXPECT_EQ(kept.audio, plain.audio);
  }
}

TEST(KeptStreams, TheCollectedTrackIsHandedOutOnlyWhenKept) {
  const std::string path = SourceWithOtherStreams();
  EXPECT_EQ(ReadKeeping(path, {2}, false, 0).kept, StoredPackets(path, {2}));
  for (const bool ahead : {false, true})
    EXPECT_EQ(ReadKeeping(path, {2, 3}, ahead, 0).kept, StoredPackets(path, {2, 3}))
        << "ahead " << ahead;
}

TEST(KeptStreams, TheOtherStreamsAreDescribedInFileOrder) {
  const std::string path = SourceWithOtherStreams();
  auto decoder = NewDecoder();
  mediatest::OpenSource(*decoder, path);
  const std::vector<OtherStream> others = decoder->Streams().Others;
  ASSERT_EQ(others.size(), 2u);
  EXPECT_EQ(others[0].Index, 2);
  EXPECT_EQ(others[0].What, OtherStream::Kind::Sound);
  EXPECT_EQ(others[0].Language, "fra");
  EXPECT_EQ(others[0].Title, "Commentary");
  EXPECT_NE(others[0].Parameters, nullptr);
  EXPECT_GT(others[0].TimeBaseDen, 0);
  EXPECT_EQ(others[1].Index, 3);
  EXPECT_EQ(others[1].What, OtherStream::Kind::Subtitles);
  // Choosing the second sound stream makes the first an other one.
  decoder->Close();
  ASSERT_TRUE(decoder->PreOpen(path));
  decoder->SelectVideoStream(0);
  decoder->SelectAudioStream(1);
  ASSERT_TRUE(decoder->Open({.AudioForAvi = false})) << decoder->ErrorText;
  ASSERT_EQ(decoder->Streams().Others.size(), 2u);
  EXPECT_EQ(decoder->Streams().Others[0].Index, 1);
}

}  // namespace

TEST(KeptStreams, TheChaptersTagsAndTrackNumbersAreDescribed) {
  const std::string meta = (mediatest::MediaDir() / "kept-chapters.txt").string();
  std::ofstream(meta) << ";FFMETADATA1\ntitle=A Film\ncomment=Made here\n"
                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1200\ntitle=Opening\n"
                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1200\nEND=2000\ntitle=Ending\n";
  const std::string path =
      MakeMedia("kept-chapters.mkv",
                "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 -f lavfi -i sine=duration=2 "
                "-f lavfi -i sine=frequency=880:duration=2 -i '" +
                    meta +
                    "' -map 0 -map 1 -map 2 -map_metadata 3 -map_chapters 3 -c:v mpeg4 "
                    "-c:a aac -metadata:s:a:0 language=eng -disposition:a:1 comment");
  auto decoder = NewDecoder();
  ASSERT_TRUE(decoder->PreOpen(path));
  decoder->SelectVideoStream(0);
  decoder->SelectAudioStream(1);
  ASSERT_TRUE(decoder->Open({.AudioForAvi = false})) << decoder->ErrorText;
  const VELAVCODEC::SourceStreams streams = decoder->Streams();
  ASSERT_EQ(streams.Chapters.size(), 2u);
  const VELAVCODEC::SourceChapter& second = streams.Chapters[1];
  EXPECT_EQ(double(second.Start) * second.TimeBaseNum / second.TimeBaseDen, 1.2);
  EXPECT_EQ(double(second.End) * second.TimeBaseNum / second.TimeBaseDen, 2.0);
  EXPECT_EQ(second.AllTags, (VELAVCODEC::Tags{{"title", "Ending"}}));
  const auto tag = [](const VELAVCODEC::Tags& tags, const std::string& name) {
    for (const auto& [key, value] : tags)
      if (key == name) return value;
    return std::string("(none)");
  };
  EXPECT_EQ(tag(streams.FileTags, "title"), "A Film");
  // Matroska names its own tags in capitals.
  EXPECT_EQ(tag(streams.FileTags, "COMMENT"), "Made here");
  // The chosen sound is the second; the first is an other one, its number
  // as the stream choice counts it.
  EXPECT_EQ(streams.AudioRecord.Index, 2);
  EXPECT_EQ(streams.AudioRecord.Track, 2);
  EXPECT_NE(streams.AudioRecord.Disposition & AV_DISPOSITION_COMMENT, 0);
  EXPECT_EQ(streams.VideoRecord.Index, 0);
  ASSERT_EQ(streams.Others.size(), 1u);
  EXPECT_EQ(streams.Others[0].Track, 1);
  EXPECT_EQ(streams.Others[0].Language, "eng");
  EXPECT_EQ(tag(streams.Others[0].AllTags, "language"), "eng");
}
