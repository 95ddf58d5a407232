#pragma once

// The subtitling job: checks the three files, sets up the output AVI, runs the
// frame loop with its statistics and tears everything down again. It runs on
// the caller's thread and lets the host process its messages once per pass;
// Stop, the refresh timer and the close requests reach it from there.
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "drawing/SubtitleDrawer.h"
#include "drawing/SubtitleOverlay.h"
#include "job/ClipRange.h"
#include "job/JobHost.h"
#include "job/JobMaterials.h"
#include "job/JobOptions.h"
#include "job/OutputColour.h"
#include "job/PictureClock.h"
#include "job/PictureShape.h"
#include "job/SmartCopy.h"
#include "job/SubtitleSource.h"
#include "media/VelAvCodec.h"
#include "output/MediaOutput.h"
#include "picture/BmpFrame.h"
#include "subtitles/SubtitleUnit.h"

namespace SUBTITLEJOB {

class SubtitleJob {
 public:
  // The materials belong to the caller and must outlive the job; their
  // decoder may be null (its libraries could not be bound).
  SubtitleJob(JOBHOST::JobHost& host, JOBMATERIALS::JobMaterials& materials);
  ~SubtitleJob();
  SubtitleJob(const SubtitleJob&) = delete;
  SubtitleJob& operator=(const SubtitleJob&) = delete;

  // The whole job; returns when it is over.
  JobEnd Start(const JOBOPTIONS::JobOptions& options);
  // Ends the loop after its current pass (a confirmed stop, a close request,
  // an interrupt).
  void EndRunning();
  // Releases what a job opened and restores the idle controls; safe at any
  // stage and when nothing is open.
  void CloseAll();
  // The refresh timer's tick.
  void RefreshTimerTick();

  // The frame loop runs and no stop has been asked for.
  bool Running() const { return state_ == State::Looping; }
  // From Start's first change to its return: no other job may begin.
  bool Active() const { return state_ != State::Idle; }

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

  enum class State { Idle, SettingUp, Looping, Stopping };
  // For sources of variable rate: the last picture as decoded, which later
  // places may repeat, and the picture a repeat is drawn on.
  struct HeldPictures {
    BMPFRAME::BmpFrame Last, Repeat;
    bool Kept = false;  // every picture is copied from here on
    bool Held = false;  // Last holds a picture
    double LastEnd = 0.0;
  };

  bool Validate(const JOBOPTIONS::JobOptions& options);
  // The part of the film written: its range, and from the first picture
  // on, the source's frame that starts it (the output's picture 0) and its
  // start on the source's clock from the source's start (the output's time
  // 0).
  CLIPRANGE::Range clip_;
  int32_t clipFirstFrame_ = 0;
  double clipShiftSeconds_ = 0.0;
  int64_t clipAudioShift_ = 0;  // the same on the sound's clock
  bool ChooseClip(const JOBOPTIONS::JobOptions& options);
  bool ClipFitsFilm();
  void StartClip(MEDIAOUTPUT::OutputRequest& request);
  MEDIAOUTPUT::SourcePacket ClippedAudio(const VELAVCODEC::VelAvCodec::Delivery& packet) const;
  int32_t FrameOfFirstClipPicture();
  bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& asked,
                        ENCODERCHOICE::EncoderChoice& choice,
                        const JOBOPTIONS::JobOptions& options);
  bool StartDeepPictures();
  void EnterWorkingState();
  bool OpenSource(JOBOPTIONS::JobOptions& options);
  bool OpenSubtitles(const JOBOPTIONS::JobOptions& options);
  std::optional<JobEnd> CreateOutput(const JOBOPTIONS::JobOptions& options);
  // What the output keeps of the source's depth and colour, how the
  // subtitles' colours land in it, and why a choice was refused.
  OUTPUTCOLOUR::Decision colour_;
  std::unique_ptr<PLANARPICTURE::InkColours> inkColours_;
  std::string choiceError_;
  // Copying what no subtitle touches: the plan, and why the choice rules
  // it out.
  SMARTCOPY::Prepared copyPlan_;
  std::string copyVeto_;
  // The crop, size and subtitle place the options asked, as found.
  PICTURESHAPE::Planned shape_;
  bool copying_ = false;
  void PlanCopying(const JOBOPTIONS::JobOptions& options, MEDIAOUTPUT::OutputRequest& request);
  std::optional<JobEnd> MakeJobDrawer(const JOBOPTIONS::JobOptions& options);
  void StartCopying(const JOBOPTIONS::JobOptions& options);
  bool HandleVideoPacket(const VELAVCODEC::VelAvCodec::Delivery& packet);
  void LogCopyCounts();
  JobEnd RunFrameLoop(const JOBOPTIONS::JobOptions& options);
  bool HandlePicture(uint8_t* image);
  // The picture the decoder delivered last, which may still be planar, or a
  // copy of one.
  enum class Origin { Delivered, Copy };
  bool WritePicture(uint8_t* image, Origin origin, double seconds = 0);
  const PLANARPICTURE::PlanarPicture* PlanarToWrite();
  bool DrawSubtitle(int32_t frame, uint8_t* image, const PLANARPICTURE::PlanarPicture* planar,
                    PLANARPICTURE::MixedPicture& mixed);
  bool ConvertRowsOf(std::pair<int32_t, int32_t> inkRows, int32_t height,
                     PLANARPICTURE::RowBand& band);
  void LogDrawerNotes();
  bool ConvertDeliveredPicture();
  void ShowDeepPreview(int32_t frame, uint8_t* image);
  bool WriteTimedPicture(uint8_t* image);
  bool WriteRepeats(const uint8_t* picture, int64_t count);
  bool KeepPictureCopies();
  JobEnd EndOfSource();
  JobEnd SourceFailure();
  void LogRateConversion();
  JobEnd ReportDamage(JobEnd end, bool strict);
  void Note(JobNote note, const std::string& text);
  void ReportWriteError(const std::string& text);
  bool HandleAudio(const VELAVCODEC::VelAvCodec::Delivery& packet);
  void RefreshStatistics();
  void ReleaseOutput();
  void ReportError(const std::string& text, const std::string& reason = "");
  // unopened: the path and reason of a file that could not be opened, or
  // nothing.
  struct Unopened {
    std::string Path, Reason;
  };
  JobEnd Fail(const std::string& text, const std::string& cause = "",
              const Unopened& unopened = {});

  JOBHOST::JobHost& host_;
  VELAVCODEC::VelAvCodec* decoder_;
  // What the decoder handed out last.
  VELAVCODEC::VelAvCodec::Delivery delivered_;
  SUBTITLEFILE::SubtitleFile& subtitles_;
  SUBTITLEOVERLAY::SubtitleOverlay& overlay_;
  STYLEDRENDERER::StyledRenderer& styled_;
  // The drawer draws from the source: it goes first.
  std::unique_ptr<SUBTITLESOURCE::SubtitleSource> source_;
  std::unique_ptr<SUBTITLEDRAWER::SubtitleDrawer> drawer_;
  std::unique_ptr<MEDIAOUTPUT::MediaOutput> output_;
  PICTURECLOCK::PictureClock clock_;
  HeldPictures held_;
  int32_t lastScheduledFrame_ = -1;
  LoopCounters counters_;
  State state_ = State::Idle;
  bool conversionFailed_ = false;  // a delivered picture could not be converted
  bool refreshDue_ = false;
};

}  // namespace SUBTITLEJOB
