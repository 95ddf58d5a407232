#include "compressors/widgets/CompressorDialog.h"

#include "compressors/CompressorCatalog.h"
#include "ui_CompressorDialog.h"

namespace TCOMPRESSORDIALOG {

namespace {

using COMPRESSORCATALOG::CompressorInfo;

// The compressor last confirmed while the program runs.
FOURCC lastChosen = 0;

}  // namespace

TCompressorDialog::TCompressorDialog(QWidget* parent, UINT flags)
    : QDialog(parent), ui_(std::make_unique<Ui::TCompressorDialog>()), flags_(flags) {
  ui_->setupUi(this);
  setObjectName("TCompressorDialog");
  for (const CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors())
    ui_->CBCompressor->addItem(QString::fromStdString(info.name), QVariant(uint(info.code)));
  const int last = ui_->CBCompressor->findData(QVariant(uint(lastChosen)));
  ui_->CBCompressor->setCurrentIndex(last >= 0 ? last : 0);
  const bool keyFrames = flags & ICMF_CHOOSE_KEYFRAME, dataRate = flags & ICMF_CHOOSE_DATARATE;
  ui_->CBKeyFrames->setVisible(keyFrames);
  ui_->UDKeyFrames->setVisible(keyFrames);
  ui_->CBDataRate->setVisible(dataRate);
  ui_->UDDataRate->setVisible(dataRate);
  connect(ui_->CBCompressor, &QComboBox::currentIndexChanged, this,
          &TCompressorDialog::CBCompressorChange);
  connect(ui_->CBKeyFrames, &QCheckBox::toggled, ui_->UDKeyFrames, &QWidget::setEnabled);
  connect(ui_->CBDataRate, &QCheckBox::toggled, ui_->UDDataRate, &QWidget::setEnabled);
  connect(ui_->BOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->BCancel, &QPushButton::clicked, this, &QDialog::reject);
  CBCompressorChange(ui_->CBCompressor->currentIndex());
}

TCompressorDialog::~TCompressorDialog() = default;

FOURCC TCompressorDialog::ChosenCode() const {
  return FOURCC(ui_->CBCompressor->currentData().toUInt());
}

// Settings a compressor ignores are greyed out.
void TCompressorDialog::CBCompressorChange(int) {
  const CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(ChosenCode());
  const bool quality = info && info->hasQuality, keyFrames = info && info->hasKeyFrames,
             dataRate = info && info->hasDataRate;
  ui_->UDQuality->setEnabled(quality);
  ui_->LQuality->setEnabled(quality);
  ui_->CBKeyFrames->setEnabled(keyFrames);
  ui_->UDKeyFrames->setEnabled(keyFrames && ui_->CBKeyFrames->isChecked());
  ui_->CBDataRate->setEnabled(dataRate);
  ui_->UDDataRate->setEnabled(dataRate && ui_->CBDataRate->isChecked());
}

void TCompressorDialog::FillOptions(AVICOMPRESSOPTIONS* options) const {
  options->fccType = streamtypeVIDEO;
  options->fccHandler = ChosenCode();
  options->dwQuality = DWORD(ui_->UDQuality->value()) * 100;
  if ((flags_ & ICMF_CHOOSE_KEYFRAME) && ui_->CBKeyFrames->isEnabled() &&
      ui_->CBKeyFrames->isChecked()) {
    options->dwFlags |= AVICOMPRESSF_KEYFRAMES;
    options->dwKeyFrameEvery = DWORD(ui_->UDKeyFrames->value());
  }
  if ((flags_ & ICMF_CHOOSE_DATARATE) && ui_->CBDataRate->isEnabled() &&
      ui_->CBDataRate->isChecked()) {
    options->dwFlags |= AVICOMPRESSF_DATARATE;
    options->dwBytesPerSecond = DWORD(ui_->UDDataRate->value()) * 1024;
  }
}

int ShowCompressorDialog(void* owner, UINT flags, AVICOMPRESSOPTIONS* options) {
  TCompressorDialog dialog(static_cast<QWidget*>(owner), flags);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return 0;
  dialog.FillOptions(options);
  lastChosen = options->fccHandler;
  return 1;
}

}  // namespace TCOMPRESSORDIALOG
