// Disc subtitle pictures saved as text from the window: the same reading as
// --subtitles-to-text, of the track or file the window has chosen.
#include <QApplication>

#include "job/PicturesToText.h"
#include "media/DisplaySetDecoder.h"
#include "ui/MainUnit.h"
#include "ui/WidgetText.h"
#include "ui_MainUnit.h"

namespace {

const FILEDIALOGS::FileDialogRequest kTextFileDialog = {
    "SDTextFile", true, "Save subtitles as text...", "SubRip files|*.srt|All files|*.*", "srt"};

}  // namespace

void TMainForm::FollowSubtitleChoice() {
  const int track = ui->CBSubtitleTrack->isHidden() ? 0 : ui->CBSubtitleTrack->currentIndex();
  const bool pictures =
      track > 0 ? size_t(track) <= pictureTracks_.size() && pictureTracks_[size_t(track - 1)]
                : DISPLAYSETDECODER::IsPictureFileName(FromQString(ui->ESubtitleFile->text()));
  ui->BSaveAsText->setEnabled(pictures);
}

void TMainForm::BSaveAsTextClick() {
  // The decoder is lent to the job while one runs.
  if (ObjectsReleased || JobActive() || !HasDecoder() || !ui->BSaveAsText->isEnabled()) return;
  const JOBOPTIONS::JobOptions options = CollectJobOptions();
  PICTURESTOTEXT::Request request;
  if (options.SubtitleTrack > 0) {
    request.Source = options.SourceVideo;
    request.Track = options.SubtitleTrack;
  } else {
    request.Pictures = options.Subtitle;
  }
  request.Languages = options.OcrLanguage;
  request.ForcedOnly = options.ForcedOnly;
  const auto name = FILEDIALOGS::RunFileDialog(Environment.FileDialog, this, kTextFileDialog);
  if (!name) return;
  request.Output = *name;
  // The window is painted while the sets are read, and takes no clicks.
  ui->BSaveAsText->setEnabled(false);
  PICTURESTOTEXT::Result result;
  const std::string error = PICTURESTOTEXT::WriteText(*materials_.Decoder, request, result, [] {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  materials_.Decoder->Close();
  FollowSubtitleChoice();
  for (const std::string& line : result.Log) AppendLog(line);
  if (error.empty()) return;
  LogError(error);
  ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", error);
}
