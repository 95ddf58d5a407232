#pragma once

// The font dialog of the font options: face, size and styles from Qt's font
// chooser, plus the colour and the script (character set) that it lacks.
#include <QDialog>
#include <functional>
#include <string>

#include "subtitles/SubtitleFont.h"

class QComboBox;
class QFontDialog;
class QPushButton;

namespace FONTDIALOG {

// Runs the dialog on font; true (and font changed) when the user confirmed.
using FontDialogRunner = std::function<bool(QWidget* parent, SUBTITLEFONT::SubtitleFont& font)>;

bool RunFontDialog(QWidget* parent, SUBTITLEFONT::SubtitleFont& font);

class TFontDialog : public QDialog {
  Q_OBJECT
 public:
  TFontDialog(const SUBTITLEFONT::SubtitleFont& font, QWidget* parent = nullptr);

  SUBTITLEFONT::SubtitleFont SelectedFont() const;

 private:
  void ChooseColor();
  void ShowColor();
  void FillScripts(int charset);

  QFontDialog* FontChooser;
  QPushButton* BColor;
  QComboBox* CBScript;
  uint32_t Color;
  std::string ReadName;
  QString ShownFamily;
};

}  // namespace FONTDIALOG
