#include "SubtitleRuns.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "HeldOverrides.h"
#include "styled/StyledLimits.h"
#include "styled/StyledScript.h"
#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleUnit.h"

namespace FUZZTARGETS {
namespace {

using SUBTITLEFILE::SubtitleFile;

// Rates a decoder may report for a broken stream as well as real ones.
constexpr double kRates[] = {25.0,
                             23.976,
                             24000.0 / 1001.0,
                             1e-300,
                             1e300,
                             -29.97,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
constexpr int32_t kDelays[] = {0,
                               -5,
                               32767,
                               -32768,
                               std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max(),
                               -3276800,
                               3276700};

void Configure(SubtitleFile& file, const SubtitleRun& run) {
  file.SetFrameRate(kRates[run.Timing & 7]);
  const int32_t delay = kDelays[(run.Timing >> 3) & 7];
  if (run.Timing & 0x40)
    file.SetDelayMilliseconds(delay);
  else
    file.SetDelayFrames(delay);
  if (!(run.Timing & 0x80)) return;
  // An alignment's maps are close to the identity; these also stretch,
  // mirror, shift far and split.
  switch ((run.Drawing >> 4) & 3) {
    case 0:
      file.SetTimeMap([](double seconds, double) { return seconds * 1.001 + 0.5; });
      break;
    case 1:
      file.SetTimeMap([](double seconds, double) { return -seconds; });
      break;
    case 2:
      file.SetTimeMap([](double seconds, double) { return seconds * 1e9; });
      break;
    default:
      // A split: cues from a minute on move back an hour, the rest ahead.
      file.SetTimeMap([](double seconds, double cueStart) {
        return seconds + (cueStart >= 60.0 ? -3600.0 : 45.0);
      });
      break;
  }
}

STYLEDSCRIPT::BaseStyle BaseStyleOf(uint8_t drawing) {
  STYLEDSCRIPT::BaseStyle base;
  switch ((drawing >> 2) & 3) {
    case 1:
      base.Font = {"DejaVu Sans", SUBTITLEFONT::kMaxFontSize, 0xFFFFFF, 0, true, true, true, true};
      base.Look = {SUBTITLELOOK::kMaximumOutline,
                   0x0000FF,
                   SUBTITLELOOK::kMaximumShadow,
                   0x00FF00,
                   SUBTITLELOOK::kMaximumBoxOpacity,
                   0xFF0000,
                   true,
                   SUBTITLELOOK::kMaximumMargin};
      break;
    case 2:
      base.Font = {"", SUBTITLEFONT::kMinFontSize, 0x123456, 204};
      break;
    case 3:
      base.Font = {"Droid Sans Fallback", 30, 0x00FFFF, 222};
      base.Look.Outline = 2;
      base.Look.BoxOpacity = 40;
      break;
    default:
      break;
  }
  base.LeftToRight = drawing & 0x40;
  return base;
}

struct Picture {
  int32_t Width, Height;
};
constexpr Picture kPictures[] = {{720, 576}, {1920, 1080}, {1, 1}, {4096, 2160}};

void WalkEntries(const SubtitleFile& file) {
  const SUBTITLEFILE::SubtitleDocument& document = file.Document();
  // Every step reads at least one line.
  FUZZ_REQUIRE(document.Cues.size() <= document.Text.size());
  if (document.Utf8) FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(document.Text));
  std::size_t index = 0;
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    if (!document.Cues[index++].Usable)
      FUZZ_REQUIRE(entry.Start == -1 && entry.End == -1 && entry.Lines.empty());
    if (file.Format() == SUBTITLEFILE::SubtitleFormat::MicroDvd && entry.Start != -1)
      FUZZ_REQUIRE(!entry.Lines.empty());
    // Markup removal keeps UTF-8 text UTF-8.
    if (document.Utf8)
      for (const std::string& line : entry.Lines) FUZZ_REQUIRE(SUBTITLEFILE::IsUtf8(line));
  });
}

// "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text": the
// eight fields before the text, which holds commas of its own.
struct EventFields {
  std::string_view Field[8];
  std::string_view Text;
  bool Complete = false;
};

EventFields SplitFields(std::string_view fields) {
  EventFields split;
  for (int k = 0; k < 8; ++k) {
    const std::size_t comma = fields.find(',');
    if (comma == std::string_view::npos) return split;
    split.Field[k] = fields.substr(0, comma);
    fields.remove_prefix(comma + 1);
  }
  split.Text = fields;
  split.Complete = true;
  return split;
}

long long Number(std::string_view text) {
  std::string digits(text);
  char* end = nullptr;
  const long long value = std::strtoll(digits.c_str(), &end, 10);
  FUZZ_REQUIRE(!digits.empty() && *end == '\0');
  return value;
}

void CheckScript(const SubtitleFile& file, const SubtitleRun& run) {
  const Picture picture = kPictures[run.Drawing & 3];
  const STYLEDSCRIPT::StyledScript script =
      STYLEDSCRIPT::BuildScript(file, BaseStyleOf(run.Drawing), picture.Width, picture.Height);
  FUZZ_REQUIRE(!script.Header.empty());
  // The resolution the events' values are held to, as EventLayoutOf
  // documents it: an ASS script's own, else the picture's.
  const STYLEDLIMITS::Resolution resolution =
      file.Format() == SUBTITLEFILE::SubtitleFormat::Ass
          ? STYLEDLIMITS::ScriptResolution(file.Document().ScriptHeader)
          : STYLEDLIMITS::Resolution{std::max(picture.Width, 1), std::max(picture.Height, 1)};
  const bool webVtt = file.Format() == SUBTITLEFILE::SubtitleFormat::WebVtt;
  long long lastOrder = -1;
  for (const STYLEDSCRIPT::StyledEvent& event : script.Events) {
    FUZZ_REQUIRE(event.EndMs > event.StartMs);
    const EventFields fields = SplitFields(event.Fields);
    FUZZ_REQUIRE(fields.Complete);
    // The drawing tells events apart by their read order.
    const long long order = Number(fields.Field[0]);
    FUZZ_REQUIRE(order > lastOrder);
    lastOrder = order;
    // Only a cue's placement comes before its limited text.
    std::string_view text = fields.Text;
    if (webVtt) {
      FUZZ_REQUIRE(text.size() >= 6 && text.substr(0, 4) == "{\\an" && text[4] >= '1' &&
                   text[4] <= '9' && text[5] == '}');
      text.remove_prefix(6);
      const long long left = Number(fields.Field[4]), right = Number(fields.Field[5]),
                      vertical = Number(fields.Field[6]);
      FUZZ_REQUIRE(left >= 0 && left <= picture.Width && right >= 0 && right <= picture.Width);
      FUZZ_REQUIRE(vertical >= 0 && vertical <= picture.Height);
    }
    FUZZ_REQUIRE(text.size() <= STYLEDLIMITS::kMaximumEventText);
    CheckHeldOverrides(text, resolution);
  }
}

}  // namespace

SubtitleRun ReadSubtitleRun(Input& input) {
  SubtitleRun run;
  run.Timing = input.Byte();
  run.Reading = input.Byte();
  run.Drawing = input.Byte();
  return run;
}

void RunSubtitleFile(const std::string& contents, const SubtitleRun& run, bool styled) {
  SubtitleFile file;
  file.Reading = {bool(run.Reading & 1), bool(run.Reading & 2), bool(run.Reading & 4),
                  bool(run.Reading & 8), styled || (run.Reading & 16)};
  bool opened;
  const std::string path = TempPath("file.sub");
  if ((run.Drawing & 0x80) && WriteWholeFile(path, contents)) {
    opened = file.Open(path);
    std::remove(path.c_str());
  } else {
    opened = file.OpenContents("fuzz.sub", contents);
  }
  if (!opened) {
    FUZZ_REQUIRE(!file.ErrorText.empty() && file.Document().Cues.empty() &&
                 file.Format() == SUBTITLEFILE::SubtitleFormat::None);
    return;
  }
  Configure(file, run);
  WalkEntries(file);
  if (file.Reading.Styled) CheckScript(file, run);
}

}  // namespace FUZZTARGETS
