// Subtitle files written to do harm, in every field of every format: huge,
// negative and malformed numbers, deep markup, huge lines and huge counts.
// The job and the still end as done or failed (0 or 1), never by a crash or
// a sanitizer's report (the sanitizer build runs this test too), and what
// they draw is bounded by the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

std::string Repeat(const std::string& text, int times) {
  std::string out;
  out.reserve(text.size() * std::size_t(times));
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::string kHuge = "99999999999999999999999999";
const std::string kOverrides =
    "{\\fs" + kHuge + "\\fscx" + kHuge + "\\fscy-" + kHuge + "\\fsp1e308\\bord" + kHuge +
    "\\blur1e309\\be-5\\frz" + kHuge + "\\frx-1e308\\fry89.9999\\fax" + kHuge + "\\fay-" + kHuge +
    "\\pos(" + kHuge + ",-" + kHuge + ")\\org(1e308,1e308)\\move(0,0," + kHuge + "," + kHuge +
    ",-" + kHuge + "," + kHuge + ")\\clip(-" + kHuge + ",0," + kHuge + ",1)\\fad(" + kHuge + ",-" +
    kHuge + ")\\t(-" + kHuge + "," + kHuge + ",1e308,\\fs" + kHuge + "\\frz" + kHuge + ")\\k" +
    kHuge + "\\an" + kHuge + "\\q" + kHuge + "\\b" + kHuge + "\\c&HFFFFFFFFFFFF&}";
const std::string kDrawing =
    "{\\p" + kHuge + "}m 0 0 " + Repeat("l " + kHuge + " -" + kHuge + " 7 7 ", 20000) + "{\\p0}";

std::string SubRip() {
  std::string file;
  int n = 1;
  auto cue = [&](const std::string& times, const std::string& text) {
    file += std::to_string(n++) + "\r\n" + times + "\r\n" + text + "\r\n\r\n";
  };
  cue("00:00:00,100 --> 00:00:00,900", kOverrides + "Overrides");
  cue("00:00:00,100 --> 00:00:00,900", "<font size=\"" + kHuge + "\" color=\"#zzzzzz\" face=\"" +
                                           std::string(5000, 'F') + "\">Font</font>");
  cue("00:00:00,100 --> 00:00:00,900", Repeat("<i><b><u><s>", 20000) + "Deep");
  cue("00:00:00,200 --> 00:00:00,800", std::string(200000, 'W'));
  cue("00:00:00,200 --> 00:00:00,800", kDrawing);
  cue(kHuge + ":" + kHuge + ":" + kHuge + "," + kHuge + " --> -" + kHuge + ":00:00,000", "Times");
  cue("-5:-5:-5,-5 --> 00:00:00,500", "Negative");
  for (int i = 0; i < 3000; ++i) cue("00:00:00,300 --> 00:00:00,700", "{\\pos(10,10)}Crowd");
  return file;
}

std::string MicroDvd() {
  std::string file = "{1}{1}1e308\n";
  file += "{2}{20}{y:" + Repeat("ibus", 5000) + "}{c:$ZZZZZZ}{s:" + kHuge +
          "}{f:" + std::string(5000, 'F') + "}Codes|" + Repeat("|", 20000) + "\n";
  file += "{3}{" + kHuge + "}" + kOverrides + "Overrides\n";
  file += "{-" + kHuge + "}{4}Negative\n";
  file += "{5}{15}" + std::string(200000, 'W') + "\n";
  for (int i = 0; i < 3000; ++i) file += "{6}{16}{Y:b}Crowd\n";
  return file;
}

std::string AssHeader(const std::string& kind) {
  const bool ssa = kind == "ssa";
  return "[Script Info]\nScriptType: " + std::string(ssa ? "v4.00" : "v4.00+") +
         "\nPlayResX: " + kHuge + "\nPlayResY: -" + kHuge + "\nWrapStyle: " + kHuge +
         "\nLayoutResX: " + kHuge + "\nTimer: 1e308\n\n" +
         (ssa ? "[V4 Styles]\n" : "[V4+ Styles]\n") +
         "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
         "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
         "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
         "Style: Default,DejaVu Sans," +
         kHuge + ",&H" + kHuge + ",-1,1e308,&HZZ," + kHuge + ",-" + kHuge + ",1,1," + kHuge + "," +
         kHuge + ",-" + kHuge + "," + kHuge + "," + kHuge + "," + kHuge + "," + kHuge + "," +
         kHuge + "," + kHuge + ",-" + kHuge + "," + kHuge + "," + kHuge + "\n" +
         "Style: " + std::string(10000, 'S') + "\n\n[Events]\n";
}

std::string Ass(const std::string& kind) {
  std::string file = AssHeader(kind);
  file += "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
  auto event = [&](const std::string& fields) { file += "Dialogue: " + fields + "\n"; };
  event(kHuge + ",0:00:00.10,0:00:00.90,Default,," + kHuge + ",-" + kHuge + "," + kHuge +
        ",Banner;" + kHuge + ";" + kHuge + "," + kOverrides + "Overrides");
  event("0,0:00:00.10,0:00:00.90,Default,,0,0,0,," + kDrawing);
  event("0,0:00:00.10,0:00:00.90,Default,,0,0,0,," + Repeat("{\\t(\\t(\\t(", 5000) + "Deep");
  event("0,0:00:00.10,0:00:00.90,Default,,0,0,0,,{\\q2\\fry45}" + std::string(200000, 'W'));
  event("0,9999:99:99.999,-1:00:00.00,Default,,0,0,0,,Times");
  event("0,0:00:00.1,0:00:00.9,NoSuchStyle,,0,0,0,,{\\r" + kHuge + "}Unknown style");
  for (int i = 0; i < 3000; ++i)
    event("0,0:00:00.30,0:00:00.70,Default,,0,0,0,,{\\fs180\\blur10\\t(\\frz3600)}Crowd " +
          std::to_string(i));
  // Events before their format line, and a format line without its text.
  file += "Format: Start, End\nDialogue: 0:00:00.20,0:00:00.40\n";
  return file;
}

std::string WebVtt() {
  std::string file = "WEBVTT\n\n";
  auto cue = [&](const std::string& timing, const std::string& text) {
    file += timing + "\n" + text + "\n\n";
  };
  cue("00:00.100 --> 00:00.900 line:-" + kHuge + "% position:1e308% size:nan align:" +
          std::string(5000, 'x') + " line:" + kHuge + " position:-5%",
      "Settings");
  cue("00:00.100 --> 00:00.900 line:" + kHuge,
      Repeat("<c.a.b.c><v " + kHuge + ">", 10000) + "Deep");
  cue("00:00.100 --> 00:00.900",
      Repeat("<ruby>x<rt>", 10000) + Repeat("&amp;&lt;&#99999999;", 5000));
  cue("99999:59:59.999 --> 00:00.500", "Times");
  cue("00:00.200 --> 00:00.800", std::string(200000, 'W'));
  for (int i = 0; i < 3000; ++i) cue("00:00.300 --> 00:00.700 line:0", "Crowd");
  return file;
}

class HostileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ffmpeg("-f lavfi -i testsrc2=s=320x180:r=25:d=1 -f lavfi -i sine=d=1 -c:v libx264 -c:a aac " +
           source.string());
  }
  // Ends as done or failed, with no report of a fault.
  void ExpectCleanEnd(const ProgramRun& run, const std::string& what) {
    EXPECT_TRUE(run.status == 0 || run.status == 1) << what << ": status " << run.status;
    for (const char* fault : {"runtime error", "Sanitizer", "Segmentation", "Aborted"})
      EXPECT_EQ(run.err.find(fault), std::string::npos) << what << ": " << run.err.substr(0, 2000);
  }
  void BurnAndStill(const std::string& name, const std::string& contents) {
    const fs::path subtitles = dir / name;
    WriteFile(subtitles, contents);
    for (const std::string styled : {"", " --styled"}) {
      const std::string files =
          " --source " + source.string() + " --subtitles " + subtitles.string();
      ExpectCleanEnd(RunProgram("--compressor XVID" + styled + files + " --output " +
                                (dir / (name + ".avi")).string()),
                     name + styled + " job");
      ExpectCleanEnd(RunProgram("--snapshot 0.5" + styled + files + " --output " +
                                (dir / (name + ".png")).string()),
                     name + styled + " still");
    }
  }
  TempDir dir;
  fs::path source = dir / "film.mp4";
};

}  // namespace

TEST_F(HostileFilesTest, SubRipAndMicroDvdEndCleanly) {
  BurnAndStill("hostile.srt", SubRip());
  BurnAndStill("hostile.sub", MicroDvd());
}

TEST_F(HostileFilesTest, AssSsaAndWebVttEndCleanly) {
  BurnAndStill("hostile.ass", Ass("ass"));
  BurnAndStill("hostile.ssa", Ass("ssa"));
  BurnAndStill("hostile.vtt", WebVtt());
}
