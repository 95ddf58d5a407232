#include "subtitles/SubtitleReader.h"

#include "subtitles/AssReader.h"
#include "subtitles/MicroDvdReader.h"
#include "subtitles/SubRipReader.h"
#include "subtitles/WebVttReader.h"

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

namespace {

// Only styled drawing knows what to do with these.
const SubtitleReader* FindStyledReader(const SubtitleLines& lines) {
  static const AssReader ass;
  static const WebVttReader webVtt;
  for (const SubtitleReader* reader :
       {static_cast<const SubtitleReader*>(&ass), static_cast<const SubtitleReader*>(&webVtt)})
    if (reader->Recognises(lines)) return reader;
  return nullptr;
}

}  // namespace

const SubtitleReader* FindReader(const SubtitleLines& lines) {
  static const MicroDvdReader microDvd;
  static const SubRipReader subRip;
  for (const SubtitleReader* reader :
       {static_cast<const SubtitleReader*>(&microDvd), static_cast<const SubtitleReader*>(&subRip)})
    if (reader->Recognises(lines)) return reader;
  return lines.Options().Styled ? FindStyledReader(lines) : nullptr;
}

const char* StyledOnlyFormat(const SubtitleLines& lines) {
  const SubtitleReader* reader = FindStyledReader(lines);
  return reader != nullptr ? reader->Name() : nullptr;
}

}  // namespace SUBTITLEFILE
