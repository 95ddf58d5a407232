#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

// Read tolerantly, lines that give no entry are passed over within the step,
// so that they cost the frame loop no picture; read strictly, each such
// stretch is a step of its own.
void SubtitleReader::Read(const SubtitleLines& lines, SubtitleDocument& document) const {
  document.Format = Format();
  document.Traits = Traits();
  int32_t cursor = ReadHeader(lines, document);
  const bool tolerant = lines.Options().Tolerant;
  while (cursor < lines.Count()) {
    SubtitleCue cue;
    cue.FirstText = document.TextSpans.size();
    do cue.Usable = ReadCue(lines, cursor, cue, document.TextSpans);
    while (!cue.Usable && tolerant && cursor < lines.Count());
    if (!cue.Usable) document.TextSpans.resize(cue.FirstText);
    cue.TextCount = document.TextSpans.size() - cue.FirstText;
    document.Cues.push_back(cue);
  }
}

}  // namespace SUBTITLEFILE
