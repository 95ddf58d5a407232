#include "subtitles/SubtitleUnit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleMarkup.h"
#include "subtitles/SubtitleReaders.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kCantOpen[] = "[SubtitleFile::Open] Can't open input file...";
constexpr char kTooSmall[] = "[SubtitleFile::Open] File is too small...";
constexpr char kUnicode[] =
    "[SubtitleFile::Open] File is Unicode. Please convert file to ASCII format...";
constexpr char kUtf8[] =
    "[SubtitleFile::Open] File is UTF8. Please convert file to ASCII format...";
constexpr char kUnknownFormat[] = "[SubtitleFile::Open] Unknown file format...";

// Steps are counted in 32 bits and may look up to three lines past the last
// one.
constexpr std::size_t kMaxLines = std::numeric_limits<int32_t>::max() - 4;

bool ReadWholeFile(const std::string& fileName, std::string& contents) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                       std::fclose);
  if (!file) return false;
  // Room for the whole file at once, so that growing it does not hold two
  // copies; a size that cannot be told just means growing.
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(file.get());
    if (size > 0) contents.reserve(std::size_t(size));
    std::rewind(file.get());
  }
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) contents.append(buffer, n);
  return !std::ferror(file.get());
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Unicode forms are refused unless they are to be read.
const char* CheckBytes(std::string_view bytes, bool unicode) {
  if (bytes.size() < 4) return kTooSmall;
  if (unicode) return nullptr;
  if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, "\xFF\xFE")) return kUnicode;
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return kUtf8;
  return nullptr;
}

// Frame numbers that leave the 32-bit range are pinned to its ends.
int32_t SaturateToInt32(long double value) {
  if (std::isnan(value)) return 0;
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return int32_t(value);
}

int32_t AddSaturated(int32_t a, int32_t b) {
  const int64_t sum = int64_t(a) + b;
  if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return int32_t(sum);
}

// A re-timed frame that lands a rounding error below a whole number is that
// number: 3 x 23.976 / 23.976 is frame 3, not 2.
long double TruncateFrame(long double value) {
  const long double nearest = std::nearbyint(value);
  if (std::fabs(value - nearest) <= 1e-9L * std::max(1.0L, std::fabs(value))) return nearest;
  return std::trunc(value);
}

}  // namespace

// Where an unknown format shows: a format that styled reading reads, or the
// first line, which starts no file this program reads.
std::string SubtitleFile::UnknownFormatCause(const SubtitleLines& lines,
                                             std::size_t firstLine) const {
  if (!Reading.Styled) {
    if (const char* styled = StyledOnlyFormat(lines))
      return std::string("the file is ") + styled + ", which --styled reads";
  }
  std::string text(TrimControls(lines.Line(0)).substr(0, 60));
  for (char& c : text)
    if (uint8_t(c) < ' ') c = ' ';
  return "reading stopped at line " + std::to_string(firstLine) + ", which starts no subtitle " +
         "file this program reads: \"" + text + "\"";
}

bool SubtitleFile::Open(const std::string& fileName) {
  std::string contents;
  OpenErrno = 0;
  try {
    errno = 0;
    if (!ReadWholeFile(fileName, contents)) {
      const int error = errno;
      Fail(kCantOpen);
      OpenErrno = error;
      return false;
    }
  } catch (const std::bad_alloc&) {
    return Fail(kCantOpen);
  }
  return OpenContents(fileName, std::move(contents));
}

// The new file replaces the old one only once it has been read; the timing
// set before stays.
bool SubtitleFile::OpenContents(const std::string& fileName, std::string contents) {
  ErrorCause.clear();
  OpenErrno = 0;
  if (const char* problem = CheckBytes(contents, Reading.Unicode)) return Fail(problem);
  SubtitleDocument document;
  std::vector<LineSpan> lines;
  try {
    DecodedText decoded = DecodeFileText(std::move(contents), Reading);
    document.Text = std::move(decoded.Text);
    document.Utf8 = decoded.Utf8;
    document.Encoding = std::move(decoded.Encoding);
    lines = SplitTextLines(document.Text);
  } catch (const std::bad_alloc&) {
    return Fail(kCantOpen);
  }
  if (lines.size() > kMaxLines) return Fail(kCantOpen);
  std::size_t blank = 0;
  while (blank < lines.size() && TrimControls(document.TextOf(lines[blank])).empty()) ++blank;
  lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(blank));
  if (lines.size() < 2) return Fail(kTooSmall);
  const SubtitleLines source(document, std::move(lines), Reading);
  const SubtitleReader* reader = FindReader(source);
  if (reader == nullptr) return Fail(kUnknownFormat, UnknownFormatCause(source, blank + 1));
  try {
    reader->Read(source, document);
  } catch (const std::bad_alloc&) {
    return Fail(kCantOpen);
  }
  document_ = std::move(document);
  FileName = fileName;
  Info = "[ BEGIN SUBTITLE INFO ]\r\n";
  Info += std::string("Subtitle format is ") + reader->Name() + "\r\n";
  if (Reading.DetectCodePage)
    Info += "Subtitle encoding is " +
            (document_.Encoding.empty() ? std::string("unknown") : document_.Encoding) + "\r\n";
  Info += "[ END SUBTITLE INFO ]";
  return true;
}

void SubtitleFile::Clear() {
  FileName.clear();
  Info.clear();
  document_ = SubtitleDocument();
  frameRate_ = 0.0;
  delayFrames_ = 0;
  timeMap_ = nullptr;
}

bool SubtitleFile::Fail(const char* message, std::string cause) {
  ErrorText = message;
  ErrorCause = std::move(cause);
  Clear();
  return false;
}

std::size_t SubtitleFile::EntryCount() const {
  return frameRate_ == 0.0 ? 0 : document_.Cues.size();
}

void SubtitleFile::ReadEntry(std::size_t index, SubtitleEntry& entry) const {
  entry.Lines.clear();
  entry.Start = entry.End = -1;
  const SubtitleCue& cue = document_.Cues[index];
  if (!cue.Usable) return;
  entry.Start = AddSaturated(CueFrame(cue.Start, cue.Start), delayFrames_);
  entry.End = AddSaturated(CueFrame(cue.End, cue.Start), delayFrames_);
  CueLines(cue, entry.Lines);
}

std::string SubtitleFile::CleanText(std::string_view text) const {
  if (!Reading.CleanMarkup) return RemoveMarkup(text, document_.Utf8);
  return CleanMarkup(text, document_.Utf8 || IsNonAsciiUtf8(text));
}

// A text of lines parted by "|" is broken into lines once its markup is
// gone; a line of its own that held only markup is no line.
void SubtitleFile::CueLines(const SubtitleCue& cue, TextLines& lines) const {
  if (document_.Traits.BarBreaksLines) {
    if (cue.TextCount == 0) return;
    lines = BreakMicroDvdText(CleanText(document_.CueLine(cue, 0)), document_.Utf8);
    // Blanks around a "|" are what cleaned markup leaves there.
    if (Reading.CleanMarkup)
      for (std::string& line : lines) line = std::string(TrimControls(line));
    return;
  }
  for (std::size_t i = 0; i < cue.TextCount; ++i) {
    std::string cleaned = CleanText(document_.CueLine(cue, i));
    if (Reading.CleanMarkup && cleaned.empty()) continue;
    lines.push_back(std::move(cleaned));
  }
}

int32_t SubtitleFile::CueFrame(int64_t time, int64_t cueStart) const {
  if (timeMap_) return MappedFrame(time, cueStart);
  if (document_.Traits.Unit == TimeUnit::Milliseconds) return TimeToFrame(time);
  // Frames counted at the rate the file states are moved to the video's.
  const int32_t frame = int32_t(time);
  if (document_.FileFrameRate <= 0.0) return frame;
  return SaturateToInt32(
      TruncateFrame(static_cast<long double>(frame) * frameRate_ / document_.FileFrameRate));
}

int64_t SubtitleFile::MappedMilliseconds(int64_t milliseconds, int64_t cueStartMilliseconds) const {
  if (!timeMap_) return milliseconds;
  const double mapped =
      timeMap_(double(milliseconds) * 0.001, double(cueStartMilliseconds) * 0.001) * 1000.0;
  if (!std::isfinite(mapped)) return milliseconds;
  return std::llround(std::clamp(mapped, -9.0e15, 9.0e15));
}

// Divided in x87 extended precision, as the frame numbers have always been
// worked out, whatever the rate; the map takes the seconds as a double.
int32_t SubtitleFile::MappedFrame(int64_t time, int64_t cueStart) const {
  const long double perSecond = document_.UnitsPerSecond(frameRate_);
  const long double seconds = static_cast<long double>(time) / perSecond;
  const long double startSeconds = static_cast<long double>(cueStart) / perSecond;
  return SaturateToInt32(static_cast<long double>(timeMap_(double(seconds), double(startSeconds))) *
                         frameRate_);
}

// Carried in x87 extended precision, in this order, like the frame numbers the
// delay is meant to shift.
int32_t SubtitleFile::TimeToFrame(int64_t milliseconds) const {
  return MillisecondsToFrames(milliseconds, frameRate_);
}

int32_t MillisecondsToFrames(int64_t milliseconds, double framesPerSecond) {
  return SaturateToInt32(static_cast<long double>(milliseconds) * 0.001 * framesPerSecond);
}

void SubtitleFile::SetDelayMilliseconds(int32_t milliseconds) {
  delayFrames_ = TimeToFrame(milliseconds);
}

}  // namespace SUBTITLEFILE
