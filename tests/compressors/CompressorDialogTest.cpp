// The compressor dialog, driven through its controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "compressors/CompressorCatalog.h"
#include "compressors/widgets/CompressorDialog.h"

namespace {

using TCOMPRESSORDIALOG::TCompressorDialog;

constexpr ENCODERCHOICE::ChoiceRequest kBoth{true, true};
constexpr ENCODERCHOICE::ChoiceRequest kNeither{false, false};

template <typename T>
T* Control(QWidget& dialog, const char* name) {
  T* control = dialog.findChild<T*>(name);
  EXPECT_NE(control, nullptr) << name;
  return control;
}

int IndexOf(QComboBox* list, uint32_t code) { return list->findData(QVariant(uint(code))); }

// First in this file: nothing has been confirmed yet in this process.
TEST(CompressorDialog, StartsFromMpeg4UntilAChoiceIsConfirmed) {
  const uint32_t xvid = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
  if (!COMPRESSORCATALOG::FindCompressor(xvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  TCompressorDialog dialog(nullptr, kBoth);
  EXPECT_EQ(Control<QComboBox>(dialog, "CBCompressor")->currentData().toUInt(), xvid);
  EXPECT_EQ(Control<QSpinBox>(dialog, "UDQuality")->value(), 75);
  EXPECT_FALSE(Control<QCheckBox>(dialog, "CBKeyFrames")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(dialog, "CBDataRate")->isChecked());
}

TEST(CompressorDialog, ListsEveryInstalledCompressor) {
  TCompressorDialog dialog(nullptr, kBoth);
  auto* list = Control<QComboBox>(dialog, "CBCompressor");
  const auto& installed = COMPRESSORCATALOG::InstalledCompressors();
  ASSERT_EQ(list->count(), int(installed.size()));
  for (int i = 0; i < list->count(); ++i)
    EXPECT_EQ(list->itemText(i).toStdString(), installed[i].name);
  EXPECT_EQ(list->itemText(0).toStdString(), "Full Frames (Uncompressed)");
}

TEST(CompressorDialog, FillsTheOptionsFromItsFields) {
  const uint32_t xvid = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
  if (!COMPRESSORCATALOG::FindCompressor(xvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  TCompressorDialog dialog(nullptr, kBoth);
  auto* list = Control<QComboBox>(dialog, "CBCompressor");
  list->setCurrentIndex(IndexOf(list, xvid));
  Control<QSpinBox>(dialog, "UDQuality")->setValue(60);
  Control<QCheckBox>(dialog, "CBKeyFrames")->setChecked(true);
  Control<QSpinBox>(dialog, "UDKeyFrames")->setValue(12);
  Control<QCheckBox>(dialog, "CBDataRate")->setChecked(true);
  Control<QSpinBox>(dialog, "UDDataRate")->setValue(100);
  ENCODERCHOICE::EncoderChoice choice;
  dialog.FillChoice(choice);
  EXPECT_EQ(choice.Codec, xvid);
  EXPECT_EQ(choice.Quality, 6000u);
  EXPECT_TRUE(choice.KeyFramesOn && choice.DataRateOn);
  EXPECT_EQ(choice.KeyFrameEvery, 12u);
  EXPECT_EQ(choice.BytesPerSecond, 102400u);
}

TEST(CompressorDialog, ShowsOnlyTheFieldsAskedForAndGreysOutWhatTheCompressorIgnores) {
  TCompressorDialog plain(nullptr, kNeither);
  plain.show();
  EXPECT_FALSE(Control<QCheckBox>(plain, "CBKeyFrames")->isVisible());
  EXPECT_FALSE(Control<QCheckBox>(plain, "CBDataRate")->isVisible());
  Control<QCheckBox>(plain, "CBKeyFrames")->setChecked(true);
  ENCODERCHOICE::EncoderChoice choice;
  plain.FillChoice(choice);
  EXPECT_FALSE(choice.KeyFramesOn || choice.DataRateOn);

  TCompressorDialog both(nullptr, kBoth);
  both.show();
  EXPECT_TRUE(Control<QCheckBox>(both, "CBKeyFrames")->isVisible());
  auto* list = Control<QComboBox>(both, "CBCompressor");
  list->setCurrentIndex(IndexOf(list, COMPRESSORCATALOG::kFullFrames));
  EXPECT_FALSE(Control<QSpinBox>(both, "UDQuality")->isEnabled());
  EXPECT_FALSE(Control<QCheckBox>(both, "CBDataRate")->isEnabled());
}

// Answers the dialog once it is on screen.
void AnswerDialogLater(const char* button, int chooseIndex = -1) {
  QTimer::singleShot(0, [button, chooseIndex] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    if (chooseIndex >= 0)
      dialog->findChild<QComboBox*>("CBCompressor")->setCurrentIndex(chooseIndex);
    dialog->findChild<QPushButton*>(button)->click();
  });
}

TEST(CompressorDialog, AnswersTrueOnOkFalseOnCancelAndRemembersTheChoice) {
  const auto& installed = COMPRESSORCATALOG::InstalledCompressors();
  const int lastIndex = int(installed.size()) - 1;
  ENCODERCHOICE::EncoderChoice choice;
  choice.Codec = 0;

  AnswerDialogLater("BCancel");
  EXPECT_FALSE(TCOMPRESSORDIALOG::ShowCompressorDialog(nullptr, kBoth, choice));
  EXPECT_EQ(choice.Codec, 0u);

  AnswerDialogLater("BOK", lastIndex);
  EXPECT_TRUE(TCOMPRESSORDIALOG::ShowCompressorDialog(nullptr, kBoth, choice));
  EXPECT_EQ(choice.Codec, installed[lastIndex].code);

  TCompressorDialog again(nullptr, kBoth);
  EXPECT_EQ(Control<QComboBox>(again, "CBCompressor")->currentIndex(), lastIndex);
}

// The window hands its remembered choice in and gets every field back,
// those switched off included.
TEST(CompressorDialog, StartsFromARememberedChoiceAndKeepsTheConfirmedOne) {
  std::optional<ENCODERCHOICE::EncoderChoice> remembered = ENCODERCHOICE::EncoderChoice{};
  remembered->Codec = COMPRESSORCATALOG::kFullFrames;
  remembered->Quality = 4000;
  remembered->KeyFrameEvery = 12;
  remembered->BytesPerSecond = 500 * 1024;
  remembered->KeyFramesOn = true;
  const int lastIndex = int(COMPRESSORCATALOG::InstalledCompressors().size()) - 1;
  QTimer::singleShot(0, [lastIndex] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QComboBox*>("CBCompressor");
    EXPECT_EQ(list->currentData().toUInt(), COMPRESSORCATALOG::kFullFrames);
    EXPECT_EQ(dialog->findChild<QSpinBox*>("UDQuality")->value(), 40);
    EXPECT_EQ(dialog->findChild<QSpinBox*>("UDKeyFrames")->value(), 12);
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("CBKeyFrames")->isChecked());
    EXPECT_EQ(dialog->findChild<QSpinBox*>("UDDataRate")->value(), 500);
    EXPECT_FALSE(dialog->findChild<QCheckBox*>("CBDataRate")->isChecked());
    list->setCurrentIndex(lastIndex);
    dialog->findChild<QSpinBox*>("UDQuality")->setValue(55);
    dialog->findChild<QPushButton*>("BOK")->click();
  });
  ENCODERCHOICE::EncoderChoice choice;
  ASSERT_TRUE(TCOMPRESSORDIALOG::ShowCompressorDialogFrom(nullptr, kBoth, choice, remembered));
  const uint32_t chosen = COMPRESSORCATALOG::InstalledCompressors()[size_t(lastIndex)].code;
  EXPECT_EQ(choice.Codec, chosen);
  EXPECT_EQ(remembered->Codec, chosen);
  EXPECT_EQ(remembered->Quality, 5500u);
  EXPECT_EQ(remembered->KeyFrameEvery, 12u);
  EXPECT_EQ(remembered->BytesPerSecond, 500u * 1024);
  EXPECT_TRUE(remembered->KeyFramesOn);
  EXPECT_FALSE(remembered->DataRateOn);

  // A compressor that is gone gives way to MPEG-4 Part 2, or the first.
  ENCODERCHOICE::EncoderChoice gone;
  gone.Codec = ENCODERCHOICE::FourCC('G', 'O', 'N', 'E');
  TCompressorDialog dialog(nullptr, kBoth, &gone);
  const uint32_t xvid = ENCODERCHOICE::FourCC('X', 'V', 'I', 'D');
  EXPECT_EQ(Control<QComboBox>(dialog, "CBCompressor")->currentData().toUInt(),
            COMPRESSORCATALOG::FindCompressor(xvid) ? xvid : COMPRESSORCATALOG::kFullFrames);
}

// The presets follow the compressor, keeping the one chosen where the next
// compressor has it; the depth is asked only of those that write 10 bits.
TEST(CompressorDialog, OffersEachCompressorsPresetsAndAsksDepthOnlyWhereItCounts) {
  const uint32_t h264 = ENCODERCHOICE::FourCC('H', '2', '6', '4');
  const uint32_t hevc = ENCODERCHOICE::FourCC('H', 'E', 'V', 'C');
  const uint32_t av1 = ENCODERCHOICE::FourCC('A', 'V', '0', '1');
  if (!COMPRESSORCATALOG::FindCompressor(h264) || !COMPRESSORCATALOG::FindCompressor(hevc))
    GTEST_SKIP() << "no x264 or x265";
  ENCODERCHOICE::EncoderChoice start;
  start.Codec = h264;
  start.Preset = "slow";
  start.EncoderOptions = "tune=film";
  start.Asked = {10, true, 120};
  TCompressorDialog dialog(nullptr, kBoth, &start);
  auto* compressors = Control<QComboBox>(dialog, "CBCompressor");
  auto* presets = Control<QComboBox>(dialog, "CBPreset");
  auto* depth = Control<QComboBox>(dialog, "CBBitDepth");
  EXPECT_EQ(presets->currentText(), "slow");
  EXPECT_EQ(presets->count(), 11);  // the encoder's own and x264's ten
  EXPECT_FALSE(depth->isEnabled());
  EXPECT_EQ(Control<QLineEdit>(dialog, "EEncoderOptions")->text(), "tune=film");
  EXPECT_TRUE(Control<QCheckBox>(dialog, "CBSdr")->isChecked());
  EXPECT_EQ(Control<QSpinBox>(dialog, "UDSubtitleNits")->value(), 120);

  compressors->setCurrentIndex(IndexOf(compressors, hevc));
  EXPECT_EQ(presets->currentText(), "slow");
  EXPECT_TRUE(depth->isEnabled());
  EXPECT_EQ(depth->currentData().toInt(), 10);
  ENCODERCHOICE::EncoderChoice choice;
  dialog.FillChoice(choice);
  EXPECT_EQ(choice.Codec, hevc);
  EXPECT_EQ(choice.Preset, "slow");
  EXPECT_EQ(choice.EncoderOptions, "tune=film");
  EXPECT_EQ(choice.Asked, (ENCODERCHOICE::ColourAsked{10, true, 120}));

  // SVT-AV1 counts its presets; "slow" is not among them, and comes back
  // with the compressor that has it.
  if (COMPRESSORCATALOG::FindCompressor(av1)) {
    compressors->setCurrentIndex(IndexOf(compressors, av1));
    EXPECT_EQ(presets->currentIndex(), 0);
    EXPECT_GT(presets->findText("8"), 0);
    compressors->setCurrentIndex(IndexOf(compressors, hevc));
    EXPECT_EQ(presets->currentText(), "slow");
  }

  // Full Frames takes neither presets nor options, and writes 8 bits.
  compressors->setCurrentIndex(IndexOf(compressors, COMPRESSORCATALOG::kFullFrames));
  EXPECT_FALSE(presets->isEnabled());
  EXPECT_FALSE(Control<QLineEdit>(dialog, "EEncoderOptions")->isEnabled());
  dialog.FillChoice(choice);
  EXPECT_EQ(choice.Preset, "");
  EXPECT_EQ(choice.EncoderOptions, "");
  EXPECT_EQ(choice.Asked.BitDepth, 0);
  EXPECT_EQ(dialog.Remembered().Preset, "");
}

}  // namespace
