// The time a still or a clip is given, on its own: the command-line checks
// that read it link nothing else of the job.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "job/StillPicture.h"

namespace STILLPICTURE {

std::optional<double> ParseStillTime(const std::string& text) {
  double total = 0.0;
  size_t start = 0;
  for (int part = 0; part < 3; ++part) {
    const size_t colon = text.find(':', start);
    const bool last = colon == std::string::npos;
    const char* begin = text.data() + start;
    const char* end = text.data() + (last ? text.size() : colon);
    double value = 0.0;
    const auto parsed = std::from_chars(begin, end, value);
    if (begin == end || parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value) ||
        value < 0.0 || *begin == '-' || *begin == '+')
      return std::nullopt;
    total = total * 60.0 + value;
    if (last) return std::isfinite(total) ? std::optional<double>(total) : std::nullopt;
    start = colon + 1;
  }
  return std::nullopt;
}

}  // namespace STILLPICTURE
