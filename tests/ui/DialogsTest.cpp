#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <algorithm>

#include "shell/Charsets.h"
#include "ui/FileDialogs.h"
#include "ui/FontDialogUnit.h"

namespace {

TEST(FileDialogsTest, DefaultExtensionOnlyForNamesWithoutOne) {
  using FILEDIALOGS::WithDefaultExtension;
  EXPECT_EQ(WithDefaultExtension("/v/out", "avi"), "/v/out.avi");
  EXPECT_EQ(WithDefaultExtension("/v.d/out", "avi"), "/v.d/out.avi");
  EXPECT_EQ(WithDefaultExtension("/v/out.mkv", "avi"), "/v/out.mkv");
  EXPECT_EQ(WithDefaultExtension("/v/out", ""), "/v/out");
}

TEST(FileDialogsTest, FiltersBecomeQtFilters) {
  EXPECT_EQ(FILEDIALOGS::QtFilter("Avi files|*.avi|All files|*.*"),
            "Avi files (*.avi);;All files (*)");
}

TEST(FileDialogsTest, TheChosenFilterGivesTheExtensionAppended) {
  const QStringList filters =
      FILEDIALOGS::QtFilter("Avi files|*.avi|Matroska files|*.mkv|MP4 files|*.mp4;*.m4v;*.mov")
          .split(";;");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(FILEDIALOGS::FilterExtension(filters[0]), "avi");
  EXPECT_EQ(FILEDIALOGS::FilterExtension(filters[1]), "mkv");
  EXPECT_EQ(FILEDIALOGS::FilterExtension(filters[2]), "mp4");
  EXPECT_EQ(FILEDIALOGS::FilterExtension("All files (*)"), "");
}

TEST(CharsetsTest, TenNamedScriptsAndNothingElse) {
  EXPECT_EQ(CHARSETS::NamedCharsets().size(), 10u);
  EXPECT_EQ(CHARSETS::CharsetName(0), "Western");
  EXPECT_EQ(CHARSETS::CharsetName(238), "Central European");
  EXPECT_EQ(CHARSETS::CharsetName(204), "Cyrillic");
  EXPECT_EQ(CHARSETS::CharsetName(1), "");
  EXPECT_EQ(CHARSETS::CharsetName(128), "");
}

SUBTITLEFONT::SubtitleFont SampleFont(int charset) {
  SUBTITLEFONT::SubtitleFont font;
  font.Name = QFontDatabase::families().contains("DejaVu Sans") ? "DejaVu Sans" : "Arial";
  font.Size = 14;
  font.Color = 0xFF0000;
  font.Charset = charset;
  font.Bold = font.Underline = true;
  return font;
}

TEST(FontDialogTest, ConfirmingUnchangedGivesTheFontBack) {
  for (int charset : {0, 162, 128}) {
    const SUBTITLEFONT::SubtitleFont font = SampleFont(charset);
    FONTDIALOG::TFontDialog dialog(font);
    const SUBTITLEFONT::SubtitleFont selected = dialog.SelectedFont();
    EXPECT_EQ(selected.Size, 14);
    EXPECT_EQ(selected.Color, 0xFF0000u);
    EXPECT_EQ(selected.Charset, charset);  // a code without a name is kept
    EXPECT_TRUE(selected.Bold);
    EXPECT_TRUE(selected.Underline);
    EXPECT_FALSE(selected.Italic);
    EXPECT_FALSE(selected.StrikeOut);
  }
}

TEST(FontDialogTest, ScriptChoiceSetsTheCharset) {
  FONTDIALOG::TFontDialog dialog(SampleFont(128));
  auto* scripts = dialog.findChild<QComboBox*>("CBScript");
  ASSERT_NE(scripts, nullptr);
  EXPECT_EQ(scripts->count(), 11);  // the ten names and the code as read
  scripts->setCurrentIndex(scripts->findText("Greek"));
  EXPECT_EQ(dialog.SelectedFont().Charset, 161);
}

TEST(FontDialogTest, AFaceTheDesktopLacksKeepsItsNameUntilAnotherIsPicked) {
  for (const char* name : {"Arial", "No Such Face"}) {
    SUBTITLEFONT::SubtitleFont font = SampleFont(0);
    font.Name = name;
    FONTDIALOG::TFontDialog dialog(font);
    EXPECT_EQ(dialog.SelectedFont().Name, name);
    auto* chooser = dialog.findChild<QFontDialog*>();
    ASSERT_NE(chooser, nullptr);
    const QString shown = chooser->currentFont().family();
    const QStringList families = QFontDatabase::families();
    const auto other = std::find_if(families.begin(), families.end(),
                                    [&](const QString& family) { return family != shown; });
    ASSERT_NE(other, families.end());
    QFont picked = chooser->currentFont();
    picked.setFamily(*other);
    chooser->setCurrentFont(picked);
    EXPECT_EQ(dialog.SelectedFont().Name, other->toLocal8Bit().toStdString()) << name;
  }
}

}  // namespace
