// A file past 1 GB, written through the service as the job writes one, and
// read by ffmpeg to its last picture.
#include <gtest/gtest.h>

#include <cstring>

#include "avi/AviTestSupport.h"
#include "avi/Vfw.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 180;  // 1.12 GB of pictures
constexpr int kFrameBytes = kWidth * 3 * kHeight;

uint8_t Shade(int frame) { return uint8_t(20 + frame % 200); }

void WriteLargeFile(const std::string& path) {
  PAVIFILE file = nullptr;
  PAVISTREAM raw = nullptr, compressed = nullptr, audio = nullptr;
  ASSERT_EQ(
      AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_SHARE_DENY_NONE | OF_READWRITE, nullptr),
      AVIERR_OK);
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, kWidth, kHeight};
  ASSERT_EQ(AVIFileCreateStreamA(file, &raw, &info), AVIERR_OK);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = MakeFourCC('D', 'I', 'B', ' ');
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), AVIERR_OK);
  AVISTREAMINFOA audioInfo{};
  audioInfo.fccType = streamtypeAUDIO;
  audioInfo.dwScale = 1;
  audioInfo.dwRate = 44100;
  audioInfo.dwSampleSize = 4;
  ASSERT_EQ(AVIFileCreateStreamA(file, &audio, &audioInfo), AVIERR_OK);
  const WAVEFORMATEX pcm{1, 2, 44100, 44100 * 4, 4, 16, 0};
  ASSERT_EQ(AVIStreamSetFormat(audio, 0, &pcm, sizeof pcm), AVIERR_OK);
  BITMAPINFOHEADER format{40, kWidth, kHeight, 1, 24, BI_RGB, kFrameBytes, 0, 0, 0, 0};
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_OK);
  std::vector<uint8_t> pixels(kFrameBytes);
  const std::vector<uint8_t> silence(4096, 0);
  for (int frame = 0; frame < kFrames; ++frame) {
    std::memset(pixels.data(), Shade(frame), pixels.size());
    ASSERT_EQ(AVIStreamWrite(compressed, frame, 1, pixels.data(), kFrameBytes, 0, nullptr, nullptr),
              AVIERR_OK);
    ASSERT_EQ(
        AVIStreamWrite(audio, frame, 1, silence.data(), 4096, AVIIF_KEYFRAME, nullptr, nullptr),
        AVIERR_OK);
  }
  AVIFileEndRecord(file);
  AVIStreamRelease(raw);
  AVIStreamRelease(compressed);
  AVIStreamRelease(audio);
  AVIFileRelease(file);
}

TEST(AviLargeFile, PlaysToItsLastPicture) {
  testsupport::TempDir dir;
  const std::string path = (dir / "large.avi").string();
  WriteLargeFile(path);

  const auto chunks = avitest::TopLevelChunks(path);
  ASSERT_GE(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].type, "AVI ");
  EXPECT_EQ(chunks[1].type, "AVIX");
  EXPECT_GT(std::filesystem::file_size(path), uint64_t(1) << 30);

  const std::string packets = testsupport::Ffprobe(
      "-count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" + path + "'");
  EXPECT_EQ(packets, std::to_string(kFrames) + "\n" + std::to_string(kFrames) + "\n");

  // Decode every picture, keep only the last one.
  std::string last;
  const int status = testsupport::RunShell(
      "ffmpeg -nostdin -v error -i '" + path + "' -vf 'select=gte(n\\," +
          std::to_string(kFrames - 1) + ")' -vsync 0 -f rawvideo -pix_fmt bgr24 -",
      &last);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(last.size(), size_t(kFrameBytes));
  EXPECT_EQ(last.find_first_not_of(char(Shade(kFrames - 1))), std::string::npos);
}

}  // namespace
