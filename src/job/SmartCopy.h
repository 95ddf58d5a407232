#pragma once

// Before a job that copies what no subtitle touches: where the source's
// keyframes are, when a subtitle is on screen, and so which stretches the
// decoder hands on as packets. A job that can't copy says why in one line
// and encodes every picture, as it always did.
#include <cstddef>
#include <string>
#include <vector>

#include "job/JobOptions.h"
#include "job/SmartPlan.h"
#include "media/VelAvCodec.h"
#include "subtitles/SubtitleUnit.h"

namespace SMARTCOPY {

struct Prepared {
  std::string Refusal;  // empty when the stretches can be copied
  std::vector<VELAVCODEC::VelAvCodec::PacketFate> Fates;
  double DecodeLeadSeconds = 0.0;
  double EncodedSeconds = 0.0, TotalSeconds = 0.0;
  std::size_t Stretches = 0, EncodedStretches = 0;
};

// When a subtitle file's cues are drawn, in seconds from the first picture.
std::vector<SMARTPLAN::Shown> FileShownTimes(const SUBTITLEFILE::SubtitleFile& subtitles,
                                             double framesPerSecond);

// After the source was opened; shown: when a subtitle is drawn, in seconds
// from the first picture (the drawing's own clock). The keyframes are read
// from a reading of the source's file of its own.
Prepared Prepare(const JOBOPTIONS::JobOptions& options, const VELAVCODEC::VelAvCodec& decoder,
                 const std::vector<SMARTPLAN::Shown>& shown);

// "Every picture is encoded: <why>".
std::string RefusalLine(const std::string& refusal);
// What the plan copies, for the log.
std::string PlanLine(const Prepared& prepared);

}  // namespace SMARTCOPY
