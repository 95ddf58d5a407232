#pragma once

// Where a job's pictures and sound go. The container follows the output
// file's name: ".mkv" is Matroska, ".mp4", ".m4v" and ".mov" are MP4, any
// other name is AVI. The job drives every container through this one
// interface; the file is complete when the output goes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compressors/EncoderChoice.h"
#include "media/SourceStreams.h"
#include "output/StreamKeeping.h"
#include "picture/BmpFrame.h"
#include "picture/PlanarPicture.h"

struct AVPacket;

namespace MEDIAOUTPUT {

enum class Container { Avi, Matroska, Mp4, WebM };

// The container a file name asks for (the extension, in any letter case).
Container ContainerOf(const std::string& path);

struct OutputRequest {
  std::string Path;  // as given
  bool Transcode = false;
  bool FixAudioVbr = false;
  // Sound the container cannot hold is converted instead of refused: to AAC
  // for MP4, to Opus for Matroska and WebM (AVI keeps its own rules).
  bool ConvertAudio = false;
  VELAVCODEC::SourceStreams Source;  // of the opened source
  ENCODERCHOICE::Chooser Chooser;    // the compressor choice
  // Copy the stretches of the source's video that no subtitle touches (the
  // decoder hands them out as packets) and encode only the others. Taken up
  // where the compressor writes the source's codec; CopyRefusal says why
  // not otherwise. DecodeLead: how far ahead of its time the source decodes
  // a picture (its reordering).
  bool CopyUntouched = false;
  double DecodeLeadSeconds = 0.0;
  // Set by the chooser when the choice itself rules copying out (an HDR
  // source tone-mapped): why.
  const std::string* CopyVeto = nullptr;
  // What else of the source a container that can hold it keeps.
  StreamKeeping Keeping;
  DrawnTrack Drawn;
};

enum class Setup { Ready, Failed, NoCompressor };

// One packet as the source stores it, with its times in the source stream's
// time base (kNoTime when missing): audio from the source's
// start, video copied from the source on the stream's own clock. Packet,
// when not null, is the source's packet holding Data: an output that keeps
// the packet past the call takes a reference to its buffer rather than a
// copy.
struct SourcePacket {
  const AVPacket* Packet = nullptr;
  const uint8_t* Data = nullptr;
  int32_t Size = 0;
  int64_t Pts = 0, Dts = 0, Duration = 0;
  bool Key = true;
};
using AudioPacket = SourcePacket;
using VideoPacket = SourcePacket;

// What the output did so that every stream's times rise, the audio
// packets it could not store and the gaps in the sound it kept; all zero
// for a sound source.
struct TimeRepairs {
  int64_t MendedPictures = 0, DroppedPictures = 0;
  int64_t MendedAudio = 0, DroppedAudio = 0, RefusedAudio = 0;
  int64_t Gaps = 0;
  // Of the other tracks kept: packets left out, times mended.
  int64_t LeftOutKept = 0, MendedKept = 0;
};

class MediaOutput {
 public:
  virtual ~MediaOutput() = default;

  // True: every picture is written once with its own time. False: the
  // pictures are placed on the constant rate the header states.
  virtual bool KeepsPictureTimes() const = 0;
  // The decoder describes the sound for an AVI stream (and refuses what AVI
  // cannot carry) before this output is created.
  virtual bool NeedsAviAudio() const = 0;

  // The file, its streams and the compressor choice. Failed: ErrorText says
  // why; NoCompressor: the choice was cancelled.
  virtual Setup Create(const OutputRequest& request) = 0;
  // After a Create that ended without a compressor because the job refused
  // the choice: nothing of the file it made stays.
  virtual void Abandon() {}
  // seconds: the picture's time from the source's start (used where the
  // container keeps times). bytes grows by what was written.
  virtual bool WritePicture(const BMPFRAME::BmpView& picture, double seconds, uint64_t& bytes) = 0;
  // True once the first picture was written, when the compressor takes
  // mixed pictures (planar, with the band of drawn text in BGR); they are
  // then written with WriteMixedPicture, as WritePicture writes BGR ones.
  virtual bool TakesPlanar() const { return false; }
  virtual bool WriteMixedPicture(const PLANARPICTURE::MixedPicture& /*picture*/, double /*seconds*/,
                                 uint64_t& /*bytes*/) {
    return false;
  }
  // False when the output has no audio stream to write to is not a failure:
  // the packet is dropped and true returned.
  virtual bool WriteAudio(const AudioPacket& packet, uint64_t& bytes) = 0;

  // After Create: the source's other streams whose packets the output
  // takes (WriteStreamPacket), and lines for the log on what the output
  // holds and what of the source it leaves out.
  virtual std::vector<int32_t> TakenStreams() const { return {}; }
  virtual bool WriteStreamPacket(int32_t /*stream*/, const SourcePacket& /*packet*/,
                                 uint64_t& /*bytes*/) {
    return true;
  }
  virtual std::vector<std::string> StreamNotes() const { return {}; }

  // After a Create asked to copy untouched stretches: whether it does, and
  // why not when it doesn't.
  virtual bool CopiesVideo() const { return false; }
  virtual std::string CopyRefusal() const { return {}; }
  virtual bool WriteVideoPacket(const VideoPacket& /*packet*/, uint64_t& /*bytes*/) {
    return false;
  }
  // Pictures copied and pictures encoded so far, when copying.
  virtual int64_t CopiedPictures() const { return 0; }
  virtual int64_t EncodedPictures() const { return 0; }

  // Completes the file (the output's end does so too, silently); lines
  // for the log about what could not be completed, if anything.
  virtual std::vector<std::string> Close() { return {}; }
  // After Create: what the video is written as (codec, depth, colour), for
  // the log; empty where the container's own records say it (AVI).
  virtual std::string VideoDescription() const { return {}; }
  // The same for sound the output re-encodes; empty where it is copied.
  virtual std::string AudioDescription() const { return {}; }
  virtual TimeRepairs Repairs() const { return {}; }

  // The last failure in the system's words, and the operating system's error
  // number behind it (0 when none).
  const std::string& ErrorText() const { return error_; }
  virtual int LastErrno() const = 0;
  // After a failed Create: the system's error when the file itself could
  // not be made (its folder missing, no permission); 0 for any other failure.
  int OpenErrno() const { return openErrno_; }

 protected:
  std::string error_;
  int openErrno_ = 0;
};

}  // namespace MEDIAOUTPUT
