#pragma once

// A subtitle file as the styled drawing takes it: a script header with the
// styles and the play resolution, and events with their times in
// milliseconds. SubRip, MicroDVD and WebVTT files get a style made from the
// user's font and look, their markup turned into overrides and their cues
// timed to the same pictures as plain drawing would; ASS and SSA scripts keep
// their own styles. Every value passes the limits of StyledLimits; how many
// events show at once is bounded where they are drawn.
#include <cstdint>
#include <string>
#include <vector>

#include "styled/StyledLimits.h"
#include "subtitles/SubtitleFont.h"
#include "subtitles/SubtitleLook.h"
#include "subtitles/SubtitleUnit.h"

namespace STYLEDSCRIPT {

struct BaseStyle {
  SUBTITLEFONT::SubtitleFont Font;
  SUBTITLELOOK::SubtitleLook Look;
  // Lines laid out left to right whatever their letters, for old files
  // whose punctuation was typed for players that did so.
  bool LeftToRight = false;
};

struct StyledEvent {
  int64_t StartMs = 0;
  int64_t EndMs = 0;  // exclusive
  // "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text"
  std::string Fields;
  // A track's packet that gave no duration: EndMs is a guess, cut short
  // when the track's next event starts before it.
  bool Untimed = false;
  // The area its letters and drawings take, in pictures' areas, and
  // whether text was left out to keep it within the limit.
  double Ink = 0;
  bool Cut = false;
};

struct StyledScript {
  std::string Header;
  std::vector<StyledEvent> Events;
};

// The time a picture is drawn at: its frame's start, rounded to the
// millisecond. Cues converted from frames cover exactly their frames.
int64_t FrameTimeMs(int64_t frame, double framesPerSecond);

// The file must be open with its frame rate and delay set; width and height
// are the picture's.
StyledScript BuildScript(const SUBTITLEFILE::SubtitleFile& file, const BaseStyle& base,
                         int32_t width, int32_t height);

// A subtitle track of the source: the header (an ASS track's own, else one
// made from the base style) for events that come as the source is read.
StyledScript TrackScript(const std::string& assHeader, const BaseStyle& base, int32_t width,
                         int32_t height);

// How a track's packets hold their text.
enum class TrackText { SubRip, WebVtt, AssEvent };

// What a script's or a track's events are made with, found once from its
// header: the resolution their values are held to (an ASS script's, else
// the picture's), whether their lines wrap (not when the script's
// WrapStyle is 2) and what its styles extend to.
struct EventLayout {
  STYLEDLIMITS::Resolution Resolution;
  bool Wraps = true;
  STYLEDLIMITS::StyleExtent Extent;
};
EventLayout EventLayoutOf(const std::string& assHeader, const BaseStyle& base, int32_t width,
                          int32_t height);

// One packet's text as an event (its fields, ink and cut; no times);
// `order` must differ from every other event's. Fields empty when the
// packet holds no event.
StyledEvent TrackEvent(TrackText form, const std::string& text, std::size_t order,
                       const EventLayout& layout);

// The font size a style needs so that its lines are as tall as plain
// drawing makes them.
int StyleFontSize(const SUBTITLEFONT::SubtitleFont& font);

}  // namespace STYLEDSCRIPT
