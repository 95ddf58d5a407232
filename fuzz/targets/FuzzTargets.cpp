#include "FuzzTargets.h"

namespace FUZZTARGETS {

std::span<const NamedTarget> AllTargets() {
  static const NamedTarget targets[] = {
      {"subtitle", FuzzSubtitleFile, true}, {"subrip", FuzzSubRip, true},
      {"microdvd", FuzzMicroDvd, true},     {"ass", FuzzAss, true},
      {"webvtt", FuzzWebVtt, true},         {"markup", FuzzMarkup, true},
      {"limits", FuzzLimits, true},
  };
  return targets;
}

}  // namespace FUZZTARGETS
