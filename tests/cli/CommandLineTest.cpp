#include <gtest/gtest.h>

#include <QtGlobal>
#include <set>
#include <sstream>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "shell/JobOptionTable.h"
#include "support/TestSupport.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunWith(const COMMANDLINE::Arguments& args) {
  std::ostringstream out, err;
  const int status = COMMANDLINE::RunCommandLine(args, out, err);
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

TEST(CommandLineTest, GnuFormsOfTheOptions) {
  EXPECT_EQ(RunWith({"-V"}).out, "Tolvane v2.02\n");
  const Outcome help = RunWith({"-h"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind(COMMANDLINE::CommandLineHelp(), 0), 0u);
  for (const char* shown : {"-h, --help", "-V, --version", "--verbose", "(--font-size=14)"})
    EXPECT_NE(help.out.find(shown), std::string::npos) << shown;

  bool verbose = false;
  EXPECT_EQ(
      COMMANDLINE::NormalizeArguments({"--font-size=14", "--output=", "-", "--verbose"}, verbose),
      (COMMANDLINE::Arguments{"--font-size", "14", "--output", "", "-"}));
  EXPECT_TRUE(verbose);
  // A value stays as given, even one that looks like an option.
  EXPECT_EQ(COMMANDLINE::NormalizeArguments(
                {"--subtitles", "--a=b.srt", "--source", "-h", "--probe", "--verbose"}, verbose),
            (COMMANDLINE::Arguments{"--subtitles", "--a=b.srt", "--source", "-h", "--probe",
                                    "--verbose"}));
  EXPECT_FALSE(verbose);
  EXPECT_EQ(COMMANDLINE::NormalizeArguments(
                {"--frame-rate=25", "--list-entries=a b.srt", "--delay-ms=-5"}, verbose),
            (COMMANDLINE::Arguments{"--frame-rate", "25", "--list-entries", "a b.srt", "--delay-ms",
                                    "-5"}));

  // The look options and --snapshot take their values like the job's own.
  EXPECT_EQ(COMMANDLINE::NormalizeArguments({"--outline", "--x=1", "--snapshot=1:00", "--shadow=2"},
                                            verbose),
            (COMMANDLINE::Arguments{"--outline", "--x=1", "--snapshot", "1:00", "--shadow", "2"}));

  const Outcome none = RunWith({"--verbose"});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err, "tolvane: no command given\nTry 'tolvane --help' for the list of options.\n");
}

TEST(CommandLineTest, OnlyTheNameOfAnExistingFileOpensTheWindow) {
  testsupport::TempDir dir;
  const std::string video = (dir / "film.mp4").string(), folder = dir.path().string();
  testsupport::WriteFile(video, "x");
  auto isCommandLine = [](std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return COMMANDLINE::IsCommandLine(int(argv.size()), argv.data());
  };
  EXPECT_FALSE(isCommandLine({"tolvane"}));
  EXPECT_FALSE(isCommandLine({"tolvane", video}));
  EXPECT_TRUE(isCommandLine({"tolvane", "--help"}));
  EXPECT_TRUE(isCommandLine({"tolvane", video + ".missing"}));
  EXPECT_TRUE(isCommandLine({"tolvane", folder}));
  EXPECT_TRUE(isCommandLine({"tolvane", video, "--verbose"}));
}

TEST(CommandLineTest, QtsNoteOnTheRuntimeFolderIsLeftOut) {
  COMMANDLINE::HideQtNotes();
  testing::internal::CaptureStderr();
  qWarning("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'");
  qWarning("QFont: a warning that stays");
  const std::string err = testing::internal::GetCapturedStderr();
  qInstallMessageHandler(nullptr);
  EXPECT_EQ(err.find("XDG_RUNTIME_DIR"), std::string::npos) << err;
  EXPECT_NE(err.find("QFont: a warning that stays"), std::string::npos) << err;
}

}  // namespace

// The command chosen does not hang on the table's order: the same arguments
// choose the same command from the table reversed.
TEST(CommandLineTest, TheCommandOfTheHighestRankRunsWhateverTheOrder) {
  const auto& table = COMMANDLINE::CommandTable();
  const std::vector<COMMANDLINE::Command> reversed(table.rbegin(), table.rend());
  std::set<int> ranks;
  for (const auto& command : table)
    EXPECT_TRUE(ranks.insert(command.rank).second) << command.option;
  for (const auto& a : table)
    for (const auto& b : table) {
      const COMMANDLINE::Arguments args = {a.option, "x", b.option, "y"};
      const auto* forward = COMMANDLINE::ChooseCommand(table, args);
      const auto* backward = COMMANDLINE::ChooseCommand(reversed, args);
      ASSERT_NE(forward, nullptr);
      ASSERT_NE(backward, nullptr);
      EXPECT_STREQ(forward->option, backward->option);
      EXPECT_EQ(forward->rank, std::max(a.rank, b.rank));
    }
  // Those whose arguments hold --source's.
  for (const char* command : {"--queue-add", "--snapshot", "--align-subtitles"})
    EXPECT_STREQ(COMMANDLINE::ChooseCommand(table, {"--source", "a", command, "q"})->option,
                 command);
  EXPECT_EQ(COMMANDLINE::ChooseCommand(table, {"--source-less"}), nullptr);
}

TEST(CommandLineTest, HelpNamesEveryJobOption) {
  const std::string help = COMMANDLINE::CommandLineHelp();
  for (const auto& entry : JOBOPTIONTABLE::Options())
    EXPECT_NE(help.find(std::string(entry.option) + (entry.TakesValue() ? " " : "")),
              std::string::npos)
        << entry.option;
}

// What else an output keeps: its own block after the styled options, and
// the synopsis' new lines after the old ones.
TEST(CommandLineTest, HelpSaysWhatElseAnOutputKeepsAndWhereItApplies) {
  const std::string help = COMMANDLINE::CommandLineHelp();
  const size_t block = help.find("What else of the source an output keeps");
  ASSERT_NE(block, std::string::npos);
  EXPECT_GT(block, help.find("Styled drawing, taken by"));
  for (const char* said :
       {"Matroska, MP4 and WebM outputs keep every other\nsound track, "
        "subtitle track, chapter, tag and attachment",
        "(AVI keeps the chosen sound alone)", "[STREAMS]", "\n  --keep-audio all|none|N[,N...]\n",
        "\n  --keep-subtitles all|none|N[,N...]\n",
        "\n  --no-chapters          leave out the chapters",
        "\n  --no-attachments       leave out the attached"})
    EXPECT_NE(help.find(said, block), std::string::npos) << said;
  EXPECT_NE(
      help.find("      [--keep-audio all|none|N[,N...]] [--keep-subtitles all|none|N[,N...]]\n"
                "      [--no-chapters] [--no-attachments]\n"
                "                         burn the subtitles"),
      std::string::npos);
  std::istringstream lines(help.substr(block, help.find("\n\n", block) - block));
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 78u) << line;
}

// --progress is the command's: taken out before the job's options are
// parsed, wherever it stands, and never mistaken for another option's value.
TEST(CommandLineTest, ProgressJsonIsTakenOutOfTheArguments) {
  std::string error;
  COMMANDLINE::Arguments args = {"--source", "a.mp4", "--progress", "json", "--output", "b.avi"};
  EXPECT_TRUE(COMMANDLINE::TakeJsonProgress(args, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(args, (COMMANDLINE::Arguments{"--source", "a.mp4", "--output", "b.avi"}));

  args = {"--source", "a.mp4", "--output", "b.avi"};
  EXPECT_FALSE(COMMANDLINE::TakeJsonProgress(args, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(args.size(), 4u);
  // A file named --progress is a value.
  args = {"--source", "--progress", "--output", "json"};
  EXPECT_FALSE(COMMANDLINE::TakeJsonProgress(args, error));
  EXPECT_EQ(args.size(), 4u);

  args = {"--queue", "q", "--progress", "text"};
  EXPECT_FALSE(COMMANDLINE::TakeJsonProgress(args, error));
  EXPECT_EQ(error, "bad progress 'text' (json is the only one)");
  args = {"--queue", "q", "--progress"};
  EXPECT_FALSE(COMMANDLINE::TakeJsonProgress(args, error));
  EXPECT_EQ(error, "option '--progress' needs a value");

  const Outcome help = RunWith({"--help"});
  EXPECT_NE(help.out.find("\n  --progress json        with --source or --queue:"),
            std::string::npos);
  EXPECT_NE(help.out.find("--queue QUEUE [--settings FILE] [--progress json]"), std::string::npos);
}
