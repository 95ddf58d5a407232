// The still of a moment against the job's own picture of the same moment.
#include "job/StillPicture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <map>
#include <set>

#include "compressors/CompressorCatalog.h"
#include "job/SubtitleJob.h"
#include "shell/Settings.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// Keeps the pixel rows of the pictures the job shows, by their number.
class CapturingHost : public JOBHOST::JobHost {
 public:
  explicit CapturingHost(std::set<int32_t> wanted) : wanted_(std::move(wanted)) {}
  void AppendLog(const std::string& text) override { log.push_back(text); }
  void PhaseChanged(SUBTITLEJOB::JobPhase) override {}
  void InputMissing(const std::string&) override {}
  void ErrorReported(const std::string&, const std::string&) override {}
  void ShowStatistics(const JOBSTATISTICS::StatisticsTexts&,
                      const JOBSTATISTICS::Progress&) override {}
  void SetProgressMaximum(int) override {}
  void SetProgressPosition(int) override {}
  void ShowPreview(const BMPFRAME::BmpView& picture) override {
    if (wanted_.count(shown_) != 0) {
      const BITMAPINFOHEADER* frame = picture.Info();
      const auto* pixels = reinterpret_cast<const uint8_t*>(frame) + frame->biSize;
      pictures[shown_].assign(pixels, pixels + frame->biSizeImage);
    }
    ++shown_;
  }
  void ProcessMessages() override {}
  void SetRefreshTimer(bool) override {}
  bool ChooseCompressor(const ENCODERCHOICE::ChoiceRequest&,
                        ENCODERCHOICE::EncoderChoice& choice) override {
    choice.Codec = COMPRESSORCATALOG::kFullFrames;
    return true;
  }
  void LoopEnded(SUBTITLEJOB::JobEnd) override {}
  void JobEnded(SUBTITLEJOB::JobEnd) override {}

  std::map<int32_t, std::vector<uint8_t>> pictures;
  std::vector<std::string> log;

 private:
  std::set<int32_t> wanted_;
  int32_t shown_ = 0;
};

std::unique_ptr<VELAVCODEC::VelAvCodec> NewDecoder() {
  const SETTINGS::Settings settings;
  return std::make_unique<VELAVCODEC::VelAvCodec>(settings.AvCodec, settings.AvFormat,
                                                  settings.AvUtil, settings.SwScale);
}

std::vector<uint8_t> PixelsOf(const BMPFRAME::BmpFrame& still) {
  return std::vector<uint8_t>(still.Pixels(), still.Pixels() + still.size() - 54);
}

class StillPictureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    media = new TempDir;
    // Key frames every 25 pictures with B-frames between, and audio.
    Ffmpeg(
        "-f lavfi -i testsrc2=s=160x96:r=25:d=6 -f lavfi -i sine=d=6 -c:v libx264 -bf 2 "
        "-g 25 -sc_threshold 0 -c:a aac " +
        (*media / "film.mp4").string());
    // Timestamps with a gap, and none at all.
    Ffmpeg(
        "-f lavfi -i testsrc2=s=160x96:r=25:d=4 -vf \"select='lt(n,40)+gt(n,60)'\" "
        "-fps_mode vfr -c:v libx264 -g 10 " +
        (*media / "gaps.mkv").string());
    Ffmpeg("-f lavfi -i testsrc2=s=160x96:r=25:d=4 -c:v libx264 -g 10 " +
           (*media / "raw.h264").string());
    WriteFile(*media / "subs.srt",
              "1\r\n00:00:00,000 --> 00:00:01,000\r\nFirst entry\r\n\r\n"
              "2\r\n00:00:03,000 --> 00:00:04,500\r\nTwo lines,\r\nthe second longer\r\n\r\n"
              "3\r\n00:00:05,000 --> 00:00:05,400\r\nLast\r\n\r\n");
  }
  static void TearDownTestSuite() { delete media; }

  JOBOPTIONS::JobOptions Options(const std::string& source = "film.mp4") {
    JOBOPTIONS::JobOptions options;
    options.SourceVideo = (*media / source).string();
    options.Subtitle = (*media / "subs.srt").string();
    options.DestinationVideo = (dir / "out.avi").string();
    options.Font.Size = 14;
    options.Font.Color = 0x00FFFFFF;
    return options;
  }

  // The job's own pictures with these numbers.
  std::map<int32_t, std::vector<uint8_t>> JobPictures(const JOBOPTIONS::JobOptions& options,
                                                      std::set<int32_t> numbers) {
    CapturingHost host(std::move(numbers));
    JOBMATERIALS::JobMaterials materials;
    materials.Decoder = NewDecoder();
    SUBTITLEJOB::SubtitleJob job(host, materials);
    EXPECT_EQ(job.Start(options), SUBTITLEJOB::JobEnd::SourceEnded);
    return host.pictures;
  }

  std::vector<uint8_t> Still(const JOBOPTIONS::JobOptions& options, double seconds) {
    auto decoder = NewDecoder();
    BMPFRAME::BmpFrame still;
    std::string error;
    EXPECT_TRUE(STILLPICTURE::ComposeStill(*decoder, options, seconds, still, error)) << error;
    EXPECT_EQ(still.Width(), 160);
    EXPECT_EQ(still.Height(), 96);
    return still.empty() ? std::vector<uint8_t>() : PixelsOf(still);
  }

  static TempDir* media;
  TempDir dir;
};

TempDir* StillPictureTest::media = nullptr;

}  // namespace

TEST(StillPictureIndex, TheMomentsPictureIsTheOneShowingThen) {
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(0.0, 25.0), 0);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(0.039, 25.0), 0);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(0.04, 25.0), 1);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(3.2, 25.0), 80);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(1.001, 24000.0 / 1001), 24);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(1e12, 25.0), INT32_MAX);
  EXPECT_EQ(STILLPICTURE::PictureIndexAt(-1.0, 25.0), 0);
}

TEST(StillPictureTime, SecondsOrHoursMinutesAndSeconds) {
  using STILLPICTURE::ParseStillTime;
  EXPECT_EQ(ParseStillTime("12.5"), 12.5);
  EXPECT_EQ(ParseStillTime("0"), 0.0);
  EXPECT_EQ(ParseStillTime("1:05"), 65.0);
  EXPECT_EQ(ParseStillTime("1:02:03.5"), 3723.5);
  EXPECT_EQ(ParseStillTime("50:00"), 3000.0);
  for (const char* bad : {"", "-1", "+1", "1:", ":5", "1:2:3:4", "a", "1e999", "nan", "inf", " 1"})
    EXPECT_FALSE(ParseStillTime(bad).has_value()) << bad;
}

TEST_F(StillPictureTest, StillEqualsTheJobsPictureWithAndWithoutAnEntry) {
  JOBOPTIONS::JobOptions options = Options();
  options.UseFrames = false;
  options.DelayMilliseconds = 200;  // entry 2 covers 3.2 s to 4.7 s
  const std::map<double, int32_t> moments = {{0.5, 12},  {3.1, 77},   {3.2, 80},
                                             {4.0, 100}, {4.72, 118}, {5.96, 149}};
  std::set<int32_t> numbers;
  for (const auto& [seconds, number] : moments) numbers.insert(number);
  const auto job = JobPictures(options, numbers);
  ASSERT_EQ(job.size(), numbers.size());
  JOBOPTIONS::JobOptions bare = options;
  bare.TranscodeVideo = true;
  for (const auto& [seconds, number] : moments) {
    const std::vector<uint8_t> still = Still(options, seconds);
    EXPECT_EQ(still, job.at(number)) << seconds << " s";
    const bool entryDue = seconds < 1.2 || (seconds >= 3.2 && seconds < 4.7);
    EXPECT_EQ(still != Still(bare, seconds), entryDue) << seconds << " s";
  }
}

TEST_F(StillPictureTest, StillWithALookEqualsTheJobsPicture) {
  JOBOPTIONS::JobOptions options = Options();
  options.Look = {2, 0x0000FF, 2, 0x000000, 50, 0x000000, true, 10};
  options.Font.Size = 40;  // auto-size shrinks the two lines
  const auto job = JobPictures(options, {90});
  EXPECT_EQ(Still(options, 3.6), job.at(90));
}

// Pictures count as the job places them: across a gap in time the job
// repeats the picture before it; without timestamps it counts from the start.
TEST_F(StillPictureTest, SourcesWithGapsOrWithoutTimestampsCountAsTheJobCounts) {
  for (const char* source : {"gaps.mkv", "raw.h264"}) {
    JOBOPTIONS::JobOptions options = Options(source);
    options.UseFrames = true;
    options.DelayFrames = -40;  // entry 2 now covers pictures 35 to 72
    const auto job = JobPictures(options, {20, 45, 70});
    ASSERT_EQ(job.size(), 3u) << source;
    // Times at the decoder's nominal 25 pictures a second.
    EXPECT_EQ(Still(options, 0.8), job.at(20)) << source;
    EXPECT_EQ(Still(options, 1.8), job.at(45)) << source;
    EXPECT_EQ(Still(options, 2.8), job.at(70)) << source;
  }
}

TEST_F(StillPictureTest, FailuresNameTheirCause) {
  const struct {
    std::string source, subtitle;
    double seconds;
    std::string error;
  } cases[] = {
      {"missing.mp4", "subs.srt", 1.0, "[VelAvCodec::PreOpen] Can't open input file..."},
      {"film.mp4", "film.mp4", 1.0, ""},  // the subtitle file's own words
      {"film.mp4", "subs.srt", 6.5, "[VelAvCodec::SeekPicture] No picture at that time..."},
  };
  for (const auto& c : cases) {
    JOBOPTIONS::JobOptions options = Options(c.source);
    options.Subtitle = (*media / c.subtitle).string();
    auto decoder = NewDecoder();
    BMPFRAME::BmpFrame still;
    std::string error;
    EXPECT_FALSE(STILLPICTURE::ComposeStill(*decoder, options, c.seconds, still, error));
    if (c.error.empty())
      EXPECT_EQ(error.rfind("[SubtitleFile::Open]", 0), 0u) << error;
    else
      EXPECT_EQ(error, c.error);
    int32_t kind = 0, size = 0;
    EXPECT_EQ(decoder->GetNextData(kind, size), nullptr);  // closed again
  }
}

TEST_F(StillPictureTest, PngHoldsThePictureTopRowFirst) {
  auto decoder = NewDecoder();
  BMPFRAME::BmpFrame still;
  std::string error;
  ASSERT_TRUE(STILLPICTURE::ComposeStill(*decoder, Options(), 3.5, still, error)) << error;
  int32_t kind = 0, size = 0;
  EXPECT_EQ(decoder->GetNextData(kind, size), nullptr);  // closed again
  const std::string png = (dir / "still.png").string();
  ASSERT_TRUE(STILLPICTURE::WritePng(still, png, error)) << error;
  const QImage read(QString::fromStdString(png));
  ASSERT_EQ(read.size(), QSize(160, 96));
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 160; ++x) {
      const uint8_t* bgr = still.Row(95 - y) + 3 * x;
      ASSERT_EQ(read.pixel(x, y), qRgb(bgr[2], bgr[1], bgr[0])) << x << "," << y;
    }
  EXPECT_FALSE(STILLPICTURE::WritePng(still, (dir / "no/such/folder.png").string(), error));
  EXPECT_EQ(error, "[StillPicture::WritePng] Can't write the picture file...");
}
