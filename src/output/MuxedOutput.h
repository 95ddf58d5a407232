#pragma once

// Matroska and MP4 through libavformat's muxers. Pictures keep the source's
// presentation times and the sound its packets and times, untouched. MP4 is
// written fragmented and Matroska in clusters, so a file cut short plays to
// its last whole part; a finished MP4's header then states its length.
#include <deque>
#include <memory>

#include "compressors/Compressor.h"
#include "output/AudioBitstream.h"
#include "output/CarriedStreams.h"
#include "output/ConvertedAudio.h"
#include "output/CopiedVideo.h"
#include "output/MediaOutput.h"
#include "output/RisingTimes.h"
#include "output/SoundClock.h"

struct AVCodecParameters;
struct AVFormatContext;
struct AVStream;
struct AVPacket;

namespace MEDIAOUTPUT {

class MuxedOutput : public MediaOutput {
 public:
  explicit MuxedOutput(Container container) : container_(container) {}
  ~MuxedOutput() override;
  MuxedOutput(const MuxedOutput&) = delete;
  MuxedOutput& operator=(const MuxedOutput&) = delete;

  bool KeepsPictureTimes() const override { return true; }
  bool NeedsAviAudio() const override { return false; }
  Setup Create(const OutputRequest& request) override;
  bool WritePicture(const BMPFRAME::BmpView& picture, double seconds, uint64_t& bytes) override;
  bool TakesPlanar() const override;
  bool WriteMixedPicture(const PLANARPICTURE::MixedPicture& picture, double seconds,
                         uint64_t& bytes) override;
  bool WriteAudio(const AudioPacket& packet, uint64_t& bytes) override;
  std::string VideoDescription() const override;
  std::string AudioDescription() const override;
  int LastErrno() const override { return lastErrno_; }
  bool CopiesVideo() const override { return copied_ != nullptr; }
  std::string CopyRefusal() const override { return copyRefusal_; }
  bool WriteVideoPacket(const VideoPacket& packet, uint64_t& bytes) override;
  int64_t CopiedPictures() const override;
  int64_t EncodedPictures() const override;
  std::vector<std::string> Close() override;
  TimeRepairs Repairs() const override;
  std::vector<int32_t> TakenStreams() const override { return carried_.Taken(); }
  bool WriteStreamPacket(int32_t stream, const SourcePacket& packet, uint64_t& bytes) override;
  std::vector<std::string> StreamNotes() const override;

 private:
  // Compresses one picture (compress gives it to the compressor with the sink).
  bool WriteCompressed(
      double seconds, uint64_t& bytes,
      const std::function<COMPRESSOR::Status(const COMPRESSOR::ChunkSink&)>& compress);
  Setup Fail(const std::string& text);
  const char* ContainerName() const;
  bool CheckAudio(const VELAVCODEC::SourceStreams& source, bool convert);
  Setup ChooseCompressor(const OutputRequest& request);
  bool OpenFile(const OutputRequest& request);
  bool AddVideoStream(const OutputRequest& request);
  bool SetUpCopying(const OutputRequest& request);
  bool AddCopiedVideoStream(const OutputRequest& request);
  bool MuxCopied(AVPacket* packet);
  int64_t CopyTicks(double seconds) const;
  bool Failed(const std::string& text);
  bool AddAudioStream(const VELAVCODEC::SourceStreams& source);
  void DescribeAudioStream(const VELAVCODEC::StoredStream& record);
  bool AddCarriedStreams(const OutputRequest& request);
  bool AddConvertedStream(const AVCodecParameters& source);
  bool WriteConverted(const AudioPacket& packet, uint64_t& bytes);
  bool MuxConverted(AVPacket* packet);
  COMPRESSOR::Status WriteVideoChunk(const COMPRESSOR::Chunk& chunk);
  bool Written(int result, const char* text);
  void Finish();
  void StateMp4Length();
  // step: the packet's length for the checks, in the stream's ticks.
  bool RiseAudioTimes(AVPacket* packet, int64_t step);
  int64_t FrameTicks() const;

  Container container_;
  std::vector<std::string> notes_;
  AVFormatContext* context_ = nullptr;
  AVStream* video_ = nullptr;
  AVStream* audio_ = nullptr;
  // Blank between writes: the packet that carries bytes without a buffer of
  // their own, made once.
  AVPacket* packet_ = nullptr;
  int32_t audioBaseNum_ = 1, audioBaseDen_ = 1;
  std::unique_ptr<COMPRESSOR::Compressor> compressor_;
  // The video when untouched stretches are copied (no compressor then).
  std::unique_ptr<COPIEDVIDEO::CopiedVideo> copied_;
  std::string copyRefusal_;
  ENCODERCHOICE::EncoderChoice choice_;
  // The source's start on its video clock; the source's clock.
  int64_t copyOrigin_ = 0;
  int32_t copyBaseNum_ = 1, copyBaseDen_ = 1;
  std::string compressorName_;
  int codecId_ = 0;
  COMPRESSOR::EncodedFormat format_;
  double frameSeconds_ = 0.04;
  // The times of pictures handed to the compressor whose chunks are still to
  // come: chunks come back in the order the pictures went in.
  std::deque<int64_t> pending_;
  RISINGTIMES::RisingTimes videoTimes_, audioTimes_;
  SOUNDCLOCK::SoundClock audioClock_;
  // The source's other streams the file holds, and the log's words on them.
  CarriedPlan plan_;
  CarriedWriter carried_;
  std::string streamsLine_;
  AUDIOBITSTREAM::AudioBitstream audioBitstream_;
  // The sound re-encoded, when the container cannot hold the source's and
  // the user asked for it; the source codec's name while it is, and what it
  // becomes.
  std::unique_ptr<CONVERTEDAUDIO::ConvertedAudio> converted_;
  std::string convertedFrom_;
  CONVERTEDAUDIO::Target convertTo_ = CONVERTEDAUDIO::Target::Opus;
  uint64_t* convertedBytes_ = nullptr;
  // Where each stream's written samples end, in its time base: the file's
  // length is the later of the two.
  int64_t videoEnd_ = INT64_MIN, audioEnd_ = INT64_MIN;
  std::string path_;
  uint64_t* videoBytes_ = nullptr;
  bool headerWritten_ = false;
  int lastErrno_ = 0;
};

}  // namespace MEDIAOUTPUT
