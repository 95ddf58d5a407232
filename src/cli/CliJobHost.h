#pragma once

// The job's host on the command line: log entries to standard output, errors
// and a progress line (when it is a terminal) to standard error, Ctrl+C,
// SIGTERM and SIGHUP as Stop. The progress line ends with the final count,
// 100% when the source was read to its end.
#include <cstdint>
#include <iosfwd>

#include "job/JobHost.h"

namespace CLIJOBHOST {

class CliJobHost : public JOBHOST::JobHost {
 public:
  // chooser fills the compressor choice from the command's options.
  CliJobHost(std::ostream& out, std::ostream& err, bool showProgress,
             SaveOptionsChooser chooser = {});
  ~CliJobHost() override;
  CliJobHost(const CliJobHost&) = delete;
  CliJobHost& operator=(const CliJobHost&) = delete;

  void AppendLog(const std::string& text) override;
  void ShowMessageBox(MessageKind kind, const std::string& caption,
                      const std::string& text) override;
  void ShowErrorReason(const std::string& reason) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void SetControlEnabled(JOBHOST::JobControl, bool) override {}
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) override;
  // The frame loop begins.
  void SetProgressMaximum(int maximum) override {
    maximum_ = maximum;
    looping_ = true;
  }
  void SetProgressPosition(int position) override { position_ = position; }
  void ShowPreview(const BITMAPINFOHEADER*) override {}
  bool ShowsPreview() const override { return false; }
  void ProcessMessages() override;
  void SetRefreshTimer(bool enabled) override;
  SaveOptionsChooser CompressorChooser() override { return chooser_; }

 private:
  std::string ProgressText(bool complete) const;
  void WriteProgress(const std::string& text);
  void EndProgressLine();
  void FinishProgress();

  std::ostream& out_;
  std::ostream& err_;
  bool showProgress_;
  bool progressShown_ = false;  // a progress line without its line break
  size_t progressLength_ = 0;
  bool looping_ = false;
  bool inTick_ = false;
  bool stopped_ = false;
  bool failed_ = false;
  std::string framerate_;
  std::string remaining_;
  SaveOptionsChooser chooser_;
  int maximum_ = 0;
  int position_ = 0;
  bool timerEnabled_ = false;
  int64_t timerStartMs_ = 0;
};

}  // namespace CLIJOBHOST
