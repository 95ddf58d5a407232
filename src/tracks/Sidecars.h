#pragma once

// The subtitle files beside a video that are named after it: "film.srt",
// "film.eng.srt", "film.fre.forced.srt", and the same with the other
// subtitle suffixes. The parts between the video's name and the suffix say
// the file's language and whether it holds forced lines alone; a file with
// other parts there belongs to another name.
#include <optional>
#include <string>
#include <vector>

namespace SIDECARS {

struct Sidecar {
  std::string Path;
  std::string Language;  // empty when the name gives none
  bool Forced = false;
};

// The subtitle suffixes a sidecar may have, in the order they are preferred
// (case ignored): a plain file before a styled one, text before pictures.
const std::vector<std::string>& SidecarSuffixes();

// Of `names` (the files of the video's folder, as names), the sidecars of
// `video`, in preference order: untagged ones first by suffix, then tagged
// ones in name order. A MicroDVD ".sub" is none where a VobSub ".idx" of
// the same name stands beside it (the ".sub" is its pictures).
std::vector<Sidecar> SidecarsAmong(const std::string& video, const std::vector<std::string>& names);
// The same, reading the video's folder; none when it can't be read.
std::vector<Sidecar> FindSidecars(const std::string& video);

// The one a job takes: of the first language (in order) that has any, the
// forced one where forcedOnly asks for it, else the full one, else the
// other; nothing when no sidecar has one of the languages.
std::optional<Sidecar> SidecarInLanguages(const std::vector<Sidecar>& sidecars,
                                          const std::vector<std::string>& languages,
                                          bool forcedOnly);

}  // namespace SIDECARS
