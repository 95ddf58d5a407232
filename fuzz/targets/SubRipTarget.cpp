// SubRip files: read as they come, or laid out as numbered cues from the
// pieces of the payload, so that mutations go into times and text rather
// than into the structure the reader would refuse.
#include <cstdio>
#include <string>

#include "FuzzTargets.h"
#include "SubtitleRuns.h"

namespace FUZZTARGETS {
namespace {

// A piece's first bytes are its times and how they are written.
std::string TimeLine(std::string_view& piece) {
  const uint32_t start = TakeNumber(piece, 3) * 10;
  const uint32_t end = start + TakeNumber(piece, 2) * 10;
  const uint32_t form = TakeNumber(piece, 1);
  char line[96];
  auto clock = [&](uint32_t ms, char* out, std::size_t room) {
    const unsigned hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60;
    const unsigned fraction = ms % 1000;
    if (form & 1)  // the short form some writers use
      std::snprintf(out, room, "%u:%u:%u,%u", hours, minutes, seconds, fraction);
    else
      std::snprintf(out, room, "%02u:%02u:%02u%c%03u", hours + (form & 2 ? 99000 : 0), minutes,
                    seconds, form & 4 ? '.' : ',', fraction);
  };
  char from[40], to[40];
  clock(start, from, sizeof from);
  clock(form & 8 ? start / 2 : end, to, sizeof to);  // an end before the start
  std::snprintf(line, sizeof line, "%s%s-->%s%s", from, form & 16 ? "  " : " ",
                form & 16 ? "" : " ", to);
  return line;
}

std::string LayOut(std::string_view payload, bool lineFeeds) {
  const char* newline = lineFeeds ? "\n" : "\r\n";
  std::string file;
  int number = 1;
  for (std::string_view piece : Records(payload)) {
    const std::string times = TimeLine(piece);
    file += std::to_string(number++) + newline + times + newline;
    file.append(piece);
    file += newline;
    file += newline;
  }
  return file;
}

}  // namespace

int FuzzSubRip(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const SubtitleRun run = ReadSubtitleRun(input);
  const std::string contents =
      run.Reading & 0x20 ? LayOut(input.Rest(), run.Reading & 0x40) : std::string(input.Rest());
  RunSubtitleFile(contents, run, false);
  return 0;
}

}  // namespace FUZZTARGETS
