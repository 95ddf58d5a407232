// Where the program looks for its guide: beside itself first (the build
// folder, an unpacked copy), else where an installation puts it.
#include "shell/HelpPage.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

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

// The guide against the program: every option that --help names, and code
// lines that fit the page's width (52em of 14px text holds about 80
// characters of code).
TEST(HelpPageTest, TheGuideNamesEveryOptionAndItsCodeFitsThePage) {
  const std::string page = testsupport::ReadFile(testsupport::SourceDir() / "Help" / "Help.html");
  std::string help;
  ASSERT_EQ(testsupport::RunShell(testsupport::ProgramPath() + " --help", &help), 0);
  const std::regex option(R"((^|[\s\[|,])(--[a-z][a-z-]*|-[hV])\b)");
  size_t count = 0;
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it, ++count)
    EXPECT_TRUE(std::regex_search(page, std::regex("[ >\\[]" + (*it)[2].str() + "(?![a-z-])")))
        << (*it)[2] << " is not in the guide";
  EXPECT_GT(count, 40u);

  for (size_t pre = page.find("<pre>"); pre != std::string::npos;
       pre = page.find("<pre>", pre + 1)) {
    std::istringstream block(page.substr(pre + 5, page.find("</pre>", pre) - pre - 5));
    for (std::string line; std::getline(block, line);) EXPECT_LE(line.size(), 72u) << line;
  }
}
