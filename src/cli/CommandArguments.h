#pragma once

// What every command is handed: the arguments, and what it answers.
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

}  // namespace COMMANDLINE
