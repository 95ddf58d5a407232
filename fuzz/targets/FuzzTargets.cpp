#include "FuzzTargets.h"

namespace FUZZTARGETS {

std::span<const NamedTarget> AllTargets() {
  static const NamedTarget targets[] = {
      {"subtitle", FuzzSubtitleFile, true},
  };
  return targets;
}

}  // namespace FUZZTARGETS
