// Letter case as the files' ASCII names and tags mean it.
#include <string>

#include "support/TestSupport.h"
#include "text/AsciiText.h"

using namespace std::string_literals;

namespace {

TEST(AsciiTextTest, OnlyTheAsciiLettersHaveAnotherCase) {
  // The neighbours of A to Z and of a to z keep their bytes.
  EXPECT_EQ(ASCIITEXT::LowerAscii("@AZ[`az{"), "@az[`az{");
  EXPECT_EQ(ASCIITEXT::LowerAscii("\xC4\xD6 \xDD"), "\xC4\xD6 \xDD");
  EXPECT_EQ(ASCIITEXT::LowerAscii("A\0B"s), "a\0b"s);
  EXPECT_EQ(ASCIITEXT::LowerAscii(""), "");
}

TEST(AsciiTextTest, EqualityAndPrefixIgnoreOnlyTheAsciiCase) {
  EXPECT_TRUE(ASCIITEXT::EqualsIgnoringCase("[SCRIPT info]", "[Script Info]"));
  EXPECT_TRUE(ASCIITEXT::EqualsIgnoringCase("", ""));
  EXPECT_FALSE(ASCIITEXT::EqualsIgnoringCase("[Events]", "[Events] "));
  EXPECT_FALSE(ASCIITEXT::EqualsIgnoringCase("\xC4", "\xE4"));
  // '@' and '`' are 32 apart as 'A' and 'a' are, and are still different.
  EXPECT_FALSE(ASCIITEXT::EqualsIgnoringCase("@", "`"));

  EXPECT_TRUE(ASCIITEXT::StartsWithIgnoringCase("DIALOGUE: 0,0:00:01.00", "Dialogue:"));
  EXPECT_TRUE(ASCIITEXT::StartsWithIgnoringCase("format:", "Format:"));
  EXPECT_TRUE(ASCIITEXT::StartsWithIgnoringCase("anything", ""));
  EXPECT_FALSE(ASCIITEXT::StartsWithIgnoringCase("Dialogue", "Dialogue:"));
  EXPECT_FALSE(ASCIITEXT::StartsWithIgnoringCase(" Dialogue:", "Dialogue:"));
}

}  // namespace
