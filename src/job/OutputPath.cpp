#include "job/OutputPath.h"

#include <sys/stat.h>

namespace OUTPUTPATH {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0)
    return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::string SameFileError(const JOBOPTIONS::JobOptions& options) {
  const std::string& output = options.DestinationVideo;
  if (SameFile(output, options.SourceVideo))
    return "[SubtitleJob::Start] The destination video file is the source video file...";
  if (SameFile(output, options.Subtitle))
    return "[SubtitleJob::Start] The destination video file is the subtitle file...";
  return {};
}

}  // namespace OUTPUTPATH
