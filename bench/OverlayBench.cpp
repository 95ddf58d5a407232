// Times the per-frame subtitle overlay on a 1280x720 picture, and the drawing
// of one entry, which happens once per entry.
//   overlay_bench [frames]
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "subtitles/SubtitleOverlay.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> MakeFrame(int32_t width, int32_t height) {
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> frame(54 + stride * size_t(height));
  std::memcpy(&frame[18], &width, 4);
  std::memcpy(&frame[22], &height, 4);
  for (size_t i = 54; i < frame.size(); ++i) frame[i] = uint8_t(i * 7);
  return frame;
}

double NanosecondsPer(Clock::duration total, int count) {
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(total).count()) / count;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;

  SubtitleFont font;
  font.Size = 24;
  font.Color = 0x00FFFFFF;
  SUBTITLEOVERLAY::SubtitleOverlay overlay;
  overlay.Setup(font, 1280);
  const std::vector<std::string> entry = {"The quick brown fox jumps over the lazy dog,",
                                          "while the subtitles run along the bottom edge."};

  const int draws = 200;
  const Clock::time_point drawStart = Clock::now();
  for (int i = 0; i < draws; ++i) overlay.DrawSubtitle(entry);
  const Clock::duration drawTime = Clock::now() - drawStart;

  std::vector<uint8_t> frame = MakeFrame(1280, 720);
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) overlay.OverlaySubtitle(frame.data());
  const Clock::duration overlayTime = Clock::now() - start;

  unsigned checksum = 0;
  for (uint8_t byte : frame) checksum = checksum * 31 + byte;
  std::printf("band %dx%d, %d frames\n", overlay.Width(), overlay.Height(), frames);
  std::printf("OverlaySubtitle: %.0f ns per frame\n", NanosecondsPer(overlayTime, frames));
  std::printf("DrawSubtitle:    %.0f ns per entry\n", NanosecondsPer(drawTime, draws));
  std::printf("checksum %08x\n", checksum);
  return 0;
}
