#include "ui/LookControls.h"

#include <QRegularExpressionValidator>

#include "shell/Settings.h"
#include "ui/WidgetText.h"
#include "ui_MainUnit.h"

namespace LOOKCONTROLS {
namespace {

QString ColorText(uint32_t color) { return ToQString(SETTINGS::FormatColor(color)); }
uint32_t ColorOf(const QLineEdit* edit) { return SETTINGS::ParseColor(FromQString(edit->text())); }

}  // namespace

void SetUpLookControls(Ui::TMainForm& ui) {
  for (QLineEdit* edit : {ui.EOutlineColor, ui.EShadowColor, ui.EBoxColor})
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("0[xX][0-9A-Fa-f]{0,6}"), edit));
}

void ShowLook(Ui::TMainForm& ui, const SUBTITLELOOK::SubtitleLook& look) {
  ui.UDOutline->setValue(look.Outline);
  ui.EOutlineColor->setText(ColorText(look.OutlineColor));
  ui.UDShadow->setValue(look.Shadow);
  ui.EShadowColor->setText(ColorText(look.ShadowColor));
  ui.UDBoxOpacity->setValue(look.BoxOpacity);
  ui.EBoxColor->setText(ColorText(look.BoxColor));
  ui.CBAntialias->setChecked(look.Antialias);
  ui.UDMargin->setValue(look.Margin);
}

SUBTITLELOOK::SubtitleLook CollectLook(const Ui::TMainForm& ui) {
  SUBTITLELOOK::SubtitleLook look;
  look.Outline = ui.UDOutline->value();
  look.OutlineColor = ColorOf(ui.EOutlineColor);
  look.Shadow = ui.UDShadow->value();
  look.ShadowColor = ColorOf(ui.EShadowColor);
  look.BoxOpacity = ui.UDBoxOpacity->value();
  look.BoxColor = ColorOf(ui.EBoxColor);
  look.Antialias = ui.CBAntialias->isChecked();
  look.Margin = ui.UDMargin->value();
  return look;
}

}  // namespace LOOKCONTROLS
