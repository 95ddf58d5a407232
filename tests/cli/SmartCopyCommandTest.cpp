// --smart: the pictures no subtitle touches are copied from an H.264 or
// HEVC source bit for bit and only the stretches that carry a subtitle are
// encoded, into Matroska and MP4; two decoders read the joins alike, the
// sound is copied, and where copying can't be done the job encodes every
// picture and says why in one line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include <csignal>
#include <cstdlib>

#include "support/BackgroundRun.h"
#include "support/PgsWriter.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// One decoded picture: its time and the digest of its pixels.
struct Picture {
  double Seconds = 0.0;
  std::string Digest;
};

// Every picture as decoded, in presentation order, with none made up or
// dropped for a constant rate. crop: a filter for the part compared.
std::vector<Picture> DecodedPictures(const fs::path& file, const std::string& crop = "") {
  std::string out;
  RunShell("ffmpeg -nostdin -v fatal -i " + file.string() + " -map 0:v -fps_mode passthrough " +
               (crop.empty() ? "" : "-vf " + crop + " ") + "-f framemd5 - 2>/dev/null",
           &out);
  std::vector<Picture> pictures;
  double base = 0.0;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("#tb 0: ", 0) == 0) {
      const size_t slash = line.find('/');
      base = std::stod(line.substr(7, slash - 7)) / std::stod(line.substr(slash + 1));
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, ',');)
      fields.push_back(field.substr(field.find_first_not_of(' ')));
    if (fields.size() == 6) pictures.push_back({std::stod(fields[2]) * base, fields[5]});
  }
  return pictures;
}

// The source's keyframe times, in order, from the file's start: as
// DecodedPictures gives them, whenever the file's clock starts (a transport
// stream's starts later).
std::vector<double> KeyframeTimes(const fs::path& file) {
  std::vector<double> times;
  std::istringstream lines(
      Ffprobe("-v error -select_streams v -skip_frame nokey -show_entries "
              "frame=pts_time -of csv=p=0 " +
              file.string()));
  const std::string start =
      Ffprobe("-v error -show_entries format=start_time -of csv=p=0 " + file.string());
  const double origin = start.empty() ? 0.0 : std::stod(start);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) times.push_back(std::stod(line) - origin);
  return times;
}

struct Cue {
  double From, To;
};

// At the start, across a keyframe and at the end.
const std::vector<Cue> kCues = {{0.2, 1.0}, {3.8, 4.4}, {11.2, 11.9}};

// The stretch from the keyframe at or before `seconds` to the next one.
std::pair<double, double> StretchAround(const std::vector<double>& keys, double seconds) {
  double from = 0.0, to = 1e9;
  for (double key : keys) {
    if (key <= seconds + 1e-6) from = key;
    if (key > seconds + 1e-6) {
      to = key;
      break;
    }
  }
  return {from, to};
}

bool NearACue(const std::vector<Cue>& cues, const std::vector<double>& keys, double seconds) {
  const auto [from, to] = StretchAround(keys, seconds);
  for (const Cue& cue : cues)
    if (cue.From - 0.1 < to && cue.To + 0.1 > from) return true;
  return false;
}

bool Decodes(const std::string& pipeline) { return RunShell("gst-inspect-1.0 " + pipeline) == 0; }

class SmartCopyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteCues(kCues); }
  void WriteCues(const std::vector<Cue>& cues) {
    cues_ = cues;
    std::string subtitles;
    int n = 1;
    for (const Cue& cue : cues) {
      const auto time = [](double s) {
        char text[32];
        std::snprintf(text, sizeof text, "00:00:%02d,%03d", int(s),
                      int(std::lround(s * 1000)) % 1000);
        return std::string(text);
      };
      subtitles += std::to_string(n++) + "\n" + time(cue.From) + " --> " + time(cue.To) +
                   "\nA line of the film\n\n";
    }
    WriteFile(srt, subtitles);
  }
  fs::path Make(const std::string& name, const std::string& video) {
    const fs::path file = dir / name;
    Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=12 -f lavfi -i sine=d=12:r=48000 " + video +
           " -pix_fmt yuv420p -c:a aac " + file.string());
    return file;
  }
  ProgramRun Burn(const fs::path& source, const fs::path& output, const std::string& codec) {
    const std::string subtitles =
        subtitleArguments_.empty() ? "--subtitles " + srt.string() : subtitleArguments_;
    return RunProgram("--defaults --source " + source.string() + " " + subtitles + " --output " +
                      output.string() + " --compressor " + codec + " --smart");
  }
  // A .sup file with a set for each cue (forced ones where asked), at the
  // bottom of a 320x180 canvas.
  fs::path WriteSup(const std::vector<Cue>& cues, const std::vector<bool>& forced = {}) {
    std::vector<pgswriter::DisplaySet> sets;
    for (size_t i = 0; i < cues.size(); ++i) {
      pgswriter::DisplaySet show;
      show.Pts90k = std::llround(cues[i].From * 90000);
      show.CanvasWidth = 320;
      show.CanvasHeight = 180;
      show.Palette = {{1, 250, 250, 250, 255}};
      show.Objects = {
          pgswriter::FilledRectangle(60, 140, 200, 30, 1, i < forced.size() && forced[i])};
      sets.push_back(show);
      sets.push_back(pgswriter::ClearingSet(show, std::llround(cues[i].To * 90000)));
    }
    const fs::path sup = dir / "cues.sup";
    WriteFile(sup, pgswriter::WriteSup(sets));
    return sup;
  }
  // Everything the issue asks of one output of one source; the pictures the
  // log says were copied.
  int CheckCopy(const fs::path& source, const fs::path& out, const std::string& codec,
                bool expectCopies) {
    int logged = -1;
    CheckOutput(source, out, codec, expectCopies, logged);
    return logged;
  }
  void CheckOutput(const fs::path& source, const fs::path& out, const std::string& codec,
                   bool expectCopies, int& logged) {
    const std::string what = out.filename().string();
    const ProgramRun run = Burn(source, out, codec);
    ASSERT_EQ(run.status, 0) << what << run.out << run.err;
    const size_t counts = run.out.find(" pictures copied and");
    ASSERT_NE(counts, std::string::npos) << what << run.out;
    logged = std::stoi(run.out.substr(run.out.rfind('\n', counts) + 1));
    const std::vector<double> keys = KeyframeTimes(source);
    const std::vector<Picture> before = DecodedPictures(source), after = DecodedPictures(out);
    ASSERT_EQ(after.size(), before.size()) << what;
    ASSERT_EQ(before.size(), 300u) << what;
    const std::string bottom = "crop=iw:ih/3:0:2*ih/3";
    const std::vector<Picture> beforeBottom = DecodedPictures(source, bottom),
                               afterBottom = DecodedPictures(out, bottom);
    ASSERT_EQ(afterBottom.size(), before.size()) << what;
    int copied = 0, identical = 0;
    for (size_t i = 0; i < before.size(); ++i) {
      identical += after[i].Digest == before[i].Digest;
      // The output starts where the source's earliest stream does.
      EXPECT_NEAR(after[i].Seconds - after[0].Seconds, before[i].Seconds - before[0].Seconds, 0.002)
          << what << " picture " << i;
      const double t = before[i].Seconds;
      if (!NearACue(cues_, keys, t)) {
        EXPECT_EQ(after[i].Digest, before[i].Digest) << what << " untouched picture " << i;
        copied += after[i].Digest == before[i].Digest;
      }
      for (const Cue& cue : cues_)
        if (t >= cue.From + 0.05 && t < cue.To - 0.05)
          EXPECT_NE(afterBottom[i].Digest, beforeBottom[i].Digest)
              << what << " picture " << i << " carries no subtitle";
    }
    if (expectCopies) EXPECT_GE(copied, 100) << what;
    // Those copied from inside an encoded stretch too: an encoder never
    // gives back its input's very bytes.
    EXPECT_GE(identical, logged) << what;
    // The sound is the source's, packet for packet.
    std::string a, b;
    // A transport stream frames each AAC packet in a header of its own,
    // which the other containers leave out.
    const std::string unframed = source.extension() == ".ts" ? " -bsf:a aac_adtstoasc" : "";
    RunShell("ffmpeg -nostdin -v error -i " + source.string() + " -map 0:a -c copy" + unframed +
                 " -f md5 -",
             &a);
    RunShell("ffmpeg -nostdin -v error -i " + out.string() + " -map 0:a -c copy -f md5 -", &b);
    EXPECT_EQ(a, b) << what;
    // A third reader counts every picture.
    if (RunShell("mediainfo --Version") == 0) {
      std::string count;
      RunShell("mediainfo --Inform='Video;%FrameCount%' " + out.string(), &count);
      EXPECT_EQ(count, "300\n") << what;
    }
    // A second reader and decoder sees every picture, as ffmpeg does.
    if (Decodes("h264parse") && Decodes("avdec_h264") && Decodes("h265parse")) {
      const fs::path raw = dir / "gst.yuv";
      ASSERT_EQ(
          RunShell("gst-launch-1.0 -q filesrc location=" + out.string() +
                   " ! decodebin ! video/x-raw,format=I420 ! filesink location=" + raw.string()),
          0)
          << what;
      const fs::path ours = dir / "ffmpeg.yuv";
      Ffmpeg("-i " + out.string() +
             " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + ours.string());
      EXPECT_EQ(ReadFile(raw), ReadFile(ours)) << what;
    }
  }
  TempDir dir;
  fs::path srt = dir / "cues.srt";
  std::vector<Cue> cues_;
  std::string subtitleArguments_;
};

}  // namespace

// Keyframes every 2 s with B-pictures, and keyframes at irregular times:
// cues at the start, across a keyframe and at the end.
TEST_F(SmartCopyCommandTest, H264StretchesAreCopiedIntoMatroskaAndMp4) {
  const fs::path regular =
      Make("regular.mkv", "-c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0 -bf 3");
  const fs::path irregular =
      Make("irregular.mp4",
           "-c:v libx264 -bf 2 -x264-params keyint=1000:scenecut=0 -force_key_frames "
           "0,1.36,3.2,5.04,8.8,10.4");
  for (const fs::path* source : {&regular, &irregular})
    for (const char* extension : {"mkv", "mp4"}) {
      const int copied =
          CheckCopy(*source, dir / (source->stem().string() + "-out." + extension), "H264", true);
      // Four of six groups carry a cue. The last one's pictures before its
      // cue (11.2 s less the margin, 28 of them) are copied as well.
      if (source == &regular) EXPECT_GE(copied, 120) << extension;
    }
}

// Closed groups, and open ones as x265 makes by default: an open keyframe
// after an encoded stretch has its leading pictures encoded with it and
// starts afresh; one before an encoded stretch is copied in its head.
TEST_F(SmartCopyCommandTest, HevcStretchesAreCopiedIntoMatroskaAndMp4) {
  const fs::path closed =
      Make("hevc.mkv",
           "-c:v libx265 -x265-params "
           "log-level=error:keyint=50:min-keyint=50:scenecut=0:bframes=4:open-gop=0");
  const fs::path open =
      Make("hevc-open.mp4", "-c:v libx265 -x265-params log-level=error:keyint=50:min-keyint=50");
  for (const fs::path* source : {&closed, &open})
    for (const char* extension : {"mkv", "mp4"}) {
      const int copied =
          CheckCopy(*source, dir / (source->stem().string() + "-out." + extension), "HEVC", true);
      // As many as from closed groups: the two groups without a cue and
      // the last one's pictures before its cue.
      EXPECT_GE(copied, 120) << source->filename() << " " << extension;
    }
}

// A transport stream keeps start codes before its units, in its packets and
// in the sets it names: the copied and the encoded pictures keep them, and
// the muxer writes lengths into the file.
TEST_F(SmartCopyCommandTest, TransportStreamsAreCopiedToo) {
  const fs::path h264 = Make("h264.ts", "-c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0 -bf 3");
  const fs::path hevc =
      Make("hevc.ts", "-c:v libx265 -x265-params log-level=error:keyint=50:min-keyint=50");
  EXPECT_GE(CheckCopy(h264, dir / "h264-ts-out.mkv", "H264", true), 120);
  EXPECT_GE(CheckCopy(hevc, dir / "hevc-ts-out.mp4", "HEVC", true), 120);
}

// Matroska stores no decoding times, and the first pictures of a stream with
// B-pictures come without any: copied first, they are still decoded in order.
TEST_F(SmartCopyCommandTest, AFirstStretchCopiedFromMatroskaKeepsItsDecodingOrder) {
  WriteCues({{5.5, 6.5}});
  const fs::path source =
      Make("first.mkv", "-c:v libx264 -preset ultrafast -g 50 -keyint_min 50 -bf 3");
  for (const char* extension : {"mkv", "mp4"})
    CheckCopy(source, dir / (std::string("first-out.") + extension), "H264", true);
}

// Picture subtitles from a .sup file and from the source's own PGS track,
// and text from the source's own SubRip track: each is read whole before
// the job, so that only the stretches it shows in are encoded.
TEST_F(SmartCopyCommandTest, PictureAndTrackSubtitlesAreFoundBeforeTheJob) {
  const fs::path source =
      Make("plain.mkv", "-c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0 -bf 3");
  const fs::path sup = WriteSup(kCues);
  subtitleArguments_ = "--subtitles " + sup.string();
  CheckCopy(source, dir / "sup-out.mkv", "H264", true);

  const fs::path withPgs = dir / "with-pgs.mkv";
  Ffmpeg("-i " + source.string() + " -copyts -i " + sup.string() + " -map 0 -map 1 -c copy " +
         withPgs.string());
  subtitleArguments_ = "--subtitle-track 1";
  CheckCopy(withPgs, dir / "pgs-out.mp4", "H264", true);

  const fs::path withText = dir / "with-text.mkv";
  Ffmpeg("-i " + source.string() + " -i " + srt.string() + " -map 0 -map 1 -c copy -c:s srt " +
         withText.string());
  CheckCopy(withText, dir / "text-out.mkv", "H264", true);
}

// Of a track's pictures only the forced ones are drawn with --forced-only:
// the stretch of the others is copied untouched.
TEST_F(SmartCopyCommandTest, OnlyForcedPicturesAreEncodedWhenOnlyTheyAreDrawn) {
  const fs::path source = Make("forced.mkv", "-c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0");
  const std::vector<Cue> both = {{3.2, 3.8}, {8.2, 8.8}};
  const fs::path withPgs = dir / "with-forced.mkv";
  Ffmpeg("-i " + source.string() + " -copyts -i " + WriteSup(both, {true, false}).string() +
         " -map 0 -map 1 -c copy " + withPgs.string());
  WriteCues({both[0]});
  subtitleArguments_ = "--subtitle-track 1 --forced-only";
  CheckCopy(withPgs, dir / "forced-out.mkv", "H264", true);
}

// H.264's keyframes whose leading pictures refer back tie their neighbours
// together: what can't be cut there is encoded, and every picture keeps its
// time.
TEST_F(SmartCopyCommandTest, OpenH264GroupsOfPicturesAreEncodedWhole) {
  const fs::path source =
      Make("open.mkv", "-c:v libx264 -bf 3 -x264-params open-gop=1:keyint=50:scenecut=0");
  CheckCopy(source, dir / "open-out.mkv", "H264", false);
}

// Where copying can't be done the job runs whole, as without --smart, and
// the log says why in one line.
TEST_F(SmartCopyCommandTest, WhereCopyingCantBeDoneEveryPictureIsEncoded) {
  const fs::path h264 = Make("h264.mkv", "-c:v libx264 -g 50");
  const fs::path mpeg4 = Make("mpeg4.mkv", "-c:v mpeg4");
  const struct {
    const fs::path* Source;
    const char* Output;
    const char* Codec;
    const char* Why;
  } cases[] = {
      {&h264, "out.avi", "H264", "only Matroska and MP4 files take copied pictures"},
      {&h264, "hevc.mkv", "HEVC", "the compressor writes another codec than the source's"},
      {&mpeg4, "mpeg4.mkv", "XVID", "the source's video is neither H.264 nor HEVC"},
  };
  for (const auto& c : cases) {
    const fs::path out = dir / (std::string("fallback-") + c.Output);
    const ProgramRun run = Burn(*c.Source, out, c.Codec);
    ASSERT_EQ(run.status, 0) << c.Output << run.out << run.err;
    EXPECT_NE(run.out.find(std::string("Every picture is encoded: ") + c.Why + "\n"),
              std::string::npos)
        << c.Output << run.out;
    EXPECT_EQ(run.out.find("pictures copied"), std::string::npos) << c.Output;
    EXPECT_EQ(Ffprobe("-v error -select_streams v -count_frames -show_entries "
                      "stream=nb_read_frames -of csv=p=0 " +
                      out.string()),
              "300\n")
        << c.Output;
  }
}

// Stopped halfway, between copied and encoded stretches, the file is
// complete: every picture in it decodes.
TEST_F(SmartCopyCommandTest, AnInterruptLeavesAPlayableFile) {
  std::vector<Cue> cues;
  for (int second = 1; second < 60; second += 4) cues.push_back({second + 0.3, second + 0.7});
  WriteCues(cues);
  const fs::path source = dir / "long.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc2=s=640x360:r=25:d=60 -f lavfi -i sine=d=60:r=48000 -c:v libx264 "
      "-preset ultrafast -g 50 -keyint_min 50 -bf 3 -pix_fmt yuv420p -c:a aac " +
      source.string());
  const fs::path output = dir / "stopped.mp4", log = dir / "log";
  BackgroundRun run(
      {"--defaults", "--source", source.string(), "--subtitles", srt.string(), "--output",
       output.string(), "--compressor", "H264", "--smart", "--encoder-options", "preset=veryslow"},
      log);
  ASSERT_TRUE(run.WaitForSize(output, 1000000));
  run.Signal(SIGINT);
  EXPECT_EQ(run.Wait(), 1) << ReadFile(log);
  EXPECT_NE(ReadFile(log).find(" pictures copied and "), std::string::npos) << ReadFile(log);
  const int frames = CountedPictures(output);
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 1500);
  EXPECT_EQ(DecodeErrors(output), "");
}
