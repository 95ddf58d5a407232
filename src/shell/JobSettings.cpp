#include "shell/JobSettings.h"

#include "shell/JobOptionTable.h"

namespace SETTINGS {

JOBOPTIONS::JobOptions JobOptionsFromSettings(const Settings& settings) {
  JOBOPTIONS::JobOptions options;
  options.SourceVideo = settings.SourceVideo;
  options.Subtitle = settings.Subtitle;
  options.DestinationVideo = settings.DestinationVideo;
  options.UseFrames = settings.UseFrames;
  options.DelayFrames = settings.FramesDelay;
  options.DelayMilliseconds = 100 * settings.TimeDelay;
  options.AutoSize = settings.AutoSize;
  options.Font = settings.Font;
  options.Look = settings.Look;
  JOBOPTIONTABLE::TakeSettings(settings, options);
  options.AlignLibraries.Decoder = {settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                    settings.SwScale};
  return options;
}

}  // namespace SETTINGS
