#include "compressors/widgets/CompressorDialog.h"

#include <QSignalBlocker>
#include <algorithm>

#include "compressors/CompressorCatalog.h"
#include "ui_CompressorDialog.h"

namespace TCOMPRESSORDIALOG {

namespace {

using COMPRESSORCATALOG::CompressorInfo;
using ENCODERCHOICE::EncoderChoice;

constexpr uint32_t kFirstChoice = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
constexpr int kReferenceWhiteNits = 203;

// The choice last confirmed while the program runs.
EncoderChoice& LastChoice() {
  static EncoderChoice last = [] {
    EncoderChoice first;
    first.Codec = kFirstChoice;
    first.Quality = 7500;
    first.KeyFrameEvery = 250;
    first.BytesPerSecond = 300 * 1024;
    return first;
  }();
  return last;
}

}  // namespace

TCompressorDialog::TCompressorDialog(QWidget* parent, const ENCODERCHOICE::ChoiceRequest& request,
                                     const EncoderChoice* startFrom)
    : QDialog(parent), ui_(std::make_unique<Ui::TCompressorDialog>()), request_(request) {
  ui_->setupUi(this);
  setObjectName("TCompressorDialog");
  for (const CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors())
    ui_->CBCompressor->addItem(QString::fromStdString(info.name), QVariant(uint(info.code)));
  ui_->CBBitDepth->addItem("As the source", QVariant(0));
  ui_->CBBitDepth->addItem("8 bits", QVariant(8));
  ui_->CBBitDepth->addItem("10 bits", QVariant(10));
  StartFrom(startFrom != nullptr ? *startFrom : LastChoice());
  ui_->CBKeyFrames->setVisible(request.KeyFrames);
  ui_->UDKeyFrames->setVisible(request.KeyFrames);
  ui_->CBDataRate->setVisible(request.DataRate);
  ui_->UDDataRate->setVisible(request.DataRate);
  connect(ui_->CBCompressor, &QComboBox::currentIndexChanged, this,
          &TCompressorDialog::CBCompressorChange);
  connect(ui_->CBPreset, &QComboBox::activated, this, [this] { chosenPreset_ = ChosenPreset(); });
  connect(ui_->CBKeyFrames, &QCheckBox::toggled, ui_->UDKeyFrames, &QWidget::setEnabled);
  connect(ui_->CBDataRate, &QCheckBox::toggled, ui_->UDDataRate, &QWidget::setEnabled);
  connect(ui_->BOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->BCancel, &QPushButton::clicked, this, &QDialog::reject);
  CBCompressorChange(ui_->CBCompressor->currentIndex());
}

TCompressorDialog::~TCompressorDialog() = default;

// A compressor that is no longer installed gives way to MPEG-4 Part 2, or to
// the first in the list.
void TCompressorDialog::StartFrom(const EncoderChoice& choice) {
  QComboBox* list = ui_->CBCompressor;
  int index = list->findData(QVariant(uint(choice.Codec)));
  if (index < 0) index = list->findData(QVariant(uint(kFirstChoice)));
  list->setCurrentIndex(std::max(index, 0));
  if (choice.Quality != ENCODERCHOICE::kDefaultQuality)
    ui_->UDQuality->setValue(
        int((std::min(choice.Quality, ENCODERCHOICE::kHighestQuality) + 50) / 100));
  if (choice.KeyFrameEvery > 0) ui_->UDKeyFrames->setValue(int(choice.KeyFrameEvery));
  ui_->CBKeyFrames->setChecked(choice.KeyFramesOn);
  if (choice.BytesPerSecond >= 1024) ui_->UDDataRate->setValue(int(choice.BytesPerSecond / 1024));
  ui_->CBDataRate->setChecked(choice.DataRateOn);
  chosenPreset_ = choice.Preset;
  ListPresets();
  ui_->EEncoderOptions->setText(QString::fromStdString(choice.EncoderOptions));
  const int depth = ui_->CBBitDepth->findData(QVariant(choice.Asked.BitDepth.value_or(0)));
  ui_->CBBitDepth->setCurrentIndex(std::max(depth, 0));
  ui_->CBSdr->setChecked(choice.Asked.Sdr.value_or(false));
  ui_->UDSubtitleNits->setValue(choice.Asked.SubtitleNits.value_or(kReferenceWhiteNits));
}

// The chosen compressor's presets; the one chosen stays chosen where the
// compressor has it too.
void TCompressorDialog::ListPresets() {
  QComboBox* list = ui_->CBPreset;
  const QSignalBlocker quiet(list);
  list->clear();
  list->addItem("Encoder's default", QVariant(QString()));
  const CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(ChosenCode());
  if (info == nullptr) return;
  for (const std::string& name : info->presets.names)
    list->addItem(QString::fromStdString(name), QVariant(QString::fromStdString(name)));
  list->setCurrentIndex(std::max(list->findData(QString::fromStdString(chosenPreset_)), 0));
}

ENCODERCHOICE::ColourAsked TCompressorDialog::ChosenColour() const {
  ENCODERCHOICE::ColourAsked asked;
  asked.BitDepth = ui_->CBBitDepth->isEnabled() ? ui_->CBBitDepth->currentData().toInt() : 0;
  asked.Sdr = ui_->CBSdr->isChecked();
  asked.SubtitleNits = ui_->UDSubtitleNits->value();
  return asked;
}

std::string TCompressorDialog::ChosenPreset() const {
  return ui_->CBPreset->currentData().toString().toStdString();
}

EncoderChoice TCompressorDialog::Remembered() const {
  EncoderChoice choice;
  choice.Codec = ChosenCode();
  choice.Quality = uint32_t(ui_->UDQuality->value()) * 100;
  choice.KeyFrameEvery = uint32_t(ui_->UDKeyFrames->value());
  choice.BytesPerSecond = uint32_t(ui_->UDDataRate->value()) * 1024;
  choice.KeyFramesOn = ui_->CBKeyFrames->isChecked();
  choice.DataRateOn = ui_->CBDataRate->isChecked();
  choice.Preset = ChosenPreset();
  choice.EncoderOptions = ui_->EEncoderOptions->text().trimmed().toStdString();
  choice.Asked = ChosenColour();
  return choice;
}

uint32_t TCompressorDialog::ChosenCode() const {
  return uint32_t(ui_->CBCompressor->currentData().toUInt());
}

// Settings a compressor ignores are greyed out.
void TCompressorDialog::CBCompressorChange(int) {
  const CompressorInfo* info = COMPRESSORCATALOG::FindCompressor(ChosenCode());
  const bool quality = info && info->HasQuality(), keyFrames = info && info->rate.hasKeyFrames,
             dataRate = info && info->rate.hasDataRate;
  ui_->UDQuality->setEnabled(quality);
  ui_->LQuality->setEnabled(quality);
  ui_->CBKeyFrames->setEnabled(keyFrames);
  ui_->UDKeyFrames->setEnabled(keyFrames && ui_->CBKeyFrames->isChecked());
  ui_->CBDataRate->setEnabled(dataRate);
  ui_->UDDataRate->setEnabled(dataRate && ui_->CBDataRate->isChecked());
  ListPresets();
  const bool presets = ui_->CBPreset->count() > 1, options = info && info->encoder;
  ui_->CBPreset->setEnabled(presets);
  ui_->LPreset->setEnabled(presets);
  ui_->EEncoderOptions->setEnabled(options);
  ui_->LEncoderOptions->setEnabled(options);
  // The older compressors write 8 bits whatever is asked.
  const bool deep = info && info->keepsDeepColour;
  ui_->CBBitDepth->setEnabled(deep);
  ui_->LBitDepth->setEnabled(deep);
}

void TCompressorDialog::FillChoice(EncoderChoice& choice) const {
  choice.Codec = ChosenCode();
  choice.Quality = uint32_t(ui_->UDQuality->value()) * 100;
  if (request_.KeyFrames && ui_->CBKeyFrames->isEnabled() && ui_->CBKeyFrames->isChecked()) {
    choice.KeyFramesOn = true;
    choice.KeyFrameEvery = uint32_t(ui_->UDKeyFrames->value());
  }
  if (request_.DataRate && ui_->CBDataRate->isEnabled() && ui_->CBDataRate->isChecked()) {
    choice.DataRateOn = true;
    choice.BytesPerSecond = uint32_t(ui_->UDDataRate->value()) * 1024;
  }
  choice.Preset = ui_->CBPreset->isEnabled() ? ChosenPreset() : std::string();
  choice.EncoderOptions = ui_->EEncoderOptions->isEnabled()
                              ? ui_->EEncoderOptions->text().trimmed().toStdString()
                              : std::string();
  choice.Asked = ChosenColour();
}

bool ShowCompressorDialog(QWidget* owner, const ENCODERCHOICE::ChoiceRequest& request,
                          EncoderChoice& choice) {
  std::optional<EncoderChoice> remembered = LastChoice();
  return ShowCompressorDialogFrom(owner, request, choice, remembered);
}

bool ShowCompressorDialogFrom(QWidget* owner, const ENCODERCHOICE::ChoiceRequest& request,
                              EncoderChoice& choice, std::optional<EncoderChoice>& remembered,
                              const ENCODERCHOICE::ColourAsked* colourFrom) {
  EncoderChoice start = remembered ? *remembered : LastChoice();
  if (colourFrom != nullptr) start.Asked = *colourFrom;
  TCompressorDialog dialog(owner, request, &start);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return false;
  dialog.FillChoice(choice);
  remembered = LastChoice() = dialog.Remembered();
  return true;
}

}  // namespace TCOMPRESSORDIALOG
