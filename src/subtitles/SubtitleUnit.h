#pragma once

// A subtitle file (MicroDVD or SubRip), read once into the model, and the
// lookup of its entries as the frame loop counts them: each cue's times in
// frames at the video's rate with the delay correction added, its text with
// the markup removed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/ReadingOptions.h"
#include "subtitles/SubtitleModel.h"

namespace SUBTITLEFILE {

class SubtitleLines;

// 8-bit text, bytes as in the file; UTF-8 when the reading options turned the
// file into Unicode.
using TextLines = std::vector<std::string>;

// A cue as the frame loop sees it; -1, -1 for a step that gives no entry.
struct SubtitleEntry {
  int32_t Start = -1;
  int32_t End = -1;
  TextLines Lines;
};

// A time in whole frames at a rate, as a delay or a millisecond cue is
// counted: the fraction of a frame is dropped (toward zero).
int32_t MillisecondsToFrames(int64_t milliseconds, double framesPerSecond);

class SubtitleFile {
 public:
  bool Open(const std::string& fileName);
  // Open on bytes already read (the file's whole contents).
  bool OpenContents(const std::string& fileName, std::string contents);
  void Clear();

  // The video's rate; without one the file gives no entries.
  void SetFrameRate(double framesPerSecond) { frameRate_ = framesPerSecond; }
  double FrameRate() const { return frameRate_; }
  void SetDelayFrames(int32_t frames) { delayFrames_ = frames; }
  // Turned into whole frames at the rate set before.
  void SetDelayMilliseconds(int32_t milliseconds);
  int32_t DelayFrames() const { return delayFrames_; }
  // A re-timing found from the film's speech: seconds on the file's clock (a
  // MicroDVD file's frames at the rate it states, else at the video's) to
  // seconds of the video, applied before the delay; a cue's end goes with
  // its start, so the map is also given the start of the cue a time is of.
  // Empty for none; Clear drops it.
  using TimeMap = std::function<double(double seconds, double cueStartSeconds)>;
  void SetTimeMap(TimeMap map) { timeMap_ = std::move(map); }
  // A time of a file counted in milliseconds, re-timed by the map if one is
  // set (the styled drawing's times, which are not frames).
  int64_t MappedMilliseconds(int64_t milliseconds, int64_t cueStartMilliseconds) const;

  // The reading steps of the file, in order; none without a frame rate.
  std::size_t EntryCount() const;
  // Step `index` (below EntryCount) as the frame loop gets it; the entry's
  // lines are reused, so a walk allocates only what its texts need.
  void ReadEntry(std::size_t index, SubtitleEntry& entry) const;
  template <typename Visit>
  void ForEachEntry(Visit&& visit) const {
    SubtitleEntry entry;
    for (std::size_t index = 0; index < EntryCount(); ++index) {
      ReadEntry(index, entry);
      visit(static_cast<const SubtitleEntry&>(entry));
    }
  }

  const SubtitleDocument& Document() const { return document_; }
  SubtitleFormat Format() const { return document_.Format; }
  // Frames per second a MicroDVD file states in its first line (read with
  // Reading.Tolerant); 0 when it states none.
  double FileFrameRate() const { return document_.FileFrameRate; }

  std::string FileName;
  std::string Info;
  std::string ErrorText;
  // What made the file unreadable, where that can be told (the line where
  // reading stopped, a format that --styled reads); empty otherwise.
  std::string ErrorCause;
  // The system's error when the file could not be opened or read at all;
  // 0 otherwise.
  int OpenErrno = 0;
  // Set before Open; Clear keeps them.
  ReadingOptions Reading;

 private:
  bool Fail(const char* message, std::string cause = {});
  std::string CleanText(std::string_view text) const;
  std::string UnknownFormatCause(const SubtitleLines& lines, std::size_t firstLine) const;
  void CueLines(const SubtitleCue& cue, TextLines& lines) const;
  int32_t CueFrame(int64_t time, int64_t cueStart) const;
  int32_t TimeToFrame(int64_t milliseconds) const;
  int32_t MappedFrame(int64_t time, int64_t cueStart) const;

  SubtitleDocument document_;
  double frameRate_ = 0.0;
  int32_t delayFrames_ = 0;
  TimeMap timeMap_;
};

}  // namespace SUBTITLEFILE
