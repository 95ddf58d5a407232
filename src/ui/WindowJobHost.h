#pragma once

// The main window as the job's host: what the job reports becomes the
// window's log, boxes, controls, statistics fields, progress bar, preview and
// refresh timer.
#include <functional>
#include <map>
#include <string>

#include "job/JobHost.h"
#include "shell/JobArguments.h"
#include "ui/QueuedJob.h"
#include "ui/WindowSides.h"

class QAction;
class QLineEdit;
class QProgressBar;

namespace WINDOWJOBHOST {

using QUEUEDJOB::QueuedJob;

class WindowJobHost : public JOBHOST::JobHost {
 public:
  explicit WindowJobHost(WINDOWSIDES::HostSide& window);

  void AppendLog(const std::string& text) override;
  void PhaseChanged(SUBTITLEJOB::JobPhase phase) override;
  void InputMissing(const std::string& text) override;
  void ErrorReported(const std::string& text, const std::string& reason) override;
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                      const JOBSTATISTICS::Progress& figures) override;
  void SetProgressMaximum(int maximum) override;
  void SetProgressPosition(int position) override;
  void ShowPreview(const BMPFRAME::BmpView& picture) override;
  bool ShowsPreview() const override;
  void ProcessMessages() override;
  void SetRefreshTimer(bool enabled) override;
  bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& request,
                        ENCODERCHOICE::EncoderChoice& choice) override;
  void LoopEnded(SUBTITLEJOB::JobEnd) override {}
  void NoteReported(SUBTITLEJOB::JobNote note, const std::string& text) override;
  void JobEnded(SUBTITLEJOB::JobEnd end) override;

  // The window is to close once the job has returned: its end shows no box.
  void SetQuietEnd(bool quiet) { quietEnd_ = quiet; }
  // The queued job the next Start runs, or null for the window's own job.
  void SetQueued(QueuedJob* queued) { queued_ = queued; }

 private:
  QLineEdit* Edit(const char* name) const;
  void ShowCopyCounts(const JOBSTATISTICS::StatisticsTexts& texts);
  void SetButtonEnabled(const char* name, bool enabled);
  void ReportProgress(const std::string& remaining);

  WINDOWSIDES::HostSide& form_;
  QProgressBar* progress_;
  QAction* options_;
  bool quietEnd_ = false;
  QueuedJob* queued_ = nullptr;
  int percent_ = -1;  // as last reported to the queue
  std::string remaining_;
};

}  // namespace WINDOWJOBHOST
