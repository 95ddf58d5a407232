// tolvane --probe FILE: the movie report of a source, as the log shows it.
#include <iostream>

#include "cli/Commands.h"
#include "media/LibraryLog.h"
#include "media/VelAvCodec.h"

namespace COMMANDLINE {
namespace {

// The report's lines end in CR LF; the terminal gets one line per line.
void PrintLines(const std::string& report, std::ostream& out) {
  size_t begin = 0;
  while (begin <= report.size()) {
    size_t end = report.find("\r\n", begin);
    if (end == std::string::npos) end = report.size();
    out << report.substr(begin, end - begin) << '\n';
    begin = end + 2;
  }
}

// FFmpeg's reasons go before ours; the report on standard output stays as
// the log shows it.
void PrintLibraryLines(std::ostream& err) {
  for (const std::string& line : LIBRARYLOG::TakeLines()) err << line << '\n';
}

}  // namespace

int RunProbe(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2 || args[0] != "--probe") {
    err << "tolvane: --probe takes one file name\n";
    return ExitBadArguments;
  }
  try {
    const auto names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
    VELAVCODEC::VelAvCodec decoder(names.AvCodec, names.AvFormat, names.AvUtil, names.SwScale);
    LIBRARYLOG::BeginRun();
    const bool opened = decoder.PreOpen(args[1]);
    PrintLibraryLines(err);
    if (!opened) {
      err << decoder.ErrorText << '\n';
      return ExitFailed;
    }
    PrintLines(decoder.Info, out);
    decoder.Close();
  } catch (const VELAVCODEC::VelException& error) {
    err << error.Message << '\n';
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace COMMANDLINE
