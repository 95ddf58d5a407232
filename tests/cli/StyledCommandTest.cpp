// --styled on the command line: the job and the still draw alike, through
// either picture path, and the styled formats are read only when asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 192, kHeight = 108;

// One picture of a file, decoded by ffmpeg into 24-bit pixels (or planar
// 4:2:0 when asked).
std::string Picture(const fs::path& file, int number, const std::string& format = "rgb24") {
  std::string raw;
  RunShell("ffmpeg -v error -i " + file.string() + " -vf \"select=eq(n\\," +
               std::to_string(number) + ")\" -frames:v 1 -f rawvideo -pix_fmt " + format + " -",
           &raw);
  return raw;
}

// The luma rows in which two pictures differ, top-down.
std::vector<int> DifferingRows(const std::string& a, const std::string& b) {
  std::vector<int> rows;
  for (int y = 0; y < kHeight; ++y)
    if (a.compare(size_t(y) * kWidth, kWidth, b, size_t(y) * kWidth, kWidth) != 0)
      rows.push_back(y);
  return rows;
}

class StyledCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ffmpeg(
        "-f lavfi -i testsrc2=s=192x108:r=25:d=3 -f lavfi -i sine=d=3 -c:v libx264 -g 25 "
        "-c:a aac " +
        source.string());
    WriteFile(srt, "1\n00:00:01,000 --> 00:00:02,000\n{\\an8}<i>Top</i> <b>line</b>\n");
    WriteFile(ass,
              "[Script Info]\nPlayResX: 192\nPlayResY: 108\n\n[V4+ Styles]\n"
              "Format: Name, Fontname, Fontsize, PrimaryColour\n"
              "Style: Default,DejaVu Sans,20,&H0000FFFF\n\n[Events]\n"
              "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
              "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,{\\fad(200,200)}Fading\n");
  }
  std::string Files(const fs::path& subtitles, const fs::path& output) const {
    return " --source " + source.string() + " --subtitles " + subtitles.string() + " --output " +
           output.string();
  }
  // The still at 1.5 s with the arguments, as 24-bit pixels.
  std::string Still(const std::string& arguments, const std::string& name) const {
    const fs::path png = dir / name;
    const ProgramRun run = RunProgram("--snapshot 1.5 --output " + png.string() + arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    return Picture(png, 0);
  }
  TempDir dir;
  fs::path source = dir / "film.mp4";
  fs::path srt = dir / "subs.srt";
  fs::path ass = dir / "subs.ass";
};

}  // namespace

TEST_F(StyledCommandTest, StillIsTheJobsPictureAndStylesShow) {
  const fs::path avi = dir / "out.avi";
  ASSERT_EQ(
      RunProgram("--styled --compressor dib --font-size 14 --outline 1" + Files(srt, avi)).status,
      0);
  const fs::path styled = dir / "styled.png", plain = dir / "plain.png";
  ProgramRun run =
      RunProgram("--snapshot 1.5 --styled --font-size 14 --outline 1" + Files(srt, styled));
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunProgram("--snapshot 1.5 --font-size 14 --outline 1" + Files(srt, plain));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string still = Picture(styled, 0);
  ASSERT_EQ(still.size(), size_t(kWidth) * kHeight * 3);
  EXPECT_TRUE(still == Picture(avi, 37));
  // Styled, the line sits at the top; plain, the tags are drawn at the bottom.
  const std::string bare = Picture(source, 37);
  auto rowsChanged = [&](const std::string& picture) {
    std::vector<int> rows;
    for (int y = 0; y < kHeight; ++y)
      if (picture.compare(size_t(y) * kWidth * 3, kWidth * 3, bare, size_t(y) * kWidth * 3,
                          kWidth * 3) != 0)
        rows.push_back(y);
    return rows;
  };
  const std::vector<int> styledRows = rowsChanged(still),
                         plainRows = rowsChanged(Picture(plain, 0));
  ASSERT_FALSE(styledRows.empty());
  ASSERT_FALSE(plainRows.empty());
  EXPECT_LT(styledRows.back(), kHeight / 3);
  EXPECT_GT(plainRows.front(), kHeight / 2);
}

// Summed luma difference of two pictures over rows [first, end).
long Difference(const std::string& a, const std::string& b, int first = 0, int end = kHeight) {
  long sum = 0;
  for (size_t i = size_t(first) * kWidth; i < size_t(end) * kWidth && i < a.size(); ++i)
    sum += std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
  return sum;
}

// A compressor that takes planar pictures gets them as decoded but for the
// rows the subtitle covers, which carry the same drawing as the full path.
TEST_F(StyledCommandTest, PlanarPicturesCarryTheSameDrawing) {
  auto job = [&](const std::string& options, const std::string& name) {
    const fs::path output = dir / name;
    const ProgramRun run = RunProgram("--styled " + options + Files(ass, output));
    EXPECT_EQ(run.status, 0) << run.err;
    return output;
  };
  const fs::path full = job("--compressor dib", "full.avi");
  const fs::path fullBare = job("--compressor dib --transcode", "fullbare.avi");
  const fs::path planar = job("--compressor xvid --quality 10000", "planar.avi");
  const fs::path planarBare =
      job("--compressor xvid --quality 10000 --transcode", "planarbare.avi");
  const std::string drawn = Picture(full, 37, "gray"), bare = Picture(fullBare, 37, "gray");
  ASSERT_EQ(drawn.size(), size_t(kWidth) * kHeight);
  const std::vector<int> rows = DifferingRows(drawn, bare);
  ASSERT_FALSE(rows.empty());
  EXPECT_GT(rows.front(), kHeight / 2);
  const long text = Difference(drawn, bare, rows.front(), rows.back() + 1);
  const long planarText = Difference(Picture(planar, 37, "gray"), Picture(planarBare, 37, "gray"),
                                     rows.front(), rows.back() + 1);
  EXPECT_NEAR(double(planarText), double(text), text / 4.0);
  // The fade: shortly after the start the text is fainter than midway.
  EXPECT_LT(Difference(Picture(full, 27, "gray"), Picture(fullBare, 27, "gray")), text * 3 / 4);
  EXPECT_GT(Difference(Picture(full, 27, "gray"), Picture(fullBare, 27, "gray")), text / 10);
  EXPECT_TRUE(Picture(full, 10, "gray") == Picture(fullBare, 10, "gray"));
}

TEST_F(StyledCommandTest, StyledFormatsAreReadOnlyWhenAsked) {
  const fs::path png = dir / "x.png";
  ProgramRun run = RunProgram("--snapshot 1.5" + Files(ass, png));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unknown file format"), std::string::npos) << run.err;
  run = RunProgram("--snapshot 1.5 --styled" + Files(ass, png));
  EXPECT_EQ(run.status, 0) << run.err;
  // The settings file's section switches it on as the option does.
  const fs::path settings = dir / "Tolvane.ini";
  WriteFile(settings, "[STYLED]\nStyled=1\n");
  run = RunProgram("--snapshot 1.5 --settings " + settings.string() + Files(ass, png));
  EXPECT_EQ(run.status, 0) << run.err;
}

// The source's own tracks: read in the job's pass, drawn as the same text
// from a file would be.
TEST_F(StyledCommandTest, SourceTracksAreDrawnAsTheirFilesWouldBe) {
  const fs::path mkv = dir / "tracks.mkv", mp4 = dir / "tracks.mp4";
  Ffmpeg("-i " + source.string() + " -i " + srt.string() + " -i " + ass.string() +
         " -map 0 -map 1 -map 2 -c:v copy -c:a copy -c:s:0 srt -c:s:1 ass " + mkv.string());
  Ffmpeg("-i " + source.string() + " -i " + srt.string() +
         " -map 0 -map 1 -c:v copy -c:a copy -c:s mov_text " + mp4.string());
  const std::string fromFile =
      Still(" --styled --source " + mkv.string() + " --subtitles " + srt.string(), "file.png");
  const std::string fromTrack =
      Still(" --source " + mkv.string() + " --subtitle-track 1", "track.png");
  const std::string bare = Still(" --transcode --source " + mkv.string(), "bare.png");
  ASSERT_EQ(fromTrack.size(), size_t(kWidth) * kHeight * 3);
  EXPECT_TRUE(fromTrack == fromFile);
  EXPECT_FALSE(fromTrack == bare);
  EXPECT_TRUE(
      Still(" --source " + mkv.string() + " --subtitle-track 2", "ass.png") ==
      Still(" --styled --source " + mkv.string() + " --subtitles " + ass.string(), "assfile.png"));
  EXPECT_FALSE(Still(" --source " + mp4.string() + " --subtitle-track 1", "mov.png") == bare);

  // The job collects the packets as it reads: its picture is the still's.
  const fs::path avi = dir / "track.avi";
  ProgramRun run = RunProgram("--compressor dib --source " + mkv.string() +
                              " --subtitle-track 2 --output " + avi.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Picture(avi, 37) == Picture(dir / "ass.png", 0));

  run = RunProgram("--snapshot 1.5 --source " + mkv.string() + " --subtitle-track 3 --output " +
                   (dir / "none.png").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no such subtitle track"), std::string::npos) << run.err;
}

// A delay in milliseconds moves every styled source by the same whole
// frames: at 23.976 pictures a second, 100 ms is two frames (83 ms) for a
// script read from its file and for the same script as the source's track.
TEST_F(StyledCommandTest, ADelayMovesAFileAndATrackAlike) {
  const fs::path film = dir / "ntsc.mkv", withTrack = dir / "ntsc-track.mkv";
  Ffmpeg("-f lavfi -i testsrc2=s=192x108:r=24000/1001:d=3 -c:v libx264 -g 24 " + film.string());
  Ffmpeg("-i " + film.string() + " -i " + ass.string() + " -map 0 -map 1 -c:v copy -c:s ass " +
         withTrack.string());
  const auto job = [&](const std::string& subtitles, const std::string& name) {
    const fs::path avi = dir / name;
    const ProgramRun run = RunProgram("--compressor dib --delay-ms 100 --source " +
                                      withTrack.string() + subtitles + " --output " + avi.string());
    EXPECT_EQ(run.status, 0) << run.err;
    return avi;
  };
  const fs::path fromFile = job(" --styled --subtitles " + ass.string(), "file.avi");
  const fs::path fromTrack = job(" --subtitle-track 1", "track.avi");
  // The cue starts at 1 s: picture 25 (1.043 s) is before it moved, 26
  // (1.084 s) after two frames, before 100 ms.
  for (int picture : {25, 26, 47, 48, 49, 50})
    EXPECT_TRUE(Picture(fromFile, picture) == Picture(fromTrack, picture)) << picture;
  EXPECT_FALSE(Picture(fromFile, 25) == Picture(fromFile, 26) &&
               Picture(fromFile, 26) == Picture(film, 26));
  EXPECT_TRUE(Picture(fromFile, 25) == Picture(film, 25));
}

// A fragmented MP4 stores the track's packets a second after the pictures
// they belong to, and gives them no durations: the text still shows from its
// first picture, and ends where the track's next packet starts.
TEST_F(StyledCommandTest, TrackPacketsStoredLateAreDrawnOnTime) {
  const fs::path late = dir / "late.mp4";
  Ffmpeg("-i " + source.string() + " -i " + srt.string() +
         " -map 0 -map 1 -c:v copy -c:a copy -c:s mov_text -movflags +frag_custom+empty_moov "
         "-frag_duration 3000000 -max_interleave_delta 0 " +
         late.string());
  // The file is as described: the packet with the text comes after pictures
  // of 1.8 s or later.
  std::string order;
  RunShell(
      "ffprobe -v error -show_packets -show_entries packet=stream_index,dts_time,size "
      "-of csv=p=0 " +
          late.string(),
      &order);
  double latestPicture = 0.0;
  std::istringstream lines(order);
  for (std::string line; std::getline(lines, line);) {
    int stream = -1, size = 0;
    double dts = 0.0;
    if (std::sscanf(line.c_str(), "%d,%lf,%d", &stream, &dts, &size) != 3) continue;
    if (stream == 0) latestPicture = std::max(latestPicture, dts);
    if (stream == 2 && size > 2) break;  // the first sample with text
  }
  ASSERT_GE(latestPicture, 1.8) << order;

  const fs::path fromTrack = dir / "late.avi", bare = dir / "latebare.avi";
  for (const auto& [options, output] :
       {std::pair{" --subtitle-track 1", fromTrack}, std::pair{" --transcode", bare}}) {
    const ProgramRun run = RunProgram("--compressor dib --source " + late.string() + options +
                                      " --output " + output.string());
    ASSERT_EQ(run.status, 0) << run.err;
  }
  for (const int picture : {25, 30, 49})
    EXPECT_FALSE(Picture(fromTrack, picture) == Picture(bare, picture)) << picture;
  for (const int picture : {24, 55})
    EXPECT_TRUE(Picture(fromTrack, picture) == Picture(bare, picture)) << picture;
}

namespace {

uint32_t BigEndian(const std::string& bytes, std::size_t at, int size) {
  uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | uint8_t(bytes[at + size_t(i)]);
  return value;
}

// Replaces every `from` in `text`, as one byte a letter and as UTF-16BE (the
// two ways a name table spells its names); how many were replaced.
int ReplaceNames(std::string& text, const std::string& from, const std::string& to) {
  auto wide = [](const std::string& s) {
    std::string w;
    for (char c : s) w += std::string(1, '\0') + c;
    return w;
  };
  int count = 0;
  for (const auto& [a, b] : {std::pair{from, to}, std::pair{wide(from), wide(to)}})
    for (std::size_t at = text.find(a); at != std::string::npos; at = text.find(a, at + 1))
      text.replace(at, a.size(), b), ++count;
  return count;
}

// A TrueType font whose family is renamed to one of the same length, its
// name table's checksum made right again; empty when it has no such name.
std::string RenamedFamily(std::string font, const std::string& from, const std::string& to) {
  if (font.size() < 12 || from.size() != to.size()) return {};
  const std::size_t tables = BigEndian(font, 4, 2);
  for (std::size_t record = 12; record < 12 + 16 * tables && record + 16 <= font.size();
       record += 16) {
    if (font.compare(record, 4, "name") != 0) continue;
    const std::size_t offset = BigEndian(font, record + 8, 4),
                      length = BigEndian(font, record + 12, 4);
    if (offset + length > font.size()) return {};
    std::string table = font.substr(offset, length);
    if (ReplaceNames(table, from, to) == 0) return {};
    font.replace(offset, length, table);
    table.resize((length + 3) / 4 * 4, '\0');
    uint32_t sum = 0;
    for (std::size_t i = 0; i < table.size(); i += 4) sum += BigEndian(table, i, 4);
    for (int i = 0; i < 4; ++i) font[record + 4 + size_t(i)] = char(sum >> (24 - 8 * i));
    return font;
  }
  return {};
}

std::string ScriptInFamily(const std::string& family) {
  return "[Script Info]\nPlayResX: 192\nPlayResY: 108\n\n[V4+ Styles]\n"
         "Format: Name, Fontname, Fontsize, PrimaryColour\n"
         "Style: Default," +
         family +
         ",22,&H00FFFFFF\n\n[Events]\n"
         "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
         "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,iiii MMMM\n";
}

}  // namespace

// A font attached to the source draws its family, which no font of the
// system has: a copy of a monospaced font under a new name, so that the
// drawing can be told from the proportional fallback and matched with the
// original's.
TEST_F(StyledCommandTest, FontsAttachedToTheSourceDrawTheirFamily) {
  const std::string original = "DejaVu Sans Mono", renamed = "Tolvane Attached";
  std::string fontFile, known;
  RunShell("fc-match -f '%{family[0]}\\n%{file}' '" + original + "'", &fontFile);
  if (fontFile.rfind(original + "\n", 0) != 0) GTEST_SKIP() << original << " is not installed";
  fontFile.erase(0, original.size() + 1);
  RunShell("fc-list '" + renamed + "'", &known);
  ASSERT_EQ(known, "") << "the system knows the family the test invents";
  const std::string font = RenamedFamily(ReadFile(fontFile), original, renamed);
  ASSERT_FALSE(font.empty()) << fontFile;

  const fs::path ttf = dir / "attached.ttf", script = dir / "attached.ass";
  const fs::path own = dir / "own.ass", with = dir / "with.mkv", without = dir / "without.mkv";
  WriteFile(ttf, font);
  WriteFile(script, ScriptInFamily(renamed));
  WriteFile(own, ScriptInFamily(original));
  const std::string tracks =
      "-i " + source.string() + " -i " + script.string() + " -map 0:v -map 1 -c:v copy -c:s ass ";
  Ffmpeg(tracks + without.string());
  Ffmpeg(tracks + "-attach " + ttf.string() +
         " -metadata:s:t mimetype=application/x-truetype-font " + with.string());

  const std::string attached = Still(" --source " + with.string() + " --subtitle-track 1", "a.png");
  const std::string fallback =
      Still(" --source " + without.string() + " --subtitle-track 1", "f.png");
  const std::string family =
      Still(" --styled --source " + without.string() + " --subtitles " + own.string(), "o.png");
  ASSERT_EQ(attached.size(), size_t(kWidth) * kHeight * 3);
  ASSERT_FALSE(family == fallback) << "the two families draw alike: nothing to tell apart";
  EXPECT_TRUE(attached == family);
  EXPECT_FALSE(attached == fallback);
}
