// ASS and SSA scripts, read for styled drawing: the reader, the split of
// each event line, the play resolution and the limits on the styles and on
// every event's text. A laid-out script takes its script-info lines, its
// style's values and each event's text from the pieces of the payload.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzTargets.h"
#include "SubtitleRuns.h"
#include "styled/StyledLimits.h"
#include "styled/StyledMarkup.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleText.h"
#include "subtitles/SubtitleUnit.h"

namespace FUZZTARGETS {
namespace {

std::string AssClock(uint32_t centiseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u.%02u", centiseconds / 360000 % 10000,
                centiseconds / 6000 % 60, centiseconds / 100 % 60, centiseconds % 100);
  return text;
}

std::string LayOut(std::string_view payload, uint8_t form) {
  std::vector<std::string_view> pieces = Records(payload);
  std::string_view info = pieces[0];
  std::string file = "[Script Info]\nScriptType: v4.00+\n";
  // The play resolution and wrap style from the first piece's front.
  const uint32_t width = TakeNumber(info, 2), height = TakeNumber(info, 2);
  if (form & 0x40) file += "PlayResX: " + std::to_string(width) + "\n";
  if (form & 0x80) file += "PlayResY: " + std::to_string(height) + "\n";
  file += "WrapStyle: " + std::to_string(TakeNumber(info, 1) & 3) + "\n";
  file.append(info);
  file +=
      "\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
      "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
      "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
      "Style: Default,Arial,";
  if (pieces.size() > 1) file.append(pieces[1]);
  file +=
      "\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
      "Text\n";
  for (std::size_t k = 2; k < pieces.size(); ++k) {
    std::string_view text = pieces[k];
    const uint32_t start = TakeNumber(text, 3);
    const uint32_t length = TakeNumber(text, 2);
    file += "Dialogue: 0," + AssClock(start) + "," + AssClock(start + length) + ",Default,,0,0,0,,";
    file.append(text);
    file += "\n";
  }
  return file;
}

// An event line's text is everything after as many commas as the format
// has names before it, whatever it holds.
void CheckSplit(std::string_view fields, std::string_view names) {
  std::vector<std::string> format;
  for (std::size_t begin = 0; begin <= names.size();) {
    const std::size_t comma = std::min(names.find(',', begin), names.size());
    format.emplace_back(names.substr(begin, comma - begin));
    begin = comma + 1;
  }
  format.emplace_back("text");
  const SUBTITLEFILE::AssEvent event = SUBTITLEFILE::SplitAssEvent(fields, format);
  std::size_t at = 0;
  std::size_t commas = 0;
  for (; commas + 1 < format.size(); ++commas) {
    const std::size_t comma = fields.find(',', at);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  FUZZ_REQUIRE(event.Complete == (commas + 1 == format.size()));
  if (event.Complete) FUZZ_REQUIRE(event.Text == fields.substr(at));
}

void CheckScript(const SUBTITLEFILE::SubtitleFile& file) {
  const SUBTITLEFILE::SubtitleDocument& document = file.Document();
  const STYLEDLIMITS::Resolution resolution = STYLEDLIMITS::ScriptResolution(document.ScriptHeader);
  FUZZ_REQUIRE(resolution.Width > 0 && resolution.Height > 0);
  FUZZ_REQUIRE(resolution.Width <= 1 << 16 && resolution.Height <= 1 << 16);
  STYLEDLIMITS::LimitStyles(document.ScriptHeader, resolution);
  for (const SUBTITLEFILE::SubtitleCue& cue : document.Cues) {
    if (!cue.Usable) continue;
    const std::string_view line = document.TextOf(cue.Fields);
    const SUBTITLEFILE::AssEvent event = SUBTITLEFILE::SplitAssEvent(line, document.EventFormat);
    // The reader took the event from the same split.
    FUZZ_REQUIRE(event.Complete);
    FUZZ_REQUIRE(SUBTITLEFILE::ScanAssTime(event.Start) == cue.Start);
    FUZZ_REQUIRE(SUBTITLEFILE::ScanAssTime(event.End) == cue.End);
    FUZZ_REQUIRE(cue.TextCount == 1 && document.CueLine(cue, 0) == event.Text);
    FUZZ_REQUIRE(STYLEDLIMITS::LimitEventText(event.Text, resolution).size() <=
                 STYLEDLIMITS::kMaximumEventText);
    FUZZ_REQUIRE(STYLEDLIMITS::LimitEventText(STYLEDMARKUP::AddLineBreakOpportunities(event.Text),
                                              resolution)
                     .size() <= STYLEDLIMITS::kMaximumEventText);
  }
}

}  // namespace

int FuzzAss(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  SubtitleRun run = ReadSubtitleRun(input);
  const std::string contents =
      run.Reading & 0x20 ? LayOut(input.Rest(), run.Reading) : std::string(input.Rest());
  RunSubtitleFile(contents, run, true);

  SUBTITLEFILE::SubtitleFile file;
  file.Reading.Styled = true;
  file.Reading.Unicode = run.Reading & 1;
  if (file.OpenContents("fuzz.ass", contents) && file.Format() == SUBTITLEFILE::SubtitleFormat::Ass)
    CheckScript(file);
  // A format of the script's own names against an event line.
  const std::vector<std::string_view> pieces = Records(input.Rest());
  if (pieces.size() >= 2) CheckSplit(pieces[pieces.size() - 1], pieces[pieces.size() - 2]);
  return 0;
}

}  // namespace FUZZTARGETS
