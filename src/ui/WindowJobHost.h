#pragma once

// The main window as the job's host: what the job reports becomes the
// window's log, boxes, controls, statistics fields, progress bar, preview and
// refresh timer.
#include <map>

#include "job/JobHost.h"

class TMainForm;
class QAction;
class QLineEdit;
class QProgressBar;

namespace WINDOWJOBHOST {

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
  void ShowPreview(const BITMAPINFOHEADER* frame) override;
  bool ShowsPreview() const override;
  void ProcessMessages() override;
  void SetRefreshTimer(bool enabled) override;
  bool ChooseCompressor(UINT flags, AVICOMPRESSOPTIONS& options) override;
  void LoopEnded(SUBTITLEJOB::JobEnd) override {}
  void JobEnded(SUBTITLEJOB::JobEnd end) override;

  // The window is to close once the job has returned: its end shows no box.
  void SetQuietEnd(bool quiet) { quietEnd_ = quiet; }

 private:
  QLineEdit* Edit(const char* name) const;
  void SetButtonEnabled(const char* name, bool enabled);

  TMainForm& form_;
  QProgressBar* progress_;
  QAction* options_;
  bool quietEnd_ = false;
};

}  // namespace WINDOWJOBHOST
