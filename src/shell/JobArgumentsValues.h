#pragma once

// What a job's arguments give it: its options and the compressor's choice.
// How they are parsed and written is JobArguments.h's; the job option table
// names the fields of its options here.
#include <optional>
#include <string>

#include "job/JobOptions.h"

namespace JOBARGUMENTS {

struct JobArguments {
  JOBOPTIONS::JobOptions Options;
  std::string Compressor = "XVID";  // MPEG-4 Part 2
  std::optional<int> Quality;       // 0 to 10000; else the compressor's default
  std::optional<int> KeyFrames;
  std::optional<int> DataRate;  // kilobytes per second
  // The encoder's own options, "key=value:key=value", as libavcodec names
  // them; empty for none.
  std::string EncoderOptions;
  // The encoder's speed preset ("slow", "8"); empty for its own.
  std::string Preset;
};

}  // namespace JOBARGUMENTS
