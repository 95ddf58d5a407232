// Jobs that find their subtitles by language or as the source's forced
// track, from the files beside the film and the film's own tracks.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

class SubtitleChoiceCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string full;
    for (int i = 0; i < 16; ++i)
      full += std::to_string(i + 1) + "\n00:00:0" + std::to_string(i / 10) + "," +
              std::to_string(i % 10) + "00 --> 00:00:0" + std::to_string(i / 10) + "," +
              std::to_string(i % 10) + "80\nLine " + std::to_string(i) + "\n\n";
    WriteFile(dir / "full.srt", full);
    WriteFile(dir / "signs.srt", "1\n00:00:00,500 --> 00:00:01,000\nSIGN\n");
  }
  // A film whose sound is in `sound`, with a full and a short subtitle track
  // in English, the second marked forced where asked.
  fs::path Film(const std::string& name, const std::string& sound, bool marked) {
    const fs::path film = dir / name;
    Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=duration=2 -i " +
           (dir / "full.srt").string() + " -i " + (dir / "signs.srt").string() +
           " -map 0 -map 1 -map 2 -map 3 -c:v mpeg4 -c:a aac -c:s srt -metadata:s:a:0 language=" +
           sound + " -metadata:s:s:0 language=eng -metadata:s:s:1 language=eng" +
           (marked ? " -disposition:s:1 forced" : " -disposition:s:1 0") + " " + film.string());
    return film;
  }
  ProgramRun Job(const fs::path& film, const std::string& more) {
    return RunProgram("--source " + film.string() + " --output " + (dir / "out.mkv").string() +
                      " " + more);
  }
  TempDir dir;
};

TEST_F(SubtitleChoiceCommandTest, TheForcedTrackIsFoundByItsMarkOrItsLength) {
  ProgramRun run = Job(Film("marked.mkv", "eng", true), "--subtitle-track forced");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Forced subtitle track: the source's track 2 (eng), marked forced"),
            std::string::npos)
      << run.out;
  run = Job(Film("unmarked.mkv", "eng", false), "--subtitle-track forced");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Forced subtitle track: the source's track 2 (eng), 1 event against 16 in "
                         "track 1"),
            std::string::npos)
      << run.out;
  // The full track stays soft; the drawn one is in the picture.
  EXPECT_NE(run.out.find("Output streams: video (burned), sound 1 eng, subtitles 1 eng"),
            std::string::npos)
      << run.out;
  // Sound in another language: no track of its language, nothing burned.
  run = Job(Film("french.mkv", "fre", false), "--subtitle-track forced");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("No forced subtitle track found"), std::string::npos) << run.out;
  EXPECT_GT(CountedPictures(dir / "out.mkv"), 40);
  // The still finds the same track as the job.
  const fs::path marked = dir / "marked.mkv";
  for (const char* track : {"forced", "2", "1"})
    ASSERT_EQ(RunProgram("--snapshot 0.6 --source " + marked.string() + " --subtitle-track " +
                         track + " --output " + (dir / (std::string(track) + ".png")).string())
                  .status,
              0)
        << track;
  EXPECT_EQ(ReadFile(dir / "forced.png"), ReadFile(dir / "2.png"));
  EXPECT_NE(ReadFile(dir / "forced.png"), ReadFile(dir / "1.png"));
  // Unless the languages asked for say otherwise.
  run = Job(Film("french2.mkv", "fre", false), "--subtitle-track forced --subtitle-language eng");
  EXPECT_NE(run.out.find("Forced subtitle track: the source's track 2"), std::string::npos)
      << run.out;
}

TEST_F(SubtitleChoiceCommandTest, ALanguageTakesTheFileBesideTheFilmElseItsTrack) {
  const fs::path film = Film("film.mkv", "eng", false);
  ProgramRun run = Job(film, "--subtitle-language fre,eng");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Subtitles: the source's track 1 (eng), in eng"), std::string::npos)
      << run.out;
  WriteFile(dir / "film.fra.srt", "1\n00:00:00,200 --> 00:00:01,500\nBonjour\n");
  WriteFile(dir / "film.fre.forced.srt", "1\n00:00:00,200 --> 00:00:01,500\nPANNEAU\n");
  run = Job(film, "--subtitle-language fre,eng");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(
      run.out.find("Subtitles: " + (dir / "film.fra.srt").string() + ", beside the source, in fra"),
      std::string::npos)
      << run.out;
  run = Job(film, "--subtitle-language fre --forced-only");
  EXPECT_NE(run.out.find("film.fre.forced.srt, beside the source, in fre, forced"),
            std::string::npos)
      << run.out;
  run = Job(film, "--subtitle-language ita");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("No subtitles in ita beside or inside the source"), std::string::npos)
      << run.err;
  run = Job(film, "--subtitle-language italian");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad subtitle languages 'italian'"), std::string::npos) << run.err;
}

}  // namespace
