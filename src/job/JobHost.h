#pragma once

// What the job needs from whoever drives it: the window or the command line.
// Everything the job shows or asks goes through here, so the job itself uses
// no widgets.
#include <string>

#include "job/JobStatistics.h"
#include "platform/WinTypes.h"

namespace JOBHOST {

// The controls whose state the job changes.
enum class JobControl { SourceVideo, Subtitle, DestinationVideo, Start, Stop, Options };

class JobHost {
 public:
  virtual ~JobHost() = default;

  // One entry of the message log; line breaks inside are CR LF.
  virtual void AppendLog(const std::string& text) = 0;
  // kind 0 error, other values information; an empty caption gets the default.
  virtual void ShowMessageBox(int kind, const std::string& caption, const std::string& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual void SetControlEnabled(JobControl control, bool enabled) = 0;
  virtual void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Called for every handled picture; the host draws it when a preview is open.
  virtual void ShowPreview(const BITMAPINFOHEADER* frame) = 0;
  // Dispatches what is pending (clicks, timer ticks, painting) once.
  virtual void ProcessMessages() = 0;
  // The once-a-second timer; its tick must call SubtitleJob::RefreshTimerTick.
  virtual void SetRefreshTimer(bool enabled) = 0;
  // The window the compressor choice is centred on; may be null.
  virtual void* OwnerWindow() { return nullptr; }
};

}  // namespace JOBHOST
