#include "shell/FolderJobs.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "tracks/Sidecars.h"

namespace FOLDERJOBS {
namespace {

namespace fs = std::filesystem;

constexpr std::array kVideoSuffixes = {".mp4",  ".m4v", ".mov",  ".mkv", ".webm",
                                       ".avi",  ".mpg", ".mpeg", ".ts",  ".mts",
                                       ".m2ts", ".wmv", ".flv",  ".ogv", ".3gp"};
// In the order they are preferred.
// The styled formats last: a plain file beside the video is the one taken.
constexpr std::array kSubtitleSuffixes = {".srt", ".sub", ".ass", ".ssa", ".vtt"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

template <typename Suffixes>
bool EndsWithOneOf(const std::string& name, const Suffixes& suffixes) {
  const std::string suffix = Lower(fs::path(name).extension().string());
  return std::find(suffixes.begin(), suffixes.end(), suffix) != suffixes.end();
}

// The subtitle file beside `video` named after it, as a job given its
// languages would look for one, the untagged first; empty when there is
// none.
std::string SubtitleBeside(const fs::path& video, const std::vector<fs::path>& files) {
  std::vector<std::string> names;
  for (const fs::path& file : files) names.push_back(file.filename().string());
  const std::vector<SIDECARS::Sidecar> sidecars = SIDECARS::SidecarsAmong(video.string(), names);
  return sidecars.empty() ? std::string() : sidecars.front().Path;
}

}  // namespace

bool IsVideoName(const std::string& name) { return EndsWithOneOf(name, kVideoSuffixes); }

bool IsSubtitleName(const std::string& name) { return EndsWithOneOf(name, kSubtitleSuffixes); }

std::string SubtitledName(const std::string& source, const std::string& outputLike) {
  std::string suffix = fs::path(outputLike).extension().string();
  if (suffix.empty()) suffix = ".avi";
  fs::path output(source);
  output.replace_filename(output.stem().string() + "-subtitled" + suffix);
  return output.string();
}

std::vector<FolderJob> FindFolderJobs(const std::string& folder, const std::string& outputLike) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file(error)) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  std::vector<FolderJob> jobs;
  for (const fs::path& file : files) {
    if (!IsVideoName(file.string())) continue;
    const std::string subtitle = SubtitleBeside(file, files);
    if (subtitle.empty()) continue;
    jobs.push_back({file.string(), subtitle, SubtitledName(file.string(), outputLike)});
  }
  return jobs;
}

}  // namespace FOLDERJOBS
