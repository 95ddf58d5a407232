// tolvane --list-compressors
//
// One line per installed video compressor: its code, a TAB and its name, so
// that a code for --compressor can be picked.
#include <ostream>
#include <string>

#include "cli/Commands.h"
#include "compressors/CompressorCatalog.h"

namespace COMMANDLINE {

int RunListCompressors(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << "tolvane: --list-compressors takes no other arguments\n";
    return ExitBadArguments;
  }
  for (const COMPRESSORCATALOG::CompressorInfo& info : COMPRESSORCATALOG::InstalledCompressors()) {
    std::string code = COMPRESSORCATALOG::CodeText(info.code);
    code.erase(code.find_last_not_of(' ') + 1);  // "DIB ", as --compressor takes it: "DIB"
    out << code << '\t' << info.name << '\n';
  }
  return ExitOk;
}

}  // namespace COMMANDLINE
