#include "platform/CodePage.h"

#include <gtest/gtest.h>

using CODEPAGE::CodePageOfCharset;
using CODEPAGE::DecodeSubtitleText;

TEST(CodePage, EachScriptReadsItsOwnCodePage) {
  struct Case {
    int charset;
    int codePage;
    char byte;
    char16_t character;
  };
  const Case cases[] = {
      {0, 1252, '\x80', u'\u20AC'},   {238, 1250, '\x8A', u'\u0160'},
      {204, 1251, '\xC0', u'\u0410'}, {161, 1253, '\xC1', u'\u0391'},
      {162, 1254, '\xD0', u'\u011E'}, {177, 1255, '\xE0', u'\u05D0'},
      {178, 1256, '\xC7', u'\u0627'}, {186, 1257, '\xC0', u'\u0104'},
      {163, 1258, '\xD0', u'\u0110'}, {222, 874, '\xA1', u'\u0E01'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageOfCharset(c.charset), c.codePage) << c.charset;
    EXPECT_EQ(DecodeSubtitleText(std::string(1, c.byte), c.charset), QString(QChar(c.character)))
        << c.codePage;
  }
}

TEST(CodePage, CharsetsWithoutAScriptReadAsWestern) {
  for (int charset : {1, 2, 128, 255}) EXPECT_EQ(CodePageOfCharset(charset), 1252) << charset;
  EXPECT_EQ(DecodeSubtitleText("\x80", 128), QString::fromUtf16(u"\u20AC"));
  // Only the low byte is a character-set code.
  EXPECT_EQ(CodePageOfCharset(204 + 256), 1251);
}

TEST(CodePage, SameBytesGiveTheLettersOfTheChosenScript) {
  const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
  EXPECT_EQ(DecodeSubtitleText(privet, 204),
            QString::fromUtf16(u"\u041F\u0440\u0438\u0432\u0435\u0442"));
  EXPECT_EQ(DecodeSubtitleText(privet, 0),
            QString::fromUtf16(u"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2"));
}

TEST(CodePage, ValidUtf8IsReadAsUtf8WhateverTheScript) {
  const std::string utf8 = "caf\xC3\xA9 \xD0\x9F";
  for (int charset : {0, 204, 222})
    EXPECT_EQ(DecodeSubtitleText(utf8, charset), QString::fromUtf16(u"caf\u00E9 \u041F"))
        << charset;
  EXPECT_TRUE(CODEPAGE::IsNonAsciiUtf8(utf8));
  EXPECT_FALSE(CODEPAGE::IsNonAsciiUtf8("plain ascii"));
  EXPECT_EQ(DecodeSubtitleText("plain ascii", 204), QString("plain ascii"));
}

TEST(CodePage, MalformedUtf8FallsBackToTheCodePage) {
  const std::string malformed[] = {
      "a\xC3",            // truncated at the end
      "\xC3 b",           // lead byte without continuation
      "\xC0\xAF",         // overlong slash
      "\xED\xA0\x80",     // encoded surrogate
      "\xF4\x90\x80\x80"  // beyond U+10FFFF
  };
  for (const std::string& bytes : malformed) {
    EXPECT_FALSE(CODEPAGE::IsNonAsciiUtf8(bytes)) << bytes;
    const QString text = DecodeSubtitleText(bytes, 204);
    EXPECT_EQ(text.size(), qsizetype(bytes.size())) << bytes;
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << bytes;
  }
}
