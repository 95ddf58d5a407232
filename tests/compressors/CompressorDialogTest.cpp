// The compressor dialog, driven through its controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "avi/Vfw.h"
#include "compressors/CompressorCatalog.h"
#include "compressors/widgets/CompressorDialog.h"

namespace {

using TCOMPRESSORDIALOG::TCompressorDialog;

constexpr UINT kBoth = ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE;

template <typename T>
T* Control(QWidget& dialog, const char* name) {
  T* control = dialog.findChild<T*>(name);
  EXPECT_NE(control, nullptr) << name;
  return control;
}

int IndexOf(QComboBox* list, FOURCC code) { return list->findData(QVariant(uint(code))); }

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
  const FOURCC xvid = MakeFourCC('X', 'V', 'I', 'D');
  if (!COMPRESSORCATALOG::FindCompressor(xvid)) GTEST_SKIP() << "no MPEG-4 encoder";
  TCompressorDialog dialog(nullptr, kBoth);
  auto* list = Control<QComboBox>(dialog, "CBCompressor");
  list->setCurrentIndex(IndexOf(list, xvid));
  Control<QSpinBox>(dialog, "UDQuality")->setValue(60);
  Control<QCheckBox>(dialog, "CBKeyFrames")->setChecked(true);
  Control<QSpinBox>(dialog, "UDKeyFrames")->setValue(12);
  Control<QCheckBox>(dialog, "CBDataRate")->setChecked(true);
  Control<QSpinBox>(dialog, "UDDataRate")->setValue(100);
  AVICOMPRESSOPTIONS options{};
  dialog.FillOptions(&options);
  EXPECT_EQ(options.fccType, streamtypeVIDEO);
  EXPECT_EQ(options.fccHandler, xvid);
  EXPECT_EQ(options.dwQuality, 6000u);
  EXPECT_EQ(options.dwFlags, AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE);
  EXPECT_EQ(options.dwKeyFrameEvery, 12u);
  EXPECT_EQ(options.dwBytesPerSecond, 102400u);
}

TEST(CompressorDialog, ShowsOnlyTheFieldsAskedForAndGreysOutWhatTheCompressorIgnores) {
  TCompressorDialog plain(nullptr, 0);
  plain.show();
  EXPECT_FALSE(Control<QCheckBox>(plain, "CBKeyFrames")->isVisible());
  EXPECT_FALSE(Control<QCheckBox>(plain, "CBDataRate")->isVisible());
  Control<QCheckBox>(plain, "CBKeyFrames")->setChecked(true);
  AVICOMPRESSOPTIONS options{};
  plain.FillOptions(&options);
  EXPECT_EQ(options.dwFlags, 0u);

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

TEST(CompressorDialog, AnswersOneOnOkZeroOnCancelAndRemembersTheChoice) {
  const SaveOptionsChooser dialog = TCOMPRESSORDIALOG::ShowCompressorDialog;
  const auto& installed = COMPRESSORCATALOG::InstalledCompressors();
  const int lastIndex = int(installed.size()) - 1;
  AVICOMPRESSOPTIONS options{};
  AVICOMPRESSOPTIONS* list[] = {&options};
  PAVISTREAM noStream = nullptr;

  AnswerDialogLater("BCancel");
  EXPECT_EQ(AVISaveOptions(dialog, nullptr, kBoth, 1, &noStream, list), 0);
  EXPECT_EQ(options.fccHandler, 0u);

  AnswerDialogLater("BOK", lastIndex);
  EXPECT_EQ(AVISaveOptions(dialog, nullptr, kBoth, 1, &noStream, list), 1);
  EXPECT_EQ(options.fccHandler, installed[lastIndex].code);

  TCompressorDialog again(nullptr, kBoth);
  EXPECT_EQ(Control<QComboBox>(again, "CBCompressor")->currentIndex(), lastIndex);
}

}  // namespace
