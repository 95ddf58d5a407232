#include "cli/CommandLine.h"

#include <sys/stat.h>

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "compressors/CompressorEncoder.h"
#include "media/LibraryLog.h"
#include "platform/ProgramInfo.h"
#include "shell/HelpPage.h"
#include "shell/JobArguments.h"
#include "shell/JobOptionTable.h"

namespace COMMANDLINE {
namespace {

int RunVersion(const Arguments&, std::ostream& out, std::ostream&) {
  out << PROGRAMINFO::kProgramTitle << '\n';
  return ExitOk;
}

int RunHelp(const Arguments&, std::ostream& out, std::ostream&) {
  out << CommandLineHelp();
  const std::string folder = HELPPAGE::ProcessProgramFolder();
  const std::string guide = folder.empty() ? std::string() : HELPPAGE::HelpPagePath(folder);
  std::error_code error;
  if (!guide.empty() && std::filesystem::is_regular_file(guide, error))
    out << "\nThe user's guide: " << guide << '\n';
  return ExitOk;
}

// The command's own options among the job's.
constexpr const char* kSettingsOption = "[--settings FILE]";
constexpr const char* kDefaultsOption = "[--defaults]";
// Taken by the job and the queue, which read it before their other options.
constexpr const char* kProgress = "--progress";

// The options before, and every reading option after: the commands that
// read a subtitle file take them all.
std::vector<const char*> WithReading(std::vector<const char*> options) {
  for (const JOBOPTIONTABLE::JobOption& entry : JOBOPTIONTABLE::Options())
    if (entry.group == JOBOPTIONTABLE::Group::Reading) options.push_back(entry.option);
  return options;
}

// The first lines keep the layout the synopsis has always had; the options
// added since follow them, wrapped.
std::string SourceSynopsis() {
  using JOBOPTIONTABLE::SynopsisLine;
  return SynopsisLine({"--source", "--subtitles", "--output", "--compressor"}, "  ") +
         SynopsisLine({"--quality", "--keyframes", "--data-rate"}) +
         SynopsisLine({"--encoder-options", "--preset", kDefaultsOption}) +
         SynopsisLine({"--video-stream", "--audio-stream", "--delay-frames"}) +
         SynopsisLine({"--subtitle-track", "--styled", "--styled-left-to-right"}) +
         SynopsisLine({"--transcode", "--fix-audio-vbr", "--no-autosize", "--font"}) +
         SynopsisLine({"--font-size", "--font-color", "--bold", "--italic"}) +
         SynopsisLine({"--underline", "--strike-out", "--script", kSettingsOption}) +
         JOBOPTIONTABLE::GroupSynopsis(JOBOPTIONTABLE::Group::Look) +
         JOBOPTIONTABLE::SynopsisLines() +
         JOBOPTIONTABLE::SynopsisWrapped(
             {"--keep-audio", "--keep-subtitles", "--no-chapters", "--no-attachments"});
}

std::vector<Command> MakeCommands() {
  return {
      {"--help", 100, RunHelp, "  -h, --help             show this help\n"},
      {"--version", 90, RunVersion,
       "  -V, --version          show the program's name and version\n"},
      // Each subsystem's commands (declared in Commands.h) go here.
      {"--list-compressors", 80, RunListCompressors,
       "  --list-compressors     list the installed video compressors: code, TAB, name\n"},
      {"--probe", 70, RunProbe,
       "  --probe FILE           print the movie report of a video file\n"},
      // Above --source, which its arguments hold too.
      {"--align-subtitles", 60, RunAlignSubtitles,
       "  --align-subtitles --source FILE --subtitles FILE --output FILE.srt\n" +
           JOBOPTIONTABLE::SynopsisWrapped(WithReading({"--audio-stream", kSettingsOption})) +
           "                         find the subtitles' timing from the film's speech (offset,\n"
           "                         frame-rate ratio, splits) and write them re-timed as\n"
           "                         SubRip in UTF-8; nothing is written, and the status is 1,\n"
           "                         when no trustworthy timing is found\n"},
      // Above --source, which its arguments hold too.
      {"--snapshot", 50, RunSnapshot,
       "  --snapshot SECONDS|H:MM:SS --source FILE --subtitles FILE --output FILE.png\n" +
           JOBOPTIONTABLE::SynopsisWrapped({"--video-stream", "--delay-frames", "--no-autosize",
                                            "--font", "--font-size", "--font-color", "--bold",
                                            "--italic", "--underline", "--strike-out", "--script",
                                            "--align", "--restyle", kSettingsOption}) +
           JOBOPTIONTABLE::GroupSynopsis(JOBOPTIONTABLE::Group::Look) +
           "                         write the source picture due at that time with the\n"
           "                         subtitle due then, drawn as the job draws it, as a PNG\n"
           "                         image of the source's size\n"},
      // Above --source, which its arguments hold too.
      {"--queue-add", 40, RunQueueAdd,
       "  --queue-add QUEUE --source FILE --subtitles FILE --output FILE [options]\n"
       "                         add the job the --source options describe (those\n"
       "                         below) to the queue file QUEUE, made if missing\n"},
      // Above --source, which its arguments hold too.
      {"--subtitles-to-text", 45, RunSubtitlesToText,
       "  --subtitles-to-text --source FILE [--subtitle-track N | --subtitles F.sup|F.idx]\n"
       "      --output FILE.srt [--ocr-language LANGS] [--forced-only]\n"
       "                         read a PGS, VobSub or DVB stream's pictures as text\n"
       "                         (Tesseract; LANGS like eng or fra+deu, by default the\n"
       "                         track's language, else eng) and write it as SubRip\n"},
      {"--watch", 35, RunWatch,
       "  --watch DIR --output-dir OUT [--output-format mkv|mp4|avi|webm] [options]\n"
       "                         burn every video of DIR, there or arriving, once its\n"
       "                         size and time have stayed for 2 s, into OUT/NAME.mkv\n"
       "                         (or the format given) with its subtitles beside it\n"
       "                         (NAME.srt, NAME.LANG.srt; --subtitle-language picks),\n"
       "                         the options below given to every job; until stopped.\n"
       "                         An output gets its name once read back whole; the\n"
       "                         state file in OUT keeps what was done and failed\n"},
      {"--queue", 30, RunQueue,
       "  --queue QUEUE [--settings FILE] [--progress json]\n"
       "                         run the queue's jobs not yet done, in order; exit\n"
       "                         status 1 when any of them failed or was stopped\n"},
      {"--source", 20, RunJob,
       SourceSynopsis() +
           "                         burn the subtitles into the source and write the\n"
           "                         output: Matroska for .mkv, MP4 for .mp4, .m4v and\n"
           "                         .mov, WebM for .webm, AVI for any other name (HEVC,\n"
           "                         AV01 and VP90 not in AVI); streams count from 1,\n"
           "                         the rest comes from the settings file, or with\n"
           "                         --defaults from the program's defaults (the\n"
           "                         libraries still from the settings file);\n"
           "                         --encoder-options go to the libavcodec encoder,\n"
           "                         --preset sets its speed (x264 and x265: ultrafast\n"
           "                         to placebo; SVT-AV1 13 to 0; libvpx, libaom 8 to 0);\n"
           "                         --subtitle-track N draws the source's own N-th\n"
           "                         subtitle track (SubRip, ASS, mov_text, WebVTT),\n"
           "                         styled, in place of --subtitles; disc subtitle\n"
           "                         pictures come as a track (PGS, VobSub, DVB) or as\n"
           "                         a .sup or .idx file, and --forced-only draws only\n"
           "                         their forced ones; --restyle reads those pictures\n"
           "                         as text first (--ocr-language, as for\n"
           "                         --subtitles-to-text) and draws it with the font and\n"
           "                         look options, styled with --styled; --align re-times\n"
           "                         the subtitles to the source's speech first, as\n"
           "                         --align-subtitles does, and fails when it finds no\n"
           "                         trustworthy timing; a damaged source is reported in\n"
           "                         one line on standard error, and with --strict the\n"
           "                         job fails on it; HEVC, AV01 and VP90 keep a 10-bit\n"
           "                         source 10-bit (--bit-depth chooses) and an HDR one\n"
           "                         HDR, its subtitle white at N cd/m2 (203); an HDR\n"
           "                         source written in 8 bits, or with --sdr, is\n"
           "                         tone-mapped to SDR; --convert-audio converts sound\n"
           "                         the container cannot hold to AAC for MP4 and to\n"
           "                         Opus for WebM and Matroska; --smart copies the\n"
           "                         pictures no subtitle touches from an H.264 or HEVC\n"
           "                         source into Matroska or MP4 and encodes only the\n"
           "                         others, with the H264 or HEVC compressor; --start\n"
           "                         and --end (or --duration), in seconds or\n"
           "                         H:MM:SS.mmm, write only that part of the film, read\n"
           "                         from the keyframe before the start, its times from 0\n"},
      {"--list-entries", 10, RunListEntries,
       "  --list-entries FILE --frame-rate R [--delay-frames N | --delay-ms N]\n" +
           JOBOPTIONTABLE::GroupSynopsis(JOBOPTIONTABLE::Group::Reading) +
           "      [--as-drawn [--script CODE]] [--styled]\n"
           "                         list a subtitle file's entries in frames; with\n"
           "                         --as-drawn each line in UTF-8 as it will be drawn in\n"
           "                         the script CODE (0 Western, 204 Cyrillic, ...);\n"
           "                         --styled also reads ASS, SSA and WebVTT\n"},
  };
}

// Options whose next argument is their value, whatever it looks like.
bool TakesValue(const std::string& option) {
  return JOBARGUMENTS::TakesValue(option) || option == "--probe" || option == "--list-entries" ||
         option == "--frame-rate" || option == "--snapshot" || option == "--queue" ||
         option == "--queue-add" || option == kProgress;
}

QtMessageHandler gQtHandler = nullptr;

// Qt notes that it picked a runtime folder itself when the session names
// none; that says nothing to the user.
void PassQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set")) return;
  if (gQtHandler != nullptr) gQtHandler(type, context, message);
}

}  // namespace

bool TakeJsonProgress(Arguments& args, std::string& error) {
  error.clear();
  bool json = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] != kProgress) {
      i += JOBARGUMENTS::TakesValue(args[i]) ? 2 : 1;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "option '--progress' needs a value";
      return false;
    }
    if (args[i + 1] != "json") {
      error = "bad progress '" + args[i + 1] + "' (json is the only one)";
      return false;
    }
    json = true;
    args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
  }
  return json;
}

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> commands = MakeCommands();
  return commands;
}

const Command* ChooseCommand(const std::vector<Command>& commands, const Arguments& args) {
  const Command* chosen = nullptr;
  for (const Command& command : commands)
    if ((chosen == nullptr || command.rank > chosen->rank) &&
        std::find(args.begin(), args.end(), command.option) != args.end())
      chosen = &command;
  return chosen;
}

std::string CommandLineHelp() {
  std::ostringstream text;
  text << "Usage: tolvane [OPTION...]\n"
          "Burns subtitles into a video. Without options the window opens.\n\n";
  for (const Command& command : CommandTable()) text << command.usage;
  text << "  --verbose              with any command: FFmpeg's warnings and information in\n"
          "                         the log too, not only its errors\n";
  text << "  --progress json        with --source or --queue: standard output carries only\n"
          "                         JSON objects, one a line, each flushed at once: the\n"
          "                         progress (at most twice a second), every log line and\n"
          "                         error, and one \"done\" event that ends each job with\n"
          "                         its status (ok, failed, stopped), output, frames and\n"
          "                         message; standard error is as without it\n";
  text << "\n" << JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Reading);
  text << "\n" << JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Styled);
  text << "\n" << JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Streams);
  text << "\n" << JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Shape);
  text << "\nAn option's value follows it, or is joined to it by '=' (--font-size=14).\n";
  return text.str();
}

Arguments NormalizeArguments(const Arguments& args, bool& verbose) {
  Arguments result;
  verbose = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    const size_t equals = argument.find('=');
    if (argument == "-h") {
      result.push_back("--help");
    } else if (argument == "-V") {
      result.push_back("--version");
    } else if (argument == "--verbose") {
      verbose = true;
    } else if (argument.starts_with("--") && equals != std::string::npos) {
      result.push_back(argument.substr(0, equals));
      result.push_back(argument.substr(equals + 1));
    } else {
      result.push_back(argument);
      if (TakesValue(argument) && i + 1 < args.size()) result.push_back(args[++i]);
    }
  }
  return result;
}

int RunCommandLine(const Arguments& given, std::ostream& out, std::ostream& err) {
  bool verbose = false;
  const Arguments args = NormalizeArguments(given, verbose);
  LIBRARYLOG::SetDetail(verbose ? LIBRARYLOG::Detail::Everything : LIBRARYLOG::Detail::Errors);
  COMPRESSOR::ShowEncoderChatter(verbose);
  COMPRESSOR::RouteEncoderLog(LIBRARYLOG::LogCallback());
  const Command* command = ChooseCommand(CommandTable(), args);
  if (command == nullptr) {
    if (args.empty())
      err << "tolvane: no command given\n";
    else
      err << "tolvane: unknown option '" << args.front() << "'\n";
    err << "Try 'tolvane --help' for the list of options.\n";
    return ExitBadArguments;
  }
  return command->run(args, out, err);
}

bool IsCommandLine(int argc, char** argv) {
  if (argc < 2) return false;
  struct stat file {};
  const bool opensFile =
      argc == 2 && argv[1][0] != '-' && stat(argv[1], &file) == 0 && S_ISREG(file.st_mode);
  return !opensFile;
}

void HideQtNotes() { gQtHandler = qInstallMessageHandler(PassQtMessage); }

int RunCommandLine(int argc, char** argv) {
  Arguments args(argv + 1, argv + argc);
  return RunCommandLine(args, std::cout, std::cerr);
}

}  // namespace COMMANDLINE
