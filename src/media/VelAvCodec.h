#pragma once

// The decoder front end: binds the FFmpeg libraries at run time, probes a
// source, opens its chosen streams and hands out pictures and audio packets.
//
// PUBLIC CONTRACT (agreed between subsystems; the private part is the media
// subsystem's own): the fields below are read by the job and the window.
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVCodec;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace VELAVCODEC {

// The one exception of the program: thrown only by the constructor.
struct VelException {
  char Message[1024];
  explicit VelException(const char* text);
};

class VelAvCodec {
 public:
  // File names of the four libraries; an empty name loads ./dll/lib<name>.so.
  // Throws VelException when a library or an entry point is missing.
  VelAvCodec(const std::string& avcodec, const std::string& avformat, const std::string& avutil,
             const std::string& swscale);
  ~VelAvCodec();
  VelAvCodec(const VelAvCodec&) = delete;
  VelAvCodec& operator=(const VelAvCodec&) = delete;

  bool PreOpen(const std::string& fileName);
  void SelectVideoStream(int k);
  void SelectAudioStream(int k);
  bool Open();
  // Returns the delivered data, or nullptr. kind: 86 ('V') picture in the
  // frame buffer (a complete bottom-up 24-bit BMP image), 65 ('A') audio
  // packet. Data was delivered exactly when size > 0.
  uint8_t* GetNextData(int32_t& kind, int32_t& size);
  void Close();

  static constexpr int32_t KindVideo = 86;
  static constexpr int32_t KindAudio = 65;

  std::string FileName;
  std::string Info;
  std::string ErrorText;

  int32_t StreamKinds[32];
  int32_t VideoStream = -1;
  int32_t VideoStreamCount = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t FrameCount = 0;
  int32_t VideoScale = 1;
  int32_t VideoRate = 1;
  int32_t FrameImageSize = 0;
  double StartSeconds = 0.0;
  double DurationSeconds = 0.0;
  double FramesPerSecond = 0.0;

  const uint8_t* AudioExtraData = nullptr;
  int32_t AudioStream = -1;
  int32_t AudioStreamCount = 0;
  int32_t AudioBitsPerSample = 0;
  int32_t AudioScale = 1;
  int32_t AudioRate = 1;
  int32_t AudioLength = 0;
  int32_t AudioStart = 0;
  int32_t AudioSampleSize = 0;
  int32_t AudioBytesPerSecond = 0;
  int32_t AudioChannels = 0;
  int32_t AudioFormatTag = 0;
  int32_t AudioExtraSize = 0;
  int32_t AudioSampleRate = 0;
  int32_t AudioBlockAlign = 0;

 private:
  // The media subsystem adds its private members here.
};

}  // namespace VELAVCODEC
