#pragma once

// A subtitle file (MicroDVD or SubRip) held in memory and read entry by entry.
//
// PUBLIC CONTRACT (agreed between subsystems; the private part is the
// subtitles subsystem's own).
#include <cstdint>
#include <string>
#include <vector>

namespace SUBTITLEFILE {

enum { FormatNone = 0, FormatMicroDVD = 1, FormatSubRip = 2 };

using TextLines = std::vector<std::string>;  // 8-bit text, bytes as in the file

class SubtitleFile {
 public:
  SubtitleFile();
  ~SubtitleFile();

  bool Open(const std::string& fileName);
  void Clear();
  // The next entry at the cursor; start and end -1 when it yields none.
  const TextLines& NextEntry(int32_t& start, int32_t& end);
  void SetDelayFrames(int32_t frames);
  void SetDelayMilliseconds(int32_t milliseconds);
  static std::string StripMarkup(const std::string& text);

  std::string FileName;
  std::string Info;
  std::string ErrorText;
  int32_t Format = FormatNone;
  int32_t Cursor = 0;
  int32_t DelayFrames = 0;
  double FrameRate = 0.0;  // set by the job right after Open

 private:
  // The subtitles subsystem adds its private members here.
};

}  // namespace SUBTITLEFILE
