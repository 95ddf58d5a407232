// --crop, --scale, --width and --height: the bars found over the film (never
// into the picture, whatever dark scenes it opens on), the part asked, the
// size asked, every source form the job takes; the subtitles drawn on the
// output's picture as on a source of that size, the still alike.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/PgsWriter.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// White letters on mid-grey: the ink is what is far brighter than grey.
constexpr const char* kSubtitles = "1\n00:00:00,500 --> 00:00:03,500\nShape of things\n";
constexpr const char* kInk = " --font-color 0xFFFFFF --font-size 14 ";

struct Gray {
  int width = 0, height = 0;
  std::string bytes;
  int At(int x, int y) const { return uint8_t(bytes[size_t(y) * size_t(width) + size_t(x)]); }
};

// The `index`-th picture of a video (or a PNG) as 8-bit luma.
Gray PictureOf(const fs::path& file, int index, int width, int height) {
  Gray gray{width, height, {}};
  RunShell("ffmpeg -nostdin -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(index) + ")\" -frames:v 1 -f rawvideo -pix_fmt gray -",
           &gray.bytes);
  if (gray.bytes.size() != size_t(width) * size_t(height)) gray.bytes.clear();
  return gray;
}

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};

// Where the samples brighter than `above` lie.
Box InkBox(const Gray& picture, int above) {
  Box box;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      if (picture.At(x, y) > above) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

std::string Size(const fs::path& file) {
  std::string size = Ffprobe(
      "-v error -select_streams v:0 -show_entries stream=width,height -of "
      "csv=p=0:s=x " +
      file.string());
  while (!size.empty() && (size.back() == '\n' || size.back() == '\r')) size.pop_back();
  return size;
}

class ShapeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    WriteFile(Path("subs.srt"), kSubtitles);
    const std::string x264 = " -c:v libx264 -g 25 -pix_fmt yuv420p ";
    // 2.4:1 in a 4:3 frame, opening on two seconds of black.
    Ffmpeg(
        "-f lavfi -i color=black:size=320x134:rate=25:duration=2 -f lavfi -i "
        "testsrc2=size=320x134:rate=25:duration=6 -filter_complex "
        "\"[0][1]concat=n=2,pad=320:240:0:53:black\"" +
        x264 + Path("letterbox.mp4").string());
    Ffmpeg("-f lavfi -i testsrc2=size=240x240:rate=25:duration=4 -vf pad=320:240:40:0:black" +
           x264 + Path("pillarbox.mp4").string());
    // Made another way: MPEG-2 in a transport stream with grain over the
    // bars too, and a dim VP9 film whose picture is mostly near black.
    Ffmpeg(
        "-f lavfi -i testsrc2=size=320x180:rate=25:duration=4 -vf "
        "pad=320:240:0:30:black,noise=alls=10:allf=t -c:v mpeg2video -q:v 4 -f mpegts " +
        Path("grain.ts").string());
    Ffmpeg(
        "-f lavfi -i testsrc2=size=240x240:rate=25:duration=4 -vf "
        "eq=brightness=-0.35,pad=320:240:40:0:black -c:v libvpx-vp9 -g 25 -b:v 300k " +
        Path("dim.webm").string());
    // Dark all through: a film black from end to end.
    Ffmpeg("-f lavfi -i color=black:size=320x240:rate=25:duration=3" + x264 +
           Path("dark.mp4").string());
    // Odd sizes, and the deep and 4:2:2 forms, losslessly.
    Ffmpeg(
        "-f lavfi -i testsrc2=size=319x160:rate=25:duration=3 -vf pad=319:239:0:40:black "
        "-c:v ffv1 -pix_fmt yuv420p " +
        Path("odd.mkv").string());
    Ffmpeg(
        "-f lavfi -i testsrc2=size=320x160:rate=25:duration=3 -vf pad=320:240:0:40:black "
        "-c:v ffv1 -pix_fmt yuv422p10le " +
        Path("deep422.mkv").string());
    Ffmpeg(
        "-f lavfi -i testsrc2=size=320x160:rate=25:duration=3 -vf pad=320:240:0:40:black "
        "-c:v libx265 -x265-params log-level=none -pix_fmt yuv420p10le " +
        Path("deep420.mkv").string());
    // Pixels wider than high: 352x240 shown at 16:9.
    Ffmpeg("-f lavfi -i testsrc2=size=352x240:rate=25:duration=2 -vf setsar=40/33" + x264 +
           Path("wide-pixels.mp4").string());
    // Flat grey at two sizes, for the subtitles' place and size.
    Ffmpeg("-f lavfi -i color=gray:size=640x480:rate=25:duration=4" + x264 +
           Path("grey640.mp4").string());
    Ffmpeg("-f lavfi -i color=gray:size=320x240:rate=25:duration=4" + x264 +
           Path("grey320.mp4").string());
    // A grey picture between bars of 30 rows, above and below.
    Ffmpeg("-f lavfi -i color=gray:size=320x180:rate=25:duration=4 -vf pad=320:240:0:30:black" +
           x264 + Path("greybars.mp4").string());
    // A white disc picture in the lower half of its canvas, 20 canvas rows
    // high (4.4 of the output's), right of the middle.
    pgswriter::DisplaySet shown;
    shown.Pts90k = 45000;
    shown.Palette = {{1, 255, 255, 255, 255}};
    shown.Objects = {pgswriter::FilledRectangle(1100, 700, 400, 20, 1)};
    WriteFile(Path("subs.sup"),
              pgswriter::WriteSup({shown, pgswriter::ClearingSet(shown, 315000)}));
    // The same low in the frame, inside the bar a crop cuts away.
    shown.Objects = {pgswriter::FilledRectangle(1100, 1040, 400, 20, 1)};
    WriteFile(Path("low.sup"), pgswriter::WriteSup({shown, pgswriter::ClearingSet(shown, 315000)}));
    // Two lines, 200 canvas rows from the first's top to the second's
    // bottom (44 of the output's): taller than a bar of 30.
    shown.Objects = {pgswriter::FilledRectangle(1100, 760, 400, 60, 1),
                     pgswriter::FilledRectangle(1100, 900, 400, 60, 1)};
    WriteFile(Path("tall.sup"),
              pgswriter::WriteSup({shown, pgswriter::ClearingSet(shown, 315000)}));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static fs::path Path(const std::string& name) { return dir_->path() / name; }
  static ProgramRun Job(const std::string& source, const std::string& output,
                        const std::string& options) {
    return RunProgram("--defaults --source " + Path(source).string() + " --subtitles " +
                      Path("subs.srt").string() + " --output " + Path(output).string() + " " +
                      options);
  }
  static TempDir* dir_;
};

TempDir* ShapeTest::dir_ = nullptr;

}  // namespace

TEST_F(ShapeTest, AutoCropFindsTheBarsAndNeverThePicture) {
  struct Case {
    const char *source, *output, *options, *line, *size;
  };
  const Case cases[] = {
      // The black opening says nothing: the bars come from the rest.
      {"letterbox.mp4", "letterbox.mkv", "--compressor H264",
       "Crop: 320x134 at 0,52 (black bars above and below)", "320x134"},
      {"pillarbox.mp4", "pillarbox.avi", "--compressor XVID",
       "Crop: 240x240 at 40,0 (black bars left and right)", "240x240"},
      {"dark.mp4", "dark.mkv", "--compressor H264", "Crop: 320x240 at 0,0 (no black bars)",
       "320x240"},
      {"odd.mkv", "odd.mkv.mkv", "--compressor H264",
       "Crop: 318x160 at 0,40 (black bars above and below)", "318x160"},
      {"deep422.mkv", "deep422.mkv.mkv", "--compressor H264",
       "Crop: 320x160 at 0,40 (black bars above and below)", "320x160"},
      {"deep420.mkv", "deep420.mkv.mkv", "--compressor HEVC",
       "Crop: 320x160 at 0,40 (black bars above and below)", "320x160"},
      {"grain.ts", "grain.mkv", "--compressor H264",
       "Crop: 320x180 at 0,30 (black bars above and below)", "320x180"},
      {"dim.webm", "dim.avi", "--compressor XVID",
       "Crop: 240x240 at 40,0 (black bars left and right)", "240x240"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = Job(c.source, c.output, std::string(c.options) + " --crop auto");
    ASSERT_EQ(run.status, 0) << c.source << run.out << run.err;
    EXPECT_NE(run.out.find(std::string(c.line) + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(Size(Path(c.output)), c.size) << c.source;
    EXPECT_EQ(DecodeErrors(Path(c.output)), "") << c.source;
  }
  // The cropped letterbox keeps no bar: its top and bottom rows are picture.
  const Gray cropped = PictureOf(Path("letterbox.mkv"), 100, 320, 134);
  ASSERT_FALSE(cropped.bytes.empty());
  for (int y : {0, 133}) {
    int lit = 0;
    for (int x = 0; x < 320; ++x) lit += cropped.At(x, y) > 40;
    EXPECT_GT(lit, 160) << "row " << y;
  }
  // The deep source stays deep where the compressor keeps it.
  EXPECT_NE(Ffprobe("-v error -show_entries stream=pix_fmt -of csv=p=0 " +
                    Path("deep420.mkv.mkv").string())
                .find("yuv420p10"),
            std::string::npos);
}

TEST_F(ShapeTest, AnExactCropAndTheScaleGiveTheSizeAsked) {
  struct Case {
    const char *source, *options, *size;
    int pictures;
  };
  const Case cases[] = {
      {"letterbox.mp4", "--crop 200:100:11:61 --compressor H264", "200x100", 200},
      {"letterbox.mp4", "--crop auto --height 100 --compressor H264", "238x100", 200},
      // The side that follows is even.
      {"letterbox.mp4", "--crop auto --width 170 --compressor XVID", "170x72", 200},
      {"pillarbox.mp4", "--scale 160x90 --compressor H264", "160x90", 100},
      {"deep422.mkv", "--crop auto --width 160 --compressor H264", "160x80", 75},
      {"deep420.mkv", "--crop auto --height 120 --compressor HEVC", "240x120", 75},
      {"odd.mkv", "--scale 200x100 --compressor XVID", "200x100", 75},
      // A side asked odd loses its last column or row, and the log says so.
      {"letterbox.mp4", "--crop auto --width 171 --compressor H264", "170x72", 200},
      {"pillarbox.mp4", "--scale 161x91 --compressor XVID", "160x90", 100},
      // The side that follows keeps the picture as it is shown.
      {"wide-pixels.mp4", "--width 320 --compressor H264", "320x180", 50},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string output = "scaled" + std::to_string(n++) + ".mkv";
    const ProgramRun run = Job(c.source, output, c.options);
    ASSERT_EQ(run.status, 0) << c.options << run.out << run.err;
    EXPECT_EQ(Size(Path(output)), c.size) << c.options;
    EXPECT_EQ(CountedPictures(Path(output)), c.pictures) << c.options;
    if (std::string(c.options).find("--crop 200") == std::string::npos)
      EXPECT_NE(run.out.find(std::string(" to ") + c.size), std::string::npos) << run.out;
  }
  // The exact crop keeps that part: the top-left 11,61 of the source's
  // picture is the output's first sample.
  const Gray source = PictureOf(Path("letterbox.mp4"), 100, 320, 240);
  const Gray crop = PictureOf(Path("scaled0.mkv"), 100, 200, 100);
  ASSERT_FALSE(source.bytes.empty());
  ASSERT_FALSE(crop.bytes.empty());
  int near = 0;
  for (int y = 0; y < 100; y += 7)
    for (int x = 0; x < 200; x += 7)
      near += std::abs(source.At(x + 10, y + 60) - crop.At(x, y)) < 24;
  EXPECT_GT(near, 15 * 29 * 9 / 10);
}

TEST_F(ShapeTest, SubtitlesAreDrawnAtTheOutputsSizeAndTheStillShowsThem) {
  ASSERT_EQ(Job("grey640.mp4", "down.mkv", std::string(kInk) + "--scale 320x240 --compressor H264")
                .status,
            0);
  ASSERT_EQ(Job("grey320.mp4", "native.mkv", std::string(kInk) + "--compressor H264").status, 0);
  const Box down = InkBox(PictureOf(Path("down.mkv"), 50, 320, 240), 200);
  const Box native = InkBox(PictureOf(Path("native.mkv"), 50, 320, 240), 200);
  ASSERT_FALSE(native.empty());
  ASSERT_FALSE(down.empty());
  // The same letters, not letters drawn at 640 and halved.
  EXPECT_NEAR(down.top, native.top, 1);
  EXPECT_NEAR(down.bottom, native.bottom, 1);
  EXPECT_NEAR(down.left, native.left, 1);
  EXPECT_NEAR(down.right, native.right, 1);
  const ProgramRun still =
      RunProgram("--defaults --source " + Path("grey640.mp4").string() + " --subtitles " +
                 Path("subs.srt").string() + kInk + "--scale 320x240 --snapshot 2 --output " +
                 Path("still.png").string());
  ASSERT_EQ(still.status, 0) << still.out << still.err;
  const Box shown = InkBox(PictureOf(Path("still.png"), 0, 320, 240), 200);
  ASSERT_FALSE(shown.empty());
  EXPECT_NEAR(shown.top, native.top, 1);
  EXPECT_NEAR(shown.bottom, native.bottom, 1);
}

TEST_F(ShapeTest, OffTheOutputIsTodaysAndBadShapesAreRefused) {
  ASSERT_EQ(Job("letterbox.mp4", "plain.mkv", "--compressor H264").status, 0);
  ASSERT_EQ(Job("letterbox.mp4", "asked.mkv",
                "--compressor H264 --crop none --subtitle-place bottom --subtitle-raise 0")
                .status,
            0);
  EXPECT_EQ(ReadFile(Path("plain.mkv")), ReadFile(Path("asked.mkv")));
  for (const char* bad : {"--crop 10:10", "--crop 400:100:0:0", "--crop half", "--scale 100",
                          "--scale 8x8", "--subtitle-place middle", "--width -2"}) {
    const ProgramRun run = Job("letterbox.mp4", "bad.mkv", std::string("--compressor H264 ") + bad);
    EXPECT_NE(run.status, 0) << bad;
    EXPECT_FALSE(run.err.empty()) << bad;
  }
  // Copying the untouched pictures can't be had once every picture changes.
  const ProgramRun smart =
      Job("letterbox.mp4", "smart.mkv", "--compressor H264 --smart --crop auto");
  ASSERT_EQ(smart.status, 0) << smart.err;
  EXPECT_NE((smart.out + smart.err).find("a crop or scale changes every picture"),
            std::string::npos)
      << smart.out;
}

// Where the subtitle's ink lies with --subtitle-place and --subtitle-raise,
// in the still and in a frame written through BGR (DIB) and planar (H264).
class PlaceTest : public ShapeTest {
 protected:
  static Box Placed(const std::string& source, const std::string& subtitles,
                    const std::string& options, std::string* log = nullptr) {
    static int n = 0;
    const bool avi = options.find("DIB") != std::string::npos;
    const std::string output = "placed" + std::to_string(n++) + (avi ? ".avi" : ".mkv");
    const ProgramRun run = RunProgram("--defaults --source " + Path(source).string() +
                                      " --subtitles " + Path(subtitles).string() + " --output " +
                                      Path(output).string() + kInk + options);
    EXPECT_EQ(run.status, 0) << options << run.out << run.err;
    if (log != nullptr) *log = run.out;
    return InkBox(PictureOf(Path(output), 50, 320, 240), 200);
  }
};

TEST_F(PlaceTest, InTheBarsTheInkIsInsideTheBarAndNoneInThePicture) {
  // Bars of 30 rows: the lower one from row 210.
  for (const char* options : {"--compressor H264", "--compressor DIB", "--compressor H264 --styled",
                              "--compressor DIB --styled", "--compressor H264 --margin 120",
                              "--compressor DIB --outline 2 --margin 40"}) {
    std::string log;
    const Box box =
        Placed("greybars.mp4", "subs.srt", std::string(options) + " --subtitle-place bars", &log);
    ASSERT_FALSE(box.empty()) << options;
    EXPECT_GE(box.top, 210) << options;
    EXPECT_LE(box.bottom, 239) << options;
    EXPECT_EQ(log.find("no black bar"), std::string::npos) << options;
  }
  // A disc picture goes down into the bar whole, its place across kept.
  const Box bottom = Placed("greybars.mp4", "subs.sup", "--compressor H264");
  ASSERT_FALSE(bottom.empty());
  EXPECT_LT(bottom.top, 210);
  for (const char* compressor : {"H264", "DIB"}) {
    const Box bars = Placed("greybars.mp4", "subs.sup",
                            std::string("--compressor ") + compressor + " --subtitle-place bars");
    ASSERT_FALSE(bars.empty()) << compressor;
    EXPECT_GE(bars.top, 210) << compressor;
    EXPECT_LE(bars.bottom, 239) << compressor;
    EXPECT_EQ(bars.bottom - bars.top, bottom.bottom - bottom.top) << compressor;
    EXPECT_EQ(bars.left, bottom.left) << compressor;
    EXPECT_EQ(bars.right, bottom.right) << compressor;
    // Taller than the bar: drawn smaller as a whole, about its centre
    // across, so that it fits.
    const Box tall = Placed("greybars.mp4", "tall.sup",
                            std::string("--compressor ") + compressor + " --subtitle-place bars");
    const Box tallAtBottom =
        Placed("greybars.mp4", "tall.sup", std::string("--compressor ") + compressor);
    ASSERT_FALSE(tall.empty()) << compressor;
    EXPECT_GE(tall.top, 210) << compressor;
    EXPECT_LE(tall.bottom, 239) << compressor;
    EXPECT_GE(tall.bottom - tall.top, 24) << compressor;
    const double fit =
        double(tall.bottom - tall.top + 1) / (tallAtBottom.bottom - tallAtBottom.top + 1);
    EXPECT_LT(fit, 0.75) << compressor;
    EXPECT_NEAR(tall.right - tall.left + 1, (tallAtBottom.right - tallAtBottom.left + 1) * fit, 2)
        << compressor;
    EXPECT_NEAR(tall.left + tall.right, tallAtBottom.left + tallAtBottom.right, 2) << compressor;
  }
  // The still shows the same.
  const ProgramRun still =
      RunProgram("--defaults --source " + Path("greybars.mp4").string() + " --subtitles " +
                 Path("subs.srt").string() + kInk + "--subtitle-place bars --snapshot 2 --output " +
                 Path("bars.png").string());
  ASSERT_EQ(still.status, 0) << still.err;
  const Box shown = InkBox(PictureOf(Path("bars.png"), 0, 320, 240), 200);
  ASSERT_FALSE(shown.empty());
  EXPECT_GE(shown.top, 210);
}

TEST_F(PlaceTest, WithoutABarItStaysAtTheBottomAndSaysSo) {
  const Box bottom = Placed("grey320.mp4", "subs.srt", "--compressor H264");
  for (const char* source : {"grey320.mp4", "greybars.mp4"}) {
    // The bars cropped away are no bars either.
    std::string log;
    const Box box =
        Placed(source, "subs.srt",
               "--compressor H264 --subtitle-place bars --crop auto --scale 320x240", &log);
    EXPECT_NE(log.find("Subtitle place: the picture has no black bar below it, the subtitles go "
                       "at the bottom\n"),
              std::string::npos)
        << log;
    EXPECT_NEAR(box.top, bottom.top, 1) << source;
    EXPECT_NEAR(box.bottom, bottom.bottom, 1) << source;
  }
}

TEST_F(PlaceTest, TopAndRaiseMoveTheInkUp) {
  for (const char* compressor : {"H264", "DIB"}) {
    const std::string codec = std::string("--compressor ") + compressor;
    for (const char* subtitles : {"subs.srt", "subs.sup"}) {
      SCOPED_TRACE(std::string(compressor) + " " + subtitles);
      const Box bottom = Placed("grey320.mp4", subtitles, codec);
      ASSERT_FALSE(bottom.empty());
      const Box top = Placed("grey320.mp4", subtitles, codec + " --subtitle-place top");
      ASSERT_FALSE(top.empty());
      // The bottom's margin, at the top.
      EXPECT_NEAR(top.top, 239 - bottom.bottom, 2);
      EXPECT_EQ(top.bottom - top.top, bottom.bottom - bottom.top);
      // A quarter of 240 rows.
      const Box raised = Placed("grey320.mp4", subtitles, codec + " --subtitle-raise 25");
      EXPECT_EQ(raised.top, bottom.top - 60);
      EXPECT_EQ(raised.bottom, bottom.bottom - 60);
      EXPECT_EQ(raised.left, bottom.left);
    }
  }
  // Never out of the picture: raised by half, a bottom line stays whole.
  const Box half = Placed("grey320.mp4", "subs.srt", "--compressor H264 --subtitle-raise 50");
  EXPECT_GE(half.top, 0);
}

TEST_F(PlaceTest, ACropKeepsDiscPicturesWhereTheFrameHadThem) {
  const Box whole = Placed("greybars.mp4", "subs.sup", "--compressor H264");
  ASSERT_FALSE(whole.empty());
  for (const char* compressor : {"H264", "DIB"}) {
    const std::string codec = std::string("--compressor ") + compressor;
    // Not stretched over the cropped picture: 30 rows higher, as tall.
    const Box box = Placed("greybars.mp4", "subs.sup", codec + " --crop auto --scale 320x240");
    ASSERT_FALSE(box.empty()) << compressor;
    const double rows = 240.0 / 180.0;
    EXPECT_NEAR(box.top, (whole.top - 30) * rows, 2) << compressor;
    EXPECT_NEAR(box.bottom - box.top, (whole.bottom - whole.top) * rows, 2) << compressor;
    EXPECT_NEAR(box.left, whole.left, 1) << compressor;
    // One in the bar cut away is moved up into the picture, whole.
    const Box low = Placed("greybars.mp4", "low.sup", codec + " --crop auto --scale 320x240");
    ASSERT_FALSE(low.empty()) << compressor;
    EXPECT_GE(low.bottom, 236) << compressor;
    EXPECT_NEAR(low.bottom - low.top, box.bottom - box.top, 1) << compressor;
  }
}

TEST_F(PlaceTest, DiscPicturesScaleAboutTheirBottomCentre) {
  const Box whole = Placed("grey320.mp4", "subs.sup", "--compressor H264");
  ASSERT_FALSE(whole.empty());
  const double centre = (whole.left + whole.right) / 2.0;
  for (const int percent : {200, 50}) {
    for (const char* compressor : {"H264", "DIB"}) {
      SCOPED_TRACE(std::to_string(percent) + " " + compressor);
      const Box box = Placed("grey320.mp4", "subs.sup",
                             std::string("--compressor ") + compressor + " --picture-scale " +
                                 std::to_string(percent));
      ASSERT_FALSE(box.empty());
      const double scale = percent / 100.0;
      EXPECT_NEAR(box.right - box.left + 1, (whole.right - whole.left + 1) * scale, 2);
      EXPECT_NEAR(box.bottom - box.top + 1, (whole.bottom - whole.top + 1) * scale, 2);
      EXPECT_NEAR((box.left + box.right) / 2.0, centre, 1);
      EXPECT_NEAR(box.bottom, whole.bottom, 1);
    }
  }
  // Text is no picture: it keeps its size.
  const Box text = Placed("grey320.mp4", "subs.srt", "--compressor H264");
  const Box still = Placed("grey320.mp4", "subs.srt", "--compressor H264 --picture-scale 200");
  EXPECT_EQ(text.top, still.top);
  EXPECT_EQ(text.right, still.right);
}
