// The hardware encoders: the trial that decides whether one is listed, and,
// on a machine that has one, pictures through each listed.
#include <gtest/gtest.h>

#include <cstdarg>
#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "compressors/CompressorCatalog.h"
#include "compressors/CompressorFactory.h"
#include "compressors/HardwareEncoders.h"
#include "picture/BmpFrame.h"

namespace {

constexpr const char* kHardware[] = {"h264_nvenc", "hevc_nvenc", "h264_qsv",
                                     "hevc_qsv",   "h264_vaapi", "hevc_vaapi"};

const COMPRESSORCATALOG::CompressorInfo* KnownRow(const std::string& encoder) {
  for (const auto& info : COMPRESSORCATALOG::KnownCompressors())
    if (info.encoder != nullptr && info.encoder == encoder) return &info;
  return nullptr;
}

bool IsHardware(const std::string& encoder) {
  const COMPRESSORCATALOG::CompressorInfo* info = KnownRow(encoder);
  return info != nullptr && info->hardware.probed;
}

// The trial as the catalogue runs it for its row; a name it has no row for
// is tried as NV12 in plain memory.
bool Opens(const std::string& encoder) {
  const COMPRESSORCATALOG::CompressorInfo* info = KnownRow(encoder);
  if (info == nullptr) return HARDWAREENCODERS::Opens(encoder, AV_PIX_FMT_NV12, false);
  return HARDWAREENCODERS::Opens(encoder, info->picture.pixelFormat, info->hardware.deviceFrames);
}

// The trial opens what works here (x264 takes the same small picture) and
// nothing that is not there; without a render node VA-API cannot open.
TEST(HardwareEncoders, TheTrialOpensOnlyWhatWorksHere) {
  EXPECT_FALSE(Opens("no_such_encoder"));
  if (COMPRESSORCATALOG::FindCompressorByCode("H264")) EXPECT_TRUE(Opens("libx264"));
  if (!std::filesystem::exists("/dev/dri")) {
    EXPECT_FALSE(Opens("h264_vaapi"));
    EXPECT_FALSE(Opens("hevc_vaapi"));
  }
  for (const char* encoder : kHardware) EXPECT_TRUE(IsHardware(encoder)) << encoder;
  EXPECT_FALSE(IsHardware("libx264"));
  // Listed exactly where the trial opens them.
  for (const auto& info : COMPRESSORCATALOG::InstalledCompressors())
    if (info.hardware.probed) EXPECT_TRUE(Opens(info.encoder)) << info.name;
}

int gLogged = 0;
void CountingLog(void*, int, const char*, std::va_list) { ++gLogged; }

// A device that is not there has its library say why; the trial keeps that
// out of the program's log and gives the log its callback back.
TEST(HardwareEncoders, TheTrialKeepsTheLogQuietAndPutsItBack) {
  HARDWAREENCODERS::RememberLogCallback(CountingLog);
  av_log_set_callback(CountingLog);
  gLogged = 0;
  for (const char* encoder : kHardware) Opens(encoder);
  EXPECT_EQ(gLogged, 0);
  av_log(nullptr, AV_LOG_ERROR, "after the trials\n");
  EXPECT_EQ(gLogged, 1);
  HARDWAREENCODERS::RememberLogCallback(nullptr);
  av_log_set_callback(av_log_default_callback);
}

// Each listed hardware compressor takes BGR pictures, writes a key picture
// first and keeps its pictures out of AVI files.
TEST(HardwareEncoders, EachListedOneWritesPictures) {
  int tried = 0;
  for (const auto& info : COMPRESSORCATALOG::InstalledCompressors()) {
    if (!info.hardware.probed) continue;
    ++tried;
    EXPECT_FALSE(info.aviCarries) << info.name;
    ENCODERCHOICE::EncoderChoice choice;
    choice.Codec = info.code;
    auto compressor = COMPRESSOR::MakeCompressor(info, choice, true);
    COMPRESSOR::EncodedFormat format;
    ASSERT_EQ(compressor->Start({320, 240, false}, 1, 25, &format), COMPRESSOR::Status::Ok)
        << info.name;
    BMPFRAME::BmpFrame frame;
    ASSERT_TRUE(frame.Allocate(320, 240));
    int chunks = 0;
    bool firstKey = false;
    const COMPRESSOR::ChunkSink sink = [&](const COMPRESSOR::Chunk& chunk) {
      if (chunks++ == 0) firstKey = chunk.key;
      return COMPRESSOR::Status::Ok;
    };
    for (int n = 0; n < 10; ++n)
      ASSERT_EQ(compressor->Compress(frame.Pixels(), frame.size() - 54, sink),
                COMPRESSOR::Status::Ok)
          << info.name;
    ASSERT_EQ(compressor->Finish(sink), COMPRESSOR::Status::Ok) << info.name;
    EXPECT_EQ(chunks, 10) << info.name;
    EXPECT_TRUE(firstKey) << info.name;
  }
  if (tried == 0) GTEST_SKIP() << "no hardware encoder opens on this machine";
}

}  // namespace
