#pragma once

// Where the help page of a program is: beside it (the build folder, a copy
// unpacked anywhere) or where an installation puts it.
#include <string>

namespace HELPPAGE {

// programFolder ends with a separator. The page beside the program when it
// is there or when neither is; else the installed one, under the share
// folder beside the program's bin folder.
std::string HelpPagePath(const std::string& programFolder);

// The folder of the running program's file, with a trailing separator; no
// application object needed.
std::string ProcessProgramFolder();

}  // namespace HELPPAGE
