// Mixed pictures (planar, with a band in BGR) give the encoder exactly the
// picture that BGR input gives it, so the chunks are the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include "compressors/Compressor.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorFactory.h"
#include "compressors/CompressorYuv.h"
#include "picture/BmpFrame.h"
#include "support/PlanarRows.h"

namespace {

// 64 rows at least: SVT-AV1 takes no smaller picture.
constexpr int kWidth = 64, kHeight = 64, kPictures = 12;

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

// The planes in counted buffers, as a decoder hands them out.
struct CountedPlanes {
  AVFrame* frame = av_frame_alloc();
  explicit CountedPlanes(const Planes& planes) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    EXPECT_GE(av_frame_get_buffer(frame, 0), 0);
    const std::vector<uint8_t>* from[3] = {&planes.y, &planes.u, &planes.v};
    for (int plane = 0; plane < 3; ++plane) {
      const int shift = plane == 0 ? 0 : 1;
      av_image_copy_plane(frame->data[plane], frame->linesize[plane], from[plane]->data(),
                          kWidth >> shift, kWidth >> shift, kHeight >> shift);
    }
  }
  ~CountedPlanes() { av_frame_free(&frame); }
  PLANARPICTURE::PlanarPicture Picture() const {
    PLANARPICTURE::PlanarPicture picture;
    for (int plane = 0; plane < 3; ++plane) {
      picture.Data[plane] = frame->data[plane];
      picture.Stride[plane] = frame->linesize[plane];
    }
    picture.Width = kWidth;
    picture.Height = kHeight;
    picture.Frame = frame;
    return picture;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes;
    for (int plane = 0; plane < 3; ++plane) {
      const int shift = plane == 0 ? 0 : 1;
      for (int row = 0; row < kHeight >> shift; ++row) {
        const uint8_t* at = frame->data[plane] + row * frame->linesize[plane];
        bytes.insert(bytes.end(), at, at + (kWidth >> shift));
      }
    }
    return bytes;
  }
};

std::unique_ptr<COMPRESSOR::Compressor> Started(const COMPRESSORCATALOG::CompressorInfo& info) {
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = info.code;
  choice.Quality = 0;
  auto compressor = COMPRESSOR::MakeCompressor(info, choice);
  const COMPRESSOR::BgrFormat input{kWidth, kHeight, false};
  COMPRESSOR::EncodedFormat format;
  EXPECT_EQ(compressor->Start(input, 1, 25, &format), COMPRESSOR::Status::Ok) << info.name;
  return compressor;
}

using Chunks = std::vector<std::vector<uint8_t>>;

COMPRESSOR::ChunkSink Into(Chunks& chunks) {
  return [&chunks](const COMPRESSOR::Chunk& chunk) {
    const uint8_t* bytes = static_cast<const uint8_t*>(chunk.data);
    chunks.emplace_back(bytes, bytes + chunk.size);
    return COMPRESSOR::Status::Ok;
  };
}

TEST(MixedPictures, AreTakenOnlyByEncodersOf420OnVideoLevels) {
  for (const auto& info : COMPRESSORCATALOG::InstalledCompressors()) {
    const std::string code = COMPRESSORCATALOG::CodeText(info.code);
    const bool expected = code == "XVID" || code == "H264" || !info.aviCarries;
    EXPECT_EQ(Started(info)->TakesPlanar(), expected) << code;
  }
}

// How the mixed picture's planes are held: in plain memory; in counted
// buffers the encoder may borrow and write the band into; or in counted
// buffers someone else holds too (a decoder predicting from the picture),
// which must stay as they were.
enum class Holding { Plain, Counted, Shared };

// Compresses `mixed` with its planes held as `holding` says; a picture held
// by someone else must come out as it went in.
void CompressHeld(COMPRESSOR::Compressor& compressor, const Planes& planes,
                  PLANARPICTURE::MixedPicture mixed, Holding holding, Chunks& chunks) {
  if (holding == Holding::Plain) {
    mixed.Planes = planes.Picture();
    EXPECT_EQ(compressor.CompressMixed(mixed, Into(chunks)), COMPRESSOR::Status::Ok);
    return;
  }
  const CountedPlanes counted(planes);
  AVFrame* other = holding == Holding::Shared ? av_frame_clone(counted.frame) : nullptr;
  const std::vector<uint8_t> before = counted.Bytes();
  mixed.Planes = counted.Picture();
  EXPECT_EQ(compressor.CompressMixed(mixed, Into(chunks)), COMPRESSOR::Status::Ok);
  if (other != nullptr) EXPECT_TRUE(counted.Bytes() == before) << "written into a held picture";
  av_frame_free(&other);
}

// The band's planes are spoilt on purpose: only the BGR rows may count there.
TEST(MixedPictures, GiveTheChunksOfTheSameBgrPictures) {
  const COMPRESSORCATALOG::CompressorInfo* info =
      COMPRESSORCATALOG::FindCompressor(MakeFourCC('X', 'V', 'I', 'D'));
  ASSERT_NE(info, nullptr);
  const PLANARPICTURE::RowBand bands[] = {{0, 0}, {0, kHeight}, {10, 14}, {kHeight - 6, 6}};
  for (const Holding holding : {Holding::Plain, Holding::Counted, Holding::Shared})
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
        std::memset(planes.u.data() + band.Top / 2 * kWidth / 2, 0,
                    size_t(band.Count) * kWidth / 4);
        ASSERT_EQ(fromBgr->Compress(frame.Pixels(), frame.size() - 54, Into(bgrChunks)),
                  COMPRESSOR::Status::Ok);
        CompressHeld(*fromMixed, planes, {{}, frame.data(), band}, holding, mixedChunks);
      }
      ASSERT_EQ(fromBgr->Finish(Into(bgrChunks)), COMPRESSOR::Status::Ok);
      ASSERT_EQ(fromMixed->Finish(Into(mixedChunks)), COMPRESSOR::Status::Ok);
      ASSERT_EQ(bgrChunks.size(), size_t(kPictures));
      EXPECT_TRUE(mixedChunks == bgrChunks)
          << "band " << band.Top << "+" << band.Count << ", holding " << int(holding);
    }
}

// Ink that changes every third byte of the band's rows, as a drawing
// blended into the planes would.
class StripedInk : public PLANARPICTURE::PlanarInk {
 public:
  void BlendInto(const PLANARPICTURE::PlanarRows& planes,
                 PLANARPICTURE::RowBand band) const override {
    for (int plane = 0; plane < 3; ++plane) {
      const int shift = plane == 0 ? 0 : 1;
      for (int row = band.Top >> shift; row < (band.Top + band.Count) >> shift; ++row)
        for (int x = 0; x < kWidth >> shift; x += 3) {
          uint8_t& byte = planes.Data[plane][row * planes.Stride[plane] + x];
          byte = uint8_t(255 - byte / 2);
        }
    }
  }
};

// Inked pictures give the chunks of the same planes inked beforehand, and
// never write into a picture someone else holds.
TEST(MixedPictures, WithInkGiveTheChunksOfThePlanesInkedBeforehand) {
  const COMPRESSORCATALOG::CompressorInfo* info =
      COMPRESSORCATALOG::FindCompressor(MakeFourCC('X', 'V', 'I', 'D'));
  ASSERT_NE(info, nullptr);
  const StripedInk ink;
  const PLANARPICTURE::RowBand bands[] = {{0, kHeight}, {10, 14}, {kHeight - 6, 6}};
  for (const Holding holding : {Holding::Plain, Holding::Counted, Holding::Shared})
    for (const PLANARPICTURE::RowBand& band : bands) {
      auto inkedBefore = Started(*info);
      auto inkedMixed = Started(*info);
      Chunks beforeChunks, mixedChunks;
      BMPFRAME::BmpFrame frame;
      ASSERT_TRUE(frame.Allocate(kWidth, kHeight));
      for (int n = 0; n < kPictures; ++n) {
        Paint(frame, n);
        Planes planes = PlanesOf(frame);
        Planes inked = planes;
        ink.BlendInto(TESTSUPPORT::PlanarRowsOf(inked.y, inked.u, inked.v, kWidth), band);
        ASSERT_EQ(inkedBefore->CompressMixed({inked.Picture(), nullptr, {}}, Into(beforeChunks)),
                  COMPRESSOR::Status::Ok);
        CompressHeld(*inkedMixed, planes, {{}, nullptr, band, &ink}, holding, mixedChunks);
      }
      ASSERT_EQ(inkedBefore->Finish(Into(beforeChunks)), COMPRESSOR::Status::Ok);
      ASSERT_EQ(inkedMixed->Finish(Into(mixedChunks)), COMPRESSOR::Status::Ok);
      ASSERT_EQ(beforeChunks.size(), size_t(kPictures));
      EXPECT_TRUE(mixedChunks == beforeChunks)
          << "band " << band.Top << "+" << band.Count << ", holding " << int(holding);
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
  EXPECT_EQ(compressor->CompressMixed(mixed, Into(chunks)), COMPRESSOR::Status::BadFormat);
  mixed.Bgr = frame.data();
  mixed.Planes.Height = kHeight - 2;
  EXPECT_EQ(compressor->CompressMixed(mixed, Into(chunks)), COMPRESSOR::Status::BadFormat);
  // Full Frames takes no planar pictures at all.
  auto full = Started(*COMPRESSORCATALOG::FindCompressor(COMPRESSORCATALOG::kFullFrames));
  EXPECT_FALSE(full->TakesPlanar());
  EXPECT_EQ(full->CompressMixed(mixed, Into(chunks)), COMPRESSOR::Status::Unsupported);
}

}  // namespace
