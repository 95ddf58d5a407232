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

// The formats there are readers for, by name; None until a file is read.
enum class SubtitleFormat { None, MicroDvd, SubRip, Ass, WebVtt };

// The unit a format counts its times in.
enum class TimeUnit { Frames, Milliseconds };

// How a format marks up its cues' text.
enum class CueMarkup { SubRipTags, WebVttTags, MicroDvdCodes, AssOverrides };

// What a cue's Fields hold.
enum class CueFields { None, AssEvent, WebVttSettings };

// What a format's reader says of every file in it. Code outside the readers
// asks these questions of a document instead of asking which format it is.
struct FormatTraits {
  TimeUnit Unit = TimeUnit::Milliseconds;  // of every cue's Start and End
  CueMarkup Markup = CueMarkup::SubRipTags;
  // A cue's text is one line of the file, its lines parted by "|".
  bool BarBreaksLines = false;
  // Styled drawing keeps the cues' own times (re-timed by an alignment's
  // map), instead of the pictures plain drawing gives each cue.
  bool KeepsOwnTimes = false;
  // The file carries its own script header (styles, play resolution):
  // ScriptHeader and EventFormat.
  bool OwnStyles = false;
  CueFields Fields = CueFields::None;
  // The format's files are UTF-8 by its rule: text that is valid UTF-8 is
  // taken as such, whatever the file was read as.
  bool Utf8ByRule = false;
};

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
  SubtitleFormat Format = SubtitleFormat::None;
  FormatTraits Traits;
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

  // How many of the cues' time units make a second of the file's clock:
  // 1000 for milliseconds, else the frame rate a MicroDVD file states or,
  // when it states none, the video's.
  double UnitsPerSecond(double videoFramesPerSecond) const {
    if (Traits.Unit == TimeUnit::Milliseconds) return 1000.0;
    return FileFrameRate > 0.0 ? FileFrameRate : videoFramesPerSecond;
  }
  // A cue's time in seconds of the file's clock; 0 when there is no rate to
  // count its frames at.
  double Seconds(int64_t time, double videoFramesPerSecond) const {
    const double perSecond = UnitsPerSecond(videoFramesPerSecond);
    return perSecond > 0.0 ? double(time) / perSecond : 0.0;
  }

  std::string_view TextOf(const LineSpan& span) const {
    return std::string_view(Text).substr(span.begin, span.size);
  }
  std::string_view CueLine(const SubtitleCue& cue, std::size_t index) const {
    return TextOf(TextSpans[cue.FirstText + index]);
  }
};

}  // namespace SUBTITLEFILE
