#pragma once

// A subtitle file (MicroDVD or SubRip) held in memory and read entry by entry.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/ReadingOptions.h"
#include "subtitles/SubtitleStructure.h"
#include "subtitles/SubtitleText.h"

namespace SUBTITLEFILE {

enum { FormatNone = 0, FormatMicroDVD = 1, FormatSubRip = 2 };

// 8-bit text, bytes as in the file; UTF-8 when the reading options turned the
// file into Unicode.
using TextLines = std::vector<std::string>;

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

  // Open on bytes already read (the file's whole contents).
  bool OpenContents(const std::string& fileName, std::string contents);
  // Number of lines held, leading blank lines removed.
  int32_t LineCount() const;

  std::string FileName;
  std::string Info;
  std::string ErrorText;
  int32_t Format = FormatNone;
  int32_t Cursor = 0;
  int32_t DelayFrames = 0;
  double FrameRate = 0.0;  // set by the job right after Open
  // Set before Open; Clear keeps them.
  ReadingOptions Reading;
  // Frames per second a MicroDVD file states in its first line (read with
  // Reading.Tolerant); 0 when it states none.
  double FileFrameRate = 0.0;

 private:
  bool Fail(const char* message);
  std::string_view Line(int32_t index) const;
  bool IsBlankLine(int32_t index) const;
  int32_t DetectFormat() const;
  void TakeFrameRateLine();
  bool NextMicroDvdEntry(int32_t& start, int32_t& end);
  bool NextSubRipEntry(int32_t& start, int32_t& end);
  bool FindTolerantSubRipTimes(TimeSpan& times);
  bool SkipBlankLinesBeforeText();
  bool StartsEntryInText(int32_t index) const;
  void GatherSubRipText();
  std::optional<TimeSpan> TimesAt(int32_t index) const;
  std::string CleanText(std::string_view text) const;
  int32_t MicroDvdFrame(int32_t frame) const;
  int32_t TimeToFrame(int64_t milliseconds) const;

  std::string Text;             // the file's text; Lines point into it
  std::vector<LineSpan> Lines;  // leading blank lines removed
  TextLines EntryLines;
  bool TextIsUtf8 = false;  // the reading options made the text UTF-8
  std::string Encoding;     // what the text was read as, for the report
};

}  // namespace SUBTITLEFILE
