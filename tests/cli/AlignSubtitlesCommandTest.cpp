// tolvane --align-subtitles on films made with spoken sentences: the cues
// come back to where the sentences are, and subtitles that belong elsewhere
// are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "align/SpeechMedia.h"
#include "support/TestSupport.h"

using namespace testsupport;
using speechmedia::Cue;
using speechmedia::Film;

namespace {

// The films are made once for all the tests of this program.
struct Films {
  TempDir dir;
  Film talk;   // speech over noise and a sung melody
  Film other;  // another film's speech, for its subtitles
  Film music;  // the melody and noise alone
  Film surround;
};

Films& Made() {
  static std::unique_ptr<Films> films = [] {
    auto made = std::make_unique<Films>();
    made->talk = speechmedia::MakeFilm(made->dir.path(), "talk",
                                       {.Seed = 1, .Seconds = 180.0, .MusicLevel = 0.1});
    made->other = speechmedia::MakeFilm(made->dir.path(), "other", {.Seed = 2, .Seconds = 180.0});
    made->music =
        speechmedia::MakeFilm(made->dir.path(), "music",
                              {.Seed = 3, .Seconds = 90.0, .Speech = false, .MusicLevel = 1.0});
    made->surround = speechmedia::MakeFilm(
        made->dir.path(), "surround",
        {.Seed = 4, .Seconds = 120.0, .MusicLevel = 1.0, .NoiseLevel = 0.1, .Surround = true});
    return made;
  }();
  return *films;
}

struct Aligned {
  ProgramRun run;
  bool written = false;
  std::vector<double> starts;
};

Aligned Align(const Film& film, const std::vector<Cue>& cues,
              const std::function<double(double)>& timing, const std::string& name) {
  const fs::path input = Made().dir / (name + ".srt");
  const fs::path output = Made().dir / (name + "-aligned.srt");
  WriteFile(input, speechmedia::SubRip(cues, timing));
  Aligned aligned;
  aligned.run = RunProgram("--align-subtitles --source " + film.File.string() + " --subtitles " +
                           input.string() + " --output " + output.string());
  aligned.written = fs::exists(output);
  if (aligned.written) aligned.starts = speechmedia::SubRipStarts(ReadFile(output));
  return aligned;
}

// Every cue back within median 40 ms and 95th percentile 200 ms.
void ExpectRealigned(const Aligned& aligned, const Film& film) {
  ASSERT_EQ(aligned.run.status, 0) << aligned.run.out << aligned.run.err;
  const auto errors = speechmedia::StartErrors(aligned.starts, film.Cues);
  EXPECT_LE(errors.Median, 0.040) << aligned.run.out;
  EXPECT_LE(errors.P95, 0.200) << aligned.run.out;
}

double FoundRatio(const std::string& report) {
  const std::size_t at = report.find("Ratio: ");
  return at == std::string::npos ? 0.0 : std::stod(report.substr(at + 7));
}

}  // namespace

TEST(AlignSubtitlesCommandTest, ShiftsEitherWayAreUndone) {
  const Film& film = Made().talk;
  for (const double shift : {2.5, -7.3, -95.0}) {
    SCOPED_TRACE(shift);
    ExpectRealigned(Align(
                        film, film.Cues, [=](double t) { return t - shift; }, "shift"),
                    film);
  }
}

TEST(AlignSubtitlesCommandTest, FrameRateConversionAndDriftAreUndone) {
  const Film& film = Made().talk;
  // Subtitles timed for the 25-picture version, and a slow 1001/1000 drift.
  const Aligned pal = Align(
      film, film.Cues, [](double t) { return t * 23.976 / 25.0 + 1.2; }, "pal");
  ExpectRealigned(pal, film);
  EXPECT_NEAR(FoundRatio(pal.run.out), 25.0 / 23.976, 0.0003) << pal.run.out;
  const Aligned drift = Align(
      film, film.Cues, [](double t) { return t * 1000.0 / 1001.0 - 0.4; }, "drift");
  ExpectRealigned(drift, film);
  EXPECT_NEAR(FoundRatio(drift.run.out), 1.001, 0.0003) << drift.run.out;
}

TEST(AlignSubtitlesCommandTest, SplitIsFoundInAGap) {
  const Film& film = Made().talk;
  // The subtitles' version had 45 s more after the first third.
  const double cut = film.Cues[film.Cues.size() / 3].Start - 0.3;
  const Aligned aligned = Align(
      film, film.Cues, [=](double t) { return t < cut ? t + 1.0 : t + 46.0; }, "split");
  ExpectRealigned(aligned, film);
  const std::string split =
      "Split 1: before cue " + std::to_string(film.Cues.size() / 3 + 1) + " (";
  EXPECT_NE(aligned.run.out.find(split), std::string::npos) << aligned.run.out;
  EXPECT_EQ(aligned.run.out.find("Split 2:"), std::string::npos) << aligned.run.out;
}

// Music put into the film that the subtitles' version lacks: the cues
// before it keep their offset, those after take the new one, and no ratio
// makes up for either (one such film took 0.99918 and was 62 ms off).
TEST(AlignSubtitlesCommandTest, MusicPutInIsASplitNotARatio) {
  const fs::path dir = Made().dir.path();
  const Film speech = speechmedia::MakeFilm(dir, "insert-speech",
                                            {.Seed = 34, .Seconds = 600.0, .MusicLevel = 0.1});
  const Film music = speechmedia::MakeFilm(
      dir, "insert-music", {.Seed = 134, .Seconds = 11.0, .Speech = false, .MusicLevel = 1.0});
  const double at = 287.0, length = 11.0, late = -2.4;
  std::vector<Cue> cues;
  const Film inserted = speechmedia::InsertMusic(dir, "insert", speech, music, at, length, cues);
  const Aligned aligned = Align(
      inserted, cues, [=](double t) { return t + late; }, "insert");
  ExpectRealigned(aligned, inserted);
  EXPECT_NE(aligned.run.out.find("Ratio: 1.000000 (unchanged)"), std::string::npos)
      << aligned.run.out;
  const std::size_t split = aligned.run.out.find("Split 1:");
  ASSERT_NE(split, std::string::npos) << aligned.run.out;
  EXPECT_EQ(aligned.run.out.find("Split 2:"), std::string::npos) << aligned.run.out;
  // Both stretches say how sure they are, and are sure.
  const std::size_t first = aligned.run.out.find(", confidence ");
  const std::size_t second = aligned.run.out.find(", confidence ", split);
  ASSERT_LT(first, split) << aligned.run.out;
  ASSERT_NE(second, std::string::npos) << aligned.run.out;
  EXPECT_GT(std::stod(aligned.run.out.substr(first + 13)), 0.5) << aligned.run.out;
  EXPECT_GT(std::stod(aligned.run.out.substr(second + 13)), 0.5) << aligned.run.out;
}

// The subtitles' release had a scene this film lacks: its lines are named
// and left at their neighbours' offset, the file is still written whole,
// and a job will not burn them.
TEST(AlignSubtitlesCommandTest, LinesOfAMissingSceneAreNamedAndAJobStops) {
  const fs::path dir = Made().dir.path();
  const Film film =
      speechmedia::MakeFilm(dir, "cut-speech", {.Seed = 35, .Seconds = 420.0, .MusicLevel = 0.1});
  const std::size_t third = film.Cues.size() / 3;
  const double at = film.Cues[third].Start - 0.3, scene = 70.0;
  std::vector<Cue> cues(film.Cues.begin(), film.Cues.begin() + std::ptrdiff_t(third));
  for (double start = at + 1.0; start < at + scene - 4.0; start += 3.3)
    cues.push_back({start, start + 2.1, "A line of the missing scene."});
  const std::size_t sceneEnd = cues.size();
  for (std::size_t i = third; i < film.Cues.size(); ++i)
    cues.push_back({film.Cues[i].Start + scene, film.Cues[i].End + scene, film.Cues[i].Text});
  const fs::path input = dir / "cut.srt", output = dir / "cut-aligned.srt";
  WriteFile(input, speechmedia::SubRip(cues, [](double t) { return t + 1.5; }));
  const ProgramRun run =
      RunProgram("--align-subtitles --source " + film.File.string() + " --subtitles " +
                 input.string() + " --output " + output.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::size_t named = run.out.find("Not placed: cues ");
  ASSERT_NE(named, std::string::npos) << run.out;
  const std::size_t first = std::stoul(run.out.substr(named + 17));
  EXPECT_GT(first, third) << run.out;
  EXPECT_LE(first, sceneEnd) << run.out;
  EXPECT_NE(run.err.find("no timing fits cues "), std::string::npos) << run.err;
  // Every cue is written; those of lines the film has are on their speech.
  const std::vector<double> starts = speechmedia::SubRipStarts(ReadFile(output));
  ASSERT_EQ(starts.size(), cues.size());
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (i >= third && i < sceneEnd) continue;
    const double truth = i < third ? cues[i].Start : cues[i].Start - scene;
    EXPECT_NEAR(starts[i], truth, 0.2) << i << "\n" << run.out;
  }
  const fs::path burnt = dir / "cut.mkv";
  const ProgramRun job = RunProgram("--source " + film.File.string() + " --subtitles " +
                                    input.string() + " --output " + burnt.string() + " --align");
  // The job takes the file --align-subtitles wrote, and names the same cues.
  EXPECT_EQ(job.status, 0) << job.out << job.err;
  const std::size_t noted = job.out.find("[Align] No timing fits cues ");
  ASSERT_NE(noted, std::string::npos) << job.out;
  EXPECT_EQ(std::stoul(job.out.substr(noted + 28)), first) << job.out;
  EXPECT_NE(job.out.find("left at their neighbours' offset"), std::string::npos);
  EXPECT_TRUE(fs::exists(burnt));
}

TEST(AlignSubtitlesCommandTest, FittingFileStaysWhereItIs) {
  const Film& film = Made().talk;
  const Aligned aligned = Align(
      film, film.Cues, [](double t) { return t; }, "fits");
  ASSERT_EQ(aligned.run.status, 0) << aligned.run.err;
  // Standard error holds the program's own words only.
  EXPECT_EQ(aligned.run.err, "") << aligned.run.err;
  ASSERT_EQ(aligned.starts.size(), film.Cues.size());
  for (std::size_t i = 0; i < film.Cues.size(); ++i)
    EXPECT_NEAR(aligned.starts[i], film.Cues[i].Start, 0.020) << "cue " << i + 1;
  EXPECT_NE(aligned.run.out.find("Offset: +0.000 s"), std::string::npos) << aligned.run.out;
}

TEST(AlignSubtitlesCommandTest, CentreChannelCarriesTheDialogue) {
  const Film& film = Made().surround;
  ExpectRealigned(Align(
                      film, film.Cues, [](double t) { return t + 3.1; }, "surround"),
                  film);
}

TEST(AlignSubtitlesCommandTest, SubtitlesThatDontBelongAreRefused) {
  // Another film's subtitles, and any subtitles on a track of music alone.
  for (const auto& [film, cues] :
       {std::pair{&Made().talk, &Made().other.Cues}, std::pair{&Made().music, &Made().talk.Cues}}) {
    SCOPED_TRACE(film->File.string());
    const Aligned aligned = Align(
        *film, *cues, [](double t) { return t; }, "refused");
    EXPECT_EQ(aligned.run.status, 1) << aligned.run.out;
    EXPECT_FALSE(aligned.written);
    EXPECT_NE(aligned.run.err.find("no trustworthy timing"), std::string::npos) << aligned.run.err;
  }
}

TEST(AlignSubtitlesCommandTest, BadArgumentsAndUnreadableAudio) {
  EXPECT_EQ(RunProgram("--align-subtitles --source a.mkv --subtitles b.srt").status, 2);
  EXPECT_EQ(RunProgram("--align-subtitles --source a.mkv --subtitles b.srt --output b.srt").status,
            2);
  const fs::path subtitles = Made().dir / "any.srt";
  WriteFile(subtitles, speechmedia::SubRip(Made().talk.Cues, [](double t) { return t; }));
  const ProgramRun run = RunProgram(
      "--align-subtitles --source " + (Made().dir / "none.mkv").string() + " --subtitles " +
      subtitles.string() + " --output " + (Made().dir / "out.srt").string() + " --audio-stream 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("can't read the audio"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Made().dir / "out.srt"));
}

// --- --align with a job and a snapshot ----------------------------------------

namespace {

// Bright pixels of one picture of a file (the made films are black).
int BrightPixels(const fs::path& file, int number = 0) {
  std::string raw;
  RunShell("ffmpeg -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(number) + ")\" -frames:v 1 -f rawvideo -pix_fmt gray -",
           &raw);
  return int(std::count_if(raw.begin(), raw.end(), [](char c) { return uint8_t(c) > 128; }));
}

// The middle of a cue that the subtitles, four seconds late, leave empty.
double EmptyWhenLate(const std::vector<Cue>& cues) {
  for (const Cue& cue : cues) {
    const double middle = 0.5 * (cue.Start + cue.End);
    const bool covered = std::any_of(cues.begin(), cues.end(), [&](const Cue& other) {
      return other.Start + 4.0 - 0.2 <= middle && middle <= other.End + 4.0 + 0.2;
    });
    if (!covered) return middle;
  }
  return -1.0;
}

}  // namespace

TEST(AlignOptionTest, JobAndSnapshotBurnTheSubtitlesWhereTheSpeechIs) {
  const Film& film = Made().talk;
  const fs::path late = Made().dir / "late.srt";
  WriteFile(late, speechmedia::SubRip(film.Cues, [](double t) { return t + 4.0; }));
  const double seconds = EmptyWhenLate(film.Cues);
  ASSERT_GT(seconds, 0.0);
  const int picture = int(seconds * 25.0);
  const std::string files = " --source " + film.File.string() + " --subtitles " + late.string() +
                            " --font-color 0xFFFFFF --font-size 10";

  const fs::path output = Made().dir / "aligned.mkv";
  const ProgramRun job = RunProgram(files + " --output " + output.string() + " --align");
  ASSERT_EQ(job.status, 0) << job.err;
  EXPECT_NE(job.out.find("Offset: -3.9"), std::string::npos) << job.out;
  EXPECT_NE(job.out.find("Confidence: "), std::string::npos) << job.out;
  EXPECT_GT(BrightPixels(output, picture), 0);

  // The snapshot at the same moment: the subtitle only when aligned.
  for (const bool align : {true, false}) {
    const fs::path still = Made().dir / (align ? "aligned.png" : "late.png");
    const ProgramRun run = RunProgram("--snapshot " + std::to_string(seconds) + files +
                                      " --output " + still.string() + (align ? " --align" : ""));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(BrightPixels(still) > 0, align) << seconds << " s";
    EXPECT_EQ(run.out.find("Offset: -3.9") != std::string::npos, align) << run.out;
  }
}

TEST(AlignOptionTest, JobFailsRatherThanBurnAGuess) {
  const fs::path other = Made().dir / "other.srt";
  WriteFile(other, speechmedia::SubRip(Made().other.Cues, [](double t) { return t; }));
  const fs::path output = Made().dir / "guess.mkv";
  const std::string files =
      " --source " + Made().talk.File.string() + " --subtitles " + other.string();
  const ProgramRun job = RunProgram(files + " --output " + output.string() + " --align");
  EXPECT_EQ(job.status, 1);
  EXPECT_NE(job.err.find("No trustworthy timing found"), std::string::npos) << job.err;
  EXPECT_NE(job.out.find("Confidence: "), std::string::npos) << job.out;
  EXPECT_FALSE(fs::exists(output));
  const ProgramRun still = RunProgram("--snapshot 10" + files + " --output " +
                                      (Made().dir / "g.png").string() + " --align");
  EXPECT_EQ(still.status, 1);
  EXPECT_NE(still.err.find("No trustworthy timing found"), std::string::npos) << still.err;
  EXPECT_NE(still.out.find("Confidence: "), std::string::npos) << still.out;
}

TEST(AlignOptionTest, TheFindingSaysWhichChannelsWereHeard) {
  // The 5.1 film's dialogue is in its centre alone, under loud music on the
  // front pair.
  const Film& film = Made().surround;
  const fs::path subtitles = Made().dir / "surround-late.srt";
  WriteFile(subtitles, speechmedia::SubRip(film.Cues, [](double t) { return t + 2.0; }));
  const ProgramRun run =
      RunProgram("--snapshot 5 --source " + film.File.string() + " --subtitles " +
                 subtitles.string() + " --output " + (Made().dir / "s.png").string() + " --align");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Speech alignment, on the centre channel:\nOffset: -2.0"),
            std::string::npos)
      << run.out;
}
