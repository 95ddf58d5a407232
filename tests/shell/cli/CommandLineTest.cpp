#include <gtest/gtest.h>

#include <sstream>

#include "shell/cli/CommandLine.h"
#include "support/TestSupport.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunWith(const tolvane::Arguments& args) {
  std::ostringstream out, err;
  const int status = tolvane::RunCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CommandLineTest, VersionAndHelp) {
  const Outcome version = RunWith({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Tolvane v2.02\n");
  const Outcome help = RunWith({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--version"), std::string::npos);
  EXPECT_NE(help.out.find("--help"), std::string::npos);
}

TEST(CommandLineTest, HelpNamesTheReadingOptionsAndWhoTakesThem) {
  const std::string help = RunWith({"--help"}).out;
  for (const char* option :
       {"--unicode", "--detect-codepage", "--clean-markup", "--tolerant", "--as-drawn"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_NE(help.find("[--unicode] [--detect-codepage] [--clean-markup] [--tolerant]\n"
                      "      [--as-drawn"),
            std::string::npos);
}

TEST(CommandLineTest, UnknownOptionIsRefusedWithStatus2) {
  const Outcome run = RunWith({"--frobnicate"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("unknown option '--frobnicate'"), std::string::npos);
}

TEST(CommandLineTest, TheProgramAnswersVersion) {
  std::string output;
  const int status =
      testsupport::RunShell("'" + testsupport::ProgramPath() + "' --version", &output);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "Tolvane v2.02\n");
}

}  // namespace
