#pragma once

// The readers there are, and which of them reads a file.
#include "subtitles/SubtitleReader.h"

namespace SUBTITLEFILE {

// The reader of the format the lines are in, asked in a fixed order; null
// when none recognises them. The formats only styled drawing knows what to
// do with are found only when the lines are read with Styled.
const SubtitleReader* FindReader(const SubtitleLines& lines);
// The name of a format that only styled reading reads, when the lines are
// in it; null otherwise.
const char* StyledOnlyFormat(const SubtitleLines& lines);

}  // namespace SUBTITLEFILE
