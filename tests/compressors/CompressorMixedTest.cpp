// Mixed pictures (planar, with a band in BGR) give the encoder exactly the
// picture that BGR input gives it, so the chunks are the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "compressors/Compressor.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorYuv.h"
#include "picture/BmpFrame.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kPictures = 12;

// A moving colour pattern, so that the encoder has work on every picture.
void Paint(BMPFRAME::BmpFrame& frame, int n) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = frame.Row(y) + 3 * x;
      p[0] = uint8_t(x * 4 + n * 9);
      p[1] = uint8_t(y * 5 + n * 3);
      p[2] = uint8_t((x ^ y) * 7 + n);
    }
}

struct Planes {
  std::vector<uint8_t> y, u, v;
  PLANARPICTURE::PlanarPicture Picture() const {
    PLANARPICTURE::PlanarPicture picture;
    picture.Data[0] = y.data();
    picture.Data[1] = u.data();
    picture.Data[2] = v.data();
    picture.Stride[0] = kWidth;
    picture.Stride[1] = picture.Stride[2] = kWidth / 2;
    picture.Width = kWidth;
    picture.Height = kHeight;
    return picture;
  }
};

// The frame's conversion on video levels, as the decoder would hold it.
Planes PlanesOf(const BMPFRAME::BmpFrame& frame) {
  Planes planes{std::vector<uint8_t>(kWidth * kHeight), std::vector<uint8_t>(kWidth * kHeight / 4),
                std::vector<uint8_t>(kWidth * kHeight / 4)};
  const COMPRESSOR::YuvPlanes target{{planes.y.data(), planes.u.data(), planes.v.data()},
                                     {kWidth, kWidth / 2, kWidth / 2}};
  COMPRESSOR::BgrToYuv420(frame.Row(kHeight - 1), -ptrdiff_t(frame.Stride()), kWidth, 0, kHeight,
                          COMPRESSOR::YuvRange::Limited, target);
  return planes;
}

std::unique_ptr<COMPRESSOR::Compressor> Started(const COMPRESSORCATALOG::CompressorInfo& info) {
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = info.code;
  auto compressor = COMPRESSOR::MakeCompressor(info, options, "");
  BITMAPINFOHEADER input{};
  input.biSize = sizeof input;
  input.biWidth = kWidth;
  input.biHeight = kHeight;
  input.biPlanes = 1;
  input.biBitCount = 24;
  input.biCompression = BI_RGB;
  std::vector<uint8_t> format;
  EXPECT_EQ(compressor->Start(input, 1, 25, &format), AVIERR_OK) << info.name;
  return compressor;
}

using Chunks = std::vector<std::vector<uint8_t>>;

COMPRESSOR::ChunkSink Into(Chunks& chunks) {
  return [&chunks](const COMPRESSOR::Chunk& chunk) {
    const uint8_t* bytes = static_cast<const uint8_t*>(chunk.data);
    chunks.emplace_back(bytes, bytes + chunk.size);
    return AVIERR_OK;
  };
}

TEST(MixedPictures, AreTakenOnlyByEncodersOf420OnVideoLevels) {
  for (const auto& info : COMPRESSORCATALOG::InstalledCompressors()) {
    const std::string code = COMPRESSORCATALOG::CodeText(info.code);
    const bool expected = code == "XVID" || code == "H264";
    EXPECT_EQ(Started(info)->TakesPlanar(), expected) << code;
  }
}

// The band's planes are spoilt on purpose: only the BGR rows may count there.
TEST(MixedPictures, GiveTheChunksOfTheSameBgrPictures) {
  const COMPRESSORCATALOG::CompressorInfo* info =
      COMPRESSORCATALOG::FindCompressor(MakeFourCC('X', 'V', 'I', 'D'));
  ASSERT_NE(info, nullptr);
  const PLANARPICTURE::RowBand bands[] = {{0, 0}, {0, kHeight}, {10, 14}, {kHeight - 6, 6}};
  for (const PLANARPICTURE::RowBand& band : bands) {
    auto fromBgr = Started(*info);
    auto fromMixed = Started(*info);
    ASSERT_TRUE(fromMixed->TakesPlanar());
    Chunks bgrChunks, mixedChunks;
    BMPFRAME::BmpFrame frame;
    ASSERT_TRUE(frame.Allocate(kWidth, kHeight));
    for (int n = 0; n < kPictures; ++n) {
      Paint(frame, n);
      Planes planes = PlanesOf(frame);
      std::memset(planes.y.data() + band.Top * kWidth, 0, size_t(band.Count) * kWidth);
      std::memset(planes.u.data() + band.Top / 2 * kWidth / 2, 0, size_t(band.Count) * kWidth / 4);
      ASSERT_EQ(fromBgr->Compress(frame.Pixels(), frame.size() - 54, Into(bgrChunks)), AVIERR_OK);
      const PLANARPICTURE::MixedPicture mixed{planes.Picture(), frame.data(), band};
      ASSERT_EQ(fromMixed->CompressMixed(mixed, Into(mixedChunks)), AVIERR_OK);
    }
    ASSERT_EQ(fromBgr->Finish(Into(bgrChunks)), AVIERR_OK);
    ASSERT_EQ(fromMixed->Finish(Into(mixedChunks)), AVIERR_OK);
    ASSERT_EQ(bgrChunks.size(), size_t(kPictures));
    EXPECT_TRUE(mixedChunks == bgrChunks) << "band " << band.Top << "+" << band.Count;
  }
}

TEST(MixedPictures, OfAnotherSizeOrWithoutTheirBgrRowsAreRefused) {
  const COMPRESSORCATALOG::CompressorInfo* info =
      COMPRESSORCATALOG::FindCompressor(MakeFourCC('H', '2', '6', '4'));
  ASSERT_NE(info, nullptr);
  auto compressor = Started(*info);
  BMPFRAME::BmpFrame frame;
  ASSERT_TRUE(frame.Allocate(kWidth, kHeight));
  Paint(frame, 0);
  const Planes planes = PlanesOf(frame);
  Chunks chunks;
  PLANARPICTURE::MixedPicture mixed{planes.Picture(), nullptr, {4, 8}};
  EXPECT_EQ(compressor->CompressMixed(mixed, Into(chunks)), AVIERR_BADFORMAT);
  mixed.Bgr = frame.data();
  mixed.Planes.Height = kHeight - 2;
  EXPECT_EQ(compressor->CompressMixed(mixed, Into(chunks)), AVIERR_BADFORMAT);
  // Full Frames takes no planar pictures at all.
  auto full = Started(*COMPRESSORCATALOG::FindCompressor(COMPRESSORCATALOG::kFullFrames));
  EXPECT_FALSE(full->TakesPlanar());
  EXPECT_EQ(full->CompressMixed(mixed, Into(chunks)), AVIERR_UNSUPPORTED);
}

}  // namespace
