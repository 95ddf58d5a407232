// Which subtitles a job takes by language or as the forced track: language
// codes in their several forms, the files beside a film named after it, and
// the rules among a source's tracks.
#include <gtest/gtest.h>

#include "tracks/Languages.h"
#include "tracks/Sidecars.h"
#include "tracks/TrackChoice.h"

namespace {

using SIDECARS::Sidecar;
using TRACKCHOICE::TrackFacts;

TEST(Languages, TheFormsOfACodeAreOneLanguage) {
  EXPECT_TRUE(LANGUAGES::SameLanguage("fre", "fra"));
  EXPECT_TRUE(LANGUAGES::SameLanguage("fr", "FRE"));
  EXPECT_TRUE(LANGUAGES::SameLanguage("ger", "de"));
  EXPECT_TRUE(LANGUAGES::SameLanguage("eng", "en"));
  EXPECT_FALSE(LANGUAGES::SameLanguage("eng", "fre"));
  EXPECT_FALSE(LANGUAGES::SameLanguage("und", "und"));
  EXPECT_FALSE(LANGUAGES::SameLanguage("", ""));
  std::string error;
  EXPECT_EQ(LANGUAGES::ParseLanguages("fre,eng", error), (std::vector<std::string>{"fre", "eng"}));
  for (const char* bad : {"", "fre,", ",eng", "xx1", "french", "fre,,eng", "zzz"}) {
    EXPECT_TRUE(LANGUAGES::ParseLanguages(bad, error).empty()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

std::vector<std::string> Paths(const std::vector<Sidecar>& sidecars) {
  std::vector<std::string> paths;
  for (const Sidecar& sidecar : sidecars)
    paths.push_back(sidecar.Path + (sidecar.Language.empty() ? "" : " " + sidecar.Language) +
                    (sidecar.Forced ? " forced" : ""));
  return paths;
}

TEST(Sidecars, TheFilesNamedAfterTheFilmWithTheirLanguageAndMark) {
  const std::vector<std::string> names = {
      "film.mkv",     "film.fre.forced.srt", "film.eng.srt", "film.ass",
      "film.srt",     "film.cut.srt",        "filmic.srt",   "film2.srt",
      "film.ENG.SUP", "other.srt",           "film.fre.ass", "film.idx",
      "film.sub",     "film.forced.vtt"};
  EXPECT_EQ(Paths(SIDECARS::SidecarsAmong("/films/film.mkv", names)),
            (std::vector<std::string>{"/films/film.srt", "/films/film.ass", "/films/film.idx",
                                      "/films/film.ENG.SUP eng", "/films/film.eng.srt eng",
                                      "/films/film.forced.vtt forced", "/films/film.fre.ass fre",
                                      "/films/film.fre.forced.srt fre forced"}));
  // Without an .idx beside it, a .sub is a MicroDVD file.
  EXPECT_EQ(Paths(SIDECARS::SidecarsAmong("film.mkv", {"film.sub"})),
            (std::vector<std::string>{"film.sub"}));
}

TEST(Sidecars, TheFirstLanguageThatHasOneWinsAndForcedOnlyPrefersTheForcedOne) {
  const std::vector<Sidecar> sidecars = {{"film.srt", "", false},
                                         {"film.eng.srt", "eng", false},
                                         {"film.fre.forced.srt", "fre", true},
                                         {"film.fra.srt", "fra", false}};
  const auto path = [&](std::vector<std::string> languages, bool forced) {
    const auto found = SIDECARS::SidecarInLanguages(sidecars, languages, forced);
    return found ? found->Path : std::string("(none)");
  };
  EXPECT_EQ(path({"fre", "eng"}, false), "film.fra.srt");
  EXPECT_EQ(path({"fre", "eng"}, true), "film.fre.forced.srt");
  EXPECT_EQ(path({"eng", "fre"}, true), "film.eng.srt") << "a full one where no forced one is";
  EXPECT_EQ(path({"de", "en"}, false), "film.eng.srt");
  EXPECT_EQ(path({"deu"}, false), "(none)") << "the untagged file is no language's";
}

TEST(TrackChoice, ATrackInTheFirstLanguageThatHasOne) {
  const std::vector<TrackFacts> tracks = {{1, "eng", false, true},
                                          {2, "fre", true, true},
                                          {3, "fre", false, true},
                                          {4, "deu", false, false}};
  EXPECT_EQ(TRACKCHOICE::TrackInLanguages(tracks, {"fra", "eng"}, false).Track, 3);
  EXPECT_EQ(TRACKCHOICE::TrackInLanguages(tracks, {"fra", "eng"}, true).Track, 2);
  EXPECT_EQ(TRACKCHOICE::TrackInLanguages(tracks, {"ger", "en"}, false).Track, 1)
      << "a track that can't be read is none";
  EXPECT_EQ(TRACKCHOICE::TrackInLanguages(tracks, {"ita"}, false).Track, 0);
}

TEST(TrackChoice, TheForcedTrackByItsMarkElseByItsLength) {
  // A marked track wins, of the languages' order where there are several.
  std::vector<TrackFacts> tracks = {
      {1, "eng", false, true, 900}, {2, "fre", true, true}, {3, "eng", true, true}};
  EXPECT_FALSE(TRACKCHOICE::NeedsEvents(tracks));
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {"eng"}).Track, 3);
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {"ita"}).Track, 2);
  EXPECT_NE(TRACKCHOICE::ForcedTrack(tracks, {"eng"}).Why.find("marked forced"), std::string::npos);
  // Nothing marked: the short one beside a full one of the same language.
  tracks = {{1, "eng", false, true, 900},
            {2, "fre", false, true, 40},
            {3, "eng", false, true, 224},
            {4, "eng", false, true, 30}};
  EXPECT_TRUE(TRACKCHOICE::NeedsEvents(tracks));
  const TRACKCHOICE::Choice found = TRACKCHOICE::ForcedTrack(tracks, {"en"});
  EXPECT_EQ(found.Track, 3) << "224 is under a quarter of 900";
  EXPECT_EQ(found.Why, "the source's track 3 (eng), 224 events against 900 in track 1");
  tracks[2].Events = 225;
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {"eng"}).Track, 4);
  // A language with one track, or none of the language: none.
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {"fre"}).Track, 0);
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {}).Track, 0);
  tracks = {{1, "eng", false, true, 900}, {2, "eng", false, true, 0}};
  EXPECT_EQ(TRACKCHOICE::ForcedTrack(tracks, {"eng"}).Track, 0) << "an empty track is no track";
}

}  // namespace
