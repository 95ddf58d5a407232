// WebVTT files, read for styled drawing: the reader, the markup of every
// cue line and, through the script, the placement its settings give. A
// laid-out file takes each cue's settings and text from a piece of the
// payload: its first line the settings, the rest the text.
#include <cstdio>
#include <string>

#include "FuzzTargets.h"
#include "SubtitleRuns.h"
#include "styled/StyledMarkup.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleUnit.h"

namespace FUZZTARGETS {
namespace {

std::string VttClock(uint32_t ms, bool hours) {
  char text[32];
  if (hours)
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
  else
    std::snprintf(text, sizeof text, "%02u:%02u.%03u", ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

std::string LayOut(std::string_view payload, bool names) {
  std::string file = "WEBVTT\n\n";
  int number = 1;
  for (std::string_view piece : Records(payload)) {
    const uint32_t start = TakeNumber(piece, 3) * 10;
    const uint32_t end = start + TakeNumber(piece, 2) * 10;
    if (names) file += "cue-" + std::to_string(number++) + "\n";
    const std::size_t line = piece.find('\n');
    const std::string_view settings = piece.substr(0, line);
    file += VttClock(start, start >= 3600000) + " --> " + VttClock(end, end >= 3600000) + " ";
    file.append(settings);
    file += "\n";
    if (line != std::string_view::npos) file.append(piece.substr(line + 1));
    file += "\n\n";
  }
  return file;
}

// Cue text comes and goes as UTF-8, character references included. The
// tags a line leaves open carry over to the next, so a cue is UTF-8 only
// when every line so far was.
void CheckCueLines(const SUBTITLEFILE::SubtitleFile& file) {
  const SUBTITLEFILE::SubtitleDocument& document = file.Document();
  for (const SUBTITLEFILE::SubtitleCue& cue : document.Cues) {
    STYLEDMARKUP::TagState state;
    bool utf8 = true;
    for (std::size_t i = 0; i < cue.TextCount; ++i) {
      const std::string_view line = document.CueLine(cue, i);
      utf8 = utf8 && SUBTITLEFILE::IsUtf8(line);
      const std::string converted = STYLEDMARKUP::WebVttLine(line, state);
      if (utf8) FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(converted));
    }
  }
}

}  // namespace

int FuzzWebVtt(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const SubtitleRun run = ReadSubtitleRun(input);
  const std::string contents =
      run.Reading & 0x20 ? LayOut(input.Rest(), run.Reading & 0x40) : std::string(input.Rest());
  RunSubtitleFile(contents, run, true);

  SUBTITLEFILE::SubtitleFile file;
  file.Reading.Styled = true;
  if (file.OpenContents("fuzz.vtt", contents) &&
      file.Format() == SUBTITLEFILE::SubtitleFormat::WebVtt)
    CheckCueLines(file);
  return 0;
}

}  // namespace FUZZTARGETS
