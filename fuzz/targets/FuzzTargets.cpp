#include "FuzzTargets.h"

namespace FUZZTARGETS {

std::span<const NamedTarget> AllTargets() {
  static const NamedTarget targets[] = {
      {"subtitle", FuzzSubtitleFile, true},   {"subrip", FuzzSubRip, true},
      {"microdvd", FuzzMicroDvd, true},       {"ass", FuzzAss, true},
      {"webvtt", FuzzWebVtt, true},           {"markup", FuzzMarkup, true},
      {"limits", FuzzLimits, true},           {"queue", FuzzQueue, false},
      {"settings", FuzzSettings, false},      {"mp4_boxes", FuzzMp4Boxes, false},
      {"pictures", FuzzDisplaySets, false},   {"nal_units", FuzzNalUnits, false},
      {"forced_sets", FuzzForcedSets, false},
  };
  return targets;
}

}  // namespace FUZZTARGETS
