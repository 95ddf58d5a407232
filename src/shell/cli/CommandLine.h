#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tolvane {

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

// Chooses and runs the command for the arguments (program name excluded).
int RunCommandLine(const Arguments& args, std::ostream& out, std::ostream& err);
int RunCommandLine(int argc, char** argv);

// Text of --help.
std::string CommandLineHelp();

}  // namespace tolvane
