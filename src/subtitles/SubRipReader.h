#pragma once

// SubRip: entries of a counter line, a time line "00:00:01,000 --> ...", the
// text lines and a blank line; times in milliseconds. Read tolerantly, the
// counter may be missing or wrong, blank lines may stand before the text, and
// a time line (or a counter right before one) ends the entry before it.
#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

class SubRipReader : public SubtitleReader {
 public:
  SubtitleFormat Format() const override { return SubtitleFormat::SubRip; }
  const char* Name() const override { return "SubRip"; }
  // Styled drawing times its cues to the pictures plain drawing gives them.
  FormatTraits Traits() const override {
    return {.Unit = TimeUnit::Milliseconds,
            .Markup = CueMarkup::SubRipTags,
            .BarBreaksLines = false,
            .KeepsOwnTimes = false,
            .OwnStyles = false,
            .Fields = CueFields::None,
            .Utf8ByRule = false};
  }
  bool Recognises(const SubtitleLines& lines) const override;

 protected:
  bool ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
               std::vector<LineSpan>& text) const override;
};

}  // namespace SUBTITLEFILE
