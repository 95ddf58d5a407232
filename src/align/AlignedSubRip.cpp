#include "align/AlignedSubRip.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "align/SpeechAlignment.h"
#include "subtitles/SubtitleEncoding.h"

namespace ALIGNEDSUBRIP {
namespace {

// An 8-bit text is taken in the code page it was read as (Western when
// nobody knows).
std::string AsUtf8(std::string_view text, const SUBTITLEFILE::SubtitleDocument& document) {
  if (document.Utf8 || SUBTITLEFILE::IsUtf8(text)) return std::string(text);
  const std::string from = document.Encoding.empty() ? "WINDOWS-1252" : document.Encoding;
  std::string out;
  if (!SUBTITLEFILE::ConvertToUtf8(text, from.c_str(), 1, out))
    SUBTITLEFILE::ConvertToUtf8(text, "WINDOWS-1252", 1, out);
  return out;
}

// A text that keeps its lines in one, parted by '|', gets them back.
void AppendLines(const SUBTITLEFILE::SubtitleDocument& document,
                 const SUBTITLEFILE::SubtitleCue& cue, std::string& out) {
  for (std::size_t i = 0; i < cue.TextCount; ++i) {
    std::string line = AsUtf8(document.CueLine(cue, i), document);
    if (document.Traits.BarBreaksLines)
      for (char& c : line)
        if (c == '|') c = '\n';
    out += line + "\n";
  }
}

}  // namespace

std::string AlignedSubRipText(const SUBTITLEFILE::SubtitleDocument& document,
                              double videoFramesPerSecond, const TIMEMAP::TimeMap& map) {
  std::string out;
  std::size_t number = 0;
  for (const SUBTITLEFILE::SubtitleCue& cue : document.Cues) {
    if (!cue.Usable) continue;
    const double start = document.Seconds(cue.Start, videoFramesPerSecond);
    const double end = document.Seconds(cue.End, videoFramesPerSecond);
    out += std::to_string(++number) + "\n" + SPEECHALIGNMENT::ClockText(map.Apply(start), ',') +
           " --> " + SPEECHALIGNMENT::ClockText(map.Apply(end, start), ',') + "\n";
    AppendLines(document, cue, out);
    out += "\n";
  }
  return out;
}

bool WriteAlignedSubRip(const std::string& fileName, const std::string& text, std::string& error) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (file) file.write(text.data(), std::streamsize(text.size()));
  if (file) file.close();
  if (!file) error = "can't write " + fileName;
  return error.empty();
}

}  // namespace ALIGNEDSUBRIP
