#pragma once

// The subtitling job: checks the three files, sets up the output AVI, runs the
// frame loop with its statistics and tears everything down again. It runs on
// the caller's thread and lets the host process its messages once per pass;
// Stop, the refresh timer and the close requests reach it from there.
#include <cstdint>
#include <memory>
#include <optional>

#include "job/JobHost.h"
#include "job/JobOptions.h"
#include "job/PictureClock.h"
#include "media/VelAvCodec.h"
#include "output/MediaOutput.h"
#include "subtitles/SubtitleOverlay.h"
#include "subtitles/SubtitleSchedule.h"
#include "subtitles/SubtitleUnit.h"

namespace SUBTITLEJOB {

// How a call of Start ended.
enum class JobEnd {
  NotStarted,    // a file name missing, no decoder, or a job already active
  SetupFailed,   // reported, then torn down
  NoCompressor,  // the compressor choice was cancelled
  SourceEnded,   // every picture and packet was written
  Stopped,       // Stop, a close request or an interrupt
  WriteFailed,   // reported; what was written before stays in the file
  SourceFailed,  // reading or decoding failed, or no picture came: reported
};

class SubtitleJob {
 public:
  // The decoder may be null (its libraries could not be bound); the three
  // objects belong to the caller and must outlive the job.
  SubtitleJob(JOBHOST::JobHost& host, VELAVCODEC::VelAvCodec* decoder,
              SUBTITLEFILE::SubtitleFile& subtitles, SUBTITLEOVERLAY::SubtitleOverlay& overlay);
  ~SubtitleJob();
  SubtitleJob(const SubtitleJob&) = delete;
  SubtitleJob& operator=(const SubtitleJob&) = delete;

  // The whole job; returns when it is over.
  JobEnd Start(const JOBOPTIONS::JobOptions& options);
  // Asks whether to stop; on Yes the loop ends after its current pass.
  void Stop();
  // Ends the loop after its current pass without asking (a confirmed stop, a
  // close request, an interrupt). quiet drops the final "OK" box.
  void EndRunning(bool quiet = false);
  // Releases what a job opened and restores the idle controls; safe at any
  // stage and when nothing is open.
  void CloseAll();
  // The refresh timer's tick.
  void RefreshTimerTick();

  bool Running() const { return running_; }
  // From Start's first change to its return: no other job may begin.
  bool Active() const { return active_; }

  // The output of the current job; null outside a job.
  const MEDIAOUTPUT::MediaOutput* Output() const { return output_.get(); }

 private:
  // The loop's counts are the statistics' figures, with the audio index and
  // the clock readings beside them.
  struct LoopCounters {
    JOBSTATISTICS::Progress Figures;
    int32_t AudioIndex = 0;
    int64_t StartMs = 0, LastRefreshMs = 0;
  };

  bool Validate(const JOBOPTIONS::JobOptions& options);
  void EnterWorkingState();
  bool OpenSource(const JOBOPTIONS::JobOptions& options);
  bool OpenSubtitles(const JOBOPTIONS::JobOptions& options);
  std::optional<JobEnd> CreateOutput(const JOBOPTIONS::JobOptions& options);
  JobEnd RunFrameLoop(const JOBOPTIONS::JobOptions& options);
  bool HandlePicture(uint8_t* image);
  // delivered: image is the picture the decoder delivered last, which may
  // still be planar.
  bool WritePicture(uint8_t* image, double seconds = 0, bool delivered = false);
  const PLANARPICTURE::PlanarPicture* PlanarToWrite();
  bool DrawSubtitle(int32_t frame, uint8_t* image, const PLANARPICTURE::PlanarPicture* planar,
                    PLANARPICTURE::RowBand& band);
  bool ConvertDeliveredPicture();
  bool WriteTimedPicture(uint8_t* image);
  bool WriteRepeats(const uint8_t* picture, int64_t count);
  bool KeepPictureCopies();
  JobEnd EndOfSource();
  JobEnd SourceFailure();
  void LogRateConversion();
  void ReportWriteError(const std::string& text);
  bool HandleAudio(const uint8_t* packet, int32_t size);
  void RefreshStatistics();
  void ReleaseOutput();
  void SetIdleControls(bool idle);
  void ReportError(const std::string& text);
  JobEnd Fail(const std::string& text);

  JOBHOST::JobHost& host_;
  VELAVCODEC::VelAvCodec* decoder_;
  SUBTITLEFILE::SubtitleFile& subtitles_;
  SUBTITLEOVERLAY::SubtitleOverlay& overlay_;
  SUBTITLESCHEDULE::SubtitleSchedule schedule_;
  std::unique_ptr<MEDIAOUTPUT::MediaOutput> output_;
  PICTURECLOCK::PictureClock clock_;
  // For sources of variable rate: the last picture as decoded, which later
  // places may repeat, and the picture a repeat is drawn on.
  BMPFRAME::BmpFrame heldPicture_, repeatPicture_;
  bool keepPictures_ = false;
  bool conversionFailed_ = false;  // a delivered picture could not be converted
  bool pictureHeld_ = false;
  double lastPictureEnd_ = 0.0;
  bool transcode_ = false;
  int32_t lastScheduledFrame_ = -1;
  LoopCounters counters_;
  bool running_ = false;
  bool active_ = false;
  bool refreshDue_ = false;
  bool quietEnd_ = false;
};

}  // namespace SUBTITLEJOB
