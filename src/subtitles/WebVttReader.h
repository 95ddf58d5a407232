#pragma once

// WebVTT: "WEBVTT" first, then blocks apart by blank lines: a cue (an
// optional name, "start --> end settings", its text lines), or a NOTE, STYLE
// or REGION block, which gives no entry. Times with or without hours.
#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

class WebVttReader : public SubtitleReader {
 public:
  SubtitleFormat Format() const override { return SubtitleFormat::WebVtt; }
  const char* Name() const override { return "WebVTT"; }
  FormatTraits Traits() const override {
    return {.Unit = TimeUnit::Milliseconds,
            .Markup = CueMarkup::WebVttTags,
            .BarBreaksLines = false,
            .KeepsOwnTimes = true,
            .OwnStyles = false,
            .Fields = CueFields::WebVttSettings,
            .Utf8ByRule = true};
  }
  bool Recognises(const SubtitleLines& lines) const override;

 protected:
  int32_t ReadHeader(const SubtitleLines& lines, SubtitleDocument& document) const override;
  bool ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
               std::vector<LineSpan>& text) const override;
};

// "[hh:]mm:ss.ttt" in milliseconds; none for anything else.
std::optional<int64_t> ScanWebVttTime(std::string_view text);

}  // namespace SUBTITLEFILE
