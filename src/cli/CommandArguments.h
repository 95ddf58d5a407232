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
// among the arguments, and it parses all of them itself. The arguments of
// one command may hold another's option (--queue-add holds --source's):
// then the command of the higher rank runs, whatever the table's order.
// No two commands share a rank.
struct Command {
  const char* option;
  int rank;
  int (*run)(const Arguments& args, std::ostream& out, std::ostream& err);
  std::string usage;  // one or more help lines, each ending in '\n'
};

}  // namespace COMMANDLINE
