#include "ui/WindowJobHost.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "job/SubtitleJob.h"
#include "platform/MessageBox.h"
#include "ui/MainUnit.h"
#include "ui/PreviewUnit.h"

namespace WINDOWJOBHOST {

using JOBHOST::JobControl;

WindowJobHost::WindowJobHost(TMainForm& form)
    : form_(form),
      progress_(form.findChild<QProgressBar*>("PB")),
      options_(form.findChild<QAction*>("TBOptions")) {}

void WindowJobHost::AppendLog(const std::string& text) { form_.AppendLog(text); }

void WindowJobHost::ShowMessageBox(MessageKind kind, const std::string& caption,
                                   const std::string& text) {
  form_.ShowMessageBox(kind, caption, text);
}

bool WindowJobHost::AskYesNo(const std::string& caption, const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                     MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL) == IDYES;
}

// Without a decoder, Start and the source choice stay off for good.
void WindowJobHost::SetControlEnabled(JobControl control, bool enabled) {
  static const std::map<JobControl, const char*> kButtons = {
      {JobControl::SourceVideo, "BSourceVideo"},
      {JobControl::Subtitle, "BSubtitle"},
      {JobControl::DestinationVideo, "BDestinationVideo"},
      {JobControl::Start, "BStart"},
      {JobControl::Stop, "BStop"},
  };
  if (control == JobControl::Options) {
    if (options_ != nullptr) options_->setEnabled(enabled);
    return;
  }
  const bool needsDecoder = control == JobControl::Start || control == JobControl::SourceVideo;
  if (needsDecoder && form_.Decoder == nullptr) enabled = false;
  if (auto* button = form_.findChild<QPushButton*>(kButtons.at(control)))
    button->setEnabled(enabled);
}

QLineEdit* WindowJobHost::Edit(const char* name) const { return form_.findChild<QLineEdit*>(name); }

void WindowJobHost::ShowStatistics(const JOBSTATISTICS::StatisticsTexts& texts) {
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

SaveOptionsChooser WindowJobHost::CompressorChooser() { return form_.CompressorChooser(); }

void* WindowJobHost::OwnerWindow() { return static_cast<QWidget*>(&form_); }

}  // namespace WINDOWJOBHOST
