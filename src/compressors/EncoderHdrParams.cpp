#include "compressors/EncoderHdrParams.h"

#include <cstdio>

namespace ENCODERHDRPARAMS {

namespace {

// The SEI and both options list the primaries green, blue, red.
constexpr int kOrder[3] = {1, 2, 0};

void Add(std::string& text, const char* item) {
  text += (text.empty() ? "" : ":") + std::string(item);
}

}  // namespace

std::string X265(const PICTURECOLOUR::HdrMetadata& hdr) {
  const PICTURECOLOUR::MasteringDisplay& m = hdr.Mastering;
  std::string text;
  char buffer[320];
  if (m.Present) {
    std::snprintf(
        buffer, sizeof buffer, "master-display=G(%d,%d)B(%d,%d)R(%d,%d)WP(%d,%d)L(%lld,%lld)",
        m.PrimaryX[kOrder[0]], m.PrimaryY[kOrder[0]], m.PrimaryX[kOrder[1]], m.PrimaryY[kOrder[1]],
        m.PrimaryX[kOrder[2]], m.PrimaryY[kOrder[2]], m.WhiteX, m.WhiteY,
        static_cast<long long>(m.MaxLuminance), static_cast<long long>(m.MinLuminance));
    Add(text, buffer);
  }
  if (hdr.Light.Present) {
    std::snprintf(buffer, sizeof buffer, "max-cll=%u,%u", hdr.Light.MaxCll, hdr.Light.MaxFall);
    Add(text, buffer);
  }
  if (!text.empty()) Add(text, "hdr10=1");
  return text;
}

std::string SvtAv1(const PICTURECOLOUR::HdrMetadata& hdr) {
  const PICTURECOLOUR::MasteringDisplay& m = hdr.Mastering;
  std::string text;
  char buffer[320];
  if (m.Present) {
    const auto x = [&](int i) { return m.PrimaryX[kOrder[i]] / 50000.0; };
    const auto y = [&](int i) { return m.PrimaryY[kOrder[i]] / 50000.0; };
    std::snprintf(buffer, sizeof buffer,
                  "mastering-display=G(%.5f,%.5f)B(%.5f,%.5f)R(%.5f,%.5f)WP(%.5f,%.5f)"
                  "L(%.4f,%.4f)",
                  x(0), y(0), x(1), y(1), x(2), y(2), m.WhiteX / 50000.0, m.WhiteY / 50000.0,
                  double(m.MaxLuminance) / 10000.0, double(m.MinLuminance) / 10000.0);
    Add(text, buffer);
  }
  if (hdr.Light.Present) {
    std::snprintf(buffer, sizeof buffer, "content-light=%u,%u", hdr.Light.MaxCll,
                  hdr.Light.MaxFall);
    Add(text, buffer);
  }
  return text;
}

}  // namespace ENCODERHDRPARAMS
