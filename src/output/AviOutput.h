#pragma once

// The AVI file through the AVI file service: one compressed video stream, the
// copied audio stream and the software text, at a constant picture rate.
#include <string>

#include "avi/AviHandles.h"
#include "output/MediaOutput.h"

namespace MEDIAOUTPUT {

class AviOutput : public MediaOutput {
 public:
  AviOutput() = default;
  ~AviOutput() override;
  AviOutput(const AviOutput&) = delete;
  AviOutput& operator=(const AviOutput&) = delete;

  bool KeepsPictureTimes() const override { return false; }
  bool NeedsAviAudio() const override { return true; }
  Setup Create(const OutputRequest& request) override;
  void Abandon() override;
  bool WritePicture(const BMPFRAME::BmpView& picture, double seconds, uint64_t& bytes) override;
  bool TakesPlanar() const override;
  bool WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, double seconds,
                         uint64_t& bytes) override;
  bool WriteAudio(const AudioPacket& packet, uint64_t& bytes) override;
  int LastErrno() const override;

 private:
  bool CreateAudioStream(const OutputRequest& request);
  Setup Fail(const std::string& text);

  // Members go in reverse order: Video first, File last, as the service
  // needs (the uncompressed stream before the compressed one made from it,
  // the audio stream, the choice's blocks, the file).
  std::string path_;
  AVIHANDLES::AviFileHandle file_;
  AVIHANDLES::SavedOptions compress_;
  AVIHANDLES::AviStreamHandle audio_;
  AVIHANDLES::AviStreamHandle compressed_;
  AVIHANDLES::AviStreamHandle video_;
  AVISTREAMINFOA videoInfo_{};
  AVISTREAMINFOA audioInfo_{};
  int32_t pictures_ = 0;
  int32_t packets_ = 0;
};

}  // namespace MEDIAOUTPUT
