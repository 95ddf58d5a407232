#include "job/JobDamage.h"

#include <vector>

namespace JOBDAMAGE {
namespace {

std::string Count(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string Summary(const VELAVCODEC::VelAvCodec::SourceDamage& source,
                    const MEDIAOUTPUT::TimeRepairs& repairs) {
  std::vector<std::string> parts;
  auto add = [&](int64_t count, const char* one, const char* many) {
    if (count > 0) parts.push_back(Count(count, one, many));
  };
  add(source.DamagedPictures, "picture did not decode whole", "pictures did not decode whole");
  add(source.DamagedAudioPackets, "audio packet was refused by the decoder (copied as stored)",
      "audio packets were refused by the decoder (copied as stored)");
  add(repairs.RefusedAudio, "audio packet could not be stored and was left out",
      "audio packets could not be stored and were left out");
  add(repairs.MendedPictures, "picture time was mended", "picture times were mended");
  add(repairs.DroppedPictures, "picture repeating the one before was left out",
      "pictures repeating the one before were left out");
  add(repairs.MendedAudio, "audio time was mended", "audio times were mended");
  add(repairs.DroppedAudio, "audio packet repeating the one before was left out",
      "audio packets repeating the one before were left out");
  add(repairs.Gaps, "gap in the sound was kept", "gaps in the sound were kept");
  add(repairs.LeftOutKept, "packet of another kept track could not be stored and was left out",
      "packets of other kept tracks could not be stored and were left out");
  add(repairs.MendedKept, "time in another kept track was mended",
      "times in other kept tracks were mended");
  if (parts.empty()) return {};
  std::string line = "the source was damaged: ";
  for (std::size_t i = 0; i < parts.size(); ++i) line += (i > 0 ? ", " : "") + parts[i];
  return line;
}

}  // namespace JOBDAMAGE
