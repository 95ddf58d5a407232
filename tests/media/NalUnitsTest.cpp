// Keyframes told apart by their NAL unit headers: IDR and broken-link
// pictures need nothing before them; recovery points and clean random
// access pictures may have leading pictures that refer back; a packet that
// does not parse is taken as open.
#include "media/NalUnits.h"

#include <gtest/gtest.h>

#include <vector>

using NALUNITS::Codec;
using NALUNITS::KeyKind;
using NALUNITS::KindOfPacket;

namespace {

// Units framed with a 4-byte length each.
std::vector<uint8_t> WithLengths(const std::vector<std::vector<uint8_t>>& units,
                                 int lengthSize = 4) {
  std::vector<uint8_t> out;
  for (const auto& unit : units) {
    for (int i = lengthSize - 1; i >= 0; --i) out.push_back(uint8_t(unit.size() >> (8 * i)));
    out.insert(out.end(), unit.begin(), unit.end());
  }
  return out;
}

std::vector<uint8_t> WithStartCodes(const std::vector<std::vector<uint8_t>>& units) {
  std::vector<uint8_t> out;
  for (const auto& unit : units) {
    out.insert(out.end(), {0, 0, 0, 1});
    out.insert(out.end(), unit.begin(), unit.end());
  }
  return out;
}

KeyKind Kind(Codec codec, const std::vector<uint8_t>& packet, int lengthSize) {
  return KindOfPacket(codec, packet.data(), packet.size(), lengthSize);
}

}  // namespace

TEST(NalUnitsTest, H264IdrIsClosedARecoveryPointOpenAndOthersNoKey) {
  const std::vector<uint8_t> sps = {0x67, 0x64, 0x00, 0x1f}, pps = {0x68, 0xee, 0x3c};
  const std::vector<uint8_t> idr = {0x65, 0x88, 0x84}, slice = {0x41, 0x9a, 0x02};
  const std::vector<uint8_t> recovery = {0x06, 0x06, 0x01, 0xc4, 0x80};
  const std::vector<uint8_t> otherSei = {0x06, 0x05, 0x01, 0x00, 0x80};
  for (const int lengthSize : {1, 2, 4}) {
    SCOPED_TRACE(lengthSize);
    EXPECT_EQ(Kind(Codec::H264, WithLengths({sps, pps, idr}, lengthSize), lengthSize),
              KeyKind::Closed);
    EXPECT_EQ(Kind(Codec::H264, WithLengths({recovery, slice}, lengthSize), lengthSize),
              KeyKind::Open);
    EXPECT_EQ(Kind(Codec::H264, WithLengths({otherSei, slice}, lengthSize), lengthSize),
              KeyKind::NotKey);
  }
  EXPECT_EQ(Kind(Codec::H264, WithStartCodes({sps, pps, idr}), 0), KeyKind::Closed);
  EXPECT_EQ(Kind(Codec::H264, WithStartCodes({recovery, slice}), 0), KeyKind::Open);
  EXPECT_EQ(Kind(Codec::H264, WithStartCodes({slice}), 0), KeyKind::NotKey);
}

TEST(NalUnitsTest, HevcIdrAndBrokenLinksAreClosedCleanRandomAccessOpen) {
  const auto unit = [](int type) { return std::vector<uint8_t>{uint8_t(type << 1), 0x01, 0xaf}; };
  const std::vector<uint8_t> vps = unit(32), sps = unit(33), pps = unit(34);
  for (const int type : {17, 18, 19, 20})
    EXPECT_EQ(Kind(Codec::Hevc, WithLengths({vps, sps, pps, unit(type)}), 4), KeyKind::Closed)
        << type;
  for (const int type : {16, 21})
    EXPECT_EQ(Kind(Codec::Hevc, WithLengths({vps, sps, pps, unit(type)}), 4), KeyKind::Open)
        << type;
  EXPECT_EQ(Kind(Codec::Hevc, WithLengths({unit(1)}), 4), KeyKind::NotKey);
  EXPECT_EQ(Kind(Codec::Hevc, WithStartCodes({unit(21)}), 0), KeyKind::Open);
}

// HEVC's leading pictures that refer back (RASL) may be left out; a clean
// random access keyframe becomes a broken link in place, with the layer
// bit beside its type kept and nothing else touched.
TEST(NalUnitsTest, HevcLeadingPicturesAndBrokenLinks) {
  const auto unit = [](int type) { return std::vector<uint8_t>{uint8_t(type << 1), 0x01, 0xaf}; };
  for (const int type : {8, 9}) {
    const std::vector<uint8_t> packet = WithLengths({unit(39), unit(type)});
    EXPECT_TRUE(NALUNITS::SkipsWithoutItsKeyframe(Codec::Hevc, packet.data(), packet.size(), 4));
    EXPECT_FALSE(NALUNITS::SkipsWithoutItsKeyframe(Codec::H264, packet.data(), packet.size(), 4));
  }
  for (const int type : {1, 6, 7, 21}) {  // trailing, decodable leading, the keyframe
    const std::vector<uint8_t> packet = WithLengths({unit(type)});
    EXPECT_FALSE(NALUNITS::SkipsWithoutItsKeyframe(Codec::Hevc, packet.data(), packet.size(), 4))
        << type;
  }
  std::vector<uint8_t> cut = WithLengths({unit(8)});
  cut[3] = 9;
  EXPECT_FALSE(NALUNITS::SkipsWithoutItsKeyframe(Codec::Hevc, cut.data(), cut.size(), 4));

  std::vector<uint8_t> layered = unit(21);
  layered[0] |= 0x01;  // the top bit of the layer
  std::vector<uint8_t> packet = WithLengths({unit(32), unit(21), layered, unit(1)}, 2);
  EXPECT_EQ(NALUNITS::BreakLinks(packet.data(), packet.size(), 2), 2u);
  std::vector<uint8_t> brokenLayered = unit(16);
  brokenLayered[0] |= 0x01;
  EXPECT_EQ(packet, WithLengths({unit(32), unit(16), brokenLayered, unit(1)}, 2));
  EXPECT_EQ(Kind(Codec::Hevc, packet, 2), KeyKind::Open);
  // What does not parse is left as it is.
  std::vector<uint8_t> damaged = WithLengths({unit(21)});
  damaged[3] = 9;
  const std::vector<uint8_t> before = damaged;
  EXPECT_EQ(NALUNITS::BreakLinks(damaged.data(), damaged.size(), 4), 0u);
  EXPECT_EQ(damaged, before);
}

TEST(NalUnitsTest, DamagedPacketsAreTakenAsOpen) {
  std::vector<uint8_t> packet = WithLengths({{0x65, 0x88, 0x84}});
  packet[3] = 9;  // a length past the packet's end
  EXPECT_EQ(Kind(Codec::H264, packet, 4), KeyKind::Open);
  EXPECT_EQ(Kind(Codec::H264, {0, 0, 0}, 4), KeyKind::Open);     // a unit of no bytes
  EXPECT_EQ(Kind(Codec::H264, {0, 0}, 4), KeyKind::Open);        // a length cut short
  EXPECT_EQ(Kind(Codec::H264, {0x12, 0x34}, 0), KeyKind::Open);  // no start code
  EXPECT_EQ(KindOfPacket(Codec::H264, nullptr, 4, 4), KeyKind::Open);
  EXPECT_EQ(Kind(Codec::H264, {0, 0, 0, 1, 0x65}, 7), KeyKind::Open);
}

TEST(NalUnitsTest, TheConfigurationRecordTellsTheLengthSize) {
  const std::vector<uint8_t> avcc = {1, 0x64, 0, 0x1f, 0xfd, 0xe1};
  EXPECT_EQ(NALUNITS::LengthSizeOf(Codec::H264, avcc.data(), avcc.size()), 2);
  std::vector<uint8_t> hvcc(23, 0);
  hvcc[0] = 1;
  hvcc[21] = 0x0f;
  EXPECT_EQ(NALUNITS::LengthSizeOf(Codec::Hevc, hvcc.data(), hvcc.size()), 4);
  // Start codes in the record, or none at all.
  const std::vector<uint8_t> annexB = {0, 0, 0, 1, 0x67, 0x64};
  EXPECT_EQ(NALUNITS::LengthSizeOf(Codec::H264, annexB.data(), annexB.size()), 0);
  EXPECT_EQ(NALUNITS::LengthSizeOf(Codec::H264, nullptr, 0), 0);
  EXPECT_EQ(NALUNITS::LengthSizeOf(Codec::Hevc, hvcc.data(), 21), 0);
}

// An encoder's start codes become the container's lengths, unit for unit;
// the zero byte a four-byte start code leaves behind the unit before it
// goes, and a unit too long for the length size is refused.
TEST(NalUnitsTest, StartCodesBecomeLengths) {
  const std::vector<std::vector<uint8_t>> units = {
      {0x67, 0x64, 0x00, 0x1f}, {0x68, 0xee}, {0x65, 0x88, 0x84}};
  std::vector<uint8_t> out;
  const std::vector<uint8_t> annexB = WithStartCodes(units);
  ASSERT_TRUE(NALUNITS::ToLengthPrefixed(annexB.data(), annexB.size(), 4, out));
  EXPECT_EQ(out, WithLengths(units, 4));
  out.clear();
  ASSERT_TRUE(NALUNITS::ToLengthPrefixed(annexB.data(), annexB.size(), 2, out));
  EXPECT_EQ(out, WithLengths(units, 2));

  std::vector<uint8_t> big = {0, 0, 1, 0x65};
  big.resize(300, 0x11);
  out.clear();
  EXPECT_FALSE(NALUNITS::ToLengthPrefixed(big.data(), big.size(), 1, out));
  const std::vector<uint8_t> none = {0x65, 0x88};
  EXPECT_FALSE(NALUNITS::ToLengthPrefixed(none.data(), none.size(), 4, out));
  // A start code followed by nothing but zeros holds no unit.
  const std::vector<uint8_t> zeros = {0, 0, 1, 0, 0, 0, 1, 0};
  out.clear();
  EXPECT_FALSE(NALUNITS::ToLengthPrefixed(zeros.data(), zeros.size(), 4, out));
}

// The sets of an avcC and an hvcC record come out framed for the stream;
// a record whose counts run past its end is refused.
TEST(NalUnitsTest, ConfigurationRecordsGiveTheirParameterSets) {
  const std::vector<uint8_t> sps = {0x67, 0x64, 0x00, 0x1f, 0xac}, pps = {0x68, 0xeb, 0xe3};
  std::vector<uint8_t> avcc = {1, 0x64, 0, 0x1f, 0xff, 0xe1, 0, uint8_t(sps.size())};
  avcc.insert(avcc.end(), sps.begin(), sps.end());
  avcc.insert(avcc.end(), {1, 0, uint8_t(pps.size())});
  avcc.insert(avcc.end(), pps.begin(), pps.end());
  std::vector<uint8_t> out;
  ASSERT_TRUE(NALUNITS::ParameterSetsOf(Codec::H264, avcc.data(), avcc.size(), 4, out));
  EXPECT_EQ(out, WithLengths({sps, pps}, 4));

  const std::vector<uint8_t> vps = {0x40, 0x01, 0x0c}, hsps = {0x42, 0x01, 0x01},
                             hpps = {0x44, 0x01, 0xc1};
  std::vector<uint8_t> hvcc(22, 0);
  hvcc[0] = 1;
  hvcc[21] = 3;
  hvcc.push_back(3);
  for (const auto* unit : {&vps, &hsps, &hpps}) {
    hvcc.insert(hvcc.end(), {uint8_t(0x80 | ((*unit)[0] >> 1)), 0, 1, 0, uint8_t(unit->size())});
    hvcc.insert(hvcc.end(), unit->begin(), unit->end());
  }
  out.clear();
  ASSERT_TRUE(NALUNITS::ParameterSetsOf(Codec::Hevc, hvcc.data(), hvcc.size(), 4, out));
  EXPECT_EQ(out, WithLengths({vps, hsps, hpps}, 4));

  // A length size no container gives frames nothing, even of a record
  // without sets.
  const std::vector<uint8_t> empty = {1, 0x64, 0, 0x1f, 0xff, 0xe0, 0};
  for (int lengthSize : {0, 5, -1}) {
    EXPECT_FALSE(NALUNITS::ParameterSetsOf(Codec::H264, avcc.data(), avcc.size(), lengthSize, out));
    EXPECT_FALSE(
        NALUNITS::ParameterSetsOf(Codec::H264, empty.data(), empty.size(), lengthSize, out));
  }
  for (std::size_t cut = 1; cut < avcc.size(); ++cut) {
    out.clear();
    EXPECT_FALSE(NALUNITS::ParameterSetsOf(Codec::H264, avcc.data(), cut, 4, out)) << cut;
  }
  for (std::size_t cut = 23; cut < hvcc.size(); ++cut) {
    out.clear();
    EXPECT_FALSE(NALUNITS::ParameterSetsOf(Codec::Hevc, hvcc.data(), cut, 4, out)) << cut;
  }
}
