#include "shell/JobSettings.h"

#include "shell/JobOptionTable.h"

namespace SETTINGS {

JOBOPTIONS::JobOptions JobOptionsFromSettings(const Settings& settings) {
  JOBARGUMENTS::JobArguments job;
  JOBOPTIONTABLE::TakeSettings(settings, job);
  job.Options.AlignLibraries.Decoder = {settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                        settings.SwScale};
  return job.Options;
}

}  // namespace SETTINGS
