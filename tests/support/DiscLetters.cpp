#include "support/DiscLetters.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace discletters {

Picture Draw(const std::vector<std::string>& lines, int width, const Style& style) {
  QFont font(QString::fromStdString(style.Family));
  font.setPixelSize(style.PixelSize);
  font.setItalic(style.Italic);
  font.setBold(style.Bold);
  const QFontMetricsF metrics(font);
  const double step = style.PixelSize * style.LineGap;
  const int margin = int(std::ceil(style.Outline)) + style.ShadowOffset + 2;
  const int height =
      int(std::ceil(metrics.height() + step * double(lines.size() - 1))) + 2 * margin;
  QImage fill(width, height, QImage::Format_ARGB32), rim(width, height, QImage::Format_ARGB32);
  fill.fill(Qt::transparent);
  rim.fill(Qt::transparent);
  QPainterPath path;
  for (size_t k = 0; k < lines.size(); ++k) {
    const QString text = QString::fromStdString(lines[k]);
    path.addText((width - metrics.horizontalAdvance(text)) / 2.0,
                 margin + metrics.ascent() + step * double(k), font, text);
  }
  {
    QPainter painter(&rim);
    painter.setRenderHint(QPainter::Antialiasing);
    if (style.ShadowOffset > 0)
      painter.fillPath(path.translated(style.ShadowOffset, style.ShadowOffset), Qt::black);
    painter.setPen(QPen(Qt::black, style.Outline * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
  }
  {
    QPainter painter(&fill);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, Qt::white);
  }
  Picture picture;
  picture.Width = width;
  picture.Height = height;
  picture.Indexes.resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    const auto* f = reinterpret_cast<const QRgb*>(fill.constScanLine(y));
    const auto* r = reinterpret_cast<const QRgb*>(rim.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      const int inFill = qAlpha(f[x]), inRim = std::max(qAlpha(r[x]), inFill);
      uint8_t index = 0;
      if (inFill >= 170)
        index = 1;
      else if (inFill >= 60)
        index = 3;
      else if (inRim >= 96)
        index = 2;
      picture.Indexes[size_t(y) * size_t(width) + size_t(x)] = index;
    }
  }
  return picture;
}

}  // namespace discletters
