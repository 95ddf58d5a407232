#include "shell/ReadingArguments.h"

#include <array>

namespace READINGARGUMENTS {
namespace {

using SUBTITLEFILE::ReadingOptions;

struct Flag {
  const char* option;
  bool ReadingOptions::*field;
};

constexpr std::array<Flag, 4> kFlags = {{
    {"--unicode", &ReadingOptions::Unicode},
    {"--detect-codepage", &ReadingOptions::DetectCodePage},
    {"--clean-markup", &ReadingOptions::CleanMarkup},
    {"--tolerant", &ReadingOptions::Tolerant},
}};

}  // namespace

const char kReadingUsage[] =
    "Reading options, taken by --source (besides those that the settings file's\n"
    "[READING] section switches on) and by --list-entries:\n"
    "  --unicode              read UTF-8 files with or without a byte-order mark,\n"
    "                         UTF-16 and UTF-32 files with one\n"
    "  --detect-codepage      find the code page of an 8-bit file that is not\n"
    "                         UTF-8 and draw it in that, whatever the font's script\n"
    "  --clean-markup         remove every style tag, override block and control\n"
    "                         code, and turn entities into their characters\n"
    "  --tolerant             read SubRip with loose structure and the frame rate\n"
    "                         of a MicroDVD file's {1}{1}RATE line\n";

bool ApplyReadingFlag(const std::string& option, ReadingOptions& reading) {
  for (const Flag& flag : kFlags)
    if (option == flag.option) {
      reading.*flag.field = true;
      return true;
    }
  return false;
}

const char kStyledUsage[] =
    "Styled drawing, taken by --source and --snapshot (or the settings file's\n"
    "[STYLED] section):\n"
    "  --styled               draw the styles the subtitles carry (italic, bold,\n"
    "                         colours, placement, ASS styles), read ASS, SSA and\n"
    "                         WebVTT files, lay out each line in its script's\n"
    "                         direction and wrap long lines inside the picture\n"
    "  --styled-left-to-right lay out every line left to right, for old\n"
    "                         right-to-left files typed for players that did so\n";

bool ApplyStyledFlag(const std::string& option, STYLEDSCRIPT::StyledOptions& styled) {
  if (option == "--styled") {
    styled.On = true;
    return true;
  }
  if (option == "--styled-left-to-right") {
    styled.On = styled.LeftToRight = true;
    return true;
  }
  return false;
}

std::vector<std::string> ReadingFlags(const ReadingOptions& reading) {
  std::vector<std::string> flags;
  for (const Flag& flag : kFlags)
    if (reading.*flag.field) flags.push_back(flag.option);
  return flags;
}

std::vector<std::string> StyledFlags(const STYLEDSCRIPT::StyledOptions& styled) {
  if (styled.LeftToRight) return {"--styled-left-to-right"};
  if (styled.On) return {"--styled"};
  return {};
}

// --styled reads the formats the styled drawing reads, in the Unicode
// forms they come in, as the job's --styled does.
bool ApplyListEntriesFlag(const std::string& option, ReadingOptions& reading, bool& asDrawn) {
  if (option == "--styled") {
    reading.Styled = reading.Unicode = true;
    return true;
  }
  if (option != "--as-drawn") return ApplyReadingFlag(option, reading);
  asDrawn = true;
  return true;
}

}  // namespace READINGARGUMENTS
