// The soft copy of a track whose forced pictures are burned: read back
// segment by segment, and decoded by libavcodec as a player would, it shows
// every picture that was not forced and none that was; damage is cut or
// passed, and nothing is read past a packet's end.
#include "output/ForcedSets.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/PgsWriter.h"

namespace {

using FORCEDSETS::SoftCopy;
using Outcome = SoftCopy::Outcome;
using Bytes = std::vector<uint8_t>;

struct Packet {
  int64_t Pts90k = 0;
  Bytes Data;
};

// ---- PGS packets as the demuxers give them ----

enum class Framing { Segments, Sets };

std::vector<Packet> PgsPackets(const std::vector<pgswriter::DisplaySet>& sets, Framing framing) {
  std::vector<Packet> packets;
  for (const pgswriter::Segment& segment : pgswriter::SplitSup(pgswriter::WriteSup(sets))) {
    const bool opensSet = segment.Bytes[0] == 0x16;
    if (framing == Framing::Segments || opensSet || packets.empty())
      packets.push_back({segment.Pts90k, {}});
    packets.back().Data.insert(packets.back().Data.end(), segment.Bytes.begin(),
                               segment.Bytes.end());
  }
  return packets;
}

// Every packet through the copy, each written one at its input's time.
std::vector<Packet> Copied(SoftCopy& copy, const std::vector<Packet>& packets) {
  std::vector<Packet> written;
  Bytes out;
  for (const Packet& packet : packets) {
    const Outcome outcome = copy.Take(packet.Data.data(), packet.Data.size(), out);
    EXPECT_NE(outcome, Outcome::Failed);
    if (outcome == Outcome::Written) written.push_back({packet.Pts90k, out});
  }
  return written;
}

struct ObjectRef {
  unsigned Id = 0;
  uint8_t Flags = 0;
  unsigned X = 0, Y = 0;
};

struct Segment {
  uint8_t Type = 0;
  Bytes Payload;
  std::vector<ObjectRef> Objects;  // of a composition
};

// The packets' segments read back; every one must be whole, and every
// composition must hold exactly the objects its count names.
std::vector<Segment> Segments(const std::vector<Packet>& packets) {
  std::vector<Segment> segments;
  for (const Packet& packet : packets) {
    const Bytes& d = packet.Data;
    size_t at = 0;
    while (at < d.size()) {
      EXPECT_GE(d.size() - at, 3u) << "a cut segment header";
      if (d.size() - at < 3) break;
      const size_t length = size_t{d[at + 1]} << 8 | d[at + 2];
      EXPECT_LE(length, d.size() - at - 3) << "a segment runs past its packet";
      if (length > d.size() - at - 3) break;
      Segment segment;
      segment.Type = d[at];
      segment.Payload.assign(d.begin() + at + 3, d.begin() + at + 3 + length);
      at += 3 + length;
      if (segment.Type == 0x16 && length >= 11) {
        const Bytes& p = segment.Payload;
        size_t entry = 11;
        for (unsigned k = 0; k < p[10] && entry + 8 <= p.size(); ++k) {
          segment.Objects.push_back({unsigned(p[entry] << 8 | p[entry + 1]), p[entry + 3],
                                     unsigned(p[entry + 4] << 8 | p[entry + 5]),
                                     unsigned(p[entry + 6] << 8 | p[entry + 7])});
          entry += (p[entry + 3] & 0x80) ? 16 : 8;
        }
        EXPECT_EQ(segment.Objects.size(), p[10]);
        EXPECT_EQ(entry, p.size()) << "a composition's length and its objects disagree";
      }
      segments.push_back(std::move(segment));
    }
  }
  return segments;
}

std::vector<Segment> OfType(const std::vector<Segment>& segments, uint8_t type) {
  std::vector<Segment> kept;
  for (const Segment& segment : segments)
    if (segment.Type == type) kept.push_back(segment);
  return kept;
}

// ---- decoded by libavcodec ----

struct Shown {
  int64_t Pts90k = 0;
  struct Rect {
    int X, Y, Width, Height;
    bool Forced;
  };
  std::vector<Rect> Rects;
};

struct CodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

// What a player's decoder makes of the packets: one entry a subtitle it
// gives, empty ones (a cleared screen) among them.
std::vector<Shown> Decoded(AVCodecID codecId, const std::vector<Packet>& packets) {
  std::vector<Shown> shown;
  const AVCodec* codec = avcodec_find_decoder(codecId);
  if (codec == nullptr) {
    ADD_FAILURE() << "no decoder";
    return shown;
  }
  std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
  context->pkt_timebase = AVRational{1, 90000};
  if (avcodec_open2(context.get(), codec, nullptr) < 0) {
    ADD_FAILURE() << "decoder does not open";
    return shown;
  }
  AVPacket* packet = av_packet_alloc();
  for (const Packet& source : packets) {
    if (av_new_packet(packet, int(source.Data.size())) < 0) break;
    std::copy(source.Data.begin(), source.Data.end(), packet->data);
    packet->pts = source.Pts90k;
    AVSubtitle subtitle{};
    int got = 0;
    avcodec_decode_subtitle2(context.get(), &subtitle, &got, packet);
    av_packet_unref(packet);
    if (!got) continue;
    Shown entry;
    entry.Pts90k = source.Pts90k;
    for (unsigned k = 0; k < subtitle.num_rects; ++k) {
      const AVSubtitleRect* rect = subtitle.rects[k];
      entry.Rects.push_back(
          {rect->x, rect->y, rect->w, rect->h, (rect->flags & AV_SUBTITLE_FLAG_FORCED) != 0});
    }
    shown.push_back(entry);
    avsubtitle_free(&subtitle);
  }
  av_packet_free(&packet);
  return shown;
}

std::vector<pgswriter::PaletteEntry> Palette() {
  return {{.Index = 1, .Red = 255, .Green = 255, .Blue = 255}};
}

// Top: a forced line (a sign); bottom: the dialogue under it.
pgswriter::DisplaySet MixedSet(int64_t pts) {
  pgswriter::DisplaySet set;
  set.Pts90k = pts;
  set.Palette = Palette();
  set.Objects = {pgswriter::FilledRectangle(400, 100, 64, 16, 1, true),
                 pgswriter::FilledRectangle(600, 900, 96, 20, 1, false)};
  return set;
}

pgswriter::DisplaySet OneObjectSet(int64_t pts, bool forced) {
  pgswriter::DisplaySet set;
  set.Pts90k = pts;
  set.Palette = Palette();
  set.Objects = {pgswriter::FilledRectangle(300, 800, 80, 24, 1, forced)};
  return set;
}

// A track as discs carry it: a sign over dialogue, cleared; a sign alone,
// cleared; dialogue alone.
std::vector<pgswriter::DisplaySet> Track() {
  const pgswriter::DisplaySet mixed = MixedSet(90000);
  const pgswriter::DisplaySet sign = OneObjectSet(4 * 90000, true);
  const pgswriter::DisplaySet dialogue = OneObjectSet(8 * 90000, false);
  return {mixed, pgswriter::ClearingSet(mixed, 3 * 90000), sign,
          pgswriter::ClearingSet(sign, 6 * 90000), dialogue};
}

TEST(ForcedSetsPgsTest, ForcedObjectsLeaveTheSoftCopyInEitherFraming) {
  for (Framing framing : {Framing::Segments, Framing::Sets}) {
    SCOPED_TRACE(framing == Framing::Segments ? "a segment a packet" : "a set a packet");
    const std::vector<Packet> packets = PgsPackets(Track(), framing);
    SoftCopy copy(SoftCopy::Codec::Pgs);
    const std::vector<Packet> written = Copied(copy, packets);
    // One packet for each, at its time: nothing was cut.
    ASSERT_EQ(written.size(), packets.size());
    for (size_t k = 0; k < written.size(); ++k) EXPECT_EQ(written[k].Pts90k, packets[k].Pts90k);

    const std::vector<Segment> in = Segments(packets), out = Segments(written);
    const std::vector<Segment> compositions = OfType(out, 0x16);
    ASSERT_EQ(compositions.size(), 5u);
    ASSERT_EQ(compositions[0].Objects.size(), 1u);
    EXPECT_EQ(compositions[0].Objects[0].Id, 1u);
    EXPECT_EQ(compositions[0].Objects[0].Y, 900u);
    EXPECT_TRUE(compositions[2].Objects.empty());
    ASSERT_EQ(compositions[4].Objects.size(), 1u);
    EXPECT_EQ(compositions[4].Objects[0].Flags & 0x40, 0);
    // The rest of each composition and every other segment as they were:
    // the objects of forced pictures are still defined for later sets.
    const std::vector<Segment> inCompositions = OfType(in, 0x16);
    for (size_t k = 0; k < compositions.size(); ++k)
      EXPECT_TRUE(std::equal(compositions[k].Payload.begin(), compositions[k].Payload.begin() + 10,
                             inCompositions[k].Payload.begin()));
    ASSERT_EQ(in.size(), out.size());
    for (size_t k = 0; k < in.size(); ++k) {
      EXPECT_EQ(in[k].Type, out[k].Type);
      if (in[k].Type != 0x16) {
        EXPECT_EQ(in[k].Payload, out[k].Payload);
      }
    }
    EXPECT_EQ(copy.BurnedSets(), 2);
    EXPECT_EQ(copy.KeptSets(), 5);
    EXPECT_EQ(copy.DamagedPackets(), 0);

    // The decoder shows the dialogue of the mixed set and the last set, the
    // screen cleared where the sign alone was; the source showed both.
    const std::vector<Shown> before = Decoded(AV_CODEC_ID_HDMV_PGS_SUBTITLE, packets);
    const std::vector<Shown> after = Decoded(AV_CODEC_ID_HDMV_PGS_SUBTITLE, written);
    ASSERT_EQ(before.size(), 5u);
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(before[0].Rects.size(), 2u);
    ASSERT_EQ(after[0].Rects.size(), 1u);
    EXPECT_EQ(after[0].Rects[0].Y, 900);
    EXPECT_EQ(after[0].Rects[0].Width, 96);
    EXPECT_FALSE(after[0].Rects[0].Forced);
    EXPECT_EQ(before[2].Rects.size(), 1u);
    EXPECT_TRUE(after[2].Rects.empty());
    ASSERT_EQ(after[4].Rects.size(), 1u);
    EXPECT_EQ(after[4].Rects[0].Y, 800);
    for (const Shown& entry : after)
      for (const Shown::Rect& rect : entry.Rects) EXPECT_FALSE(rect.Forced);
  }
}

TEST(ForcedSetsPgsTest, WithoutForcedObjectsTheCopyIsTheSourceByteForByte) {
  const std::vector<pgswriter::DisplaySet> sets = {
      OneObjectSet(90000, false), pgswriter::ClearingSet(OneObjectSet(90000, false), 180000)};
  for (Framing framing : {Framing::Segments, Framing::Sets}) {
    const std::vector<Packet> packets = PgsPackets(sets, framing);
    SoftCopy copy(SoftCopy::Codec::Pgs);
    const std::vector<Packet> written = Copied(copy, packets);
    ASSERT_EQ(written.size(), packets.size());
    for (size_t k = 0; k < written.size(); ++k) EXPECT_EQ(written[k].Data, packets[k].Data);
    EXPECT_EQ(copy.BurnedSets(), 0);
    EXPECT_EQ(copy.KeptSets(), 2);
  }
}

TEST(ForcedSetsPgsTest, SeveralSetsInOnePacketComeOutAsTheyDoOneByOne) {
  const std::vector<Packet> sets = PgsPackets(Track(), Framing::Sets);
  Packet whole;
  for (const Packet& packet : sets)
    whole.Data.insert(whole.Data.end(), packet.Data.begin(), packet.Data.end());
  SoftCopy one(SoftCopy::Codec::Pgs), apart(SoftCopy::Codec::Pgs);
  const std::vector<Packet> joined = Copied(one, {whole});
  Bytes expected;
  for (const Packet& packet : Copied(apart, sets))
    expected.insert(expected.end(), packet.Data.begin(), packet.Data.end());
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0].Data, expected);
  EXPECT_EQ(one.BurnedSets(), 2);
  EXPECT_EQ(one.KeptSets(), 5);
}

// A later set of the epoch shows an object that its epoch start showed as
// forced: the copy must still hold its definition.
TEST(ForcedSetsPgsTest, ALaterSetOfTheEpochStillFindsTheObjectsOfForcedOnes) {
  pgswriter::DisplaySet start = MixedSet(90000);
  pgswriter::DisplaySet later;
  later.Pts90k = 3 * 90000;
  later.SameEpoch = true;
  later.Objects = {start.Objects[0], start.Objects[1]};
  later.Objects[0].Forced = false;  // the sign, now as dialogue
  later.Objects[0].Indexes.clear();
  later.Objects[1].Indexes.clear();
  for (Framing framing : {Framing::Segments, Framing::Sets}) {
    const std::vector<Packet> packets = PgsPackets({start, later}, framing);
    SoftCopy copy(SoftCopy::Codec::Pgs);
    const std::vector<Packet> written = Copied(copy, packets);
    EXPECT_EQ(OfType(Segments(written), 0x15).size(), 2u);
    const std::vector<Shown> after = Decoded(AV_CODEC_ID_HDMV_PGS_SUBTITLE, written);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].Rects.size(), 1u);
    ASSERT_EQ(after[1].Rects.size(), 2u);
    EXPECT_EQ(after[1].Rects[0].Y, 100);
    EXPECT_EQ(after[1].Rects[0].Width, 64);
    EXPECT_EQ(copy.BurnedSets(), 1);
    EXPECT_EQ(copy.KeptSets(), 2);
  }
}

// A composition made by hand: header, then (id, flags) objects, each at
// (10, 20), a cropped one with its crop rectangle.
Bytes Composition(const std::vector<std::pair<unsigned, uint8_t>>& objects, int count = -1) {
  Bytes payload = {0x07,
                   0x80,
                   0x04,
                   0x38,
                   0x10,
                   0x00,
                   0x01,
                   0x80,
                   0x00,
                   0x00,
                   uint8_t(count < 0 ? objects.size() : count)};
  for (auto [id, flags] : objects) {
    Bytes entry = {uint8_t(id >> 8), uint8_t(id), 0, flags, 0, 10, 0, 20};
    if (flags & 0x80) entry.insert(entry.end(), {0, 1, 0, 2, 0, 3, 0, 4});
    payload.insert(payload.end(), entry.begin(), entry.end());
  }
  Bytes segment = {0x16, uint8_t(payload.size() >> 8), uint8_t(payload.size())};
  segment.insert(segment.end(), payload.begin(), payload.end());
  return segment;
}

TEST(ForcedSetsPgsTest, CroppedObjectsAreTakenOutWithTheirCropRectangles) {
  SoftCopy copy(SoftCopy::Codec::Pgs);
  Bytes out;
  const Bytes in = Composition({{0, 0xC0}, {1, 0x80}, {2, 0x40}, {3, 0x00}});
  ASSERT_EQ(copy.Take(in.data(), in.size(), out), Outcome::Written);
  const std::vector<Segment> segments = Segments({{0, out}});
  ASSERT_EQ(segments.size(), 1u);
  ASSERT_EQ(segments[0].Objects.size(), 2u);
  EXPECT_EQ(segments[0].Objects[0].Id, 1u);
  EXPECT_EQ(segments[0].Objects[1].Id, 3u);
  // The crop rectangle went with its own object.
  EXPECT_EQ(Bytes(out.end() - 16, out.end() - 8), (Bytes{0, 1, 0, 2, 0, 3, 0, 4}));
  EXPECT_EQ(copy.BurnedSets(), 1);
}

// Each packet copied into a buffer of its exact size, so that the sanitizer
// build sees a read past it.
Outcome TakeExact(SoftCopy& copy, const Bytes& bytes, Bytes& out) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return copy.Take(exact.get(), bytes.size(), out);
}

TEST(ForcedSetsPgsTest, DamagedSegmentsAreCutOrPassedAndCounted) {
  const Bytes end = {0x80, 0, 0};
  SoftCopy copy(SoftCopy::Codec::Pgs);
  Bytes out;

  // A count beyond what the composition holds: its whole objects stay, the
  // forced one goes, the count says what is left.
  Bytes over = Composition({{0, 0x40}, {1, 0x00}}, 3);
  over.push_back(0x55);  // half an object more
  over[2] = uint8_t(over.size() - 3);
  over.insert(over.end(), end.begin(), end.end());
  ASSERT_EQ(TakeExact(copy, over, out), Outcome::Written);
  std::vector<Segment> segments = Segments({{0, out}});
  ASSERT_EQ(segments.size(), 2u);
  ASSERT_EQ(segments[0].Objects.size(), 1u);
  EXPECT_EQ(segments[0].Objects[0].Id, 1u);
  EXPECT_EQ(segments[1].Type, 0x80);
  EXPECT_EQ(copy.DamagedPackets(), 1);

  // A segment whose length runs past the packet goes with what follows it.
  Bytes cut = end;
  const Bytes composition = Composition({{0, 0x00}});
  cut.insert(cut.end(), composition.begin(), composition.end() - 2);
  ASSERT_EQ(TakeExact(copy, cut, out), Outcome::Written);
  EXPECT_EQ(out, end);
  EXPECT_EQ(copy.DamagedPackets(), 2);
  // Alone, nothing of it is left.
  const Bytes alone(composition.begin(), composition.end() - 1);
  EXPECT_EQ(TakeExact(copy, alone, out), Outcome::LeftOut);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(copy.DamagedPackets(), 3);

  // A composition too short for its header names no object: it passes.
  const Bytes shortOne = {0x16, 0, 4, 7, 0x80, 4, 0x38};
  ASSERT_EQ(TakeExact(copy, shortOne, out), Outcome::Written);
  EXPECT_EQ(out, shortOne);
  EXPECT_EQ(copy.DamagedPackets(), 4);

  // A set without its END passes with its forced objects taken out.
  pgswriter::DisplaySet noEnd = MixedSet(90000);
  noEnd.Fault = pgswriter::Damage::NoEnd;
  const std::vector<Packet> sets = PgsPackets({noEnd}, Framing::Sets);
  ASSERT_EQ(sets.size(), 1u);
  ASSERT_EQ(TakeExact(copy, sets[0].Data, out), Outcome::Written);
  segments = Segments({{0, out}});
  EXPECT_EQ(OfType(segments, 0x80).size(), 0u);
  EXPECT_EQ(OfType(segments, 0x16)[0].Objects.size(), 1u);
  EXPECT_EQ(copy.DamagedPackets(), 4);
}

// A composition's length that says more than its objects takes in the
// segment after it; one that says less leaves its last objects to be read
// as segments of their own. Neither lets a forced object through.
TEST(ForcedSetsPgsTest, ACompositionOfTheWrongLengthLetsNoForcedObjectThrough) {
  const Bytes set = PgsPackets({MixedSet(90000)}, Framing::Sets)[0].Data;
  const size_t length = size_t{set[1]} << 8 | set[2];
  ASSERT_EQ(length, 11u + 2 * 8);
  const size_t windows = 3 + (size_t{set[3 + length + 1]} << 8 | set[3 + length + 2]);

  Bytes tooLong = set;
  tooLong[2] = uint8_t(length + windows);
  SoftCopy copy(SoftCopy::Codec::Pgs);
  Bytes out;
  ASSERT_EQ(TakeExact(copy, tooLong, out), Outcome::Written);
  std::vector<Segment> segments = Segments({{0, out}});
  ASSERT_EQ(OfType(segments, 0x16).size(), 1u);
  ASSERT_EQ(OfType(segments, 0x16)[0].Objects.size(), 1u);
  EXPECT_EQ(OfType(segments, 0x16)[0].Objects[0].Id, 1u);
  // The window went inside the composition, and does not come out again.
  EXPECT_TRUE(OfType(segments, 0x17).empty());
  EXPECT_EQ(OfType(segments, 0x15).size(), 2u);
  EXPECT_EQ(copy.DamagedPackets(), 1);

  Bytes tooShort = set;
  tooShort[2] = uint8_t(length - 8);
  ASSERT_NE(TakeExact(copy, tooShort, out), Outcome::Failed);
  segments = Segments({{0, out}});
  ASSERT_EQ(OfType(segments, 0x16).size(), 1u);
  EXPECT_TRUE(OfType(segments, 0x16)[0].Objects.empty());
  EXPECT_EQ(copy.BurnedSets(), 2);
  EXPECT_EQ(copy.DamagedPackets(), 2);
}

TEST(ForcedSetsPgsTest, EveryCutOfASetGivesWholeSegmentsWithoutForcedObjects) {
  pgswriter::DisplaySet truncated = MixedSet(90000);
  truncated.Fault = pgswriter::Damage::TruncatedObject;
  for (const pgswriter::DisplaySet& set : {MixedSet(90000), truncated}) {
    const Bytes whole = PgsPackets({set}, Framing::Sets)[0].Data;
    // A cut between two segments leaves whole segments only.
    std::vector<size_t> between = {0};
    while (between.back() < whole.size())
      between.push_back(between.back() + 3 +
                        (size_t{whole[between.back() + 1]} << 8 | whole[between.back() + 2]));
    for (size_t size = 0; size <= whole.size(); ++size) {
      SCOPED_TRACE(size);
      SoftCopy copy(SoftCopy::Codec::Pgs);
      Bytes out;
      const Outcome outcome = TakeExact(copy, Bytes(whole.begin(), whole.begin() + size), out);
      ASSERT_NE(outcome, Outcome::Failed);
      EXPECT_LE(out.size(), size);
      for (const Segment& segment : Segments({{0, out}}))
        for (const ObjectRef& object : segment.Objects) EXPECT_EQ(object.Flags & 0x40, 0);
      const bool atBoundary = std::find(between.begin(), between.end(), size) != between.end();
      EXPECT_EQ(copy.DamagedPackets(), atBoundary ? 0 : 1);
    }
  }
}

// ---- VobSub ----

// A subpicture unit by hand: four bytes of pixels for each field, a first
// control sequence with the start command given, colours, opacities, a
// rectangle and the fields' places, and a second that stops it. `extra`
// goes before the start command of the first.
Bytes Unit(uint8_t start, const Bytes& extra = {}) {
  Bytes unit = {0, 0, 0, 0, 0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22};
  const size_t first = unit.size();
  Bytes sequence = {0, 0, 0, 0};  // delay and next, set below
  sequence.insert(sequence.end(), extra.begin(), extra.end());
  sequence.insert(sequence.end(), {start, 0x03, 0x01, 0x23, 0x04, 0xFF, 0xF0, 0x05, 0x00, 0x00,
                                   0x07,  0x00, 0x00, 0x01, 0x06, 0x00, 0x04, 0x00, 0x08, 0xFF});
  const size_t second = first + sequence.size();
  sequence[2] = uint8_t(second >> 8);
  sequence[3] = uint8_t(second);
  unit.insert(unit.end(), sequence.begin(), sequence.end());
  unit.insert(unit.end(), {0x00, 0x40, uint8_t(second >> 8), uint8_t(second), 0x02, 0xFF});
  unit[0] = uint8_t(unit.size() >> 8);
  unit[1] = uint8_t(unit.size());
  unit[2] = uint8_t(first >> 8);
  unit[3] = uint8_t(first);
  return unit;
}

TEST(ForcedSetsVobSubTest, UnitsThatStartForcedAreLeftOutAndTheRestPass) {
  SoftCopy copy(SoftCopy::Codec::VobSub);
  Bytes out;
  const Bytes shown = Unit(0x01), forced = Unit(0x00);
  ASSERT_EQ(copy.Take(shown.data(), shown.size(), out), Outcome::Written);
  EXPECT_EQ(out, shown);
  EXPECT_EQ(copy.Take(forced.data(), forced.size(), out), Outcome::LeftOut);
  EXPECT_TRUE(out.empty());
  // A change of colours (its own size first) is passed over to the forced
  // start behind it.
  const Bytes behind = Unit(0x00, {0x07, 0x00, 0x04, 0xAA, 0xBB});
  EXPECT_EQ(copy.Take(behind.data(), behind.size(), out), Outcome::LeftOut);
  EXPECT_EQ(copy.BurnedSets(), 2);
  EXPECT_EQ(copy.KeptSets(), 1);
  EXPECT_EQ(copy.DamagedPackets(), 0);

  // libavcodec reads the units as this copy does (its 5.1 ends a sequence at
  // the change of colours, so that unit is not asked of it).
  const std::vector<Shown> decoded =
      Decoded(AV_CODEC_ID_DVD_SUBTITLE, {{0, shown}, {90000, forced}});
  ASSERT_EQ(decoded.size(), 2u);
  ASSERT_EQ(decoded[0].Rects.size(), 1u);
  EXPECT_FALSE(decoded[0].Rects[0].Forced);
  ASSERT_EQ(decoded[1].Rects.size(), 1u);
  EXPECT_TRUE(decoded[1].Rects[0].Forced);
}

TEST(ForcedSetsVobSubTest, HighDefinitionUnitsAreReadWithTheirWideOffsets) {
  // The same unit with 32-bit size and offsets after two zero bytes.
  const Bytes narrow = Unit(0x00);
  const size_t first = size_t{narrow[2]} << 8 | narrow[3];
  Bytes wide = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  wide.insert(wide.end(), narrow.begin() + 4, narrow.begin() + first);
  const size_t wideFirst = wide.size();
  wide.insert(wide.end(), {0, 0, 0, 0, 0, 0});  // delay, next
  wide.insert(wide.end(), {0x00, 0x03, 0x01, 0x23, 0x04, 0xFF, 0xF0, 0xFF});
  const size_t last = wide.size();
  wide.insert(wide.end(), {0, 0x40, 0, 0, uint8_t(last >> 8), uint8_t(last), 0x02, 0xFF});
  wide[wideFirst + 4] = uint8_t(last >> 8);
  wide[wideFirst + 5] = uint8_t(last);
  wide[5] = uint8_t(wide.size());
  wide[9] = uint8_t(wideFirst);
  SoftCopy copy(SoftCopy::Codec::VobSub);
  Bytes out;
  EXPECT_EQ(copy.Take(wide.data(), wide.size(), out), Outcome::LeftOut);
  EXPECT_EQ(copy.DamagedPackets(), 0);
  wide[wideFirst + 6] = 0x01;
  EXPECT_EQ(copy.Take(wide.data(), wide.size(), out), Outcome::Written);
  EXPECT_EQ(copy.DamagedPackets(), 0);
}

TEST(ForcedSetsVobSubTest, DamagedUnitsAreJudgedByWhatCanBeRead) {
  const Bytes forced = Unit(0x00);
  const size_t first = size_t{forced[2]} << 8 | forced[3];
  // Every cut: before the forced start the unit passes, from it on it is left
  // out; either way it is damaged, and nothing past the cut is read.
  for (size_t size = 1; size < forced.size(); ++size) {
    SCOPED_TRACE(size);
    SoftCopy copy(SoftCopy::Codec::VobSub);
    Bytes out;
    const Outcome outcome = TakeExact(copy, Bytes(forced.begin(), forced.begin() + size), out);
    EXPECT_EQ(outcome, size > first + 4 ? Outcome::LeftOut : Outcome::Written);
    EXPECT_EQ(copy.DamagedPackets(), 1);
  }

  SoftCopy copy(SoftCopy::Codec::VobSub);
  Bytes out;
  // The first sequence's offset inside the header, or past the unit.
  for (uint8_t at : {0, 2, 0xF0}) {
    Bytes bad = forced;
    bad[3] = at;
    EXPECT_EQ(TakeExact(copy, bad, out), Outcome::Written);
    EXPECT_EQ(out, bad);
  }
  // Sequences that point back at each other end the walk.
  Bytes loop = Unit(0x01);
  const size_t second = size_t{loop[first + 2]} << 8 | loop[first + 3];
  loop[second + 2] = loop[2];
  loop[second + 3] = loop[3];
  EXPECT_EQ(TakeExact(copy, loop, out), Outcome::Written);
  // An unknown command ends what can be read.
  Bytes unknown = Unit(0x01, {0x42});
  EXPECT_EQ(TakeExact(copy, unknown, out), Outcome::Written);
  EXPECT_EQ(copy.DamagedPackets(), 5);
  EXPECT_EQ(copy.KeptSets(), 5);
}

}  // namespace
