#pragma once

// The compressor choice: a modal dialog listing the installed compressors
// with their quality, key-frame and data-rate settings.
#include <QDialog>
#include <memory>
#include <optional>

#include "platform/AviRecords.h"

namespace Ui {
class TCompressorDialog;
}

namespace TCOMPRESSORDIALOG {

class TCompressorDialog : public QDialog {
  Q_OBJECT

 public:
  // flags: ICMF_CHOOSE_KEYFRAME and ICMF_CHOOSE_DATARATE show those fields.
  // The fields start from startFrom, or when there is none from the last
  // choice confirmed while the program runs (MPEG-4 Part 2 at first).
  TCompressorDialog(QWidget* parent, UINT flags, const AVICOMPRESSOPTIONS* startFrom = nullptr);
  ~TCompressorDialog() override;

  // The choice as the AVI service takes it.
  void FillOptions(AVICOMPRESSOPTIONS* options) const;
  // Every field, the values of those switched off included, to start from
  // the next time.
  AVICOMPRESSOPTIONS Remembered() const;

 private:
  void CBCompressorChange(int index);
  void StartFrom(const AVICOMPRESSOPTIONS& choice);
  FOURCC ChosenCode() const;

  std::unique_ptr<Ui::TCompressorDialog> ui_;
  UINT flags_;
};

// Shows the dialog; on OK fills options, remembers the choice for the next
// time and answers 1, else 0.
int ShowCompressorDialog(void* owner, UINT flags, AVICOMPRESSOPTIONS* options);
// The same, starting from remembered (when there is none, from the last
// choice of this run), which becomes the choice on OK: the window keeps it
// across runs.
int ShowCompressorDialogFrom(void* owner, UINT flags, AVICOMPRESSOPTIONS* options,
                             std::optional<AVICOMPRESSOPTIONS>& remembered);

}  // namespace TCOMPRESSORDIALOG
