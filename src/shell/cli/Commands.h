#pragma once

// The commands that subsystems add to the command line. Each declares its run
// function here, defines it in a file of its own in this folder and adds one
// entry to kCommands in CommandLine.cpp.
#include "shell/cli/CommandLine.h"

namespace tolvane {

int RunJob(const Arguments& args, std::ostream& out, std::ostream& err);
int RunListCompressors(const Arguments& args, std::ostream& out, std::ostream& err);
int RunListEntries(const Arguments& args, std::ostream& out, std::ostream& err);
int RunProbe(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace tolvane
