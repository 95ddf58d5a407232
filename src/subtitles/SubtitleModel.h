#pragma once

// A subtitle file as read: its cues in file order, each with its times in the
// file's own unit and its text as written (markup kept), and what reading
// found out about the file. Nothing here depends on the video the subtitles
// go with: the frame rate, the delay and the markup removal are applied when
// an entry is looked up (SubtitleFile).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/SubtitleText.h"

namespace SUBTITLEFILE {

enum { FormatNone = 0, FormatMicroDVD = 1, FormatSubRip = 2, FormatAss = 3, FormatWebVtt = 4 };

// The unit a format counts its times in.
enum class TimeUnit { Frames, Milliseconds };

// One reading step of the file. A step that is not Usable stands for lines
// that gave no entry: read strictly, such lines still cost the frame loop a
// picture, so they keep their place among the cues.
struct SubtitleCue {
  bool Usable = false;
  int64_t Start = 0;  // in the document's unit
  int64_t End = 0;
  std::size_t FirstText = 0;  // the cue's text lines: TextSpans[FirstText, +TextCount)
  std::size_t TextCount = 0;
  // The styled formats only. ASS: the event line after "Dialogue:", its
  // fields in the order of the document's EventFormat; WebVTT: the cue
  // settings after the times.
  LineSpan Fields{};
};

struct SubtitleDocument {
  int32_t Format = FormatNone;
  TimeUnit Unit = TimeUnit::Milliseconds;
  std::vector<SubtitleCue> Cues;
  // Spans into Text, each a line of some cue's text with its blanks trimmed.
  std::vector<LineSpan> TextSpans;
  std::string Text;      // the file's text, after the reading options decoded it
  bool Utf8 = false;     // Text is UTF-8: tags and breaks count characters
  std::string Encoding;  // what the text was read as; empty when not known
  // Frames per second a MicroDVD file states in its first line; 0 for none.
  double FileFrameRate = 0.0;
  // An ASS or SSA script's sections before its events (styles, play
  // resolution), which the styled drawing takes as they are.
  std::string ScriptHeader;
  // The names of an ASS script's event fields, lower case, in its order.
  std::vector<std::string> EventFormat;

  std::string_view TextOf(const LineSpan& span) const {
    return std::string_view(Text).substr(span.begin, span.size);
  }
  std::string_view CueLine(const SubtitleCue& cue, std::size_t index) const {
    return TextOf(TextSpans[cue.FirstText + index]);
  }
};

}  // namespace SUBTITLEFILE
