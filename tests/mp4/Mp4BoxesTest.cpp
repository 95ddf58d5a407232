// Box headers as the files state them, and boxes held within what holds
// them whatever sizes are stated.
#include <cstdint>
#include <limits>
#include <string>

#include "mp4/Mp4Boxes.h"
#include "support/TestSupport.h"

using MP4BOXES::Box;

namespace {

constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();

std::string BigEndianBytes(uint64_t value, int count) {
  std::string bytes;
  for (int k = count - 1; k >= 0; --k) bytes += char(value >> 8 * k);
  return bytes;
}

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

Box Header(uint64_t at, uint32_t size, const char* type) {
  return MP4BOXES::BoxAt(at, Bytes(BigEndianBytes(size, 4) + type));
}

TEST(Mp4BoxesTest, HeadersGiveTypeSizeAndTheirOwnLength) {
  const Box box = Header(40, 0x01020304, "moov");
  EXPECT_EQ(box.At, 40u);
  EXPECT_EQ(box.Size, 0x01020304u);
  EXPECT_EQ(box.Header, MP4BOXES::kHeaderBytes);
  EXPECT_TRUE(box.Is("moov"));
  EXPECT_EQ(box.TypeName(), "moov");
  EXPECT_EQ(box.End(), 40u + 0x01020304u);

  // A size of 1: the 64-bit size follows the type.
  Box large = Header(0, 1, "mdat");
  EXPECT_EQ(large.Header, MP4BOXES::kLargeHeaderBytes);
  MP4BOXES::TakeLargeSize(large, Bytes(BigEndianBytes(0x1122334455667788, 8)));
  EXPECT_EQ(large.Size, 0x1122334455667788u);

  EXPECT_EQ(MP4BOXES::BigEndian(Bytes(std::string("\xff\x00\x80", 3)), 3), 0xff0080u);
}

TEST(Mp4BoxesTest, ABoxFitsOnlyWithinWhatHoldsIt) {
  // Exactly to the end, and one byte past it.
  Box box = Header(100, 50, "free");
  EXPECT_TRUE(MP4BOXES::FitWithin(box, 150));
  box = Header(100, 51, "free");
  EXPECT_FALSE(MP4BOXES::FitWithin(box, 150));
  // A size of 0 runs to the end of what holds it.
  box = Header(100, 0, "mdat");
  EXPECT_TRUE(MP4BOXES::FitWithin(box, 150));
  EXPECT_EQ(box.Size, 50u);
  EXPECT_EQ(box.End(), 150u);
  // Smaller than its own header: an 8-byte one, and a 16-byte one.
  box = Header(0, 7, "free");
  EXPECT_FALSE(MP4BOXES::FitWithin(box, 150));
  box = Header(0, 1, "free");
  MP4BOXES::TakeLargeSize(box, Bytes(BigEndianBytes(15, 8)));
  EXPECT_FALSE(MP4BOXES::FitWithin(box, 150));
  MP4BOXES::TakeLargeSize(box, Bytes(BigEndianBytes(16, 8)));
  EXPECT_TRUE(MP4BOXES::FitWithin(box, 150));
  // Only the 32-bit size of 0 runs to the end.
  MP4BOXES::TakeLargeSize(box, Bytes(BigEndianBytes(0, 8)));
  EXPECT_FALSE(MP4BOXES::FitWithin(box, 150));
  // A box that starts past the end.
  box = Header(151, 8, "free");
  EXPECT_FALSE(MP4BOXES::FitWithin(box, 150));
}

// Sizes whose sums with the box's place would wrap around 64 bits.
TEST(Mp4BoxesTest, NoStatedSizeWrapsPastTheEnd) {
  for (uint64_t size : {kMost, kMost - 7, uint64_t(1) << 63}) {
    Box box = Header(kMost - 100, 1, "free");
    MP4BOXES::TakeLargeSize(box, Bytes(BigEndianBytes(size, 8)));
    EXPECT_FALSE(MP4BOXES::FitWithin(box, kMost - 50)) << size;
    box.At = 16;
    EXPECT_FALSE(MP4BOXES::FitWithin(box, 1000)) << size;
  }
  Box whole = Header(0, 1, "mdat");
  MP4BOXES::TakeLargeSize(whole, Bytes(BigEndianBytes(kMost, 8)));
  EXPECT_TRUE(MP4BOXES::FitWithin(whole, kMost));
}

}  // namespace
