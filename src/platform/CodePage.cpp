#include "platform/CodePage.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>

namespace CODEPAGE {

namespace {

struct CharsetCodePage {
  int charset;
  int codePage;
};

constexpr std::array<CharsetCodePage, 10> kCodePages = {{
    {0, 1252},
    {238, 1250},
    {204, 1251},
    {161, 1253},
    {162, 1254},
    {177, 1255},
    {178, 1256},
    {186, 1257},
    {163, 1258},
    {222, 874},
}};

bool IsAscii(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (uchar(c) & 0x80) == 0; });
}

QString DecodeWith(QStringDecoder& decoder, const std::string& bytes) {
  return decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

}  // namespace

int CodePageOfCharset(int charset) {
  const int code = charset & 0xFF;
  for (const CharsetCodePage& entry : kCodePages)
    if (entry.charset == code) return entry.codePage;
  return 1252;
}

bool IsNonAsciiUtf8(const std::string& bytes) {
  if (IsAscii(bytes)) return false;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  DecodeWith(utf8, bytes);
  return !utf8.hasError();
}

QString DecodeSubtitleText(const std::string& bytes, int charset) {
  if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
  if (IsNonAsciiUtf8(bytes)) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  const QByteArray name = "windows-" + QByteArray::number(CodePageOfCharset(charset));
  QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
  // Without the codec tables (a build with no ICU), Latin-1 keeps every byte a
  // character rather than dropping the line.
  if (!decoder.isValid()) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
  return DecodeWith(decoder, bytes);
}

}  // namespace CODEPAGE
