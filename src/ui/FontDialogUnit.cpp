#include "ui/FontDialogUnit.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/Charsets.h"
#include "ui/WidgetText.h"

namespace FONTDIALOG {
namespace {

QFont ToQFont(const SUBTITLEFONT::SubtitleFont& font) {
  QFont qfont(QString::fromLocal8Bit(font.Name));
  // A face the desktop lacks is shown as the face that stands in for it.
  qfont.setFamily(QFontInfo(qfont).family());
  if (font.Size > 0) qfont.setPointSize(font.Size);
  qfont.setBold(font.Bold);
  qfont.setItalic(font.Italic);
  qfont.setUnderline(font.Underline);
  qfont.setStrikeOut(font.StrikeOut);
  return qfont;
}

}  // namespace

TFontDialog::TFontDialog(const SUBTITLEFONT::SubtitleFont& font, QWidget* parent)
    : QDialog(parent),
      FontChooser(new QFontDialog(this)),
      BColor(new QPushButton(this)),
      CBScript(new QComboBox(this)),
      Color(font.Color),
      ReadName(font.Name) {
  setObjectName("FD");
  setWindowTitle(tr("Font"));
  FontChooser->setWindowFlags(Qt::Widget);
  FontChooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  FontChooser->setCurrentFont(ToQFont(font));
  ShownFamily = FontChooser->currentFont().family();
  BColor->setObjectName("BColor");
  BColor->setFixedWidth(80);
  connect(BColor, &QPushButton::clicked, this, &TFontDialog::ChooseColor);
  CBScript->setObjectName("CBScript");
  FillScripts(font.Charset);
  ShowColor();

  auto* extras = new QFormLayout;
  extras->addRow(tr("Color:"), BColor);
  extras->addRow(tr("Script:"), CBScript);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FontChooser);
  layout->addLayout(extras);
  layout->addWidget(buttons);
}

void TFontDialog::FillScripts(int charset) {
  for (const CHARSETS::Charset& named : CHARSETS::NamedCharsets())
    CBScript->addItem(named.Name, named.Code);
  int index = CBScript->findData(charset);
  if (index < 0) {
    // A code without a name stays as read unless the user picks another.
    CBScript->addItem(QString("(%1)").arg(charset), charset);
    index = CBScript->count() - 1;
  }
  CBScript->setCurrentIndex(index);
}

void TFontDialog::ChooseColor() {
  QColor chosen = QColorDialog::getColor(ToQColor(Color), this);
  if (!chosen.isValid()) return;
  Color = FromQColor(chosen);
  ShowColor();
}

void TFontDialog::ShowColor() {
  BColor->setStyleSheet(QString("background-color: %1").arg(ToQColor(Color).name()));
}

SUBTITLEFONT::SubtitleFont TFontDialog::SelectedFont() const {
  const QFont qfont = FontChooser->currentFont();
  SUBTITLEFONT::SubtitleFont font;
  // The name stays as read unless the user picked another face: a stand-in
  // must not replace "Arial" in the settings.
  font.Name = qfont.family() == ShownFamily ? ReadName : qfont.family().toLocal8Bit().toStdString();
  font.Size = qfont.pointSize();
  font.Color = Color;
  font.Charset = CBScript->currentData().toInt();
  font.Bold = qfont.bold();
  font.Italic = qfont.italic();
  font.Underline = qfont.underline();
  font.StrikeOut = qfont.strikeOut();
  return font;
}

bool RunFontDialog(QWidget* parent, SUBTITLEFONT::SubtitleFont& font) {
  TFontDialog dialog(font, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  font = dialog.SelectedFont();
  return true;
}

}  // namespace FONTDIALOG
