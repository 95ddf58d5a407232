#pragma once

// MicroDVD: "{start}{end}text" a line, times in frames, "|" between the lines
// of an entry; read tolerantly, a first line "{1}{1}23.976" states the rate
// the frames count at.
#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

class MicroDvdReader : public SubtitleReader {
 public:
  SubtitleFormat Format() const override { return SubtitleFormat::MicroDvd; }
  const char* Name() const override { return "MicroDVD"; }
  FormatTraits Traits() const override {
    return {.Unit = TimeUnit::Frames,
            .Markup = CueMarkup::MicroDvdCodes,
            .BarBreaksLines = true,
            .KeepsOwnTimes = false,
            .OwnStyles = false,
            .Fields = CueFields::None,
            .Utf8ByRule = false};
  }
  bool Recognises(const SubtitleLines& lines) const override;

 protected:
  int32_t ReadHeader(const SubtitleLines& lines, SubtitleDocument& document) const override;
  bool ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
               std::vector<LineSpan>& text) const override;
};

}  // namespace SUBTITLEFILE
