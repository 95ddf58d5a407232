#include "media/MediaFixtures.h"

#include <sstream>

namespace mediatest {

namespace fs = testsupport::fs;

std::string QuadrantInput(int width, int height, double seconds, int rate) {
  std::ostringstream filter;
  const int w = width / 2, h = height / 2;
  const char* colours[] = {"red", "lime", "blue", "white"};
  for (int i = 0; i < 4; ++i)
    filter << "color=" << colours[i] << ":s=" << w << "x" << h << ":r=" << rate << ":d=" << seconds
           << "[q" << i << "];";
  filter << "[q0][q1]hstack[top];[q2][q3]hstack[bottom];[top][bottom]vstack";
  return "-filter_complex \"" + filter.str() + "\"";
}

const fs::path& MediaDir() {
  static const testsupport::TempDir dir;  // removed when the program ends
  return dir.path();
}

std::string MakeMedia(const std::string& name, const std::string& arguments) {
  const fs::path path = MediaDir() / name;
  if (!fs::exists(path)) testsupport::Ffmpeg(arguments + " '" + path.string() + "'");
  return path.string();
}

std::unique_ptr<VELAVCODEC::VelAvCodec> NewDecoder() {
  const auto names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
  return std::make_unique<VELAVCODEC::VelAvCodec>(names.AvCodec, names.AvFormat, names.AvUtil,
                                                  names.SwScale);
}

void OpenSource(VELAVCODEC::VelAvCodec& decoder, const std::string& path, int video, int audio) {
  ASSERT_TRUE(decoder.PreOpen(path)) << decoder.ErrorText;
  decoder.SelectVideoStream(video);
  decoder.SelectAudioStream(audio);
  ASSERT_TRUE(decoder.Open()) << decoder.ErrorText;
}

Delivery ReadAll(VELAVCODEC::VelAvCodec& decoder, bool keepPictures) {
  Delivery delivery;
  for (;;) {
    int32_t kind = 0, size = 0;
    const uint8_t* data = decoder.GetNextData(kind, size);
    delivery.lastKind = kind;
    if (size <= 0) {
      EXPECT_EQ(data, nullptr);
      delivery.endText = decoder.ErrorText;
      return delivery;
    }
    if (kind == VELAVCODEC::VelAvCodec::KindVideo) {
      if (delivery.pictures++ == 0) delivery.firstPicture.assign(data, data + size);
      if (keepPictures)
        delivery.allPictures.insert(delivery.allPictures.end(), data + 54, data + size);
    } else {
      EXPECT_EQ(kind, VELAVCODEC::VelAvCodec::KindAudio);
      if (delivery.audioSizes.empty()) delivery.firstAudio.assign(data, data + size);
      delivery.audioSizes.push_back(size);
      delivery.audioBytes += size;
    }
  }
}

int FrameCountOf(const std::string& path) {
  const std::string text = testsupport::Ffprobe(
      "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" + path +
      "'");
  return std::stoi(text);
}

std::vector<uint8_t> FfmpegBgr24(const std::string& path) {
  const fs::path raw = MediaDir() / (fs::path(path).filename().string() + ".bgr");
  testsupport::Ffmpeg("-i '" + path + "' -map 0:v:0 -sws_flags bicubic -f rawvideo " +
                      "-pix_fmt bgr24 '" + raw.string() + "'");
  const std::string bytes = testsupport::ReadFile(raw);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

uint32_t Le32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

uint16_t Le16(const uint8_t* at) { return uint16_t(at[0] | at[1] << 8); }

}  // namespace mediatest
