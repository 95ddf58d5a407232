#include "ui/WindowJobHost.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <string_view>

#include "job/SubtitleJob.h"
#include "platform/MessageBox.h"
#include "ui/PreviewUnit.h"

namespace WINDOWJOBHOST {

WindowJobHost::WindowJobHost(WINDOWSIDES::HostSide& window)
    : form_(window),
      progress_(window.Widgets().findChild<QProgressBar*>("PB")),
      options_(window.Widgets().findChild<QAction*>("TBOptions")) {}

void WindowJobHost::AppendLog(const std::string& text) { form_.AppendLog(text); }

void WindowJobHost::PhaseChanged(SUBTITLEJOB::JobPhase phase) {
  using SUBTITLEJOB::JobPhase;
  // A stop frees Start at once; the rest waits for the job to close.
  const bool idle = phase == JobPhase::Idle;
  if (phase != JobPhase::Stopping) {
    for (const char* name : {"BSourceVideo", "BSubtitle", "BDestinationVideo"})
      SetButtonEnabled(name, idle);
    if (options_ != nullptr) options_->setEnabled(idle);
  }
  SetButtonEnabled("BStart", phase != JobPhase::Working);
  SetButtonEnabled("BStop", phase == JobPhase::Working);
  form_.JobStateChanged();
}

// Without a decoder, Start and the source choice stay off for good.
void WindowJobHost::SetButtonEnabled(const char* name, bool enabled) {
  const std::string_view button(name);
  if ((button == "BStart" || button == "BSourceVideo") && !form_.HasDecoder()) enabled = false;
  if (auto* widget = form_.Widgets().findChild<QPushButton*>(name)) widget->setEnabled(enabled);
}

void WindowJobHost::InputMissing(const std::string& text) {
  if (queued_ != nullptr)
    queued_->Error = text;
  else
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", text);
}

void WindowJobHost::ErrorReported(const std::string& text, const std::string&) {
  if (queued_ != nullptr)
    queued_->Error = text;
  else
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", text);
}

// A job whose frame loop ran says so once it has closed everything.
void WindowJobHost::JobEnded(SUBTITLEJOB::JobEnd end) {
  using SUBTITLEJOB::JobEnd;
  const bool looped = end != JobEnd::SetupFailed && end != JobEnd::NoCompressor;
  if (looped && !quietEnd_ && queued_ == nullptr)
    form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", "OK");
}

QLineEdit* WindowJobHost::Edit(const char* name) const {
  return form_.Widgets().findChild<QLineEdit*>(name);
}

void WindowJobHost::ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                                   const JOBSTATISTICS::Progress& figures) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"EElapsedTime", &texts.ElapsedTime},
      {"EEstimatedTime", &texts.EstimatedTime},
      {"ETotalTime", &texts.TotalTime},
      {"EAvgFramerate", &texts.AvgFramerate},
      {"ECurrentFramerate", &texts.CurrentFramerate},
      {"EAudioSize", &texts.AudioSize},
      {"EVideoSize", &texts.VideoSize},
      {"EWrittenSize", &texts.WrittenSize},
      {"ETotalSize", &texts.TotalSize},
  };
  for (const auto& [name, text] : fields)
    if (QLineEdit* edit = Edit(name)) edit->setText(QString::fromStdString(*text));
  ShowCopyCounts(texts);
  // The reset before a job has no pictures to go by yet.
  if (figures.FrameIndex > 0) {
    ReportProgress(JOBSTATISTICS::ClockText(JOBSTATISTICS::RemainingMs(figures)));
  } else {
    percent_ = -1;
    remaining_.clear();
    if (progress_ != nullptr) {
      progress_->setFormat("%p%");
      progress_->setToolTip({});
    }
  }
}

// The copied and encoded counts are in view only while a job copies, and
// after it until the next one starts.
void WindowJobHost::ShowCopyCounts(const JOBSTATISTICS::StatisticsTexts& texts) {
  const bool copying = !texts.CopiedFrames.empty();
  for (const char* name : {"LCopiedFrames", "ECopiedFrames", "LEncodedFrames", "EEncodedFrames"})
    if (QWidget* widget = form_.Widgets().findChild<QWidget*>(name)) widget->setVisible(copying);
  if (!copying) return;
  if (QLineEdit* edit = Edit("ECopiedFrames"))
    edit->setText(QString::fromStdString(texts.CopiedFrames));
  if (QLineEdit* edit = Edit("EEncodedFrames"))
    edit->setText(QString::fromStdString(texts.EncodedFrames));
}

// A damaged source shows on the progress bar until the next job; the log
// holds the line.
void WindowJobHost::NoteReported(SUBTITLEJOB::JobNote note, const std::string& text) {
  if (note != SUBTITLEJOB::JobNote::Damage || progress_ == nullptr) return;
  progress_->setFormat("%p% (damaged source)");
  progress_->setToolTip(QString::fromStdString(text));
}

// The queue hears of each new percent and of each refresh.
void WindowJobHost::ReportProgress(const std::string& remaining) {
  if (queued_ == nullptr || !queued_->Progress || progress_ == nullptr) return;
  const int maximum = progress_->maximum();
  const int percent =
      maximum > 0 ? int(std::min<int64_t>(int64_t(progress_->value()) * 100 / maximum, 99)) : 0;
  if (percent == percent_ && (remaining.empty() || remaining == remaining_)) return;
  percent_ = percent;
  if (!remaining.empty()) remaining_ = remaining;
  queued_->Progress(percent, remaining_);
}

void WindowJobHost::SetProgressMaximum(int maximum) {
  if (progress_ != nullptr) progress_->setMaximum(std::max(maximum, 0));
}

// The frame count is an estimate: the bar stops at its end.
void WindowJobHost::SetProgressPosition(int position) {
  if (progress_ != nullptr) progress_->setValue(std::min(position, progress_->maximum()));
  ReportProgress({});
}

void WindowJobHost::ShowPreview(const BMPFRAME::BmpView& picture) {
  if (TPreviewForm* preview = form_.ShownPreview()) preview->DrawFrame(picture.Info());
}

bool WindowJobHost::ShowsPreview() const { return form_.ShownPreview() != nullptr; }

void WindowJobHost::ProcessMessages() { QApplication::processEvents(); }

void WindowJobHost::SetRefreshTimer(bool enabled) { form_.SetRefreshTimerRunning(enabled); }

bool WindowJobHost::ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& request,
                                     ENCODERCHOICE::EncoderChoice& choice) {
  if (queued_ != nullptr) return JOBARGUMENTS::ChoiceOf(queued_->Arguments, choice);
  const ENCODERCHOICE::Chooser chooser = form_.CompressorChooser();
  return chooser && chooser(request, choice);
}

}  // namespace WINDOWJOBHOST
