#pragma once

// The main window as the job's host: the log and boxes of the window, its
// controls, statistics fields, progress bar, preview and refresh timer.
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
  void ShowMessageBox(MessageKind kind, const std::string& caption,
                      const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void SetControlEnabled(JOBHOST::JobControl control, bool enabled) override;
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) override;
  void SetProgressMaximum(int maximum) override;
  void SetProgressPosition(int position) override;
  void ShowPreview(const BITMAPINFOHEADER* frame) override;
  bool ShowsPreview() const override;
  void ProcessMessages() override;
  void SetRefreshTimer(bool enabled) override;
  SaveOptionsChooser CompressorChooser() override;
  void* OwnerWindow() override;

 private:
  QLineEdit* Edit(const char* name) const;

  TMainForm& form_;
  QProgressBar* progress_;
  QAction* options_;
};

}  // namespace WINDOWJOBHOST
