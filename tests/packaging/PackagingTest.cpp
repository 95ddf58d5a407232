// What an installation lays out, read back as a user's system would: the
// program finding its guide, the man page naming every option, the desktop
// entry, and the Debian package made of the same files.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const char* const kInstalledFiles[] = {
    "bin/tolvane",
    "share/tolvane/Help/Help.html",
    "share/applications/tolvane.desktop",
    "share/icons/hicolor/scalable/apps/tolvane.svg",
    "share/man/man1/tolvane.1",
};

bool Have(const std::string& tool) { return RunShell("command -v " + tool) == 0; }

// Every option --help names: "--name" and the short forms.
std::set<std::string> HelpOptions() {
  std::string help;
  RunShell(ProgramPath() + " --help", &help);
  std::set<std::string> options;
  const std::regex option(R"((^|[\s\[|,])(--[a-z][a-z-]*|-[hV])\b)");
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
    options.insert((*it)[2]);
  return options;
}

class PackagingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix = new TempDir;
    std::string log;
    installStatus = RunShell(std::string("'") + TOLVANE_CMAKE + "' --install '" +
                                 TOLVANE_BINARY_DIR + "' --prefix " + prefix->path().string(),
                             &log);
    installLog = log;
  }
  static void TearDownTestSuite() {
    delete prefix;
    prefix = nullptr;
  }
  static inline TempDir* prefix = nullptr;
  static inline int installStatus = -1;
  static inline std::string installLog;
};

TEST_F(PackagingTest, TheInstalledProgramFindsItsGuide) {
  ASSERT_EQ(installStatus, 0) << installLog;
  for (const char* file : kInstalledFiles)
    EXPECT_TRUE(fs::is_regular_file(prefix->path() / file)) << file;
  std::string help;
  ASSERT_EQ(RunShell((prefix->path() / "bin" / "tolvane").string() + " -h", &help), 0);
  EXPECT_NE(help.find("\nThe user's guide: " +
                      (prefix->path() / "share/tolvane/Help/Help.html").string() + "\n"),
            std::string::npos)
      << help;
  EXPECT_EQ(ReadFile(prefix->path() / "share/tolvane/Help/Help.html"),
            ReadFile(SourceDir() / "Help" / "Help.html"));
}

TEST_F(PackagingTest, TheManPageCoversEveryOptionOfHelp) {
  ASSERT_EQ(installStatus, 0) << installLog;
  const std::string page = ReadFile(prefix->path() / "share/man/man1/tolvane.1");
  const std::set<std::string> options = HelpOptions();
  ASSERT_GT(options.size(), 40u) << "the options of --help were not found";
  for (const std::string& option : options) {
    std::string troff;  // groff's minus sign
    for (char c : option) troff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(page.find(troff), std::string::npos) << option << " is not in the man page";
  }
  if (!Have("groff")) GTEST_SKIP() << "groff is absent";
  std::string warnings;
  EXPECT_EQ(
      RunShell("groff -man -Tutf8 -ww -z " + (prefix->path() / "share/man/man1/tolvane.1").string(),
               &warnings),
      0);
  EXPECT_EQ(warnings, "");
}

TEST_F(PackagingTest, TheDesktopEntryOpensVideosWithTheInstalledIcon) {
  ASSERT_EQ(installStatus, 0) << installLog;
  const fs::path entry = prefix->path() / "share/applications/tolvane.desktop";
  const std::string text = ReadFile(entry);
  // %f: the window opens the one file the desktop hands over.
  EXPECT_NE(text.find("\nExec=tolvane %f\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=tolvane\n"), std::string::npos);
  EXPECT_NE(text.find("\nTerminal=false\n"), std::string::npos);
  for (const char* type : {"video/mp4;", "video/x-matroska;", "video/x-msvideo;", "video/mp2t;"})
    EXPECT_NE(text.find(type), std::string::npos) << type;
  const std::string icon =
      ReadFile(prefix->path() / "share/icons/hicolor/scalable/apps/tolvane.svg");
  EXPECT_NE(icon.find("<svg"), std::string::npos);
  if (!Have("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is absent";
  std::string problems;
  EXPECT_EQ(RunShell("desktop-file-validate " + entry.string(), &problems), 0) << problems;
  EXPECT_EQ(problems, "");
}

TEST_F(PackagingTest, TheDebianPackageHoldsTheFilesAndNamesTheLoadedLibraries) {
  if (!Have("dpkg-deb") || !Have("dpkg-shlibdeps")) GTEST_SKIP() << "dpkg-dev is absent";
  // cpack's library scan tells programs from other files with it.
  if (!Have("file")) GTEST_SKIP() << "file is absent";
  TempDir out;
  std::string log;
  ASSERT_EQ(RunShell(std::string("cd ") + out.path().string() + " && '" + TOLVANE_CPACK +
                         "' -G DEB --config '" + TOLVANE_BINARY_DIR + "/CPackConfig.cmake'",
                     &log),
            0)
      << log;
  fs::path package;
  for (const auto& file : fs::directory_iterator(out.path()))
    if (file.path().extension() == ".deb") package = file.path();
  ASSERT_FALSE(package.empty()) << log;
  std::string fields;
  RunShell("dpkg-deb -f " + package.string() + " Package Version Depends", &fields);
  EXPECT_NE(fields.find("Package: tolvane\n"), std::string::npos) << fields;
  EXPECT_NE(fields.find("Version: 2.02\n"), std::string::npos) << fields;
  // The decoder's libraries are loaded by name, so they are named outright.
  for (const char* library : {"libavcodec", "libavformat", "libavutil", "libswscale"})
    EXPECT_TRUE(std::regex_search(fields, std::regex(std::string(library) + "[0-9]+[,\n]")))
        << library << " in " << fields;
  for (const char* package : {"qt6-qpa-plugins", "libqt6widgets6", "libc6"})
    EXPECT_NE(fields.find(package), std::string::npos) << package << " in " << fields;
  std::string contents;
  RunShell("dpkg-deb -c " + package.string(), &contents);
  for (const char* file : kInstalledFiles)
    EXPECT_NE(contents.find(" ./usr/" + std::string(file) + "\n"), std::string::npos) << file;
}

}  // namespace
