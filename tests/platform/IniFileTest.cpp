#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/IniFile.h"
#include "support/TestSupport.h"

using INIFILE::IniFile;
using INIFILE::ParseInteger;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(IniParseInteger, AcceptsTheProfileForms) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"42", 42},
               {"  -7", -7},
               {"+3", 3},
               {"0x1F", 31},
               {"0X1f", 31},
               {"$FF", 255},
               {"0x0000FF", 255},
               {"-$10", -16},
               {"0xFFFFFFFF", -1},
               {"2147483647", INT32_MAX},
               {"-2147483648", INT32_MIN}};
  for (const auto& c : cases) {
    int32_t value = 0;
    EXPECT_TRUE(ParseInteger(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(IniParseInteger, RejectsWhatIsNoNumber) {
  for (const char* text :
       {"", " ", "ten", "12x", "0x", "$", "0x1G", "2147483648", "0x100000000", "1 2", "-"}) {
    int32_t value = 99;
    EXPECT_FALSE(ParseInteger(text, value)) << text;
    EXPECT_EQ(value, 99) << text;
  }
}

class IniFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "Test.ini").string();
};

TEST_F(IniFileTest, ReadsIgnoringCaseAndTakesTheFirstMatch) {
  WriteFile(path,
            "[Font]\r\nname = Verdana \r\nNAME=Second\r\n[font]\r\nSize=12\r\n"
            "[Other]\r\nQuoted=\"  spaced  \"\r\nEmpty=\r\n");
  IniFile file(path);
  EXPECT_EQ(file.ReadString("FONT", "Name", "x"), "Verdana");
  // Only the first section of a name is searched.
  EXPECT_EQ(file.ReadInteger("FONT", "Size", 10), 10);
  EXPECT_EQ(file.ReadString("other", "quoted", ""), "  spaced  ");
  EXPECT_EQ(file.ReadString("OTHER", "Empty", "fallback"), "");
  EXPECT_EQ(file.ReadInteger("OTHER", "Empty", 5), 5);
  EXPECT_EQ(file.ReadString("OTHER", "Missing", "fallback"), "fallback");
  EXPECT_EQ(file.ReadString("NONE", "Name", "fallback"), "fallback");
}

TEST_F(IniFileTest, ReadsBoolsAsIntegers) {
  WriteFile(path, "[B]\nOn=1\nBig=0x10\nOff=0\nWord=yes\n");
  IniFile file(path);
  EXPECT_TRUE(file.ReadBool("B", "On", false));
  EXPECT_TRUE(file.ReadBool("B", "Big", false));
  EXPECT_FALSE(file.ReadBool("B", "Off", true));
  EXPECT_TRUE(file.ReadBool("B", "Word", true));
  EXPECT_FALSE(file.ReadBool("B", "Word", false));
}

TEST_F(IniFileTest, CutsLongValuesAt2047Characters) {
  WriteFile(path, "[S]\nLong=" + std::string(3000, 'a') + "\n");
  EXPECT_EQ(IniFile(path).ReadString("S", "Long", "").size(), 2047u);
}

TEST_F(IniFileTest, ReplacesInPlaceAndKeepsEveryOtherLine) {
  const std::string original =
      "; settings\r\n[FONT]\r\nName=Arial\r\n  size = 10\r\n\r\n[OTHER]\r\nX=1\r\n";
  WriteFile(path, original);
  IniFile file(path);
  file.WriteInteger("font", "Size", 14);
  file.WriteString("FONT", "Color", "0x0000FF");  // missing key: end of its section
  file.WriteBool("NEW", "Flag", true);            // missing section: end of file
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(ReadFile(path),
            "; settings\r\n[FONT]\r\nName=Arial\r\nSize=14\r\nColor=0x0000FF\r\n\r\n"
            "[OTHER]\r\nX=1\r\n\r\n[NEW]\r\nFlag=1\r\n");
  EXPECT_EQ(IniFile(path).ReadInteger("FONT", "Size", 0), 14);
}

TEST_F(IniFileTest, AValueCannotAddLinesOfItsOwn) {
  IniFile file(path);
  file.WriteString("FILES", "SourceVideo", "/v/a\r\n[DLL]\r\nAvCodec=/tmp/other.so");
  file.WriteString("FILES", "Subtitle", "/v/b\n[DLL]\nAvUtil=/tmp/other.so");
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(ReadFile(path), "[FILES]\r\nSourceVideo=/v/a\r\nSubtitle=/v/b\r\n");
}

TEST_F(IniFileTest, KeepsTheLineEndsOfTheFile) {
  WriteFile(path, "[A]\nK=1\n");
  IniFile file(path);
  file.WriteString("A", "K", "2");
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(ReadFile(path), "[A]\nK=2\n");
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsCreatedOnWrite) {
  IniFile file(path);
  EXPECT_EQ(file.ReadString("A", "K", "d"), "d");
  file.WriteString("A", "K", "v");
  ASSERT_TRUE(file.UpdateFile());
  EXPECT_EQ(ReadFile(path), "[A]\r\nK=v\r\n");
}

TEST_F(IniFileTest, ReportsAFileThatCannotBeWritten) {
  IniFile file((dir / "missing-folder" / "Test.ini").string());
  file.WriteString("A", "K", "v");
  EXPECT_FALSE(file.UpdateFile());
}

TEST(IniFileKindTest, OnlyARegularFileOfSaneSizeIsReadAndWrittenOver) {
  TempDir dir;
  // A FIFO would block the reader (and the writer) for ever.
  const std::string fifo = (dir / "fifo.ini").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  IniFile fromFifo(fifo);
  EXPECT_EQ(fromFifo.ReadString("FILES", "SourceVideo", "none"), "none");
  fromFifo.WriteString("FILES", "SourceVideo", "x");
  EXPECT_FALSE(fromFifo.UpdateFile());

  // A huge file is no settings file, and nothing of it is lost.
  const auto huge = dir / "huge.ini";
  const std::string content = "[FILES]\nSourceVideo=a\n" + std::string(INIFILE::kMaxFileSize, ';');
  WriteFile(huge, content);
  IniFile fromHuge(huge.string());
  EXPECT_EQ(fromHuge.ReadString("FILES", "SourceVideo", "none"), "none");
  fromHuge.WriteString("FILES", "SourceVideo", "b");
  EXPECT_FALSE(fromHuge.UpdateFile());
  EXPECT_EQ(ReadFile(huge), content);

  // A folder in its place neither.
  IniFile fromFolder(dir.path().string());
  EXPECT_FALSE(fromFolder.UpdateFile());
  // Just under the limit is read.
  WriteFile(huge, "[FILES]\nSourceVideo=a\n" + std::string(INIFILE::kMaxFileSize - 40, ';'));
  EXPECT_EQ(IniFile(huge.string()).ReadString("FILES", "SourceVideo", "none"), "a");
}
