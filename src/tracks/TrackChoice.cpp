#include "tracks/TrackChoice.h"

#include <algorithm>

#include "tracks/Languages.h"

namespace TRACKCHOICE {
namespace {

std::string Named(const TrackFacts& track) {
  return "track " + std::to_string(track.Track) +
         (track.Language.empty() ? std::string() : " (" + track.Language + ")");
}

std::vector<const TrackFacts*> InLanguage(const std::vector<TrackFacts>& tracks,
                                          const std::string& language) {
  std::vector<const TrackFacts*> found;
  for (const TrackFacts& track : tracks)
    if (track.Readable && LANGUAGES::SameLanguage(track.Language, language))
      found.push_back(&track);
  return found;
}

}  // namespace

Choice TrackInLanguages(const std::vector<TrackFacts>& tracks,
                        const std::vector<std::string>& languages, bool forcedOnly) {
  for (const std::string& language : languages) {
    const std::vector<const TrackFacts*> found = InLanguage(tracks, language);
    if (found.empty()) continue;
    const auto wanted = std::find_if(found.begin(), found.end(), [&](const TrackFacts* track) {
      return track->Forced == forcedOnly;
    });
    const TrackFacts& taken = wanted != found.end() ? **wanted : *found.front();
    return {taken.Track, "the source's " + Named(taken) + ", in " + language};
  }
  return {};
}

bool NeedsEvents(const std::vector<TrackFacts>& tracks) {
  return std::none_of(tracks.begin(), tracks.end(),
                      [](const TrackFacts& track) { return track.Forced && track.Readable; });
}

Choice ForcedTrack(const std::vector<TrackFacts>& tracks,
                   const std::vector<std::string>& languages) {
  std::vector<const TrackFacts*> marked;
  for (const TrackFacts& track : tracks)
    if (track.Forced && track.Readable) marked.push_back(&track);
  if (!marked.empty()) {
    for (const std::string& language : languages)
      for (const TrackFacts* track : marked)
        if (LANGUAGES::SameLanguage(track->Language, language))
          return {track->Track, "the source's " + Named(*track) + ", marked forced"};
    return {marked.front()->Track, "the source's " + Named(*marked.front()) + ", marked forced"};
  }
  for (const std::string& language : languages) {
    const std::vector<const TrackFacts*> found = InLanguage(tracks, language);
    int64_t fullest = 0;
    const TrackFacts* full = nullptr;
    for (const TrackFacts* track : found)
      if (track->Events > fullest) fullest = track->Events, full = track;
    for (const TrackFacts* track : found)
      if (track != full && track->Events > 0 && track->Events < fullest / 4.0)
        return {track->Track,
                "the source's " + Named(*track) + ", " + std::to_string(track->Events) +
                    (track->Events == 1 ? " event against " : " events against ") +
                    std::to_string(fullest) + " in track " + std::to_string(full->Track)};
  }
  return {};
}

}  // namespace TRACKCHOICE
