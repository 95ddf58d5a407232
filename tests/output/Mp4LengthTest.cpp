// The length written into a finished MP4's movie header: the one field
// changed in the header as it is found, or the file left byte for byte as it
// was.
#include "output/Mp4Length.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace testsupport;
using namespace std::string_literals;
using MP4LENGTH::Length;
using MP4LENGTH::Outcome;
using MP4LENGTH::StateLength;

namespace {

std::string BigEndian(uint64_t value, int count) {
  std::string bytes;
  for (int k = count - 1; k >= 0; --k) bytes += char(value >> 8 * k);
  return bytes;
}

std::string Box(const std::string& type, const std::string& content) {
  return BigEndian(8 + content.size(), 4) + type + content;
}

// A box with its size in the 64-bit field.
std::string WideBox(const std::string& type, const std::string& content) {
  return BigEndian(1, 4) + type + BigEndian(16 + content.size(), 8) + content;
}

// Version, flags, creation and change times, timescale, duration, then rate,
// volume, matrix and the next track's number (left at 0 here).
std::string MovieHeader(int version, uint32_t timescale, uint64_t duration) {
  const int width = version == 1 ? 8 : 4;
  return Box("mvhd", BigEndian(uint64_t(version) << 24, 4) + BigEndian(3, width) +
                         BigEndian(4, width) + BigEndian(timescale, 4) +
                         BigEndian(duration, width) + std::string(80, '\0'));
}

const std::string kStart = Box("ftyp", "isom\0\0\2\0isomiso6"s), kFree = Box("free", "");
const std::string kTrack = Box("trak", Box("tkhd", std::string(84, '\0')));
const std::string kFragment = Box("moof", Box("mfhd", std::string(8, '\0'))) + Box("mdat", "xyz");

class Mp4LengthTest : public ::testing::Test {
 protected:
  // The outcome for the file, which must then hold `expected`.
  Outcome State(const std::string& bytes, const Length& length, const std::string& expected) {
    WriteFile(file, bytes);
    const Outcome outcome = StateLength(file.string(), length);
    EXPECT_EQ(ReadFile(file), expected);
    return outcome;
  }
  TempDir dir;
  fs::path file = dir / "out.mp4";
};

TEST_F(Mp4LengthTest, TheDurationIsWrittenInTheHeadersOwnTimescaleAndWidth) {
  const Length pictures{982800, 1, 90000};  // 10.92 s
  const auto file = [](const std::string& header) {
    return kStart + kFree + Box("moov", header + kTrack) + kFragment;
  };
  EXPECT_EQ(State(file(MovieHeader(0, 600, 0)), pictures, file(MovieHeader(0, 600, 6552))),
            Outcome::Stated);
  // Never short: a third of a second is 334 ms.
  EXPECT_EQ(State(file(MovieHeader(0, 1000, 7)), {1, 1, 3}, file(MovieHeader(0, 1000, 334))),
            Outcome::Stated);
  EXPECT_EQ(State(file(MovieHeader(0, 1000, 0)), {5, 7, 3}, file(MovieHeader(0, 1000, 11667))),
            Outcome::Stated);
  const auto wide = [](const std::string& header) {
    return kStart + WideBox("moov", kTrack + header) + kFragment;
  };
  EXPECT_EQ(State(wide(MovieHeader(1, 90000, 0)), pictures, wide(MovieHeader(1, 90000, 982800))),
            Outcome::Stated);
  // Past 32 bits only a version 1 header can hold it.
  const Length days{int64_t(1) << 32, 1, 1000};
  EXPECT_EQ(State(file(MovieHeader(0, 1000, 0)), days, file(MovieHeader(0, 1000, 0))),
            Outcome::TooLong);
  EXPECT_EQ(State(wide(MovieHeader(1, 1000, 0)), days, wide(MovieHeader(1, 1000, 1ull << 32))),
            Outcome::Stated);
}

TEST_F(Mp4LengthTest, AFileNotAsExpectedIsLeftAsItWas) {
  const Length length{10, 1, 1};
  const std::string header = MovieHeader(0, 1000, 0), moov = Box("moov", header + kTrack);
  const struct {
    const char* what;
    std::string bytes;
    Outcome outcome;
  } cases[] = {
      {"moov after the fragments", kStart + kFragment + moov, Outcome::NotFound},
      {"no mvhd", kStart + Box("moov", kTrack) + kFragment, Outcome::NotFound},
      {"only an ftyp", kStart, Outcome::NotFound},
      {"empty", "", Outcome::NotFound},
      {"moov cut short", kStart + moov.substr(0, 60), Outcome::Malformed},
      {"box smaller than its header", kStart + BigEndian(4, 4) + "free" + moov, Outcome::Malformed},
      {"64-bit size smaller than its header", kStart + BigEndian(1, 4) + "moov" + BigEndian(12, 8),
       Outcome::Malformed},
      {"mvhd past its moov",
       kStart + BigEndian(8 + header.size() - 1, 4) + "moov" + header + kFragment,
       Outcome::Malformed},
      {"mvhd version 2",
       kStart + Box("moov", header.substr(0, 8) + "\2" + header.substr(9)) + kFragment,
       Outcome::Malformed},
      {"version 1 fields in a version 0 size",
       kStart + Box("moov", Box("mvhd", BigEndian(1u << 24, 4) + std::string(20, '\1'))),
       Outcome::Malformed},
      {"timescale 0", kStart + Box("moov", MovieHeader(0, 0, 0)) + kFragment, Outcome::Malformed},
  };
  for (const auto& c : cases) EXPECT_EQ(State(c.bytes, length, c.bytes), c.outcome) << c.what;

  const std::string good = kStart + moov + kFragment;
  for (const Length nothing : {Length{0, 1, 25}, Length{-3, 1, 25}, Length{3, 1, 0}})
    EXPECT_EQ(State(good, nothing, good), Outcome::NoLength);
  EXPECT_EQ(StateLength((dir / "absent.mp4").string(), length), Outcome::Unopened);
  EXPECT_EQ(StateLength(dir.path().string(), length), Outcome::Unopened);
  EXPECT_FALSE(fs::exists(dir / "absent.mp4"));
}

}  // namespace
