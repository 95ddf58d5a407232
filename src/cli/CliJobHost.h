#pragma once

// The job's host on the command line: log entries to standard output, errors
// and a progress line (when it is a terminal) to standard error, Ctrl+C,
// SIGTERM and SIGHUP as Stop. The progress line ends with the final count,
// 100% when the source was read to its end. Given an event writer, the log,
// the errors and the progress go to it instead, and standard error keeps
// only its "tolvane: " lines.
#include <csignal>
#include <cstdint>
#include <functional>
#include <iosfwd>

#include "job/JobHost.h"

namespace JSONEVENTS {
class JsonEvents;
}

namespace CLIJOBHOST {

// How the line that follows an error starts when the error was a file that
// could not be opened: "cannot open 'PATH': REASON".
inline constexpr char kCannotOpen[] = "cannot open '";

class CliJobHost : public JOBHOST::JobHost {
 public:
  // Makes the compressor choice from the command's options; false refuses.
  using CompressorFill = std::function<bool(ENCODERCHOICE::EncoderChoice& choice)>;

  CliJobHost(std::ostream& out, std::ostream& err, bool showProgress, CompressorFill fill = {},
             JSONEVENTS::JsonEvents* events = nullptr);
  ~CliJobHost() override;
  CliJobHost(const CliJobHost&) = delete;
  CliJobHost& operator=(const CliJobHost&) = delete;

  void AppendLog(const std::string& text) override;
  void PhaseChanged(SUBTITLEJOB::JobPhase) override {}
  void InputMissing(const std::string& text) override;
  void ErrorReported(const std::string& text, const std::string& reason) override;
  void FileUnopened(const std::string& path, const std::string& reason) override;
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                      const JOBSTATISTICS::Progress& figures) override;
  // The frame loop begins.
  void SetProgressMaximum(int maximum) override {
    maximum_ = maximum;
    looping_ = true;
  }
  void SetProgressPosition(int position) override { position_ = position; }
  void ShowPreview(const BMPFRAME::BmpView&) override {}
  bool ShowsPreview() const override { return false; }
  void ProcessMessages() override;
  void SetRefreshTimer(bool enabled) override;
  bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest&,
                        ENCODERCHOICE::EncoderChoice& choice) override {
    return fill_ && fill_(choice);
  }
  void LoopEnded(SUBTITLEJOB::JobEnd end) override;
  void NoteReported(SUBTITLEJOB::JobNote, const std::string& text) override { PrintError(text); }
  void JobEnded(SUBTITLEJOB::JobEnd) override {}

  // The pictures written so far, copied ones included.
  int64_t PicturesWritten() const { return position_ + copiedPictures_; }
  // The last error told, most precise last (a file's cause after the
  // error); empty when none was.
  const std::string& LastError() const { return lastError_; }

 private:
  void PrintFailure(const std::string& text);
  std::string ProgressText(bool complete) const;
  void WriteProgress(const std::string& text);
  void EndProgressLine();
  void PrintError(const std::string& text);

  std::ostream& out_;
  std::ostream& err_;
  bool showProgress_;
  bool progressShown_ = false;  // a progress line without its line break
  size_t progressLength_ = 0;
  bool looping_ = false;
  std::string framerate_;
  std::string copied_;  // empty unless the job copies untouched pictures
  std::string remaining_;
  CompressorFill fill_;
  int maximum_ = 0;
  int position_ = 0;
  int64_t copiedPictures_ = 0;
  JSONEVENTS::JsonEvents* events_;
  std::string lastError_;
  bool timerEnabled_ = false;
  int64_t timerStartMs_ = 0;
  // What the stop signals did before the job, put back after it: a watcher
  // between jobs keeps its own handling.
  struct sigaction previous_[3] = {};
};

}  // namespace CLIJOBHOST
