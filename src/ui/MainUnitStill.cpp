// The still before a run: the picture of one moment with its subtitle, drawn
// as the job will draw it, in the preview window.
#include "job/StillPicture.h"
#include "ui/MainUnit.h"
#include "ui/PreviewUnit.h"
#include "ui/WidgetText.h"
#include "ui_MainUnit.h"

namespace {

// What to ask for before a still can be made; null when nothing is missing.
const char* MissingInput(const JOBOPTIONS::JobOptions& options, bool timeGiven) {
  const JOBOPTIONS::MissingFile file = JOBOPTIONS::FirstMissingFile(options, false);
  if (file != JOBOPTIONS::MissingFile::None) return JOBOPTIONS::MissingFileRequest(file);
  if (!timeGiven) return "Please give the time of the still in seconds or as h:mm:ss!";
  return nullptr;
}

}  // namespace

void TMainForm::BStillClick() {
  // The decoder is lent to the job while one runs.
  if (ObjectsReleased || JobActive() || !HasDecoder()) return;
  const JOBOPTIONS::JobOptions options = CollectJobOptions();
  const auto seconds = STILLPICTURE::ParseStillTime(FromQString(ui->EStillTime->text().trimmed()));
  if (const char* missing = MissingInput(options, seconds.has_value())) {
    ShowMessageBox(MESSAGEBOX::MessageKind::Information, "", missing);
    return;
  }
  BMPFRAME::BmpFrame still;
  std::string error;
  if (!STILLPICTURE::ComposeStill(*materials_.Decoder, options, *seconds, still, error)) {
    LogError(error);
    ShowMessageBox(MESSAGEBOX::MessageKind::Error, "", error);
    return;
  }
  BPreviewClick();
  PreviewWindow->ShowStill(still.View().Info());
}
