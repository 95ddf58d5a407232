#pragma once

// Conversions between the program's 8-bit texts and colour values and what
// Qt's widgets show.
#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

inline QString ToQString(const std::string& text) { return QString::fromLocal8Bit(text); }
inline std::string FromQString(const QString& text) { return text.toLocal8Bit().toStdString(); }

// Colour values are 0x00BBGGRR, red in the lowest byte.
inline QColor ToQColor(uint32_t color) {
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}
inline uint32_t FromQColor(const QColor& color) {
  return uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16);
}
