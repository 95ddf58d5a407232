#pragma once

#include <string>

#include "cli/CommandArguments.h"

namespace COMMANDLINE {

// The arguments in the one form the commands parse: "--name=value" becomes
// "--name" "value", -h and -V become --help and --version, and --verbose,
// which any command takes, is taken out. A value is never rewritten.
Arguments NormalizeArguments(const Arguments& args, bool& verbose);

// The commands in the order --help lists them.
const std::vector<Command>& CommandTable();
// The command of the highest rank whose option the arguments hold; null for
// none.
const Command* ChooseCommand(const std::vector<Command>& commands, const Arguments& args);

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
