#pragma once

// What the job needs from whoever drives it: the window or the command line.
// Everything the job shows or asks goes through here, so the job itself uses
// no widgets.
#include <string>

#include "avi/Vfw.h"
#include "job/JobStatistics.h"
#include "platform/MessageBox.h"
#include "platform/WinTypes.h"

namespace SUBTITLEJOB {
class SubtitleJob;
}

namespace JOBHOST {

// The controls whose state the job changes.
enum class JobControl { SourceVideo, Subtitle, DestinationVideo, Start, Stop, Options };

class JobHost {
 public:
  virtual ~JobHost() = default;

  // One entry of the message log; line breaks inside are CR LF.
  virtual void AppendLog(const std::string& text) = 0;
  // An empty caption gets the kind's default.
  virtual void ShowMessageBox(MessageKind kind, const std::string& caption,
                              const std::string& text) = 0;
  // The operating system's reason for the error just shown ("No space left
  // on device"), when it gave one.
  virtual void ShowErrorReason(const std::string& /*reason*/) {}
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual void SetControlEnabled(JobControl control, bool enabled) = 0;
  virtual void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Called for every handled picture; the host draws it when a preview is open.
  virtual void ShowPreview(const BITMAPINFOHEADER* frame) = 0;
  // False while no preview is open: the pictures may then go to the
  // compressor without being converted for showing.
  virtual bool ShowsPreview() const { return true; }
  // Dispatches what is pending (clicks, timer ticks, painting) once.
  virtual void ProcessMessages() = 0;
  // The once-a-second timer; its tick must call RefreshTimerTick of Job().
  virtual void SetRefreshTimer(bool enabled) = 0;
  // The compressor choice: the dialog, the command line's options, a
  // stand-in.
  virtual SaveOptionsChooser CompressorChooser() = 0;
  // The window the compressor choice is centred on; may be null.
  virtual void* OwnerWindow() { return nullptr; }

  // The job this host drives, or null; a job attaches itself when it is made.
  SUBTITLEJOB::SubtitleJob* Job() const { return job_; }

 private:
  friend class SUBTITLEJOB::SubtitleJob;
  SUBTITLEJOB::SubtitleJob* job_ = nullptr;
};

}  // namespace JOBHOST
