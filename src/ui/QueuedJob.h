#pragma once

// A job of the queue, as the window's job host runs it: the compressor
// comes from its arguments instead of the dialog, and what it reports goes
// to the queue instead of into boxes, so that a run of many jobs asks
// nothing of the user.
#include <functional>
#include <string>

#include "shell/JobArguments.h"

namespace QUEUEDJOB {

struct QueuedJob {
  JOBARGUMENTS::JobArguments Arguments;
  std::string Error;  // the last error or missing file the job reported
  // Percent of the pictures done and, once the statistics know it, the time
  // still to go ("hh:nn:ss"; empty before).
  std::function<void(int percent, const std::string& remaining)> Progress;
};

}  // namespace QUEUEDJOB
