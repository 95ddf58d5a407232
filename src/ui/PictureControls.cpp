#include "ui/PictureControls.h"

#include <QComboBox>
#include <QSpinBox>
#include <QStringList>
#include <QVariant>

#include "ui/WidgetText.h"
#include "ui_MainUnit.h"

namespace PICTURECONTROLS {
namespace {

using PICTURESHAPE::ShapeOptions;

// The size list's choices carry their options as "scale|width|height".
QString SizeData(const ShapeOptions& shape) {
  return QString("%1|%2|%3").arg(ToQString(shape.Scale)).arg(shape.Width).arg(shape.Height);
}

QString SizeCaption(const ShapeOptions& shape) {
  if (!shape.Scale.empty()) return ToQString(shape.Scale);
  if (shape.Width > 0 && shape.Height > 0)
    return QString("%1x%2").arg(shape.Width).arg(shape.Height);
  if (shape.Width > 0) return QString("%1 wide").arg(shape.Width);
  return QString("%1 high").arg(shape.Height);
}

void ShowSize(QComboBox& list, const ShapeOptions& shape) {
  const int heights[] = {0, 1080, 720, 480};
  for (int k = 0; k < list.count(); ++k) {
    ShapeOptions listed;
    listed.Height = heights[k];
    list.setItemData(k, SizeData(listed));
  }
  const int found = list.findData(SizeData(shape));
  if (found >= 0) return list.setCurrentIndex(found);
  list.addItem(SizeCaption(shape), SizeData(shape));
  list.setCurrentIndex(list.count() - 1);
}

void TakeSize(const QComboBox& list, ShapeOptions& shape) {
  const QStringList parts = list.currentData().toString().split('|');
  if (parts.size() != 3) return;
  shape.Scale = FromQString(parts[0]);
  shape.Width = parts[1].toInt();
  shape.Height = parts[2].toInt();
}

PICTURESHAPE::CropKind ShownCrop(const std::string& crop) {
  const auto asked = PICTURESHAPE::ParseCrop(crop);
  return asked ? asked->Kind : PICTURESHAPE::CropKind::None;
}

PICTURESHAPE::Place ShownPlace(const std::string& place) {
  return PICTURESHAPE::ParsePlace(place).value_or(PICTURESHAPE::Place::Bottom);
}

}  // namespace

void ShowShape(Ui::TMainForm& ui, const ShapeOptions& shape) {
  // An exact crop is the list's third choice, shown as given.
  while (ui.CBCrop->count() > 2) ui.CBCrop->removeItem(2);
  const PICTURESHAPE::CropKind crop = ShownCrop(shape.Crop);
  if (crop == PICTURESHAPE::CropKind::Exact) ui.CBCrop->addItem(ToQString(shape.Crop));
  ui.CBCrop->setCurrentIndex(static_cast<int>(crop));
  while (ui.CBPictureSize->count() > 4) ui.CBPictureSize->removeItem(4);
  ShowSize(*ui.CBPictureSize, shape);
  ui.CBSubtitlePlace->setCurrentIndex(static_cast<int>(ShownPlace(shape.Place)));
  ui.UDSubtitleRaise->setValue(shape.Raise);
}

ShapeOptions CollectShape(const Ui::TMainForm& ui, const ShapeOptions& shown) {
  ShapeOptions shape = shown;
  const auto crop = static_cast<PICTURESHAPE::CropKind>(ui.CBCrop->currentIndex());
  if (crop != ShownCrop(shown.Crop))
    shape.Crop = crop == PICTURESHAPE::CropKind::Auto ? "auto" : "none";
  TakeSize(*ui.CBPictureSize, shape);
  const auto place = static_cast<PICTURESHAPE::Place>(ui.CBSubtitlePlace->currentIndex());
  if (place != ShownPlace(shown.Place)) {
    const char* const spelling[] = {"bottom", "top", "bars"};
    shape.Place = spelling[static_cast<int>(place)];
  }
  shape.Raise = ui.UDSubtitleRaise->value();
  return shape;
}

}  // namespace PICTURECONTROLS
