// Times the per-frame subtitle overlay on a 1280x720 picture, and the drawing
// of one entry, which happens once per entry, with and without a look.
//   overlay_bench [frames]
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drawing/SubtitleOverlay.h"

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

struct Figures {
  int32_t width = 0, height = 0;
  double overlayNs = 0, drawNs = 0;
  unsigned checksum = 0;
};

Figures Measure(const SUBTITLELOOK::SubtitleLook& look, int frames) {
  SUBTITLEFONT::SubtitleFont font;
  font.Size = 24;
  font.Color = 0x00FFFFFF;
  SUBTITLEOVERLAY::SubtitleOverlay overlay;
  overlay.Setup(font, 1280, look);
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

  Figures figures{overlay.Width(), overlay.Height(), NanosecondsPer(overlayTime, frames),
                  NanosecondsPer(drawTime, draws)};
  for (uint8_t byte : frame) figures.checksum = figures.checksum * 31 + byte;
  return figures;
}

void Print(const char* name, const Figures& f) {
  std::printf("%s: band %dx%d\n", name, f.width, f.height);
  std::printf("  OverlaySubtitle: %.0f ns per frame\n", f.overlayNs);
  std::printf("  DrawSubtitle:    %.0f ns per entry\n", f.drawNs);
  std::printf("  checksum %08x\n", f.checksum);
}

}  // namespace

// Two 24-point lines on 1280x720: the plain look, and every look option on.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
  std::printf("%d frames each\n", frames);
  Print("plain", Measure(SUBTITLELOOK::SubtitleLook{}, frames));
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = 2;
  look.Shadow = 2;
  look.BoxOpacity = 50;
  look.Antialias = true;
  look.Margin = 20;
  Print("outline 2, shadow 2, box 50 %, antialias, margin 20", Measure(look, frames));
  return 0;
}
