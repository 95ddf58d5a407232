#include "cli/CliJobHost.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <ostream>

#include "job/SubtitleJob.h"

namespace CLIJOBHOST {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The log's CR LF line breaks become plain line feeds.
std::string WithLineFeeds(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
  return result;
}

}  // namespace

// Ctrl+C, a termination request and a hang-up only ask the job to stop, so
// the file is completed with its index; a second one ends the program at once.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

CliJobHost::CliJobHost(std::ostream& out, std::ostream& err, bool showProgress,
                       SaveOptionsChooser chooser)
    : out_(out), err_(err), showProgress_(showProgress), chooser_(std::move(chooser)) {
  gInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

CliJobHost::~CliJobHost() {
  for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
  EndProgressLine();
}

void CliJobHost::AppendLog(const std::string& text) {
  EndProgressLine();
  out_ << WithLineFeeds(text) << '\n';
  out_.flush();
}

// Errors are in the log on standard output and go to standard error too, for
// scripts; the closing "OK" says nothing the log does not.
void CliJobHost::ShowMessageBox(MessageKind kind, const std::string&, const std::string& text) {
  if (kind == MessageKind::Information && text == "OK") return;
  failed_ = failed_ || (looping_ && kind == MessageKind::Error);
  EndProgressLine();
  err_ << "tolvane: " << WithLineFeeds(text) << '\n';
}

void CliJobHost::ShowErrorReason(const std::string& reason) {
  EndProgressLine();
  err_ << "tolvane: " << reason << '\n';
}

bool CliJobHost::AskYesNo(const std::string&, const std::string&) { return true; }

// The reset before the frame loop has nothing to tell yet.
void CliJobHost::ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) {
  if (!showProgress_ || !looping_) return;
  framerate_ = texts.CurrentFramerate;
  remaining_ = texts.EstimatedTime.substr(3);
  WriteProgress(ProgressText(false));
}

// The figures of the last refresh with the count of now; a finished source
// is the whole of it, whatever the container's estimate said.
std::string CliJobHost::ProgressText(bool complete) const {
  const int maximum = complete ? position_ : maximum_;
  int percent = maximum > 0 ? int(int64_t(position_) * 100 / maximum) : 0;
  if (!complete) percent = std::min(percent, 99);
  std::string text = std::to_string(position_) + '/' + std::to_string(maximum) + " frames (" +
                     std::to_string(percent) + "%)";
  if (!complete && !framerate_.empty()) text += ", " + framerate_ + " F/S, remaining" + remaining_;
  return text;
}

// Blanks cover what is left of a longer line before.
void CliJobHost::WriteProgress(const std::string& text) {
  err_ << '\r' << text;
  if (progressLength_ > text.size()) err_ << std::string(progressLength_ - text.size(), ' ');
  err_.flush();
  progressLength_ = text.size();
  progressShown_ = true;
}

void CliJobHost::ProcessMessages() {
  QCoreApplication::processEvents();
  SUBTITLEJOB::SubtitleJob* job = Job();
  if (job == nullptr) return;
  if (gInterrupted) {
    gInterrupted = 0;
    stopped_ = true;
    job->EndRunning();
  }
  if (timerEnabled_ && NowMs() - timerStartMs_ >= 1000) {
    inTick_ = true;
    job->RefreshTimerTick();
    inTick_ = false;
  }
}

// Only a tick stops the timer while the frame loop runs: any other stop is
// the loop's end.
void CliJobHost::SetRefreshTimer(bool enabled) {
  timerEnabled_ = enabled;
  if (enabled) timerStartMs_ = NowMs();
  if (!enabled && looping_ && !inTick_) FinishProgress();
}

void CliJobHost::EndProgressLine() {
  if (!progressShown_) return;
  if (looping_) WriteProgress(ProgressText(false));
  err_ << '\n';
  progressShown_ = false;
  progressLength_ = 0;
}

// A failure has been told already; anything else ends with how far it got.
void CliJobHost::FinishProgress() {
  const bool complete = !stopped_ && !failed_;
  looping_ = false;
  if (!showProgress_ || (failed_ && !progressShown_)) return;
  WriteProgress(ProgressText(complete));
  err_ << '\n';
  err_.flush();
  progressShown_ = false;
  progressLength_ = 0;
}

}  // namespace CLIJOBHOST
