#include "FuzzTargets.h"

namespace FUZZTARGETS {

std::span<const NamedTarget> AllTargets() {
  static const NamedTarget targets[] = {
      {"subtitle", FuzzSubtitleFile, true}, {"subrip", FuzzSubRip, true},
      {"microdvd", FuzzMicroDvd, true},     {"ass", FuzzAss, true},
      {"webvtt", FuzzWebVtt, true},
  };
  return targets;
}

}  // namespace FUZZTARGETS
