#pragma once

// ASS (v4.00+) and SSA (v4.00) scripts: "[Script Info]" first, the styles in
// their own section, and one "Dialogue:" line a cue with its times in
// hundredths of seconds, its fields in the order the events' format line
// gives. The sections before the events are kept whole for the styled
// drawing.
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

class AssReader : public SubtitleReader {
 public:
  SubtitleFormat Format() const override { return SubtitleFormat::Ass; }
  const char* Name() const override { return "Advanced SubStation Alpha"; }
  FormatTraits Traits() const override {
    return {.Unit = TimeUnit::Milliseconds,
            .Markup = CueMarkup::AssOverrides,
            .BarBreaksLines = false,
            .KeepsOwnTimes = true,
            .OwnStyles = true,
            .Fields = CueFields::AssEvent,
            .Utf8ByRule = true};
  }
  bool Recognises(const SubtitleLines& lines) const override;

 protected:
  int32_t ReadHeader(const SubtitleLines& lines, SubtitleDocument& document) const override;
  bool ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
               std::vector<LineSpan>& text) const override;
};

// "H:MM:SS.cc" in milliseconds; none for anything else.
std::optional<int64_t> ScanAssTime(std::string_view text);

// An event line's fields by name (blanks trimmed), the text last and whole;
// empty for a field the format lacks.
struct AssEvent {
  std::string_view Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text;
  bool Complete = false;  // as many fields as the format names
};
AssEvent SplitAssEvent(std::string_view fields, const std::vector<std::string>& format);

}  // namespace SUBTITLEFILE
