// What the job keeps of the source besides the burned picture and the chosen
// sound, read back from the files it writes: the other sound tracks packet
// for packet with their tags and marks, the subtitle tracks as the container
// holds them, chapters, tags and attachments, and the rest of a track whose
// forced pictures are burned.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "support/BackgroundRun.h"
#include "support/PgsWriter.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

// "codec_name,codec_type,default,comment,forced,language,title" for each
// stream.
std::vector<std::string> StreamRows(const fs::path& file) {
  std::istringstream lines(
      Ffprobe("-show_entries stream=codec_type,codec_name:stream_tags=language,title:"
              "stream_disposition=default,comment,forced -of csv=p=0 " +
              file.string()));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) rows.push_back(line);
  return rows;
}

// Every packet of one stream: its time on the stream's clock, from the
// stream's first, and a hash of its bytes.
std::vector<std::string> Packets(const fs::path& file, const std::string& stream) {
  std::istringstream lines(Ffprobe("-select_streams " + stream +
                                   " -show_entries packet=pts_time,data_hash -show_data_hash "
                                   "MD5 -of csv=p=0 " +
                                   file.string()));
  std::vector<std::string> packets;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) packets.push_back(line.substr(line.find(',') + 1));
  return packets;
}

std::vector<std::string> Hashes(const fs::path& file, const std::string& stream) {
  std::vector<std::string> hashes;
  for (const std::string& packet : Packets(file, stream))
    if (const size_t at = packet.find("MD5:"); at != std::string::npos)
      hashes.push_back(packet.substr(at, 36));
  return hashes;
}

std::string Probe(const fs::path& file, const std::string& entries) {
  return Ffprobe("-show_entries " + entries + " -of default=nw=1 " + file.string());
}

class KeptStreamsJobTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const fs::path& d = dir_->path();
    WriteFile(d / "burn.srt", "1\n00:00:00,400 --> 00:00:01,200\nBurned\n");
    WriteFile(d / "soft.srt",
              "1\n00:00:00,500 --> 00:00:01,000\n<i>Soft</i> line\n\n"
              "2\n00:00:01,200 --> 00:00:01,800\nSecond\n");
    WriteFile(d / "signs.ass",
              "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n"
              "[V4+ Styles]\nFormat: Name, Fontname, Fontsize\nStyle: Default,Sans,20\n\n"
              "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
              "MarginV, Effect, Text\n"
              "Dialogue: 0,0:00:00.30,0:00:00.90,Default,,0,0,0,,A sign\n");
    WriteFile(d / "meta.txt",
              ";FFMETADATA1\ntitle=A Film\n"
              "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=700\ntitle=One\n"
              "[CHAPTER]\nTIMEBASE=1/1000\nSTART=700\nEND=1400\ntitle=Two\n"
              "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1400\nEND=2000\ntitle=Three\n");
    WriteFile(d / "font.ttf", std::string(4000, 'F'));
    Ffmpeg(
        "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 "
        "-f lavfi -i sine=frequency=660:duration=2:sample_rate=48000 "
        "-f lavfi -i sine=frequency=880:duration=2 -i " +
        (d / "soft.srt").string() + " -i " + (d / "signs.ass").string() + " -i " +
        (d / "meta.txt").string() +
        " -map 0 -map 1 -map 2 -map 3 -map 4 -map 5 -map_metadata 6 -map_chapters 6 "
        "-c:v mpeg4 -c:a:0 aac -c:a:1 ac3 -c:a:2 libmp3lame -c:s:0 srt -c:s:1 ass "
        "-metadata:s:a:0 language=eng -metadata:s:a:0 title=Main "
        "-metadata:s:a:1 language=fra -disposition:a:1 comment "
        "-metadata:s:a:2 language=deu -disposition:a:2 0 "
        "-metadata:s:s:0 language=eng -disposition:s:0 0 "
        "-metadata:s:s:1 language=eng -metadata:s:s:1 title=Signs -disposition:s:1 forced "
        "-attach " +
        (d / "font.ttf").string() + " -metadata:s:t:0 mimetype=font/ttf " +
        (d / "film.mkv").string());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static fs::path Source() { return dir_->path() / "film.mkv"; }
  ProgramRun Burn(const fs::path& output, const std::string& more = "") {
    return RunProgram("--source " + Source().string() + " --subtitles " +
                      (dir_->path() / "burn.srt").string() + " --output " + output.string() + " " +
                      more);
  }
  fs::path Out(const std::string& name) { return out_.path() / name; }

  static TempDir* dir_;
  TempDir out_;
};

TempDir* KeptStreamsJobTest::dir_ = nullptr;

TEST_F(KeptStreamsJobTest, MatroskaKeepsEverythingPacketForPacket) {
  const fs::path output = Out("all.mkv");
  const ProgramRun run = Burn(output);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Output streams: video (burned), sound 1 eng 'Main' (default), sound 2 "
                         "fra (commentary), sound 3 deu, subtitles 1 eng, subtitles 2 eng "
                         "'Signs' (forced), chapters 3, attachments 1"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("damaged"), std::string::npos) << run.out;
  const std::vector<std::string> rows = StreamRows(output);
  ASSERT_EQ(rows.size(), 7u) << Probe(output, "stream=codec_name");
  EXPECT_EQ(rows[1], "aac,audio,1,0,0,eng,Main");
  EXPECT_EQ(rows[2], "ac3,audio,0,1,0,fra");
  EXPECT_EQ(rows[3], "mp3,audio,0,0,0,deu");
  EXPECT_EQ(rows[4], "subrip,subtitle,0,0,0,eng");
  EXPECT_EQ(rows[5], "ass,subtitle,0,0,1,eng,Signs");
  EXPECT_NE(rows[6].find(",attachment,"), std::string::npos) << rows[6];
  // Each kept stream's packets are the source's, at the source's times.
  for (const char* stream : {"a:0", "a:1", "a:2", "s:0", "s:1"})
    EXPECT_EQ(Packets(output, stream), Packets(Source(), stream)) << stream;
  EXPECT_EQ(Probe(output, "chapter=start_time,end_time:chapter_tags=title"),
            Probe(Source(), "chapter=start_time,end_time:chapter_tags=title"));
  EXPECT_NE(Probe(output, "format_tags=title").find("A Film"), std::string::npos);
  EXPECT_NE(Probe(output, "format_tags=encoder").find("Tolvane"), std::string::npos);
  EXPECT_NE(Probe(output, "stream_tags=filename,mimetype").find("font.ttf"), std::string::npos);
  // The attached file's bytes come through whole.
  TempDir dump;
  RunShell("cd " + dump.path().string() + " && ffmpeg -v error -dump_attachment:t '' -i " +
               output.string() + " 2>/dev/null",
           nullptr);
  EXPECT_EQ(ReadFile(dump.path() / "font.ttf"), std::string(4000, 'F'));
}

TEST_F(KeptStreamsJobTest, TheChoicesLeaveOutWhatTheyName) {
  const fs::path output = Out("some.mkv");
  const ProgramRun run = Burn(
      output, "--audio-stream 2 --keep-audio 3 --keep-subtitles 2 --no-chapters --no-attachments");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> rows = StreamRows(output);
  ASSERT_EQ(rows.size(), 4u) << Probe(output, "stream=codec_name");
  // The chosen sound first and default, the kept one after it.
  EXPECT_EQ(rows[1], "ac3,audio,1,1,0,fra,Audio Stream [Unchanged]");
  EXPECT_EQ(rows[2], "mp3,audio,0,0,0,deu");
  EXPECT_EQ(rows[3], "ass,subtitle,0,0,1,eng,Signs");
  EXPECT_EQ(Probe(output, "chapter=start_time"), "");
  EXPECT_EQ(Probe(output, "format_tags=title"), "");

  const fs::path alone = Out("alone.mkv");
  ASSERT_EQ(Burn(alone, "--keep-audio none --keep-subtitles none").status, 0);
  EXPECT_EQ(StreamRows(alone).size(), 3u) << "video, sound, attachment";
}

TEST_F(KeptStreamsJobTest, Mp4HoldsTextAsMovTextAndSaysWhatItCannotHold) {
  const fs::path output = Out("film.mp4");
  const ProgramRun run = Burn(output);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(
      run.out.find("The attachment 'font.ttf' can't be stored in an MP4 file; it is left out"),
      std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("damaged"), std::string::npos) << run.out;
  const std::string codecs = Probe(output, "stream=codec_name");
  EXPECT_EQ(std::count(codecs.begin(), codecs.end(), '\n'), 7)
      << codecs;  // with the chapters' track
  EXPECT_NE(codecs.find("codec_name=ac3"), std::string::npos);
  EXPECT_NE(codecs.find("codec_name=mov_text"), std::string::npos);
  // Timed by their samples in MP4's finer clock, the bytes the source's.
  for (const char* stream : {"a:1", "a:2"})
    EXPECT_EQ(Hashes(output, stream), Hashes(Source(), stream)) << stream;
  // The text survives the conversion, each cue from its start to where the
  // next sample (empty between cues) takes over, against the picture.
  const double video =
      std::stod(Ffprobe("-select_streams v -show_entries stream=start_time "
                        "-of csv=p=0 " +
                        output.string()));
  std::istringstream samples(Ffprobe(
      "-select_streams s:0 -show_entries packet=pts_time,size -of csv=p=0 " + output.string()));
  std::vector<std::string> cues;
  for (double time = 0; samples >> time;) {
    int size = 0;
    samples.ignore(1) >> size;
    if (time > 0)
      cues.push_back(std::to_string(std::lround((time - video) * 1000)) + ":" +
                     (size > 2 ? "text" : "none"));
  }
  cues.resize(std::min<size_t>(cues.size(), 4));
  EXPECT_EQ(cues, (std::vector<std::string>{"500:text", "1000:none", "1200:text", "1800:none"}))
      << Probe(output, "packet=pts_time,size");
  std::string srt;
  ASSERT_EQ(RunShell("ffmpeg -v error -i " + output.string() + " -map 0:s:0 -f srt -", &srt), 0);
  EXPECT_NE(srt.find("<i>Soft</i> line"), std::string::npos) << srt;
  EXPECT_NE(srt.find("Second"), std::string::npos) << srt;
  EXPECT_NE(Probe(output, "chapter_tags=title").find("Three"), std::string::npos);
}

TEST_F(KeptStreamsJobTest, WebMHoldsTextAsWebVttAndConvertsTheSoundItCannotHold) {
  const fs::path output = Out("film.webm");
  const ProgramRun refused = Burn(output, "--compressor VP90");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("(sound 1, aac: --convert-audio converts it to Opus)"),
            std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(output));
  const ProgramRun run = Burn(output, "--compressor VP90 --convert-audio");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const char* line : {"Sound 2 (ac3) is converted to Opus, which a WebM file can hold",
                           "Sound 3 (mp3) is converted to Opus, which a WebM file can hold",
                           "The attachment 'font.ttf' can't be stored in a WebM file"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  const std::vector<std::string> rows = StreamRows(output);
  ASSERT_EQ(rows.size(), 6u) << Probe(output, "stream=codec_name");
  EXPECT_EQ(rows[1].substr(0, 11), "opus,audio,");
  // WebM keeps the default and forced marks, not the others.
  EXPECT_EQ(rows[2], "opus,audio,0,0,0,fra");
  EXPECT_EQ(rows[3], "opus,audio,0,0,0,deu");
  EXPECT_EQ(rows[4], "webvtt,subtitle,0,0,0,eng");
  EXPECT_EQ(rows[5], "webvtt,subtitle,0,0,1,eng,Signs");
  // The converted sound lasts as the source's does.
  const auto seconds = [&](const fs::path& file, const char* stream) {
    std::string decoded;
    RunShell("ffmpeg -v error -i " + file.string() + " -map 0:" + stream +
                 " -f s16le -ac 1 -ar 8000 - | wc -c",
             &decoded);
    return std::stod(decoded) / 16000.0;
  };
  EXPECT_NEAR(seconds(output, "a:1"), seconds(Source(), "a:1"), 0.03);
  std::string vtt;
  ASSERT_EQ(RunShell("ffmpeg -v error -i " + output.string() + " -map 0:s:1 -f webvtt -", &vtt), 0);
  EXPECT_NE(vtt.find("A sign"), std::string::npos) << vtt;
  EXPECT_NE(Probe(output, "chapter_tags=title").find("Three"), std::string::npos);
}

TEST_F(KeptStreamsJobTest, AviKeepsTheChosenSoundAlone) {
  const fs::path output = Out("film.avi");
  const ProgramRun run = Burn(output);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("Output streams"), std::string::npos);
  EXPECT_EQ(StreamRows(output).size(), 2u);
}

TEST_F(KeptStreamsJobTest, SmartCopyKeepsTheSameStreams) {
  const fs::path source = Out("h264.mkv");
  Ffmpeg("-i " + Source().string() + " -map 0 -c copy -c:v libx264 -g 10 " + source.string());
  const fs::path output = Out("smart.mkv");
  const ProgramRun run = RunProgram("--source " + source.string() + " --subtitles " +
                                    (dir_->path() / "burn.srt").string() + " --output " +
                                    output.string() + " --compressor H264 --smart");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("copied"), std::string::npos) << run.out;
  const std::vector<std::string> rows = StreamRows(output);
  ASSERT_EQ(rows.size(), 7u);
  for (const char* stream : {"a:1", "s:1"})
    EXPECT_EQ(Packets(output, stream), Packets(source, stream)) << stream;
}

// Sources other than Matroska: an MPEG-TS (ADTS sound, a clock that does not
// start at 0) and an MP4 with a text track, which Matroska holds as SubRip.
TEST_F(KeptStreamsJobTest, TransportStreamAndMp4SourcesKeepTheirTracksInSync) {
  const fs::path ts = Out("film.ts");
  Ffmpeg("-i " + Source().string() + " -map 0:v -map 0:a:0 -map 0:a:2 -c:v libx264 -c:a copy " +
         ts.string());
  const fs::path fromTs = Out("from-ts.mkv");
  ProgramRun run =
      RunProgram("--source " + ts.string() + " --subtitles " +
                 (dir_->path() / "burn.srt").string() + " --output " + fromTs.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("damaged"), std::string::npos) << run.out;
  // Each sound starts where it did against the picture.
  // A transport stream lists its streams under its program as well.
  const auto starts = [](const fs::path& file) {
    std::istringstream lines(
        Ffprobe("-show_entries stream=index,start_time -of csv=p=0 " + file.string()));
    std::map<int, double> times;
    for (std::string line; std::getline(lines, line);)
      if (line.find(',') != std::string::npos)
        times[std::stoi(line)] = std::stod(line.substr(line.find(',') + 1));
    std::vector<double> ordered;
    for (const auto& [index, time] : times) ordered.push_back(time);
    return ordered;
  };
  const std::vector<double> source = starts(ts), kept = starts(fromTs);
  ASSERT_EQ(source.size(), 3u);
  ASSERT_EQ(kept.size(), 3u);
  for (size_t k = 1; k < 3; ++k) EXPECT_NEAR(kept[k] - kept[0], source[k] - source[0], 0.0015) << k;
  EXPECT_EQ(Hashes(fromTs, "a:1"), Hashes(ts, "a:1"));

  const fs::path mp4 = Out("film-source.mp4");
  Ffmpeg("-i " + Source().string() + " -map 0:v -map 0:a:0 -map 0:a:1 -map 0:s:0 -c:v copy " +
         "-c:a copy -c:s mov_text " + mp4.string());
  const fs::path fromMp4 = Out("from-mp4.mkv");
  run = RunProgram("--source " + mp4.string() + " --subtitles " +
                   (dir_->path() / "burn.srt").string() + " --output " + fromMp4.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> rows = StreamRows(fromMp4);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3].substr(0, 16), "subrip,subtitle,");
  std::string srt;
  ASSERT_EQ(RunShell("ffmpeg -v error -i " + fromMp4.string() + " -map 0:s:0 -f srt -", &srt), 0);
  EXPECT_NE(srt.find("Second"), std::string::npos) << srt;
}

// Damage in a kept track is mended or left out and reported; the job goes on.
TEST_F(KeptStreamsJobTest, DamageInAKeptTrackDoesNotStopTheJob) {
  const fs::path ts = Out("damaged.ts");
  Ffmpeg("-i " + Source().string() + " -map 0:v -map 0:a:0 -map 0:a:1 -c:v libx264 -c:a copy " +
         ts.string());
  std::string bytes = ReadFile(ts);
  // Bytes spoilt across the middle of the file, where every stream has packets.
  for (size_t at = bytes.size() / 3; at < 2 * bytes.size() / 3; at += 7919)
    for (size_t k = 0; k < 64 && at + k < bytes.size(); ++k) bytes[at + k] = char(k * 37 + at);
  WriteFile(ts, bytes);
  const fs::path output = Out("damaged.mkv");
  const ProgramRun run =
      RunProgram("--source " + ts.string() + " --subtitles " +
                 (dir_->path() / "burn.srt").string() + " --output " + output.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("the source was damaged"), std::string::npos) << run.out;
  EXPECT_EQ(StreamRows(output).size(), 3u);
  std::string errors;
  EXPECT_EQ(
      RunShell("ffmpeg -v error -i " + output.string() + " -map 0:a:1 -f null - 2>&1", &errors), 0);
}

// A stopped job's file holds every kept track up to where the pictures end.
TEST(KeptStreamsStopped, TheFileHoldsEveryTrackToWhereThePicturesEnd) {
  TempDir dir;
  const fs::path source = dir / "long.mkv";
  WriteFile(dir / "soft.srt",
            "1\n00:00:01,000 --> 00:00:02,000\nEarly\n\n"
            "2\n00:00:50,000 --> 00:00:51,000\nLate\n");
  Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=60 -f lavfi -i sine=duration=60 "
      "-f lavfi -i sine=frequency=660:duration=60 -i " +
      (dir / "soft.srt").string() +
      " -map 0 -map 1 -map 2 -map 3 -c:v mpeg4 -q:v 5 -c:a:0 aac -c:a:1 ac3 -c:s srt " +
      source.string());
  const fs::path output = dir / "cut.mkv";
  BackgroundRun run({"--source", source.string(), "--transcode", "--output", output.string()});
  ASSERT_TRUE(run.WaitForSize(output, 700000));
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 1);
  std::string errors;
  EXPECT_EQ(RunShell("ffmpeg -v error -i " + output.string() + " -map 0:v -map 0:a -f null - 2>&1",
                     &errors),
            0);
  EXPECT_EQ(errors, "");
  const auto last = [&](const std::string& stream) {
    std::istringstream times(Ffprobe("-select_streams " + stream +
                                     " -show_entries packet=pts_time -of csv=p=0 " +
                                     output.string()));
    double time = -1;
    for (double t = 0; times >> t;) time = std::max(time, t);
    return time;
  };
  const double pictures = last("v");
  EXPECT_GT(pictures, 1.0);
  EXPECT_LT(pictures, 59.0);
  EXPECT_NEAR(last("a:1"), pictures, 2.0);
  EXPECT_NEAR(last("s:0"), 1.0, 0.05) << "the early cue, not the late one";
}

// Of each composition in a .sup file: its objects, and how many of them
// are forced.
std::vector<std::pair<int, int>> Compositions(const std::string& sup) {
  std::vector<std::pair<int, int>> compositions;
  for (size_t at = 0; at + 13 <= sup.size();) {
    const uint8_t type = uint8_t(sup[at + 10]);
    const size_t length = size_t(uint8_t(sup[at + 11])) << 8 | uint8_t(sup[at + 12]);
    const size_t payload = at + 13;
    if (payload + length > sup.size()) break;
    if (type == 0x16 && length >= 11) {
      const int objects = uint8_t(sup[payload + 10]);
      int forced = 0;
      for (size_t o = payload + 11, k = 0; k < size_t(objects) && o + 8 <= payload + length; ++k) {
        const uint8_t flags = uint8_t(sup[o + 3]);
        forced += (flags & 0x40) != 0;
        o += (flags & 0x80) ? 16 : 8;
      }
      compositions.push_back({objects, forced});
    }
    at = payload + length;
  }
  return compositions;
}

// A set with a forced sign and a line of dialogue, one with dialogue alone,
// one with a forced sign alone: the signs are burned, the dialogue stays soft.
TEST(KeptForcedPictures, AreBurnedAndTheRestOfTheTrackStaysSoft) {
  TempDir dir;
  std::vector<pgswriter::DisplaySet> sets;
  const auto show = [&](double from, double to, std::vector<pgswriter::Object> objects) {
    pgswriter::DisplaySet set;
    set.Pts90k = std::llround(from * 90000);
    set.CanvasWidth = 320;
    set.CanvasHeight = 240;
    set.Palette = {{1, 250, 250, 250, 255}, {2, 250, 250, 0, 255}};
    set.Objects = std::move(objects);
    sets.push_back(set);
    sets.push_back(pgswriter::ClearingSet(set, std::llround(to * 90000)));
  };
  show(0.2, 0.6,
       {pgswriter::FilledRectangle(40, 20, 100, 20, 2, true),
        pgswriter::FilledRectangle(40, 200, 200, 20, 1)});
  show(0.8, 1.2, {pgswriter::FilledRectangle(40, 200, 200, 20, 1)});
  show(1.4, 1.8, {pgswriter::FilledRectangle(40, 20, 100, 20, 2, true)});
  WriteFile(dir / "cues.sup", pgswriter::WriteSup(sets));
  Ffmpeg(
      "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 "
      "-copyts -i " +
      (dir / "cues.sup").string() + " -map 0 -map 1 -map 2 -c:v mpeg4 -c:a aac -c:s copy " +
      (dir / "film.mkv").string());
  const fs::path output = dir / "out.mkv";
  const ProgramRun run =
      RunProgram("--source " + (dir / "film.mkv").string() + " --subtitle-track 1 --forced-only " +
                 "--output " + output.string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(
      run.out.find(
          "Output streams: video (burned), sound 1, subtitles 1 without its forced pictures\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Subtitles 1: 2 sets with forced pictures burned, 6 sets kept soft "
                         "without them"),
            std::string::npos)
      << run.out;
  Ffmpeg("-i " + output.string() + " -map 0:s -c copy " + (dir / "soft.sup").string());
  const std::vector<std::pair<int, int>> source = Compositions(ReadFile(dir / "cues.sup"));
  const std::vector<std::pair<int, int>> soft = Compositions(ReadFile(dir / "soft.sup"));
  EXPECT_EQ(source,
            (std::vector<std::pair<int, int>>{{2, 1}, {0, 0}, {1, 0}, {0, 0}, {1, 1}, {0, 0}}));
  EXPECT_EQ(soft,
            (std::vector<std::pair<int, int>>{{1, 0}, {0, 0}, {1, 0}, {0, 0}, {0, 0}, {0, 0}}));
}

// Sound stored in milliseconds comes into MP4 timed by its samples: every
// frame 1024 samples long, and no pause reported where the source has none.
TEST(KeptSoundTimes, AacFromMatroskaIntoMp4CountsItsSamples) {
  TempDir dir;
  const fs::path source = dir / "sine.mkv";
  Ffmpeg(
      "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 -f lavfi -i "
      "sine=duration=2:sample_rate=44100 -c:v mpeg4 -c:a aac " +
      source.string());
  WriteFile(dir / "s.srt", "1\n00:00:00,200 --> 00:00:01,000\nHi\n");
  for (const char* name : {"out.mp4", "out.mkv"}) {
    const fs::path output = dir / name;
    const ProgramRun run = RunProgram("--source " + source.string() + " --subtitles " +
                                      (dir / "s.srt").string() + " --output " + output.string());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("gap"), std::string::npos) << name << "\n" << run.out;
  }
  std::istringstream durations(Ffprobe(
      "-select_streams a -show_entries packet=duration -of csv=p=0 " + (dir / "out.mp4").string()));
  int frames = 0, others = 0;
  for (std::string line; std::getline(durations, line);) {
    if (line.empty() || line == "N/A") continue;
    (line == "1024" ? frames : others) += 1;
  }
  EXPECT_GT(frames, 80);
  EXPECT_EQ(others, 0);
  // Decode times step by whole frames.
  std::istringstream times(Ffprobe("-select_streams a -show_entries packet=dts -of csv=p=0 " +
                                   (dir / "out.mp4").string()));
  int64_t last = -1, uneven = 0;
  for (std::string line; std::getline(times, line);) {
    if (line.empty()) continue;
    const int64_t dts = std::stoll(line);
    if (last >= 0 && dts - last != 1024) ++uneven;
    last = dts;
  }
  EXPECT_EQ(uneven, 0);
}

}  // namespace
