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
#include "ui/MainUnit.h"
#include "ui/PreviewUnit.h"

namespace WINDOWJOBHOST {

WindowJobHost::WindowJobHost(TMainForm& form)
    : form_(form),
      progress_(form.findChild<QProgressBar*>("PB")),
      options_(form.findChild<QAction*>("TBOptions")) {}

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
}

// Without a decoder, Start and the source choice stay off for good.
void WindowJobHost::SetButtonEnabled(const char* name, bool enabled) {
  const std::string_view button(name);
  if ((button == "BStart" || button == "BSourceVideo") && !form_.HasDecoder()) enabled = false;
  if (auto* widget = form_.findChild<QPushButton*>(name)) widget->setEnabled(enabled);
}

void WindowJobHost::InputMissing(const std::string& text) {
  form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", text);
}

void WindowJobHost::ErrorReported(const std::string& text, const std::string&) {
  form_.ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", text);
}

// A job whose frame loop ran says so once it has closed everything.
void WindowJobHost::JobEnded(SUBTITLEJOB::JobEnd end) {
  using SUBTITLEJOB::JobEnd;
  const bool looped = end != JobEnd::SetupFailed && end != JobEnd::NoCompressor;
  if (looped && !quietEnd_) form_.ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", "OK");
}

QLineEdit* WindowJobHost::Edit(const char* name) const { return form_.findChild<QLineEdit*>(name); }

void WindowJobHost::ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts,
                                   const JOBSTATISTICS::Progress&) {
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
}

void WindowJobHost::SetProgressMaximum(int maximum) {
  if (progress_ != nullptr) progress_->setMaximum(std::max(maximum, 0));
}

// The frame count is an estimate: the bar stops at its end.
void WindowJobHost::SetProgressPosition(int position) {
  if (progress_ != nullptr) progress_->setValue(std::min(position, progress_->maximum()));
}

void WindowJobHost::ShowPreview(const BITMAPINFOHEADER* frame) {
  if (TPreviewForm* preview = form_.ShownPreview()) preview->DrawFrame(frame);
}

bool WindowJobHost::ShowsPreview() const { return form_.ShownPreview() != nullptr; }

void WindowJobHost::ProcessMessages() { QApplication::processEvents(); }

void WindowJobHost::SetRefreshTimer(bool enabled) {
  if (enabled)
    form_.TRefresh->start();
  else
    form_.TRefresh->stop();
}

// The dialog is centred on the window.
bool WindowJobHost::ChooseCompressor(UINT flags, AVICOMPRESSOPTIONS& options) {
  const SaveOptionsChooser chooser = form_.CompressorChooser();
  return chooser && chooser(static_cast<QWidget*>(&form_), flags, &options) == 1;
}

}  // namespace WINDOWJOBHOST
