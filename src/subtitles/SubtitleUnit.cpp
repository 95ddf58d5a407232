#include "subtitles/SubtitleUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "subtitles/SubtitleEncoding.h"
#include "subtitles/SubtitleMarkup.h"
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

// Cursor is 32-bit and may step up to three lines past the last one.
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
  if (const char* problem = CheckBytes(contents, Reading.Unicode)) return Fail(problem);
  try {
    DecodedText decoded = DecodeFileText(std::move(contents), Reading);
    Text = std::move(decoded.Text);
    TextIsUtf8 = decoded.Utf8;
    Encoding = std::move(decoded.Encoding);
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
  if (Format == FormatMicroDVD && Reading.Tolerant) TakeFrameRateLine();
  Info += Format == FormatMicroDVD ? "Subtitle format is MicroDVD\r\n"
                                   : "Subtitle format is SubRip\r\n";
  if (Reading.DetectCodePage)
    Info +=
        "Subtitle encoding is " + (Encoding.empty() ? std::string("unknown") : Encoding) + "\r\n";
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
  FileFrameRate = 0.0;
  TextIsUtf8 = false;
  Encoding.clear();
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

bool SubtitleFile::IsBlankLine(int32_t index) const { return TrimControls(Line(index)).empty(); }

std::optional<TimeSpan> SubtitleFile::TimesAt(int32_t index) const {
  if (index >= LineCount()) return std::nullopt;
  return ScanTimeLine(Line(index), Reading.Tolerant);
}

int32_t SubtitleFile::DetectFormat() const {
  int32_t values[8];
  const std::string_view first = Line(0);
  if (StartsWith(first, "{") && ScanIntegers(first, kMicroDvdPattern, values).stored == 2)
    return FormatMicroDVD;
  if (ScanIntegers(first, kCounterPattern, values).stored == 1 && TimesAt(1)) return FormatSubRip;
  // Without a counter, or with one that is not a number.
  if (Reading.Tolerant && (TimesAt(0) || TimesAt(1))) return FormatSubRip;
  return FormatNone;
}

// The rate line is the file's, not an entry.
void SubtitleFile::TakeFrameRateLine() {
  const std::optional<double> rate = FrameRateOfLine(Line(0));
  if (!rate) return;
  FileFrameRate = *rate;
  Lines.erase(Lines.begin());
}

const TextLines& SubtitleFile::NextEntry(int32_t& start, int32_t& end) {
  EntryLines.clear();
  start = end = -1;
  if (FrameRate == 0.0 || Format == FormatNone || Cursor >= LineCount()) return EntryLines;
  // Read tolerantly, lines that give no entry are passed over in the same
  // call, so that they cost the frame loop no picture.
  bool found;
  do found = Format == FormatMicroDVD ? NextMicroDvdEntry(start, end) : NextSubRipEntry(start, end);
  while (!found && Reading.Tolerant && Cursor < LineCount());
  return EntryLines;
}

std::string SubtitleFile::CleanText(std::string_view text) const {
  if (!Reading.CleanMarkup) return RemoveMarkup(text, TextIsUtf8);
  return CleanMarkup(text, TextIsUtf8 || IsNonAsciiUtf8(text));
}

int32_t SubtitleFile::MicroDvdFrame(int32_t frame) const {
  if (FileFrameRate <= 0.0) return frame;
  return SaturateToInt32(
      TruncateFrame(static_cast<long double>(frame) * FrameRate / FileFrameRate));
}

bool SubtitleFile::NextMicroDvdEntry(int32_t& start, int32_t& end) {
  const std::string_view line = Line(Cursor++);
  int32_t frames[2];
  const ScanResult scan = ScanIntegers(line, kMicroDvdPattern, frames);
  if (scan.stored < 2) return false;
  start = AddSaturated(MicroDvdFrame(frames[0]), DelayFrames);
  end = AddSaturated(MicroDvdFrame(frames[1]), DelayFrames);
  const std::string text = CleanText(TrimControls(MicroDvdText(line, scan.end)));
  EntryLines = BreakMicroDvdText(text, TextIsUtf8);
  // Blanks around a "|" are what cleaned markup leaves there.
  if (Reading.CleanMarkup)
    for (std::string& entryLine : EntryLines) entryLine = std::string(TrimControls(entryLine));
  return true;
}

bool SubtitleFile::NextSubRipEntry(int32_t& start, int32_t& end) {
  std::optional<TimeSpan> times;
  if (Reading.Tolerant) {
    TimeSpan found;
    if (!FindTolerantSubRipTimes(found)) return false;
    times = found;
  } else {
    int32_t values[8];
    if (ScanIntegers(Line(Cursor++), kCounterPattern, values).stored != 1) return false;
    times = TimesAt(Cursor);
    ++Cursor;
    if (!times) return false;
  }
  start = AddSaturated(TimeToFrame(times->startMs), DelayFrames);
  end = AddSaturated(TimeToFrame(times->endMs), DelayFrames);
  if (!Reading.Tolerant || SkipBlankLinesBeforeText()) GatherSubRipText();
  // Past the blank line that ended the entry; read tolerantly, a new entry
  // that ended it is left for the next call.
  if (!Reading.Tolerant || (Cursor < LineCount() && IsBlankLine(Cursor))) ++Cursor;
  return true;
}

// An entry starts at a time line, or at the line before one whatever that
// line holds (its counter). Other lines are passed over.
bool SubtitleFile::FindTolerantSubRipTimes(TimeSpan& times) {
  for (; Cursor < LineCount(); ++Cursor) {
    if (IsBlankLine(Cursor)) continue;
    if (std::optional<TimeSpan> here = TimesAt(Cursor)) {
      times = *here;
      ++Cursor;
      return true;
    }
    if (std::optional<TimeSpan> next = TimesAt(Cursor + 1)) {
      times = *next;
      Cursor += 2;
      return true;
    }
  }
  return false;
}

// Blank lines between the time line and the text are passed over; false
// when what follows them is no text but the next entry (or the end).
bool SubtitleFile::SkipBlankLinesBeforeText() {
  int32_t text = Cursor;
  while (text < LineCount() && IsBlankLine(text)) ++text;
  if (text == Cursor) return true;
  const bool nextEntry = text >= LineCount() || TimesAt(text) || TimesAt(text + 1);
  Cursor = nextEntry ? text - 1 : text;  // the last blank line ends an empty entry
  return !nextEntry;
}

// A time line, or a counter right before one, ends the text of the entry
// before it even without a blank line.
bool SubtitleFile::StartsEntryInText(int32_t index) const {
  return TimesAt(index) || (IsWholeNumber(Line(index)) && TimesAt(index + 1));
}

void SubtitleFile::GatherSubRipText() {
  for (; Cursor < LineCount(); ++Cursor) {
    const std::string_view text = TrimControls(Line(Cursor));
    if (text.empty()) break;
    if (Reading.Tolerant && StartsEntryInText(Cursor)) break;
    std::string cleaned = CleanText(text);
    // A line that held only markup is no line.
    if (Reading.CleanMarkup && cleaned.empty()) continue;
    EntryLines.push_back(std::move(cleaned));
  }
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
