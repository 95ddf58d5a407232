// Where the program looks for its guide: beside itself first (the build
// folder, an unpacked copy), else where an installation puts it.
#include "shell/HelpPage.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

TEST(HelpPageTest, BesideTheProgramElseUnderTheInstallationsShareFolder) {
  TempDir dir;
  const std::string bin = (dir / "bin").string() + "/";
  fs::create_directories(dir / "bin");
  // Neither: the page beside the program, as it always was.
  EXPECT_EQ(HELPPAGE::HelpPagePath(bin), bin + "Help/Help.html");

  fs::create_directories(dir / "share/tolvane/Help");
  WriteFile(dir / "share/tolvane/Help/Help.html", "<html>");
  EXPECT_EQ(fs::path(HELPPAGE::HelpPagePath(bin)),
            dir.path() / "share" / "tolvane" / "Help" / "Help.html");

  fs::create_directories(dir / "bin/Help");
  WriteFile(dir / "bin/Help/Help.html", "<html>");
  EXPECT_EQ(HELPPAGE::HelpPagePath(bin), bin + "Help/Help.html");
}

TEST(HelpPageTest, TheRunningProgramsFolder) {
  const std::string folder = HELPPAGE::ProcessProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "shell_help_page_test"));
}
