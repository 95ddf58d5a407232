#pragma once

// The one mapping from settings to a job's options. The window collects its
// controls into Settings and the command line reads them from the settings
// file; both then take the job's options from here.
#include "job/JobOptions.h"
#include "shell/Settings.h"

namespace SETTINGS {

// The streams are left unchosen (the first of each kind); the delay in
// hundreds of milliseconds becomes milliseconds.
JOBOPTIONS::JobOptions JobOptionsFromSettings(const Settings& settings);

}  // namespace SETTINGS
