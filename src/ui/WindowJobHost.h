#pragma once

// The main window as the job's host: what the job reports becomes the
// window's log, boxes, controls, statistics fields, progress bar, preview and
// refresh timer.
#include <functional>
#include <map>
#include <string>

#include "job/JobHost.h"
#include "shell/JobArguments.h"

class TMainForm;
class QAction;
class QLineEdit;
class QProgressBar;
class TQueuePanel;

namespace WINDOWJOBHOST {

// A job of the queue, as its host runs it: the compressor comes from its
// arguments instead of the dialog, and what it reports goes to the queue
// instead of into boxes, so that a run of many jobs asks nothing of the user.
struct QueuedJob {
  JOBARGUMENTS::JobArguments Arguments;
  std::string Error;  // the last error or missing file the job reported
  // Percent of the pictures done and, once the statistics know it, the time
  // still to go ("hh:nn:ss"; empty before).
  std::function<void(int percent, const std::string& remaining)> Progress;
};

class WindowJobHost : public JOBHOST::JobHost {
 public:
  explicit WindowJobHost(TMainForm& form);

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
  void SetButtonEnabled(const char* name, bool enabled);
  void ReportProgress(const std::string& remaining);

  TMainForm& form_;
  QProgressBar* progress_;
  QAction* options_;
  TQueuePanel* queuePanel_;
  bool quietEnd_ = false;
  QueuedJob* queued_ = nullptr;
  int percent_ = -1;  // as last reported to the queue
  std::string remaining_;
};

}  // namespace WINDOWJOBHOST
