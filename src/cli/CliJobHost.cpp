#include "cli/CliJobHost.h"

#include <QCoreApplication>
#include <algorithm>
#include <csignal>
#include <iterator>
#include <ostream>

#include "cli/JsonEvents.h"
#include "job/SubtitleJob.h"

namespace CLIJOBHOST {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

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

CliJobHost::CliJobHost(std::ostream& out, std::ostream& err, bool showProgress, CompressorFill fill,
                       JSONEVENTS::JsonEvents* events)
    : out_(out),
      err_(err),
      showProgress_(showProgress && events == nullptr),
      fill_(std::move(fill)),
      events_(events) {
  gInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  static_assert(std::size(kStopSignals) == 3, "a saved handling for each stop signal");
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    sigaction(kStopSignals[i], &action, &previous_[i]);
}

CliJobHost::~CliJobHost() {
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    sigaction(kStopSignals[i], &previous_[i], nullptr);
  EndProgressLine();
}

void CliJobHost::AppendLog(const std::string& text) {
  if (events_ != nullptr) return events_->Log(WithLineFeeds(text));
  EndProgressLine();
  out_ << WithLineFeeds(text) << '\n';
  out_.flush();
}

// Errors are in the log on standard output and go to standard error too, for
// scripts.
void CliJobHost::InputMissing(const std::string& text) { PrintFailure(text); }

void CliJobHost::ErrorReported(const std::string& text, const std::string& reason) {
  PrintFailure(text);
  if (!reason.empty()) PrintFailure(reason);
}

void CliJobHost::FileUnopened(const std::string& path, const std::string& reason) {
  PrintFailure(kCannotOpen + path + "': " + reason);
}

// A failure, unlike a note, is an error event and what a failed job's done
// event says.
void CliJobHost::PrintFailure(const std::string& text) {
  PrintError(text);
  lastError_ = WithLineFeeds(text);
  if (events_ != nullptr) events_->Error(lastError_);
}

void CliJobHost::PrintError(const std::string& text) {
  EndProgressLine();
  err_ << "tolvane: " << WithLineFeeds(text) << '\n';
}

// The reset before the frame loop has nothing to tell yet.
void CliJobHost::ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                                const JOBSTATISTICS::Progress& figures) {
  copied_ = texts.CopiedFrames;
  if (figures.CopiedFrames >= 0) copiedPictures_ = figures.CopiedFrames;
  if (events_ != nullptr && looping_) events_->Progress(figures);
  if (!showProgress_ || !looping_) return;
  framerate_ = texts.CurrentFramerate;
  remaining_ = " " + JOBSTATISTICS::ClockText(JOBSTATISTICS::RemainingMs(figures));
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
  if (!copied_.empty()) text += " encoded, " + copied_ + " copied";
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
    job->EndRunning();
  }
  if (timerEnabled_ && JOBSTATISTICS::NowMs() - timerStartMs_ >= 1000) job->RefreshTimerTick();
}

void CliJobHost::SetRefreshTimer(bool enabled) {
  timerEnabled_ = enabled;
  if (enabled) timerStartMs_ = JOBSTATISTICS::NowMs();
}

void CliJobHost::EndProgressLine() {
  if (!progressShown_) return;
  if (looping_) WriteProgress(ProgressText(false));
  err_ << '\n';
  progressShown_ = false;
  progressLength_ = 0;
}

// A failure has been told already; anything else ends with how far it got.
void CliJobHost::LoopEnded(SUBTITLEJOB::JobEnd end) {
  const bool failed =
      end == SUBTITLEJOB::JobEnd::WriteFailed || end == SUBTITLEJOB::JobEnd::SourceFailed;
  const bool complete = end == SUBTITLEJOB::JobEnd::SourceEnded;
  looping_ = false;
  if (!showProgress_ || (failed && !progressShown_)) return;
  WriteProgress(ProgressText(complete));
  err_ << '\n';
  err_.flush();
  progressShown_ = false;
  progressLength_ = 0;
}

}  // namespace CLIJOBHOST
