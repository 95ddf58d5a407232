#include "tracks/Sidecars.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "text/AsciiText.h"
#include "tracks/Languages.h"

namespace SIDECARS {
namespace {

namespace fs = std::filesystem;

bool IsLanguagePart(const std::string& part) {
  std::string error;
  return (part.size() == 2 || part.size() == 3) && !LANGUAGES::ParseLanguages(part, error).empty();
}

// "eng.forced" (what stands between the video's name and the suffix): the
// language and the forced mark, or nothing when another part stands there.
std::optional<Sidecar> Tags(const std::string& middle) {
  Sidecar tags;
  size_t from = 0;
  while (from < middle.size()) {
    const size_t dot = middle.find('.', from);
    const std::string part =
        ASCIITEXT::LowerAscii(middle.substr(from, dot == std::string::npos ? dot : dot - from));
    if (part == "forced" && !tags.Forced) {
      tags.Forced = true;
    } else if (tags.Language.empty() && IsLanguagePart(part)) {
      tags.Language = part;
    } else {
      return std::nullopt;
    }
    if (dot == std::string::npos) break;
    from = dot + 1;
  }
  return tags;
}

int SuffixRank(const std::string& suffix) {
  const std::vector<std::string>& suffixes = SidecarSuffixes();
  const auto found = std::find(suffixes.begin(), suffixes.end(), ASCIITEXT::LowerAscii(suffix));
  return found == suffixes.end() ? -1 : int(found - suffixes.begin());
}

}  // namespace

const std::vector<std::string>& SidecarSuffixes() {
  static const std::vector<std::string> kSuffixes = {".srt", ".sub", ".ass", ".ssa",
                                                     ".vtt", ".sup", ".idx"};
  return kSuffixes;
}

std::vector<Sidecar> SidecarsAmong(const std::string& video,
                                   const std::vector<std::string>& names) {
  const fs::path videoPath(video);
  const std::string stem = videoPath.stem().string();
  struct Found {
    Sidecar sidecar;
    int rank;
    std::string name;
  };
  std::vector<Found> found;
  const auto has = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const std::string& name : names) {
    const fs::path path(name);
    const int rank = SuffixRank(path.extension().string());
    const std::string base = path.stem().string();
    if (rank < 0 || base.compare(0, stem.size(), stem) != 0) continue;
    if (ASCIITEXT::LowerAscii(path.extension().string()) == ".sub" &&
        (has(base + ".idx") || has(base + ".IDX")))
      continue;
    std::optional<Sidecar> tags;
    if (base.size() == stem.size())
      tags = Sidecar{};
    else if (base[stem.size()] == '.')
      tags = Tags(base.substr(stem.size() + 1));
    if (!tags) continue;
    tags->Path = (videoPath.parent_path() / path.filename()).string();
    found.push_back({*tags, rank, name});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    const bool aTagged = !a.sidecar.Language.empty() || a.sidecar.Forced;
    const bool bTagged = !b.sidecar.Language.empty() || b.sidecar.Forced;
    if (aTagged != bTagged) return !aTagged;
    if (!aTagged && a.rank != b.rank) return a.rank < b.rank;
    return a.name != b.name ? a.name < b.name : a.rank < b.rank;
  });
  std::vector<Sidecar> sidecars;
  for (Found& one : found) sidecars.push_back(std::move(one.sidecar));
  return sidecars;
}

std::vector<Sidecar> FindSidecars(const std::string& video) {
  std::vector<std::string> names;
  std::error_code error;
  const fs::path folder = fs::path(video).parent_path();
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error))
    if (it->is_regular_file(error)) names.push_back(it->path().filename().string());
  return SidecarsAmong(video, names);
}

std::optional<Sidecar> SidecarInLanguages(const std::vector<Sidecar>& sidecars,
                                          const std::vector<std::string>& languages,
                                          bool forcedOnly) {
  for (const std::string& language : languages) {
    std::optional<Sidecar> other;
    for (const Sidecar& sidecar : sidecars) {
      if (!LANGUAGES::SameLanguage(sidecar.Language, language)) continue;
      if (sidecar.Forced == forcedOnly) return sidecar;
      if (!other) other = sidecar;
    }
    if (other) return other;
  }
  return std::nullopt;
}

}  // namespace SIDECARS
