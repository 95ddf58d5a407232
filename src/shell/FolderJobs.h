#pragma once

// The jobs a folder holds: every video that has a subtitle file of the same
// base name beside it, its output named after the video.
#include <string>
#include <vector>

namespace FOLDERJOBS {

struct FolderJob {
  std::string Source;
  std::string Subtitle;
  std::string Output;
};

// Whether a file name ends like a video or like a subtitle file the job
// reads (case ignored).
bool IsVideoName(const std::string& name);
bool IsSubtitleName(const std::string& name);

// The output of a source: "film.mkv" becomes "film-subtitled" with the suffix
// of `outputLike` (the current output name, whose container the jobs keep),
// ".avi" when that has none.
std::string SubtitledName(const std::string& source, const std::string& outputLike);

// The folder's jobs in name order. Where both a SubRip and a MicroDVD file
// stand beside a video, the SubRip file is taken. Videos without a subtitle
// file, and folders that cannot be read, give none.
std::vector<FolderJob> FindFolderJobs(const std::string& folder, const std::string& outputLike);

}  // namespace FOLDERJOBS
