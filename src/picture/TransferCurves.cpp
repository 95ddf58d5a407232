#include "picture/TransferCurves.h"

#include <algorithm>
#include <cmath>

namespace TRANSFERCURVES {
namespace {

constexpr double kM1 = 2610.0 / 16384, kM2 = 2523.0 / 4096 * 128;
constexpr double kC1 = 3424.0 / 4096, kC2 = 2413.0 / 4096 * 32, kC3 = 2392.0 / 4096 * 32;
constexpr double kHlgA = 0.17883277, kHlgB = 1 - 4 * kHlgA, kHlgC = 0.55991073;

}  // namespace

double PqSignalOf(double nits) {
  const double y = std::pow(std::clamp(nits / 10000.0, 0.0, 1.0), kM1);
  return std::pow((kC1 + kC2 * y) / (1 + kC3 * y), kM2);
}

double NitsOfPq(double signal) {
  const double e = std::pow(std::clamp(signal, 0.0, 1.0), 1 / kM2);
  return 10000.0 * std::pow(std::max(e - kC1, 0.0) / (kC2 - kC3 * e), 1 / kM1);
}

double HlgSignalOf(double sceneLight) {
  const double e = std::clamp(sceneLight, 0.0, 1.0);
  return e <= 1.0 / 12 ? std::sqrt(3 * e) : kHlgA * std::log(12 * e - kHlgB) + kHlgC;
}

double SceneOfHlg(double signal) {
  const double e = std::clamp(signal, 0.0, 1.0);
  return e <= 0.5 ? e * e / 3 : (std::exp((e - kHlgC) / kHlgA) + kHlgB) / 12;
}

}  // namespace TRANSFERCURVES
