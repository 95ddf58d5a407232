// What an encoder choice says beyond the AVI service's record reaches the
// encoder: the colour description into the stream, the preset into the
// encoder's settings, and a bit depth the encoders cannot write refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorFactory.h"
#include "picture/BmpFrame.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

const COMPRESSORCATALOG::CompressorInfo& H264() {
  const auto* info = COMPRESSORCATALOG::FindCompressorByCode("H264");
  EXPECT_NE(info, nullptr);
  return *info;
}

// Every byte the encoder writes for a few grey pictures, in order.
std::vector<uint8_t> Encoded(const ENCODERCHOICE::EncoderChoice& choice) {
  auto compressor = COMPRESSOR::MakeCompressor(H264(), choice);
  COMPRESSOR::EncodedFormat format;
  EXPECT_EQ(compressor->Start({kWidth, kHeight, false}, 1, 25, &format), COMPRESSOR::Status::Ok);
  BMPFRAME::BmpFrame frame;
  EXPECT_TRUE(frame.Allocate(kWidth, kHeight));
  std::vector<uint8_t> bytes;
  const COMPRESSOR::ChunkSink sink = [&bytes](const COMPRESSOR::Chunk& chunk) {
    const auto* data = static_cast<const uint8_t*>(chunk.data);
    bytes.insert(bytes.end(), data, data + chunk.size);
    return COMPRESSOR::Status::Ok;
  };
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(compressor->Compress(frame.Pixels(), frame.size() - 54, sink),
              COMPRESSOR::Status::Ok);
  EXPECT_EQ(compressor->Finish(sink), COMPRESSOR::Status::Ok);
  return bytes;
}

struct Described {
  int primaries = -1, transfer = -1, matrix = -1;
};

// The colour description a decoder finds in the stream.
Described DecodedColour(const std::vector<uint8_t>& stream) {
  Described found;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (avcodec_open2(context, codec, nullptr) == 0 &&
      av_new_packet(packet, int(stream.size())) == 0) {
    std::copy(stream.begin(), stream.end(), packet->data);
    avcodec_send_packet(context, packet);
    avcodec_send_packet(context, nullptr);
    if (avcodec_receive_frame(context, frame) == 0)
      found = {frame->color_primaries, frame->color_trc, frame->colorspace};
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return found;
}

bool Holds(const std::vector<uint8_t>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

}  // namespace

TEST(EncoderChoiceTest, TheColourDescriptionIsWrittenIntoTheStream) {
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = H264().code;
  const Described unspecified = DecodedColour(Encoded(choice));
  EXPECT_EQ(unspecified.primaries, AVCOL_PRI_UNSPECIFIED);
  EXPECT_EQ(unspecified.transfer, AVCOL_TRC_UNSPECIFIED);
  EXPECT_EQ(unspecified.matrix, AVCOL_SPC_UNSPECIFIED);

  choice.Colour = {AVCOL_PRI_BT2020, AVCOL_TRC_SMPTE2084, AVCOL_SPC_BT2020_NCL, false, {}};
  const Described hdr = DecodedColour(Encoded(choice));
  EXPECT_EQ(hdr.primaries, AVCOL_PRI_BT2020);
  EXPECT_EQ(hdr.transfer, AVCOL_TRC_SMPTE2084);
  EXPECT_EQ(hdr.matrix, AVCOL_SPC_BT2020_NCL);
}

// x264 writes its settings into the stream: the fastest preset leaves out
// the sub-pixel refinement that its default does.
TEST(EncoderChoiceTest, ThePresetReachesTheEncoderAndTheOptionsStillWin) {
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = H264().code;
  EXPECT_TRUE(Holds(Encoded(choice), "subme=7"));
  choice.Preset = "ultrafast";
  EXPECT_TRUE(Holds(Encoded(choice), "subme=0"));
  choice.EncoderOptions = "preset=veryslow";
  EXPECT_TRUE(Holds(Encoded(choice), "subme=10"));
}

// 10 bits where the codec keeps deep colour, and the stream says so; 12
// nowhere.
TEST(EncoderChoiceTest, ADepthTheEncodersCannotWriteIsRefusedAtTheStart) {
  for (const auto& info : COMPRESSORCATALOG::InstalledCompressors()) {
    if (info.encoder == nullptr) continue;
    for (const int depth : {10, 12}) {
      ENCODERCHOICE::EncoderChoice choice;
      choice.Codec = info.code;
      choice.BitDepth = depth;
      auto compressor = COMPRESSOR::MakeCompressor(info, choice);
      COMPRESSOR::EncodedFormat format;
      // SVT-AV1 takes no picture under 64 rows.
      const COMPRESSOR::Status started = compressor->Start({kWidth, 64, false}, 1, 25, &format);
      if (depth == 10 && info.keepsDeepColour) {
        EXPECT_EQ(started, COMPRESSOR::Status::Ok) << info.name;
        EXPECT_EQ(format.PixelFormat, AV_PIX_FMT_YUV420P10LE) << info.name;
        EXPECT_TRUE(compressor->TakesPlanar()) << info.name;
      } else {
        EXPECT_EQ(started, COMPRESSOR::Status::Unsupported) << info.name << " " << depth;
      }
    }
  }
}
