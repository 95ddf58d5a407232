// The picture type: the layout every other layer relies on.
#include "picture/BmpFrame.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace BMPFRAME;

namespace {

uint32_t At32(const uint8_t* bytes, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, bytes + offset, 4);
  return value;
}

}  // namespace

TEST(BmpFrameTest, RowsArePaddedToFourBytes) {
  EXPECT_EQ(RowStride(1), 4u);
  EXPECT_EQ(RowStride(4), 12u);
  EXPECT_EQ(RowStride(5), 16u);
  EXPECT_EQ(RowStride(641), 1924u);
  EXPECT_EQ(ImageBytes(641, 3), 3 * 1924u);
  EXPECT_EQ(RowStride(0), 0u);
}

TEST(BmpFrameTest, HeadersDescribeABottomUp24BitPicture) {
  BmpFrame frame;
  ASSERT_TRUE(frame.Allocate(641, 3));
  const uint8_t* image = frame.data();
  EXPECT_EQ(frame.size(), 54 + 3 * 1924u);
  EXPECT_EQ(image[0], 'B');
  EXPECT_EQ(image[1], 'M');
  EXPECT_EQ(At32(image, 2), frame.size());
  EXPECT_EQ(At32(image, 10), 54u);
  EXPECT_EQ(At32(image, 14), 40u);
  EXPECT_EQ(At32(image, 18), 641u);
  EXPECT_EQ(At32(image, 22), 3u);
  EXPECT_EQ(At32(image, 34), 3 * 1924u);
  const BITMAPINFOHEADER* info = frame.View().Info();
  EXPECT_EQ(info->biPlanes, 1);
  EXPECT_EQ(info->biBitCount, 24);
  EXPECT_EQ(info->biCompression, BI_RGB);
  // The view reads back what the headers say.
  const BmpView view(frame.data());
  EXPECT_EQ(view.Width(), 641);
  EXPECT_EQ(view.Height(), 3);
  EXPECT_EQ(view.FormatSize(), 40u);
  EXPECT_EQ(view.ImageSize(), 3 * 1924u);
  EXPECT_EQ(view.Pixels(), frame.data() + 54);
  EXPECT_EQ(view.Row(2), frame.data() + 54 + 2 * 1924);
}

TEST(BmpFrameTest, PixelsAreAlignedAndTheMemoryIsReusedForSmallerPictures) {
  BmpFrame frame;
  ASSERT_TRUE(frame.Allocate(1280, 720, 64, 256));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(frame.Pixels()) % 64, 0u);
  // The slack after the last row is usable.
  std::memset(frame.Pixels(), 0x7F, ImageBytes(1280, 720) + 256);
  const uint8_t* before = frame.data();
  ASSERT_TRUE(frame.Allocate(640, 360, 64, 256));
  EXPECT_LE(std::abs(frame.data() - before), 64);
  EXPECT_EQ(frame.Width(), 640);
  EXPECT_EQ(frame.Pixels()[0], 0);  // zeroed again
  frame.Clear();
  EXPECT_TRUE(frame.empty());
  EXPECT_EQ(frame.size(), 0u);
}

TEST(BmpFrameTest, RefusesPicturesWhoseSizeTheHeadersCannotHold) {
  BmpFrame frame;
  EXPECT_FALSE(frame.Allocate(0, 10));
  EXPECT_FALSE(frame.Allocate(10, -1));
  EXPECT_FALSE(frame.Allocate(40000, 40000));  // 4.8 GB of pixels
  EXPECT_TRUE(frame.empty());
}
