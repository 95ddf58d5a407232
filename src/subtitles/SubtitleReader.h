#pragma once

// Reading a subtitle file's lines into the model: one reader per format, each
// recognising its format by the first lines and turning the lines into cues.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "subtitles/ReadingOptions.h"
#include "subtitles/SubtitleModel.h"
#include "subtitles/SubtitleStructure.h"

namespace SUBTITLEFILE {

// The lines of a loaded file, leading blank lines removed, with the reading
// options they are read with. Lines point into the document's text.
class SubtitleLines {
 public:
  SubtitleLines(const SubtitleDocument& document, std::vector<LineSpan> lines,
                const ReadingOptions& options)
      : document_(document), lines_(std::move(lines)), options_(options) {}

  int32_t Count() const { return int32_t(lines_.size()); }
  std::string_view Line(int32_t index) const { return document_.TextOf(Span(index)); }
  const LineSpan& Span(int32_t index) const { return lines_[std::size_t(index)]; }
  bool IsBlank(int32_t index) const { return TrimControls(Line(index)).empty(); }
  // The SubRip times on that line; none past the last line.
  std::optional<TimeSpan> TimesAt(int32_t index) const {
    if (index >= Count()) return std::nullopt;
    return ScanTimeLine(Line(index), options_.Tolerant);
  }
  const ReadingOptions& Options() const { return options_; }
  // The document being read, with what its header said.
  const SubtitleDocument& Document() const { return document_; }

 private:
  const SubtitleDocument& document_;
  std::vector<LineSpan> lines_;
  ReadingOptions options_;
};

class SubtitleReader {
 public:
  virtual ~SubtitleReader() = default;

  virtual SubtitleFormat Format() const = 0;
  // The format's name in the file report.
  virtual const char* Name() const = 0;
  // What the format says of every file in it.
  virtual FormatTraits Traits() const = 0;
  // Whether the first lines are in this format.
  virtual bool Recognises(const SubtitleLines& lines) const = 0;
  // Every reading step from the first line to the last, in order, into the
  // document's cues and text spans; and what the file says of itself.
  void Read(const SubtitleLines& lines, SubtitleDocument& document) const;

 protected:
  // The line the cues begin at, after anything the file says of itself.
  virtual int32_t ReadHeader(const SubtitleLines&, SubtitleDocument&) const { return 0; }
  // One cue from the line at `cursor`, moving it past what was read; false
  // when those lines give no entry.
  virtual bool ReadCue(const SubtitleLines& lines, int32_t& cursor, SubtitleCue& cue,
                       std::vector<LineSpan>& text) const = 0;
};

}  // namespace SUBTITLEFILE
