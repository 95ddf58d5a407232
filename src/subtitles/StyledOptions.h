#pragma once

namespace STYLEDSCRIPT {

// Styled drawing: the styles a subtitle file carries, ASS, SSA and WebVTT
// files, every script laid out in its own direction. Off draws plain text.
struct StyledOptions {
  bool On = false;
  // Lines laid out left to right whatever their letters (old right-to-left
  // files typed for players that did so).
  bool LeftToRight = false;
  bool operator==(const StyledOptions&) const = default;
};

}  // namespace STYLEDSCRIPT
