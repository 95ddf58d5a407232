// The whole subtitle file reading: Open on arbitrary bytes, then every
// NextEntry call until the lines are used up, with a frame rate and a delay
// picked by the first input byte and the reading options by the low bits of
// the last. Also checks the scanner against the C library's sscanf on the
// same bytes, and the markup cleaning on them. With the styled formats read,
// every cue also goes through the turning of markup into overrides and the
// limits put on a script.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "styled/StyledLimits.h"
#include "styled/StyledMarkup.h"
#include "subtitles/AssReader.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleMarkup.h"
#include "subtitles/SubtitleScan.h"
#include "subtitles/SubtitleText.h"
#include "subtitles/SubtitleUnit.h"

namespace {

using SUBTITLEFILE::SubtitleFile;

void CompareWithSscanf(const std::string& bytes) {
  const char* text = bytes.c_str();
  int32_t ours[8];
  int theirs[8];
  int end = -1;
  auto micro = SUBTITLEFILE::ScanIntegers(bytes, "{%d}{%d}", ours);
  int stored = std::sscanf(text, "{%d}{%d%n", &theirs[0], &theirs[1], &end);
  FUZZ_REQUIRE(micro.stored == std::max(stored, 0));
  for (int i = 0; i < micro.stored; ++i) FUZZ_REQUIRE(ours[i] == theirs[i]);
  if (micro.stored == 2) FUZZ_REQUIRE(micro.end == std::size_t(end));

  auto times = SUBTITLEFILE::ScanIntegers(bytes, "%d:%d:%d,%d --> %d:%d:%d,%d", ours);
  stored = std::sscanf(text, "%d:%d:%d,%d --> %d:%d:%d,%d", &theirs[0], &theirs[1], &theirs[2],
                       &theirs[3], &theirs[4], &theirs[5], &theirs[6], &theirs[7]);
  FUZZ_REQUIRE(times.stored == std::max(stored, 0));
  for (int i = 0; i < times.stored; ++i) FUZZ_REQUIRE(ours[i] == theirs[i]);
}

// Most runs skip the file system; some go through a real file.
bool OpenInput(SubtitleFile& file, const std::string& bytes, bool throughFile) {
  const std::string path = FUZZTARGETS::TempPath("whole.sub");
  if (throughFile && FUZZTARGETS::WriteWholeFile(path, bytes)) return file.Open(path);
  return file.OpenContents("fuzz.sub", bytes);
}

void Configure(SubtitleFile& file, uint8_t control) {
  static const double kRates[] = {25.0,
                                  23.976,
                                  24000.0 / 1001.0,
                                  1e-300,
                                  1e300,
                                  -29.97,
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
  static const int32_t kDelays[] = {0,
                                    -5,
                                    32767,
                                    -32768,
                                    std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max(),
                                    -3276800,
                                    3276700};
  file.SetFrameRate(kRates[control & 7]);
  const int32_t delay = kDelays[(control >> 3) & 7];
  if (control & 0x40)
    file.SetDelayMilliseconds(delay);
  else
    file.SetDelayFrames(delay);
}

SUBTITLEFILE::ReadingOptions OptionsOf(uint8_t control) {
  return {bool(control & 1), bool(control & 2), bool(control & 4), bool(control & 8),
          bool(control & 16)};
}

void WalkEntries(SubtitleFile& file) {
  // A text that the reading made UTF-8 stays UTF-8 through markup removal
  // and line breaking; text it kept 8-bit (ASCII included) may gain the
  // no-break space of an entity.
  const bool unicode = file.Document().Utf8;
  // Every step reads at least one line.
  FUZZ_REQUIRE(file.Document().Cues.size() <= file.Document().Text.size());
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    if (file.Format() == SUBTITLEFILE::SubtitleFormat::MicroDvd && entry.Start != -1)
      FUZZ_REQUIRE(!entry.Lines.empty());
    if (unicode)
      for (const std::string& line : entry.Lines) FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(line));
  });
}

// What the styled drawing would be handed, within its limits.
void ConvertStyled(const SubtitleFile& file) {
  const SUBTITLEFILE::SubtitleDocument& document = file.Document();
  const STYLEDLIMITS::Resolution resolution = STYLEDLIMITS::ScriptResolution(document.ScriptHeader);
  FUZZ_REQUIRE(resolution.Width > 0 && resolution.Height > 0);
  STYLEDLIMITS::LimitStyles(document.ScriptHeader, resolution);
  for (const SUBTITLEFILE::SubtitleCue& cue : document.Cues) {
    if (!cue.Usable) continue;
    STYLEDMARKUP::TagState state;
    for (std::size_t i = 0; i < cue.TextCount; ++i) {
      const std::string_view line = document.CueLine(cue, i);
      std::string converted = file.Format() == SUBTITLEFILE::SubtitleFormat::WebVtt
                                  ? STYLEDMARKUP::WebVttLine(line, state)
                              : file.Format() == SUBTITLEFILE::SubtitleFormat::MicroDvd
                                  ? STYLEDMARKUP::MicroDvdText(line)
                                  : STYLEDMARKUP::SubRipLine(line, state);
      converted = STYLEDMARKUP::AddLineBreakOpportunities(converted);
      FUZZ_REQUIRE(STYLEDLIMITS::LimitEventText(converted, resolution).size() <=
                   STYLEDLIMITS::kMaximumEventText);
    }
    if (file.Format() == SUBTITLEFILE::SubtitleFormat::Ass)
      FUZZ_REQUIRE(
          SUBTITLEFILE::SplitAssEvent(document.TextOf(cue.Fields), document.EventFormat).Complete);
  }
}

}  // namespace

namespace FUZZTARGETS {

int FuzzSubtitleFile(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  CompareWithSscanf(bytes);
  SubtitleFile file;
  file.Reading = OptionsOf(data[size - 1]);
  const bool opened = OpenInput(file, bytes, (data[0] & 0x80) && (size & 7) == 0);
  if (!opened) {
    FUZZ_REQUIRE(!file.ErrorText.empty() && file.Document().Cues.empty() &&
                 file.Format() == SUBTITLEFILE::SubtitleFormat::None);
    return 0;
  }
  Configure(file, data[0]);
  WalkEntries(file);
  if (file.Reading.Styled) ConvertStyled(file);
  SUBTITLEFILE::RemoveMarkup(bytes);
  // Entities are never longer than their characters.
  FUZZ_REQUIRE(SUBTITLEFILE::CleanMarkup(bytes, data[0] & 1).size() <= bytes.size());
  return 0;
}

}  // namespace FUZZTARGETS
