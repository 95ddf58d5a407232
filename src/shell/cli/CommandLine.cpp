#include "shell/cli/CommandLine.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include "shell/cli/Commands.h"
#include "shell/cli/LookArguments.h"
#include "shell/cli/ReadingArguments.h"

namespace tolvane {
namespace {

int RunVersion(const Arguments&, std::ostream& out, std::ostream&) {
  out << "Tolvane v2.02\n";
  return ExitOk;
}

int RunHelp(const Arguments&, std::ostream& out, std::ostream&) {
  out << CommandLineHelp();
  return ExitOk;
}

// The commands in the order --help lists them. The first whose option
// appears in the arguments runs.
const Command kCommands[] = {
    {"--help", RunHelp, "  --help                 show this help\n"},
    {"--version", RunVersion, "  --version              show the program's name and version\n"},
    // Each subsystem's commands (declared in Commands.h) go here.
    {"--list-compressors", RunListCompressors,
     "  --list-compressors     list the installed video compressors: code, TAB, name\n"},
    {"--probe", RunProbe, "  --probe FILE           print the movie report of a video file\n"},
    // Before --source, which its arguments hold too.
    {"--snapshot", RunSnapshot,
     "  --snapshot SECONDS|H:MM:SS --source FILE --subtitles FILE --output FILE.png\n"
     "      [--video-stream N] [--delay-frames N | --delay-ms N] [--no-autosize]\n"
     "      [--font NAME] [--font-size POINTS] [--font-color 0xBBGGRR] [--bold]\n"
     "      [--italic] [--underline] [--strike-out] [--script CODE] [--settings "
     "FILE]\n" LOOKARGUMENTS_USAGE
     "                         write the source picture due at that time with the\n"
     "                         subtitle due then, drawn as the job draws it, as a PNG\n"
     "                         image of the source's size\n"},
    {"--source", RunJob,
     "  --source FILE --subtitles FILE --output FILE [--compressor CODE]\n"
     "      [--quality 0-10000] [--keyframes N] [--data-rate KBYTES_PER_SECOND]\n"
     "      [--video-stream N] [--audio-stream N] [--delay-frames N | --delay-ms N]\n"
     "      [--transcode] [--fix-audio-vbr] [--no-autosize] [--font NAME]\n"
     "      [--font-size POINTS] [--font-color 0xBBGGRR] [--bold] [--italic]\n"
     "      [--underline] [--strike-out] [--script CODE] [--settings FILE]\n" LOOKARGUMENTS_USAGE
     "      [--unicode] [--detect-codepage] [--clean-markup] [--tolerant]\n"
     "                         burn the subtitles into the source and write the\n"
     "                         output: Matroska for .mkv, MP4 for .mp4, .m4v and\n"
     "                         .mov, AVI for any other name; streams count from 1,\n"
     "                         the rest comes from the settings file\n"},
    {"--list-entries", RunListEntries,
     "  --list-entries FILE --frame-rate R [--delay-frames N | --delay-ms N]\n"
     "      [--unicode] [--detect-codepage] [--clean-markup] [--tolerant]\n"
     "      [--as-drawn [--script CODE]]\n"
     "                         list a subtitle file's entries in frames; with\n"
     "                         --as-drawn each line in UTF-8 as it will be drawn in\n"
     "                         the script CODE (0 Western, 204 Cyrillic, ...)\n"},
};

const Command* FindCommand(const Arguments& args) {
  for (const Command& command : kCommands)
    if (std::find(args.begin(), args.end(), command.option) != args.end()) return &command;
  return nullptr;
}

}  // namespace

std::string CommandLineHelp() {
  std::ostringstream text;
  text << "Usage: tolvane [OPTION...]\n"
          "Burns text subtitles into a video. Without options the window opens.\n\n";
  for (const Command& command : kCommands) text << command.usage;
  text << "\n" << READINGARGUMENTS::kReadingUsage;
  return text.str();
}

int RunCommandLine(const Arguments& args, std::ostream& out, std::ostream& err) {
  const Command* command = FindCommand(args);
  if (command == nullptr) {
    const std::string first = args.empty() ? std::string() : args.front();
    err << "tolvane: unknown option '" << first << "'\n"
        << "Try 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  return command->run(args, out, err);
}

int RunCommandLine(int argc, char** argv) {
  Arguments args(argv + 1, argv + argc);
  return RunCommandLine(args, std::cout, std::cerr);
}

}  // namespace tolvane
