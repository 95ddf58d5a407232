#include "compressors/widgets/CompressorDialog.h"

#include <algorithm>

#include "compressors/CompressorCatalog.h"
#include "ui_CompressorDialog.h"

namespace TCOMPRESSORDIALOG {

namespace {

using COMPRESSORCATALOG::CompressorInfo;

constexpr FOURCC kFirstChoice = MakeFourCC('X', 'V', 'I', 'D');

// The choice last confirmed while the program runs.
AVICOMPRESSOPTIONS& LastChoice() {
  static AVICOMPRESSOPTIONS last = [] {
    AVICOMPRESSOPTIONS first{};
    first.fccType = streamtypeVIDEO;
    first.fccHandler = kFirstChoice;
    first.dwQuality = 7500;
    first.dwKeyFrameEvery = 250;
    first.dwBytesPerSecond = 300 * 1024;
    return first;
  }();
  return last;
}

}  // namespace

TCompressorDialog::TCompressorDialog(QWidget* parent, UINT flags,
                                     const AVICOMPRESSOPTIONS* startFrom)
    : QDialog(parent), ui_(std::make_unique<Ui::TCompressorDialog>()), flags_(flags) {
  ui_->setupUi(this);
  setObjectName("TCompressorDialog");
  for (const CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors())
    ui_->CBCompressor->addItem(QString::fromStdString(info.name), QVariant(uint(info.code)));
  StartFrom(startFrom != nullptr ? *startFrom : LastChoice());
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

// A compressor that is no longer installed gives way to MPEG-4 Part 2, or to
// the first in the list.
void TCompressorDialog::StartFrom(const AVICOMPRESSOPTIONS& choice) {
  QComboBox* list = ui_->CBCompressor;
  int index = list->findData(QVariant(uint(choice.fccHandler)));
  if (index < 0) index = list->findData(QVariant(uint(kFirstChoice)));
  list->setCurrentIndex(std::max(index, 0));
  if (choice.dwQuality != ICQUALITY_DEFAULT)
    ui_->UDQuality->setValue(int((std::min<DWORD>(choice.dwQuality, 10000) + 50) / 100));
  if (choice.dwKeyFrameEvery > 0) ui_->UDKeyFrames->setValue(int(choice.dwKeyFrameEvery));
  ui_->CBKeyFrames->setChecked((choice.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0);
  if (choice.dwBytesPerSecond >= 1024)
    ui_->UDDataRate->setValue(int(choice.dwBytesPerSecond / 1024));
  ui_->CBDataRate->setChecked((choice.dwFlags & AVICOMPRESSF_DATARATE) != 0);
}

AVICOMPRESSOPTIONS TCompressorDialog::Remembered() const {
  AVICOMPRESSOPTIONS choice{};
  choice.fccType = streamtypeVIDEO;
  choice.fccHandler = ChosenCode();
  choice.dwQuality = DWORD(ui_->UDQuality->value()) * 100;
  choice.dwKeyFrameEvery = DWORD(ui_->UDKeyFrames->value());
  choice.dwBytesPerSecond = DWORD(ui_->UDDataRate->value()) * 1024;
  if (ui_->CBKeyFrames->isChecked()) choice.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  if (ui_->CBDataRate->isChecked()) choice.dwFlags |= AVICOMPRESSF_DATARATE;
  return choice;
}

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
  std::optional<AVICOMPRESSOPTIONS> remembered = LastChoice();
  return ShowCompressorDialogFrom(owner, flags, options, remembered);
}

int ShowCompressorDialogFrom(void* owner, UINT flags, AVICOMPRESSOPTIONS* options,
                             std::optional<AVICOMPRESSOPTIONS>& remembered) {
  TCompressorDialog dialog(static_cast<QWidget*>(owner), flags,
                           remembered ? &*remembered : nullptr);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return 0;
  dialog.FillOptions(options);
  remembered = LastChoice() = dialog.Remembered();
  return 1;
}

}  // namespace TCOMPRESSORDIALOG
