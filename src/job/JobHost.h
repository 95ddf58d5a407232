#pragma once

// What the job tells whoever drives it (the window, the command line, a
// queue, a test) and the little it asks of it. The job only reports: which
// boxes to show, which controls to switch and what to print is the front's
// decision, so nothing here knows of widgets.
#include <string>

#include "compressors/EncoderChoice.h"
#include "job/JobStatistics.h"
#include "picture/BmpFrame.h"

namespace SUBTITLEJOB {
class SubtitleJob;

// How a call of Start ended.
enum class JobEnd {
  NotStarted,    // a file name missing, no decoder, or a job already active
  SetupFailed,   // reported, then torn down
  NoCompressor,  // the compressor choice was cancelled
  SourceEnded,   // every picture and packet was written
  Stopped,       // a stop, a close request or an interrupt
  WriteFailed,   // reported; what was written before stays in the file
  SourceFailed,  // reading or decoding failed, or no picture came: reported
};

// What a job says beside its log that its user should hear of even when
// the job ends well.
enum class JobNote {
  Damage,         // the source was damaged: what was met and mended, in one line
  PartialOutput,  // a failed job's output holds the pictures written before
};

// Where a job stands, for the fronts' controls.
enum class JobPhase {
  Idle,      // nothing runs: the file choices and Start are free
  Working,   // from the start of a job until its output is closed
  Stopping,  // a stop was asked for; the loop ends after its current pass
};

}  // namespace SUBTITLEJOB

namespace JOBHOST {

class JobHost {
 public:
  virtual ~JobHost() = default;

  // One entry of the message log; line breaks inside are CR LF.
  virtual void AppendLog(const std::string& text) = 0;
  virtual void PhaseChanged(SUBTITLEJOB::JobPhase phase) = 0;
  // A file name is missing (the text says which); no job was started.
  virtual void InputMissing(const std::string& text) = 0;
  // An error the job has just logged; reason is the operating system's word
  // for a failed write ("No space left on device"), empty when it gave none.
  virtual void ErrorReported(const std::string& text, const std::string& reason) = 0;
  // Told right after the error when the failure was a file (the source, the
  // subtitle file or the output) that could not be opened at all: its path
  // as the options gave it, and the system's or the library's reason.
  virtual void FileUnopened(const std::string& /*path*/, const std::string& /*reason*/) {}
  // The statistics of a refresh (or the reset before a job) with the figures
  // they were made from.
  virtual void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                              const JOBSTATISTICS::Progress& figures) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Called for every handled picture that was converted for showing.
  virtual void ShowPreview(const BMPFRAME::BmpView& picture) = 0;
  // False while nothing shows pictures: they may then go to the compressor
  // without being converted for showing.
  virtual bool ShowsPreview() const { return true; }
  // Once per pass of the frame loop: the front handles what is pending
  // (clicks, ticks, interrupts) and may end the job through EndRunning.
  virtual void ProcessMessages() = 0;
  // Refreshes are wanted about once a second while enabled; each is asked
  // for with RefreshTimerTick of Job().
  virtual void SetRefreshTimer(bool enabled) = 0;
  // The compressor for the output; false when the choice was cancelled.
  // request: which of the choice's fields are asked for.
  virtual bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& request,
                                ENCODERCHOICE::EncoderChoice& choice) = 0;
  // A note the job has just logged.
  virtual void NoteReported(SUBTITLEJOB::JobNote /*note*/, const std::string& /*text*/) {}
  // The frame loop has just ended, before the output is closed.
  virtual void LoopEnded(SUBTITLEJOB::JobEnd end) = 0;
  // A job that got as far as its output is over: torn down and "-=[ END ]=-"
  // logged after a frame loop, or torn down after a failed set-up.
  virtual void JobEnded(SUBTITLEJOB::JobEnd end) = 0;

  // The job this host drives, or null; a job attaches itself when it is made.
  SUBTITLEJOB::SubtitleJob* Job() const { return job_; }

 private:
  friend class SUBTITLEJOB::SubtitleJob;
  SUBTITLEJOB::SubtitleJob* job_ = nullptr;
};

}  // namespace JOBHOST
