#pragma once

// What the window's parts ask of the window, each through a narrow side of
// its own, so that the queue page and the job's host know the window only
// as these and no file of the window depends on another in a circle.
#include <string>

#include "compressors/EncoderChoice.h"
#include "job/JobHost.h"
#include "job/JobOptions.h"
#include "platform/MessageBox.h"
#include "ui/QueuedJob.h"

class QWidget;
class TPreviewForm;

namespace WINDOWSIDES {

// Shared by both parts.
class WindowSide {
 public:
  virtual void AppendLog(const std::string& text) = 0;
  virtual void ShowMessageBox(MESSAGEBOX::MessageKind kind, const std::string& caption,
                              const std::string& text) = 0;
  // How the job's compressor is chosen: the dialog, or a test's stand-in.
  virtual ENCODERCHOICE::Chooser CompressorChooser() = 0;
  // False when the decoder's libraries could not be bound.
  virtual bool HasDecoder() const = 0;

 protected:
  ~WindowSide() = default;
};

// The queue page's side of the window.
class QueueSide : public virtual WindowSide {
 public:
  virtual void LogError(const std::string& text) = 0;
  // The job the main page and the options describe.
  virtual JOBOPTIONS::JobOptions CollectJobOptions() const = 0;
  virtual bool JobActive() const = 0;
  virtual bool ExitRequested() const = 0;
  // Closes the window when an exit waits for the run to end; false else.
  virtual bool CloseIfExitPending() = 0;
  virtual std::string SettingsPath() const = 0;
  // Runs a queued job through the window's own job, without boxes.
  virtual SUBTITLEJOB::JobEnd RunQueuedJob(QUEUEDJOB::QueuedJob& queued) = 0;
  // As Stop on the main page.
  virtual void StopJob() = 0;

 protected:
  ~QueueSide() = default;
};

// The job host's side of the window.
class HostSide : public virtual WindowSide {
 public:
  // The window's widgets, where the host finds its controls by name.
  virtual QWidget& Widgets() = 0;
  // The preview when it is shown, else null.
  virtual TPreviewForm* ShownPreview() const = 0;
  virtual void SetRefreshTimerRunning(bool running) = 0;
  // A job started, ended or changed its phase: the queue page fits its
  // buttons.
  virtual void JobStateChanged() = 0;

 protected:
  ~HostSide() = default;
};

}  // namespace WINDOWSIDES
