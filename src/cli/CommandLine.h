#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace COMMANDLINE {

// Exit statuses of the command line.
enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitBadArguments = 2 };

using Arguments = std::vector<std::string>;

// One command of the command line: it is chosen when its option appears
// among the arguments, and it parses all of them itself.
struct Command {
  const char* option;
  int (*run)(const Arguments& args, std::ostream& out, std::ostream& err);
  const char* usage;  // one or more help lines, each ending in '\n'
};

// The arguments in the one form the commands parse: "--name=value" becomes
// "--name" "value", -h and -V become --help and --version, and --verbose,
// which any command takes, is taken out. A value is never rewritten.
Arguments NormalizeArguments(const Arguments& args, bool& verbose);

// Chooses and runs the command for the arguments (program name excluded).
int RunCommandLine(const Arguments& args, std::ostream& out, std::ostream& err);
int RunCommandLine(int argc, char** argv);

// Whether the program's arguments are for the command line. Without any, or
// with only the name of a file (a video opened from the desktop), the window
// opens.
bool IsCommandLine(int argc, char** argv);

// Leaves out Qt's notes that mean nothing to the user; its warnings stay.
void HideQtNotes();

// Text of --help.
std::string CommandLineHelp();

}  // namespace COMMANDLINE
