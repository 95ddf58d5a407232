// The job driven in-process by a recording host, over media made with ffmpeg.
#include "job/SubtitleJob.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "compressors/CompressorCatalog.h"
#include "shell/Settings.h"
#include "support/TestSupport.h"

using SUBTITLEJOB::JobEnd;
using SUBTITLEJOB::JobPhase;
using namespace testsupport;

namespace {

// What the job reports, in order; errors and missing names with the number
// of log entries made when they came.
class RecordingHost : public JOBHOST::JobHost {
 public:
  enum Kind { Error = 0, Missing = 1 };

  void AppendLog(const std::string& text) override { log.push_back(text); }
  void PhaseChanged(JobPhase phase) override { phases.push_back(phase); }
  void InputMissing(const std::string& text) override { Report(Missing, text); }
  void ErrorReported(const std::string& text, const std::string&) override { Report(Error, text); }
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts&,
                      const JOBSTATISTICS::Progress&) override {
    ++statistics;
  }
  void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
  void SetProgressPosition(int position) override { progress = position; }
  void ShowPreview(const BMPFRAME::BmpView& picture) override {
    if (picture.Info()->biBitCount != 24) return;
    ++previews;
    uint64_t sum = 0;
    for (int32_t row = 0; row < picture.Height(); ++row)
      for (uint32_t k = 0; k < uint32_t(picture.Width()) * 3; ++k) sum += picture.Row(row)[k];
    previewSums.push_back(sum);
  }
  bool ShowsPreview() const override { return showsPreview; }
  void ProcessMessages() override {
    ++passes;
    if (onProcess) onProcess();
  }
  void SetRefreshTimer(bool enabled) override { timer = enabled; }
  bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest& request,
                        ENCODERCHOICE::EncoderChoice& choice) override {
    return chooser && chooser(request, choice);
  }
  void LoopEnded(JobEnd end) override { loopEnds.push_back(end); }
  void JobEnded(JobEnd end) override {
    ends.push_back(end);
    logAtEnd = log.size();
  }

  JobPhase Phase() const { return phases.empty() ? JobPhase::Idle : phases.back(); }

  std::vector<std::string> log;
  std::vector<std::pair<int, std::string>> reports;
  std::vector<size_t> logAtReport;  // log entries made when each report came
  std::vector<JobPhase> phases;
  std::vector<JobEnd> loopEnds, ends;
  size_t logAtEnd = 0;
  int statistics = 0;
  int progressMaximum = -1;
  int progress = -1;
  int previews = 0;
  std::vector<uint64_t> previewSums;  // of every byte of each preview's pixels
  bool showsPreview = true;
  int passes = 0;
  bool timer = false;
  std::function<void()> onProcess;
  ENCODERCHOICE::Chooser chooser;

 private:
  void Report(Kind kind, const std::string& text) {
    reports.push_back({kind, text});
    logAtReport.push_back(log.size());
  }
};

std::vector<std::string> Tail(const std::vector<std::string>& log, size_t count) {
  return std::vector<std::string>(log.end() - std::min(count, log.size()), log.end());
}

class SubtitleJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const SETTINGS::Settings settings;
    materials.Decoder = std::make_unique<VELAVCODEC::VelAvCodec>(
        settings.AvCodec, settings.AvFormat, settings.AvUtil, settings.SwScale);
    job = std::make_unique<SUBTITLEJOB::SubtitleJob>(host, materials);
    host.chooser = [this](const ENCODERCHOICE::ChoiceRequest&,
                          ENCODERCHOICE::EncoderChoice& choice) {
      choice.Codec = compressor;
      choice.Quality = ENCODERCHOICE::kDefaultQuality;
      return chooserAnswer == 1;
    };
    WriteFile(dir / "subs.sub", "{5}{9}First\r\n{9}{14}Second\r\n{20}{24}Third\r\n");
    options.SourceVideo = (dir / "source.mkv").string();
    options.Subtitle = (dir / "subs.sub").string();
    options.DestinationVideo = (dir / "out.avi").string();
  }

  // 50 pictures of 25 a second, with or without a tone.
  void MakeSource(bool withAudio) {
    std::string audio = withAudio ? "-f lavfi -i sine=duration=2 -c:a pcm_s16le " : "";
    Ffmpeg("-f lavfi -i testsrc2=size=96x64:rate=25:duration=2 " + audio + "-c:v ffv1 " +
           options.SourceVideo);
  }

  int OutputFrames() {
    return std::atoi(Ffprobe("-count_frames -select_streams v -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " +
                             options.DestinationVideo)
                         .c_str());
  }

  TempDir dir;
  RecordingHost host;
  JOBMATERIALS::JobMaterials materials;
  std::unique_ptr<SUBTITLEJOB::SubtitleJob> job;
  JOBOPTIONS::JobOptions options;
  FOURCC compressor = MakeFourCC('X', 'V', 'I', 'D');
  int chooserAnswer = 1;
};

}  // namespace

TEST_F(SubtitleJobTest, MissingFileNamesAreOnlyAskedFor) {
  struct Case {
    std::string source, subtitle, destination, message;
    bool transcode;
  };
  const Case cases[] = {
      {" ", "a.srt", "b.avi", "Please choose a source video file!", false},
      {"a.mp4", " \t", "b.avi", "Please choose a subtitle file!", false},
      {"a.mp4", "a.srt", "", "Please choose a destination video file!", false},
      {"a.mp4", "", "  ", "Please choose a destination video file!", true},
  };
  for (const Case& c : cases) {
    host.reports.clear();
    options.SourceVideo = c.source;
    options.Subtitle = c.subtitle;
    options.DestinationVideo = c.destination;
    options.TranscodeVideo = c.transcode;
    EXPECT_EQ(job->Start(options), JobEnd::NotStarted);
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0], std::make_pair(int(RecordingHost::Missing), c.message));
  }
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(host.phases.empty());
  EXPECT_TRUE(host.ends.empty());
}

TEST_F(SubtitleJobTest, SourceThatCannotBeOpenedIsReportedThenTornDown) {
  EXPECT_EQ(job->Start(options), JobEnd::SetupFailed);
  ASSERT_EQ(host.log.size(), 5u);
  EXPECT_EQ(host.log[0], "-=[ START ]=-");
  EXPECT_EQ(host.log[1], "[BEGIN ERROR]");
  EXPECT_FALSE(host.log[2].empty());
  EXPECT_EQ(host.log[3], "[END ERROR]");
  EXPECT_EQ(host.log[4], "Closing all...");
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0], std::make_pair(int(RecordingHost::Error), host.log[2]));
  EXPECT_EQ(host.logAtReport[0], 4u);  // the error comes before the teardown
  EXPECT_EQ(host.phases, (std::vector<JobPhase>{JobPhase::Working, JobPhase::Idle}));
  EXPECT_EQ(host.ends, std::vector<JobEnd>{JobEnd::SetupFailed});
  EXPECT_TRUE(host.loopEnds.empty());
  EXPECT_FALSE(std::filesystem::exists(options.DestinationVideo));
}

TEST_F(SubtitleJobTest, SetupFailuresOfTheOutputAndTheSubtitles) {
  MakeSource(true);
  options.DestinationVideo = (dir / "missing" / "out.avi").string();
  EXPECT_EQ(job->Start(options), JobEnd::SetupFailed);
  EXPECT_EQ(host.reports.back().second.rfind("Can't create output video file...", 0), 0u);
  EXPECT_EQ(host.log.back(), "Closing all...");

  options.DestinationVideo = (dir / "out.avi").string();
  options.Subtitle = (dir / "none.srt").string();
  EXPECT_EQ(job->Start(options), JobEnd::SetupFailed);
  EXPECT_EQ(Tail(host.log, 4)[0], "[BEGIN ERROR]");
  EXPECT_EQ(host.log.back(), "Closing all...");
  EXPECT_FALSE(std::filesystem::exists(options.DestinationVideo));

  // Transcoding never opens the subtitle file.
  options.TranscodeVideo = true;
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
}

TEST_F(SubtitleJobTest, ReadingOptionsReachTheSubtitleFile) {
  MakeSource(false);
  WriteFile(options.Subtitle, "\xEF\xBB\xBF{1}{1}25\r\n{5}{9}Zwölf\r\n");
  EXPECT_EQ(job->Start(options), JobEnd::SetupFailed);
  EXPECT_EQ(Tail(host.log, 4)[1],
            "[SubtitleFile::Open] File is UTF8. Please convert file to ASCII format...");
  host.log.clear();
  options.Reading = {.Unicode = true, .DetectCodePage = true};
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
  EXPECT_NE(std::find(host.log.begin(), host.log.end(),
                      "[ BEGIN SUBTITLE INFO ]\r\nSubtitle format is MicroDVD\r\nSubtitle "
                      "encoding is UTF-8\r\n[ END SUBTITLE INFO ]"),
            host.log.end());
}

TEST_F(SubtitleJobTest, CancelledCompressorChoiceIsLoggedWithoutAnError) {
  MakeSource(true);
  chooserAnswer = 0;
  EXPECT_EQ(job->Start(options), JobEnd::NoCompressor);
  EXPECT_EQ(Tail(host.log, 4), (std::vector<std::string>{"[BEGIN INFO]",
                                                         "User has not selected a codec for "
                                                         "compression...",
                                                         "[END INFO]", "Closing all..."}));
  EXPECT_TRUE(host.reports.empty());
  EXPECT_EQ(host.Phase(), JobPhase::Idle);
  EXPECT_EQ(host.ends, std::vector<JobEnd>{JobEnd::NoCompressor});
  EXPECT_EQ(job->Output(), nullptr);
  EXPECT_TRUE(std::filesystem::exists(options.DestinationVideo));
}

TEST_F(SubtitleJobTest, CompleteJobWritesEveryPictureAndEndsIdle) {
  MakeSource(true);
  std::optional<JobPhase> phaseInLoop;
  host.onProcess = [&] {
    if (!phaseInLoop) phaseInLoop = host.Phase();
    EXPECT_TRUE(job->Running());
  };
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
  EXPECT_EQ(phaseInLoop, JobPhase::Working);
  EXPECT_EQ(host.Phase(), JobPhase::Idle);
  EXPECT_EQ(Tail(host.log, 2), (std::vector<std::string>{"Closing all...", "-=[ END ]=-"}));
  // The loop's end is told before the teardown, the job's after "-=[ END ]=-".
  EXPECT_TRUE(host.reports.empty());
  EXPECT_EQ(host.loopEnds, std::vector<JobEnd>{JobEnd::SourceEnded});
  EXPECT_EQ(host.ends, std::vector<JobEnd>{JobEnd::SourceEnded});
  EXPECT_EQ(host.logAtEnd, host.log.size());
  EXPECT_EQ(host.progress, 50);
  EXPECT_EQ(host.previews, 50);
  EXPECT_FALSE(host.timer);
  EXPECT_FALSE(job->Running());
  EXPECT_EQ(OutputFrames(), 50);
  EXPECT_EQ(job->Output(), nullptr);

  // A second job with the same files starts from a closed decoder.
  host.log.clear();
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
  EXPECT_EQ(host.log.front(), "-=[ START ]=-");
  EXPECT_EQ(OutputFrames(), 50);
}

TEST_F(SubtitleJobTest, StopHalfWayEndsAfterThePassAndLeavesAPlayableFile) {
  MakeSource(true);
  std::optional<JobPhase> phaseAfterStop;
  JobEnd restart = JobEnd::SourceEnded;
  host.onProcess = [&] {
    if (host.progress == 20 && !phaseAfterStop) {
      job->EndRunning();
      phaseAfterStop = host.Phase();
      EXPECT_FALSE(job->Running());
      EXPECT_TRUE(job->Active());
      // Start is free again, but no job begins before this one is torn down.
      restart = job->Start(options);
    }
  };
  EXPECT_EQ(job->Start(options), JobEnd::Stopped);
  EXPECT_EQ(phaseAfterStop, JobPhase::Stopping);
  EXPECT_EQ(restart, JobEnd::NotStarted);
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "-=[ START ]=-"), 1);
  EXPECT_EQ(Tail(host.log, 2), (std::vector<std::string>{"Closing all...", "-=[ END ]=-"}));
  EXPECT_EQ(host.ends.back(), JobEnd::Stopped);
  EXPECT_EQ(host.Phase(), JobPhase::Idle);
  EXPECT_EQ(OutputFrames(), 20);
  std::string errors;
  EXPECT_EQ(RunShell("ffmpeg -v error -i " + options.DestinationVideo + " -f null -", &errors), 0);
  EXPECT_EQ(errors, "");
}

TEST_F(SubtitleJobTest, EndRunningReportsNoErrorAndClosesTheOutput) {
  MakeSource(false);
  host.onProcess = [&] {
    if (host.progress == 5) job->EndRunning();
  };
  EXPECT_EQ(job->Start(options), JobEnd::Stopped);
  EXPECT_TRUE(host.reports.empty());
  EXPECT_EQ(host.loopEnds, std::vector<JobEnd>{JobEnd::Stopped});
  EXPECT_EQ(host.log.back(), "-=[ END ]=-");
  EXPECT_EQ(job->Output(), nullptr);
}

TEST_F(SubtitleJobTest, SourceWithoutAudioGetsNoAudioStream) {
  MakeSource(false);
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
  EXPECT_EQ(Ffprobe("-show_entries stream=codec_type -of csv=p=0 " + options.DestinationVideo),
            "video\n");
  EXPECT_EQ(OutputFrames(), 50);
}

TEST_F(SubtitleJobTest, RefreshTickShowsStatisticsOnTheNextPass) {
  MakeSource(true);
  bool ticked = false;
  host.onProcess = [&] {
    if (host.progress == 3 && !ticked) {
      ticked = true;
      job->RefreshTimerTick();
      EXPECT_FALSE(host.timer);  // off until the refresh has been made
    }
  };
  EXPECT_EQ(job->Start(options), JobEnd::SourceEnded);
  // The reset at the start, then one refresh.
  EXPECT_EQ(host.statistics, 2);
  EXPECT_TRUE(ticked);
}

TEST_F(SubtitleJobTest, CloseAllIsSafeWhenNothingIsOpen) {
  job->CloseAll();
  job->CloseAll();
  EXPECT_EQ(host.log, (std::vector<std::string>(2, "Closing all...")));
  EXPECT_EQ(host.Phase(), JobPhase::Idle);
  EXPECT_FALSE(job->Running());
}

namespace {

// Average PSNR of the pictures of b against those of a, over the rows the
// crop filter's arguments keep ("iw:ih*0.5:0:0").
double Psnr(const std::string& a, const std::string& b, const std::string& crop) {
  std::string output;
  EXPECT_EQ(RunShell("ffmpeg -v info -nostdin -i '" + a + "' -i '" + b +
                         "' -lavfi '[0:v]format=yuv420p,crop=" + crop +
                         "[a];[1:v]format=yuv420p,crop=" + crop +
                         "[b];[a][b]psnr' -f null - 2>&1 | grep -o 'average:[0-9.inf]*'",
                     &output),
            0);
  return std::atof(output.c_str() + output.find(':') + 1);
}

std::string FrameHashes(const std::string& path) {
  std::string output;
  EXPECT_EQ(
      RunShell("ffmpeg -v error -nostdin -i '" + path + "' -map 0:v -f framemd5 - | grep -v '^#'",
               &output),
      0);
  return output;
}

}  // namespace

// Without a preview open, pictures go to an encoder of 4:2:0 as decoded, with
// only the band of the text converted to BGR and back. Lossy output: the
// rows without text are at least as close to the source as before, the rows
// of the text as close to the subtitled pictures. Lossless compressors still
// get every picture converted, bit for bit as before.
TEST_F(SubtitleJobTest, PicturesSkipTheRoundTripOnlyWhereNoPreviewShowsAndTheEncoderTakesPlanes) {
  Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -pix_fmt yuv420p -c:v libx264 "
      "-crf 10 " +
      options.SourceVideo);
  int previewsOffered = 0;
  const auto run = [&](FOURCC code, bool preview, const std::string& name) {
    compressor = code;
    host.showsPreview = preview;
    host.previews = 0;
    options.DestinationVideo = (dir / name).string();
    EXPECT_EQ(job->Start(options), JobEnd::SourceEnded) << name;
    // Converted pictures are all offered to the preview; planar ones not.
    if (preview) {
      EXPECT_EQ(host.previews, 50) << name;
    }
    previewsOffered = host.previews;
    return options.DestinationVideo;
  };
  // Subtitled pictures with no loss.
  const std::string reference = run(MakeFourCC('F', 'F', 'V', '1'), true, "reference.avi");
  EXPECT_EQ(FrameHashes(run(MakeFourCC('F', 'F', 'V', '1'), false, "ffv1.avi")),
            FrameHashes(reference));
  EXPECT_EQ(previewsOffered, 50);
  EXPECT_EQ(FrameHashes(run(MakeFourCC('H', 'F', 'Y', 'U'), false, "hfyu.avi")),
            FrameHashes(run(MakeFourCC('H', 'F', 'Y', 'U'), true, "hfyu_shown.avi")));
  const std::string plain = "iw:ih*0.6:0:0", textRows = "iw:ih*0.25:0:ih*0.75", whole = "iw:ih:0:0";
  for (const char* code : {"XVID", "H264"}) {
    const FOURCC fourcc = MakeFourCC(code[0], code[1], code[2], code[3]);
    const std::string shown = run(fourcc, true, std::string(code) + "_shown.avi");
    for (const char* container : {".avi", ".mkv"}) {
      const std::string planar = run(fourcc, false, std::string(code) + "_planar" + container);
      EXPECT_LE(previewsOffered, 1) << "only the picture that starts the compressor";
      const double before = Psnr(options.SourceVideo, shown, plain);
      EXPECT_GT(before, 30.0) << code;
      EXPECT_GE(Psnr(options.SourceVideo, planar, plain), before) << code << container;
      EXPECT_GT(Psnr(options.SourceVideo, planar, whole),
                Psnr(options.SourceVideo, shown, whole) - 0.5)
          << code << container;
      // The text is there (the source scores 35 here). The reference went
      // through the round trip also beside the text, which costs the planar
      // output up to 0.6 dB in these rows.
      const double text = Psnr(reference, planar, textRows);
      EXPECT_GT(text, 38.0) << code << container;
      EXPECT_GT(text, Psnr(reference, shown, textRows) - 1.0) << code << container;
    }
  }
}

// A 10-bit job writes its pictures planar, yet an open preview still shows
// each one, with the subtitle on the pictures that have it (frames 5 to 14
// and 20 to 24 of the file, the last frames included) and on no other.
TEST_F(SubtitleJobTest, DeepPicturesStillReachAnOpenPreviewWithTheirSubtitle) {
  if (!COMPRESSORCATALOG::FindCompressorByCode("HEVC")) GTEST_SKIP() << "no x265";
  Ffmpeg(
      "-f lavfi -i color=c=0x204060:size=96x64:rate=25:duration=2 -pix_fmt yuv420p10le "
      "-c:v ffv1 " +
      options.SourceVideo);
  compressor = MakeFourCC('H', 'E', 'V', 'C');
  options.DestinationVideo = (dir / "deep.mkv").string();
  ASSERT_EQ(job->Start(options), JobEnd::SourceEnded);
  EXPECT_NE(Ffprobe("-v error -select_streams v -show_entries stream=pix_fmt -of csv=p=0 " +
                    options.DestinationVideo),
            "yuv420p\n");
  ASSERT_EQ(host.previews, 50);
  const uint64_t plain = host.previewSums[0];
  for (int frame = 0; frame < 50; ++frame) {
    const bool subtitled = (frame >= 5 && frame <= 14) || (frame >= 20 && frame <= 24);
    EXPECT_EQ(host.previewSums[size_t(frame)] != plain, subtitled) << frame;
  }
}
