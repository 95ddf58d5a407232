#include "subtitles/SubtitleUnit.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "subtitles/SubtitleScan.h"

namespace SUBTITLEFILE {
namespace {

constexpr char kCantOpen[] = "[SubtitleFile::Open] Can't open input file...";
constexpr char kTooSmall[] = "[SubtitleFile::Open] File is too small...";
constexpr char kUnicode[] =
    "[SubtitleFile::Open] File is Unicode. Please convert file to ASCII format...";
constexpr char kUtf8[] =
    "[SubtitleFile::Open] File is UTF8. Please convert file to ASCII format...";
constexpr char kUnknownFormat[] = "[SubtitleFile::Open] Unknown file format...";

constexpr char kMicroDvdPattern[] = "{%d}{%d}";
constexpr char kCounterPattern[] = "%d";
constexpr char kTimesPattern[] = "%d:%d:%d,%d --> %d:%d:%d,%d";

// Cursor is 32-bit and may step up to three lines past the last one.
constexpr std::size_t kMaxLines = std::numeric_limits<int32_t>::max() - 4;

bool ReadWholeFile(const std::string& fileName, std::string& contents) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                       std::fclose);
  if (!file) return false;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) contents.append(buffer, n);
  return !std::ferror(file.get());
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

const char* CheckBytes(std::string_view bytes) {
  if (bytes.size() < 4) return kTooSmall;
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

// 64-bit, so that no hour count can overflow.
int64_t Milliseconds(const int32_t* hmsf) {
  return int64_t(hmsf[0]) * 3600000 + int64_t(hmsf[1]) * 60000 + int64_t(hmsf[2]) * 1000 + hmsf[3];
}

// The text after a MicroDVD line's second "}"; after the second number when
// the line has only one.
std::string_view MicroDvdText(std::string_view line, std::size_t afterSecondNumber) {
  const std::size_t first = line.find('}');
  const std::size_t second = line.find('}', first + 1);
  if (second == std::string_view::npos) return line.substr(afterSecondNumber);
  return line.substr(second + 1);
}

}  // namespace

SubtitleFile::SubtitleFile() = default;

SubtitleFile::~SubtitleFile() { Clear(); }

bool SubtitleFile::Open(const std::string& fileName) {
  std::string contents;
  try {
    if (!ReadWholeFile(fileName, contents)) return Fail(kCantOpen);
  } catch (const std::bad_alloc&) {
    return Fail(kCantOpen);
  }
  return OpenContents(fileName, std::move(contents));
}

bool SubtitleFile::OpenContents(const std::string& fileName, std::string contents) {
  if (const char* problem = CheckBytes(contents)) return Fail(problem);
  try {
    Text = std::move(contents);
    Lines = SplitTextLines(Text);
  } catch (const std::bad_alloc&) {
    return Fail(kCantOpen);
  }
  if (Lines.size() > kMaxLines) return Fail(kCantOpen);
  FileName = fileName;
  std::size_t blank = 0;
  while (blank < Lines.size() && TrimControls(Line(int32_t(blank))).empty()) ++blank;
  Lines.erase(Lines.begin(), Lines.begin() + std::ptrdiff_t(blank));
  if (Lines.size() < 2) return Fail(kTooSmall);
  Info = "[ BEGIN SUBTITLE INFO ]\r\n";
  Format = DetectFormat();
  if (Format == FormatNone) return Fail(kUnknownFormat);
  Info += Format == FormatMicroDVD ? "Subtitle format is MicroDVD\r\n"
                                   : "Subtitle format is SubRip\r\n";
  Info += "[ END SUBTITLE INFO ]";
  Cursor = 0;
  return true;
}

void SubtitleFile::Clear() {
  FileName.clear();
  Info.clear();
  Format = FormatNone;
  Cursor = 0;
  DelayFrames = 0;
  FrameRate = 0.0;
  Lines.clear();
  Lines.shrink_to_fit();
  Text.clear();
  Text.shrink_to_fit();
}

int32_t SubtitleFile::LineCount() const { return int32_t(Lines.size()); }

bool SubtitleFile::Fail(const char* message) {
  ErrorText = message;
  Clear();
  return false;
}

std::string_view SubtitleFile::Line(int32_t index) const {
  const LineSpan& span = Lines[std::size_t(index)];
  return std::string_view(Text).substr(span.begin, span.size);
}

int32_t SubtitleFile::DetectFormat() const {
  int32_t values[8];
  const std::string_view first = Line(0);
  if (StartsWith(first, "{") && ScanIntegers(first, kMicroDvdPattern, values).stored == 2)
    return FormatMicroDVD;
  if (ScanIntegers(first, kCounterPattern, values).stored == 1 &&
      ScanIntegers(Line(1), kTimesPattern, values).stored == 8)
    return FormatSubRip;
  return FormatNone;
}

const TextLines& SubtitleFile::NextEntry(int32_t& start, int32_t& end) {
  EntryLines.clear();
  start = end = -1;
  if (FrameRate == 0.0 || Format == FormatNone || Cursor >= LineCount()) return EntryLines;
  if (Format == FormatMicroDVD)
    NextMicroDvdEntry(start, end);
  else
    NextSubRipEntry(start, end);
  return EntryLines;
}

void SubtitleFile::NextMicroDvdEntry(int32_t& start, int32_t& end) {
  const std::string_view line = Line(Cursor++);
  int32_t frames[2];
  const ScanResult scan = ScanIntegers(line, kMicroDvdPattern, frames);
  if (scan.stored < 2) return;
  start = AddSaturated(frames[0], DelayFrames);
  end = AddSaturated(frames[1], DelayFrames);
  const std::string text = StripMarkup(std::string(TrimControls(MicroDvdText(line, scan.end))));
  EntryLines = BreakMicroDvdText(text);
}

void SubtitleFile::NextSubRipEntry(int32_t& start, int32_t& end) {
  int32_t values[8];
  if (ScanIntegers(Line(Cursor++), kCounterPattern, values).stored != 1) return;
  const bool timed =
      Cursor < LineCount() && ScanIntegers(Line(Cursor), kTimesPattern, values).stored == 8;
  ++Cursor;
  if (!timed) return;
  start = AddSaturated(TimeToFrame(Milliseconds(values)), DelayFrames);
  end = AddSaturated(TimeToFrame(Milliseconds(values + 4)), DelayFrames);
  for (; Cursor < LineCount(); ++Cursor) {
    const std::string_view text = TrimControls(Line(Cursor));
    if (text.empty()) break;
    EntryLines.push_back(StripMarkup(std::string(text)));
  }
  ++Cursor;
}

// Carried in x87 extended precision, in this order, like the frame numbers the
// delay is meant to shift.
int32_t SubtitleFile::TimeToFrame(int64_t milliseconds) const {
  return SaturateToInt32(static_cast<long double>(milliseconds) * 0.001 * FrameRate);
}

void SubtitleFile::SetDelayFrames(int32_t frames) { DelayFrames = frames; }

void SubtitleFile::SetDelayMilliseconds(int32_t milliseconds) {
  DelayFrames = TimeToFrame(milliseconds);
}

std::string SubtitleFile::StripMarkup(const std::string& text) { return RemoveMarkup(text); }

}  // namespace SUBTITLEFILE
