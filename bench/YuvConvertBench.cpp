// Time of the compressors' BGR to YUV 4:2:0 conversion on a 1280x720
// bottom-up picture: prints milliseconds per picture.
// Usage: yuv_convert_bench [PICTURES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "compressors/CompressorYuv.h"

int main(int argc, char** argv) {
  const int pictures = argc > 1 ? std::atoi(argv[1]) : 500;
  constexpr int kWidth = 1280, kHeight = 720, kStride = kWidth * 3;
  std::vector<uint8_t> bgr(size_t(kStride) * kHeight);
  for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t(i * 7 + i / 3001);
  std::vector<uint8_t> y(size_t(kWidth) * kHeight), u(y.size() / 4), v(y.size() / 4);
  const COMPRESSOR::YuvPlanes planes{{y.data(), u.data(), v.data()},
                                     {kWidth, kWidth / 2, kWidth / 2}};
  const uint8_t* top = bgr.data() + size_t(kStride) * (kHeight - 1);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < pictures; ++i)
    COMPRESSOR::BgrToYuv420(top, -kStride, kWidth, 0, kHeight, COMPRESSOR::YuvRange::Limited,
                            planes);
  const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
  std::printf("%.3f ms per 1280x720 picture (%d pictures, check %d)\n", spent.count() / pictures,
              pictures, y[12345] + u[678] + v[910]);
  return 0;
}
