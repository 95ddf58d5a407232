#pragma once

// The compressor choice: a modal dialog listing the installed compressors
// with their quality, key-frame and data-rate settings.
#include <QDialog>
#include <memory>

#include "platform/AviRecords.h"

namespace Ui {
class TCompressorDialog;
}

namespace TCOMPRESSORDIALOG {

class TCompressorDialog : public QDialog {
  Q_OBJECT

 public:
  // flags: ICMF_CHOOSE_KEYFRAME and ICMF_CHOOSE_DATARATE show those fields.
  TCompressorDialog(QWidget* parent, UINT flags);
  ~TCompressorDialog() override;

  // The choice as the AVI service takes it.
  void FillOptions(AVICOMPRESSOPTIONS* options) const;

 private:
  void CBCompressorChange(int index);
  FOURCC ChosenCode() const;

  std::unique_ptr<Ui::TCompressorDialog> ui_;
  UINT flags_;
};

// Shows the dialog; on OK fills options, remembers the compressor for the
// next time and answers 1, else 0.
int ShowCompressorDialog(void* owner, UINT flags, AVICOMPRESSOPTIONS* options);

}  // namespace TCOMPRESSORDIALOG
