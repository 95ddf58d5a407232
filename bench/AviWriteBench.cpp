// Times writing 1280x720 pictures through the AVI service with each installed
// compressor: pictures a second, and megabytes a second written.
//   avi_write_bench [frames] [folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/Vfw.h"
#include "compressors/CompressorCatalog.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1280, kHeight = 720;
constexpr int kFrameBytes = kWidth * 3 * kHeight;

// A gradient that moves a little with every picture, so encoders see motion.
void Paint(std::vector<uint8_t>& pixels, int frame) {
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = &pixels[size_t(y) * kWidth * 3];
    for (int x = 0; x < kWidth; ++x) {
      row[3 * x] = uint8_t(x + frame * 2);
      row[3 * x + 1] = uint8_t(y + frame);
      row[3 * x + 2] = uint8_t((x ^ y) + frame);
    }
  }
}

double WriteFile(const std::string& path, FOURCC code, int frames,
                 const std::vector<std::vector<uint8_t>>& pictures) {
  PAVIFILE file = nullptr;
  PAVISTREAM raw = nullptr, compressed = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_READWRITE, nullptr) != AVIERR_OK) return -1;
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, kWidth, kHeight};
  AVIFileCreateStreamA(file, &raw, &info);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = code;
  options.dwQuality = ICQUALITY_DEFAULT;
  AVIMakeCompressedStream(&compressed, raw, &options, nullptr);
  BITMAPINFOHEADER format{40, kWidth, kHeight, 1, 24, BI_RGB, kFrameBytes, 0, 0, 0, 0};
  AVIStreamSetFormat(compressed, 0, &format, sizeof format);
  const Clock::time_point start = Clock::now();
  for (int frame = 0; frame < frames; ++frame) {
    const std::vector<uint8_t>& pixels = pictures[size_t(frame) % pictures.size()];
    AVIStreamWrite(compressed, frame, 1, pixels.data(), kFrameBytes, 0, nullptr, nullptr);
  }
  AVIStreamRelease(raw);
  AVIStreamRelease(compressed);
  AVIFileRelease(file);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 250;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  std::vector<std::vector<uint8_t>> pictures(25, std::vector<uint8_t>(kFrameBytes));
  for (size_t i = 0; i < pictures.size(); ++i) Paint(pictures[i], int(i));
  std::printf("%d pictures of %dx%d\n", frames, kWidth, kHeight);
  for (const COMPRESSORCATALOG::CompressorInfo& compressor :
       COMPRESSORCATALOG::InstalledCompressors()) {
    const std::filesystem::path path = folder / "avi_write_bench.avi";
    const double seconds = WriteFile(path.string(), compressor.code, frames, pictures);
    const double megabytes = double(std::filesystem::file_size(path)) / 1e6;
    std::printf("%s  %-32s %8.1f pictures/s  %8.1f MB/s written  %9.1f MB\n",
                COMPRESSORCATALOG::CodeText(compressor.code).c_str(), compressor.name.c_str(),
                frames / seconds, megabytes / seconds, megabytes);
    std::filesystem::remove(path);
  }
  return 0;
}
