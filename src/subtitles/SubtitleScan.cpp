#include "subtitles/SubtitleScan.h"

#include <limits>

namespace SUBTITLEFILE {
namespace {

class Input {
 public:
  explicit Input(std::string_view text) : text_(text) {}
  // The text ends at its first NUL; found as the scan reaches it, so that a
  // scan costs what it reads, not the whole line.
  bool AtEnd() const { return pos_ >= text_.size() || text_[pos_] == '\0'; }
  char Peek() const { return text_[pos_]; }
  void Advance() { ++pos_; }
  std::size_t Position() const { return pos_; }
  void SkipSpace() {
    while (!AtEnd() && IsScanSpace(Peek())) Advance();
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value strtol would give (saturated to 64 bits), reduced to 32 bits the
// way a conversion to int wraps.
int32_t NarrowLikeStrtol(uint64_t magnitude, bool overflow, bool negative) {
  constexpr uint64_t kLongMax = uint64_t(std::numeric_limits<int64_t>::max());
  uint64_t bits;
  if (negative)
    bits = (overflow || magnitude > kLongMax + 1) ? kLongMax + 1 : 0 - magnitude;
  else
    bits = (overflow || magnitude > kLongMax) ? kLongMax : magnitude;
  return int32_t(uint32_t(bits));
}

// One "%d": optional white space, optional sign, at least one digit.
bool ScanInteger(Input& in, int32_t& value) {
  in.SkipSpace();
  if (in.AtEnd()) return false;
  bool negative = false;
  if (in.Peek() == '+' || in.Peek() == '-') {
    negative = in.Peek() == '-';
    in.Advance();
  }
  if (in.AtEnd() || !IsDigit(in.Peek())) return false;
  uint64_t magnitude = 0;
  bool overflow = false;
  for (; !in.AtEnd() && IsDigit(in.Peek()); in.Advance()) {
    const uint64_t digit = uint64_t(in.Peek() - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10)
      overflow = true;
    else
      magnitude = magnitude * 10 + digit;
  }
  value = NarrowLikeStrtol(magnitude, overflow, negative);
  return true;
}

}  // namespace

ScanResult ScanIntegers(std::string_view text, std::string_view pattern, int32_t* values) {
  Input in(text);
  ScanResult result;
  for (std::size_t p = 0; p < pattern.size(); ++p) {
    const char c = pattern[p];
    if (c == '%' && p + 1 < pattern.size() && pattern[p + 1] == 'd') {
      ++p;
      if (!ScanInteger(in, values[result.stored])) break;
      ++result.stored;
      result.end = in.Position();
    } else if (IsScanSpace(c)) {
      in.SkipSpace();
    } else {
      if (in.AtEnd() || in.Peek() != c) break;
      in.Advance();
    }
  }
  return result;
}

}  // namespace SUBTITLEFILE
