#pragma once

// Test media made once per test program with the ffmpeg tool, and helpers to
// drive the decoder over it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/VelAvCodec.h"
#include "support/TestSupport.h"

namespace mediatest {

// A picture of four coloured quadrants: red top left, green top right, blue
// bottom left, white bottom right.
std::string QuadrantInput(int width, int height, double seconds, int rate = 25);

// The folder all media of this test program is made in.
const testsupport::fs::path& MediaDir();

// Makes MediaDir()/name with "ffmpeg <arguments> <path>" unless it exists.
std::string MakeMedia(const std::string& name, const std::string& arguments);

std::unique_ptr<VELAVCODEC::VelAvCodec> NewDecoder();

// PreOpen, the selections and Open; fails the test when one fails.
void OpenSource(VELAVCODEC::VelAvCodec& decoder, const std::string& path, int video = 0,
                int audio = 0);

// What a run of GetNextData up to its end handed out.
struct Delivery {
  int pictures = 0;
  std::vector<int32_t> audioSizes;
  int64_t audioBytes = 0;
  std::vector<uint8_t> firstPicture;  // the complete frame buffer
  std::vector<uint8_t> firstAudio;
  std::vector<uint8_t> allPictures;  // pixel areas one after the other, when asked
  int32_t lastKind = 0;
  std::string endText;
};
Delivery ReadAll(VELAVCODEC::VelAvCodec& decoder, bool keepPictures = false);

// Frames of the first video stream, counted by decoding with ffprobe.
int FrameCountOf(const std::string& path);

// Every picture of the source as ffmpeg's own conversion gives it: top-down
// BGR24 rows without padding.
std::vector<uint8_t> FfmpegBgr24(const std::string& path);

uint32_t Le32(const uint8_t* at);
uint16_t Le16(const uint8_t* at);

}  // namespace mediatest
