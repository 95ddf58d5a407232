#include "ui/LookControls.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QPushButton>
#include <QVariant>

#include "shell/ColorValue.h"
#include "shell/Settings.h"
#include "ui/WidgetText.h"
#include "ui_MainUnit.h"

namespace LOOKCONTROLS {
namespace {

// The swatch keeps its colour as a property, as the settings store it
// (0x00BBGGRR), and shows the colour alone: its value, written over it,
// hid the colour at the swatch's size, so the hint says it.
constexpr char kColorProperty[] = "lookColor";
constexpr char kHintProperty[] = "lookHint";

void ShowColor(QPushButton* swatch, uint32_t color) {
  if (!swatch->property(kHintProperty).isValid())
    swatch->setProperty(kHintProperty, swatch->toolTip());
  const QString hint = swatch->property(kHintProperty).toString() + " (" +
                       ToQString(SETTINGS::FormatColor(color)) + ")";
  swatch->setProperty(kColorProperty, QVariant::fromValue(color));
  swatch->setText(QString());
  swatch->setToolTip(hint);
  swatch->setStatusTip(hint);
  swatch->setStyleSheet(QString("background-color: %1").arg(ToQColor(color).name()));
}

uint32_t ColorOf(const QPushButton* swatch) {
  return swatch->property(kColorProperty).value<uint32_t>();
}

}  // namespace

bool RunColorDialog(QWidget* parent, QColor& color) {
  const QColor chosen = QColorDialog::getColor(color, parent);
  if (!chosen.isValid()) return false;
  color = chosen;
  return true;
}

void SetUpLookControls(Ui::TMainForm& ui, ColorDialogRunner choose) {
  for (QPushButton* swatch : {ui.BOutlineColor, ui.BShadowColor, ui.BBoxColor}) {
    ShowColor(swatch, 0);
    QObject::connect(swatch, &QPushButton::clicked, swatch, [swatch, choose] {
      QColor color = ToQColor(ColorOf(swatch));
      if (choose(swatch->window(), color)) ShowColor(swatch, FromQColor(color));
    });
  }
  // The layout direction matters only to styled drawing.
  QObject::connect(ui.CBStyled, &QCheckBox::toggled, ui.CBStyledLeftToRight, &QWidget::setEnabled);
  ui.CBStyledLeftToRight->setEnabled(false);
}

void ShowLook(Ui::TMainForm& ui, const SUBTITLELOOK::SubtitleLook& look) {
  ui.UDOutline->setValue(look.Outline);
  ShowColor(ui.BOutlineColor, look.OutlineColor);
  ui.UDShadow->setValue(look.Shadow);
  ShowColor(ui.BShadowColor, look.ShadowColor);
  ui.UDBoxOpacity->setValue(look.BoxOpacity);
  ShowColor(ui.BBoxColor, look.BoxColor);
  ui.CBAntialias->setChecked(look.Antialias);
  ui.UDMargin->setValue(look.Margin);
}

void ShowStyled(Ui::TMainForm& ui, const STYLEDSCRIPT::StyledOptions& styled) {
  ui.CBStyled->setChecked(styled.On);
  ui.CBStyledLeftToRight->setChecked(styled.LeftToRight);
  ui.CBStyledLeftToRight->setEnabled(styled.On);
}

STYLEDSCRIPT::StyledOptions CollectStyled(const Ui::TMainForm& ui) {
  STYLEDSCRIPT::StyledOptions styled;
  styled.On = ui.CBStyled->isChecked();
  styled.LeftToRight = styled.On && ui.CBStyledLeftToRight->isChecked();
  return styled;
}

SUBTITLELOOK::SubtitleLook CollectLook(const Ui::TMainForm& ui) {
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = ui.UDOutline->value();
  look.OutlineColor = ColorOf(ui.BOutlineColor);
  look.Shadow = ui.UDShadow->value();
  look.ShadowColor = ColorOf(ui.BShadowColor);
  look.BoxOpacity = ui.UDBoxOpacity->value();
  look.BoxColor = ColorOf(ui.BBoxColor);
  look.Antialias = ui.CBAntialias->isChecked();
  look.Margin = ui.UDMargin->value();
  return look;
}

}  // namespace LOOKCONTROLS
