#include "job/JobStatistics.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace JOBSTATISTICS {
namespace {

constexpr int64_t kMsPerHour = 3600000;
constexpr int64_t kMsPerDay = 24 * kMsPerHour;
constexpr double kBytesPerMegabyte = 1048576.0;

// The fifteen significant digits of value (trailing zeros dropped) and the
// decimal exponent of the first one.
void SignificantDigits(double value, std::string& digits, int& exponent) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  const char* e = buffer;
  while (*e != 'e') ++e;
  exponent = std::atoi(e + 1);
  digits.clear();
  for (const char* c = buffer; c != e; ++c)
    if (*c >= '0' && *c <= '9') digits += *c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

std::string FixedText(const std::string& digits, int exponent) {
  if (exponent < 0) return "0." + std::string(size_t(-exponent - 1), '0') + digits;
  const size_t whole = size_t(exponent) + 1;
  if (digits.size() <= whole) return digits + std::string(whole - digits.size(), '0');
  return digits.substr(0, whole) + "." + digits.substr(whole);
}

std::string ExponentText(const std::string& digits, int exponent) {
  std::string text = digits.substr(0, 1);
  if (digits.size() > 1) text += "." + digits.substr(1);
  return text + "E" + std::to_string(exponent);
}

std::string GeneralText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  std::string digits;
  int exponent = 0;
  SignificantDigits(std::fabs(value), digits, exponent);
  const std::string sign = value < 0 ? "-" : "";
  if (exponent >= -5 && exponent < 15) return sign + FixedText(digits, exponent);
  return sign + ExponentText(digits, exponent);
}

// Keeps three digits after the point; an exponent stays, so a tiny value is
// not shown as a large one.
std::string CutToThreeDecimals(const std::string& text) {
  const size_t point = text.find('.');
  if (point == std::string::npos) return text;
  const size_t exponent = text.find('E');
  std::string mantissa = text.substr(0, std::min(exponent, text.size()));
  mantissa = mantissa.substr(0, std::min(mantissa.size(), point + 4));
  return exponent == std::string::npos ? mantissa : mantissa + text.substr(exponent);
}

double Megabytes(uint64_t bytes) { return double(bytes) / kBytesPerMegabyte; }

// The estimate of the whole job's time; zero from 24 hours on.
int64_t EstimatedTotalMs(const Progress& p) {
  const double msPerFrame = double(p.MsSinceStart) / p.FrameIndex;
  const int64_t totalMs = int64_t(p.TotalFrames * msPerFrame);
  return totalMs / kMsPerHour < 24 ? totalMs : 0;
}

// Copied pictures are written as well as encoded ones, so a copying job's
// size goes by both.
uint64_t EstimatedTotalBytes(const Progress& p) {
  const uint64_t written = p.AudioBytes + p.VideoBytes;
  double done = p.FrameIndex, total = p.TotalFrames;
  if (p.CopiedFrames >= 0) {
    done += double(p.CopiedFrames);
    total += double(std::max<int64_t>(p.TotalCopiedFrames, p.CopiedFrames));
  }
  return uint64_t(double(written) / done * total);
}

}  // namespace

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string TimeText(int64_t ms) { return "    " + ClockText(ms); }

std::string ClockText(int64_t ms) {
  if (ms < 0) ms = 0;
  ms %= kMsPerDay;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", int(ms / kMsPerHour), int(ms / 60000 % 60),
                int(ms / 1000 % 60));
  return buffer;
}

std::string NumberText(double value) {
  std::string text = GeneralText(value);
  for (char& c : text)
    if (c == ',') c = '.';
  return CutToThreeDecimals(text);
}

StatisticsTexts ResetTexts() {
  const std::string zeroTime = TimeText(0);
  return {zeroTime, zeroTime, zeroTime, "0", "0", "0", "0", "0", "0", {}, {}};
}

StatisticsTexts ComputeStatistics(const Progress& p) {
  StatisticsTexts texts = ResetTexts();
  if (p.CopiedFrames >= 0) {
    texts.CopiedFrames = std::to_string(p.CopiedFrames);
    texts.EncodedFrames = std::to_string(std::max(p.FrameIndex, 0));
  }
  texts.ElapsedTime = TimeText(int64_t(p.MsSinceStart));
  texts.AudioSize = NumberText(Megabytes(p.AudioBytes));
  texts.VideoSize = NumberText(Megabytes(p.VideoBytes));
  texts.WrittenSize = NumberText(Megabytes(p.AudioBytes + p.VideoBytes));
  if (p.MsSinceLastRefresh > 0)
    texts.CurrentFramerate =
        NumberText(double(p.FrameIndex - p.LastRefreshFrame) / p.MsSinceLastRefresh * 1000);
  // Without a handled picture there is nothing to extrapolate from.
  if (p.FrameIndex <= 0) return texts;
  texts.TotalTime = TimeText(EstimatedTotalMs(p));
  texts.EstimatedTime = TimeText(RemainingMs(p));
  if (p.MsSinceStart > 0)
    texts.AvgFramerate = NumberText(double(p.FrameIndex) / p.MsSinceStart * 1000);
  texts.TotalSize = NumberText(Megabytes(EstimatedTotalBytes(p)));
  return texts;
}

int64_t RemainingMs(const Progress& p) {
  if (p.FrameIndex <= 0) return 0;
  return EstimatedTotalMs(p) - int64_t(p.MsSinceStart);
}

}  // namespace JOBSTATISTICS
