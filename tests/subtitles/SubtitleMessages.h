#pragma once

// The refusal messages of SubtitleFile::Open, as the user sees them.
#include <string>

namespace subtitlemessages {

inline const std::string kCantOpen = "[SubtitleFile::Open] Can't open input file...";
inline const std::string kTooSmall = "[SubtitleFile::Open] File is too small...";
inline const std::string kUnicode =
    "[SubtitleFile::Open] File is Unicode. Please convert file to ASCII format...";
inline const std::string kUtf8 =
    "[SubtitleFile::Open] File is UTF8. Please convert file to ASCII format...";
inline const std::string kUnknown = "[SubtitleFile::Open] Unknown file format...";

}  // namespace subtitlemessages
