// Deep colour and HDR through the program: a 10-bit source stays 10-bit in
// the newer codecs (bit for bit outside the subtitle, when the encoder is
// lossless), --bit-depth chooses otherwise, and a PQ or HLG source keeps its
// colour description and metadata with its subtitle white at the level HDR
// graphics take.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/TestSupport.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 320, kHeight = 180;

// ffmpeg's mastering display and light levels for the HDR10 source, in x265's
// units.
constexpr const char* kHdr10Params =
    "master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)"
    "L(10000000,50):max-cll=1000,400:hdr10=1";

std::string Probe(const std::string& arguments, const fs::path& file) {
  return Ffprobe("-v error " + arguments + " -of csv=p=0 " + file.string());
}

// The luma plane of picture `index`, decoded to 10 bits. (Asked for as
// gray, ffmpeg would stretch it to full range.)
std::vector<uint16_t> Luma(const fs::path& file, int index, const fs::path& scratch) {
  Ffmpeg("-i " + file.string() + " -vf 'select=eq(n\\," + std::to_string(index) +
         ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt yuv420p10le " + scratch.string());
  const std::string bytes = ReadFile(scratch);
  std::vector<uint16_t> samples(std::min<size_t>(bytes.size() / 2, size_t(kWidth) * kHeight));
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

class DeepColourCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A dark grey film, so that nothing of the picture is near the
    // subtitle's white.
    MakeHdr(pq, "smpte2084", std::string(":") + kHdr10Params);
    MakeHdr(hlg, "arib-std-b67", "");
    // A white box and a red one, solid, from 0.2 s to 0.8 s.
    WriteFile(boxes,
              "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 180\n\n"
              "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
              "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, "
              "Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
              "MarginV, Encoding\nStyle: Default,DejaVu Sans,20,&H00FFFFFF,&H00FFFFFF,"
              "&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,0,0,7,0,0,0,1\n\n[Events]\n"
              "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
              "Dialogue: 0,0:00:00.20,0:00:00.80,Default,,0,0,0,,{\\pos(40,40)\\p1}"
              "m 0 0 l 100 0 100 60 0 60{\\p0}\n"
              "Dialogue: 0,0:00:00.20,0:00:00.80,Default,,0,0,0,,{\\pos(200,40)\\c&H0000FF&"
              "\\p1}m 0 0 l 60 0 60 60 0 60{\\p0}\n");
    WriteFile(plain, "1\r\n00:00:00,200 --> 00:00:00,800\r\nWHITE\r\n");
  }

  void MakeHdr(const fs::path& file, const std::string& transfer, const std::string& params) {
    Ffmpeg(
        "-f lavfi -i color=c=0x202020:s=320x180:r=25:d=1 -f lavfi -i sine=d=1 -vf "
        "zscale=tin=bt709:t=" +
        transfer +
        ":pin=bt709:p=bt2020:min=bt709:m=bt2020nc,format=yuv420p10le -c:v libx265 "
        "-x265-params 'log-level=error:colorprim=bt2020:transfer=" +
        transfer + ":colormatrix=bt2020nc" + params + "' -c:a aac " + file.string());
  }

  ProgramRun Burn(const fs::path& source, const fs::path& subtitles, const fs::path& output,
                  const std::string& more) {
    const bool styled = subtitles.extension() == ".ass";
    return RunProgram("--defaults --source " + source.string() + " --subtitles " +
                      subtitles.string() + (styled ? " --styled" : "") + " --output " +
                      output.string() + " " + more);
  }

  TempDir dir;
  fs::path pq = dir / "pq.mkv", hlg = dir / "hlg.mkv", boxes = dir / "boxes.ass",
           plain = dir / "plain.srt", scratch = dir / "picture.raw";
};

}  // namespace

TEST_F(DeepColourCommandTest, AnHdr10SourceKeepsItsTagsMetadataAndSubtitleWhiteInEachCodec) {
  const std::string audio =
      Probe("-select_streams a -count_packets -show_entries stream=nb_read_packets", pq);
  const struct {
    const char* Code;
    const char* Extension;
    bool StreamMetadata;  // in the bitstream as well as in the container
  } cases[] = {
      {"HEVC", "mkv", true}, {"HEVC", "mp4", true}, {"AV01", "mkv", true}, {"VP90", "mp4", false}};
  for (const auto& c : cases) {
    const std::string what = std::string(c.Code) + " in ." + c.Extension;
    const fs::path out = dir / (std::string("pq-") + c.Code + "." + c.Extension);
    const ProgramRun run = Burn(pq, boxes, out, std::string("--compressor ") + c.Code);
    ASSERT_EQ(run.status, 0) << what << run.err;
    EXPECT_NE(run.out.find("10-bit 4:2:0, colour bt2020/smpte2084/bt2020nc tv"), std::string::npos)
        << what << run.out;
    // The stream's side data follows in lines of its own.
    EXPECT_EQ(Probe("-select_streams v -show_entries "
                    "stream=pix_fmt,color_range,color_space,color_transfer,color_primaries",
                    out)
                  .rfind("yuv420p10le,tv,bt2020nc,smpte2084,bt2020,", 0),
              0u)
        << what;
    EXPECT_EQ(Probe("-select_streams v -count_frames -show_entries stream=nb_read_frames", out)
                  .rfind("25,", 0),
              0u)
        << what;
    EXPECT_EQ(Probe("-select_streams a -count_packets -show_entries stream=nb_read_packets", out),
              audio)
        << what;
    // The container states the metadata; HEVC and AV1 state it again with
    // their pictures.
    const std::string stream = Ffprobe("-v error -select_streams v -show_streams " + out.string());
    // Matroska keeps the luminance as a number, MP4 in the units of the SEI.
    EXPECT_TRUE(stream.find("max_luminance=10000000/10000") != std::string::npos ||
                stream.find("max_luminance=1000/1") != std::string::npos)
        << what << stream;
    EXPECT_NE(stream.find("max_content=1000"), std::string::npos) << what << stream;
    EXPECT_NE(stream.find("max_average=400"), std::string::npos) << what << stream;
    const std::string frame = Ffprobe(
        "-v error -select_streams v -show_frames -read_intervals "
        "%+#1 " +
        out.string());
    EXPECT_EQ(frame.find("Mastering display metadata") != std::string::npos, c.StreamMetadata)
        << what;
    EXPECT_EQ(frame.find("Content light level metadata") != std::string::npos, c.StreamMetadata)
        << what;

    // BT.2408's 203 cd/m2 is PQ 0.58, 10-bit 572 on video levels.
    const std::vector<uint16_t> shown = Luma(out, 12, scratch);
    ASSERT_EQ(shown.size(), size_t(kWidth * kHeight)) << what;
    EXPECT_NEAR(shown[70 * kWidth + 90], 572, 24) << what;
    const uint16_t background = shown[150 * kWidth + 20];
    EXPECT_LT(background, 300) << what;
    // Not yet at 0.1 s, gone by 0.9 s.
    EXPECT_NEAR(Luma(out, 2, scratch)[70 * kWidth + 90], background, 12) << what;
    EXPECT_NEAR(Luma(out, 23, scratch)[70 * kWidth + 90], background, 12) << what;
  }
}

TEST_F(DeepColourCommandTest, SubtitleColoursAndLevelsFollowThePicturesTransfer) {
  const fs::path hlgOut = dir / "hlg.mkv.out.mkv";
  ProgramRun run = Burn(hlg, boxes, hlgOut, "--compressor HEVC");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Probe("-select_streams v -show_entries stream=color_transfer", hlgOut),
            "arib-std-b67\n");
  // HLG's reference white is 0.75 of the signal: 10-bit 721.
  std::vector<uint16_t> luma = Luma(hlgOut, 12, scratch);
  EXPECT_NEAR(luma[70 * kWidth + 90], 721, 24);

  const fs::path dimmer = dir / "dimmer.mkv";
  run = Burn(pq, boxes, dimmer, "--compressor HEVC --subtitle-nits 100");
  ASSERT_EQ(run.status, 0) << run.err;
  luma = Luma(dimmer, 12, scratch);
  // PQ of 100 cd/m2 is 0.508: 509.
  EXPECT_NEAR(luma[70 * kWidth + 90], 509, 24);

  // The red box: BT.709 red at 203 cd/m2 in BT.2020 is well below the white
  // and keeps a strong red difference.
  const fs::path red = dir / "red.mkv";
  ASSERT_EQ(Burn(pq, boxes, red, "--compressor HEVC").status, 0);
  Ffmpeg("-i " + red.string() +
         " -vf 'select=eq(n\\,12)' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt yuv420p10le " +
         scratch.string());
  const std::string bytes = ReadFile(scratch);
  ASSERT_EQ(bytes.size(), size_t(kWidth * kHeight * 3));
  const auto sample = [&](size_t index) {
    return uint16_t(uint8_t(bytes[2 * index]) | uint8_t(bytes[2 * index + 1]) << 8);
  };
  const size_t chroma = size_t(kWidth) * kHeight, chromaRow = kWidth / 2;
  const uint16_t y = sample(70 * kWidth + 230);
  const uint16_t v = sample(chroma + chroma / 4 + 35 * chromaRow + 115);
  EXPECT_GT(y, 300);
  EXPECT_LT(y, 500);
  EXPECT_GT(v, 580);  // Cr well above neutral 512

  // Plain text goes the same way: its white lands at reference white too.
  const fs::path text = dir / "text.mkv";
  run = Burn(pq, plain, text,
             "--compressor HEVC --font-size 60 --bold --font-color 0xFFFFFF "
             "--encoder-options crf=12");
  ASSERT_EQ(run.status, 0) << run.err;
  luma = Luma(text, 12, scratch);
  int white = 0, glaring = 0;
  for (const uint16_t value : luma) {
    white += value >= 548 && value <= 596;
    glaring += value > 620;
  }
  EXPECT_GT(white, 500);
  EXPECT_EQ(glaring, 0);
}

TEST_F(DeepColourCommandTest, TenBitPicturesStayTenBitUnlessEightAreAskedFor) {
  // A 10-bit picture of values 8 bits cannot hold, kept losslessly.
  const fs::path deep = dir / "deep.mkv";
  Ffmpeg(
      "-f lavfi -i 'nullsrc=s=320x180:r=25:d=1,format=yuv420p10le,geq=lum=X*2+Y:cb=512:cr=512' "
      "-c:v libx265 -x265-params log-level=error:lossless=1 " +
      deep.string());
  const fs::path kept = dir / "kept.mkv";
  ProgramRun run =
      Burn(deep, plain, kept, "--compressor HEVC --encoder-options x265-params=lossless=1");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("HEVC (x265), 10-bit 4:2:0"), std::string::npos) << run.out;
  const std::vector<uint16_t> source = Luma(deep, 12, scratch);
  const std::vector<uint16_t> written = Luma(kept, 12, scratch);
  ASSERT_EQ(source.size(), written.size());
  // The subtitle sits at the bottom; the rows above it are the source's,
  // sample for sample, odd values included.
  int same = 0, notEightBit = 0;
  const size_t above = size_t(kWidth) * 100;
  for (size_t i = 0; i < above; ++i) {
    same += source[i] == written[i];
    notEightBit += written[i] % 4 != 0;
  }
  EXPECT_EQ(same, int(above));
  EXPECT_GT(notEightBit, int(above / 2));
  // The subtitle is drawn on the picture that shows it.
  int changed = 0;
  for (size_t i = above; i < source.size(); ++i) changed += source[i] != written[i];
  EXPECT_GT(changed, 100);

  for (const char* code : {"AV01", "VP90"}) {
    const fs::path out = dir / (std::string(code) + ".mkv");
    run = Burn(deep, plain, out, std::string("--compressor ") + code);
    ASSERT_EQ(run.status, 0) << code << run.err;
    EXPECT_EQ(Probe("-select_streams v -show_entries stream=pix_fmt", out), "yuv420p10le\n")
        << code;
  }

  const fs::path eight = dir / "eight.mkv";
  ASSERT_EQ(Burn(deep, plain, eight, "--compressor HEVC --bit-depth 8").status, 0);
  EXPECT_EQ(Probe("-select_streams v -show_entries stream=pix_fmt,color_transfer", eight),
            "yuv420p,unknown\n");

  // An 8-bit source made 10-bit on request.
  const fs::path widened = dir / "widened.mp4";
  ASSERT_EQ(Burn(pq, plain, dir / "eight-from-pq.mkv", "--compressor H264").status, 0);
  ASSERT_EQ(
      Burn(dir / "eight-from-pq.mkv", plain, widened, "--compressor VP90 --bit-depth 10").status,
      0);
  EXPECT_EQ(Probe("-select_streams v -show_entries stream=pix_fmt", widened), "yuv420p10le\n");
}

TEST_F(DeepColourCommandTest, WhatCannotBeKeptIsSaidOrRefused) {
  // 10 bits from a compressor that writes 8: refused, and no file stays.
  const fs::path avi = dir / "ten.avi";
  ProgramRun run = Burn(pq, plain, avi, "--compressor XVID --bit-depth 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("writes 8-bit pictures only"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(avi));
  run = Burn(pq, plain, dir / "both.mkv", "--compressor HEVC --sdr --bit-depth 10");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--sdr writes 8-bit pictures"), std::string::npos) << run.err;

  run = Burn(pq, plain, dir / "bad.mkv", "--compressor HEVC --bit-depth 12");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("bad bit depth '12'"), std::string::npos) << run.err;
  run = Burn(pq, plain, dir / "bad.mkv", "--compressor HEVC --subtitle-nits 5000");
  EXPECT_EQ(run.status, 2) << run.err;

  // An SDR source logs nothing of HDR.
  const fs::path sdr = dir / "sdr.mkv";
  ASSERT_EQ(Burn(pq, plain, sdr, "--compressor H264").status, 0);
  run = Burn(sdr, plain, dir / "again.mkv", "--compressor H264");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("HDR"), std::string::npos) << run.out;
}

// A PQ chart of black, reference white (203 cd/m2), 400 and 1000 cd/m2, in
// 10-bit codes 64, 573, 636 and 723, written losslessly.
TEST_F(DeepColourCommandTest, AnHdrSourceWrittenAsSdrIsToneMapped) {
  std::string raw;
  const uint16_t codes[4] = {64, 573, 636, 723};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) raw.append(reinterpret_cast<const char*>(&codes[x / 80]), 2);
  const uint16_t neutral = 512;
  for (int i = 0; i < kWidth * kHeight / 2; ++i)
    raw.append(reinterpret_cast<const char*>(&neutral), 2);
  WriteFile(dir / "chart.yuv", raw);
  const fs::path chart = dir / "chart.mkv";
  Ffmpeg("-f rawvideo -pix_fmt yuv420p10le -s 320x180 -r 25 -i " + (dir / "chart.yuv").string() +
         " -vf loop=24:1:0 -c:v libx265 -x265-params 'log-level=error:lossless=1:colorprim=bt2020:"
         "transfer=smpte2084:colormatrix=bt2020nc:" +
         kHdr10Params + "' " + chart.string());
  const fs::path late = dir / "late.srt";
  WriteFile(late, "1\r\n00:00:05,000 --> 00:00:06,000\r\nlater\r\n");

  const auto patches = [&](const fs::path& file) {
    Ffmpeg("-i " + file.string() +
           " -vf 'select=eq(n\\,5)' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt yuv420p " +
           scratch.string());
    const std::string bytes = ReadFile(scratch);
    std::array<int, 4> values{};
    if (bytes.size() < size_t(kWidth * kHeight)) return values;
    for (int k = 0; k < 4; ++k) values[k] = uint8_t(bytes[90 * kWidth + 40 + 80 * k]);
    return values;
  };
  const struct {
    const char* Code;
    const char* Extension;
    const char* More;
  } cases[] = {{"H264", "mkv", ""}, {"XVID", "avi", ""}, {"HEVC", "mp4", "--sdr"}};
  for (const auto& c : cases) {
    const fs::path out = dir / (std::string("mapped-") + c.Code + "." + c.Extension);
    const ProgramRun run =
        Burn(chart, late, out, std::string("--compressor ") + c.Code + " " + c.More);
    ASSERT_EQ(run.status, 0) << c.Code << run.err;
    EXPECT_NE(run.out.find("The source is HDR (PQ); it is tone-mapped to SDR (BT.709)"),
              std::string::npos)
        << c.Code << run.out;
    const std::array<int, 4> values = patches(out);
    EXPECT_LE(values[0], 17) << c.Code;   // black stays black
    EXPECT_GE(values[1], 228) << c.Code;  // reference white is white
    EXPECT_LE(values[1], 236) << c.Code;
    // Highlights are compressed above it, not clipped together.
    EXPECT_GT(values[2], values[1] + 8) << c.Code;
    EXPECT_GT(values[3], values[2] + 2) << c.Code;
    if (std::string(c.Extension) != "avi")
      EXPECT_EQ(Probe("-select_streams v -show_entries "
                      "stream=pix_fmt,color_space,color_transfer,color_primaries",
                      out),
                "yuv420p,bt709,bt709,bt709\n")
          << c.Code;
  }

  // Cut and scaled, the pictures are mapped alike: the middle two patches
  // (reference white and a highlight), each now the output's half.
  const fs::path cropped = dir / "mapped-cropped.mkv";
  const ProgramRun run =
      Burn(chart, late, cropped, "--compressor H264 --crop 160:180:80:0 --scale 320x180");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("tone-mapped to SDR"), std::string::npos) << run.out;
  const std::array<int, 4> halves = patches(cropped);
  for (const int white : {halves[0], halves[1]}) {
    EXPECT_GE(white, 228);
    EXPECT_LE(white, 236);
  }
  EXPECT_GT(halves[2], halves[1] + 8);
  EXPECT_NEAR(halves[3], halves[2], 2);

  // A still shows what the output shows.
  const fs::path still = dir / "still.png";
  ASSERT_EQ(RunProgram("--defaults --snapshot 0.2 --source " + chart.string() + " --subtitles " +
                       late.string() + " --output " + still.string())
                .status,
            0);
  Ffmpeg("-i " + still.string() + " -f rawvideo -pix_fmt rgb24 " + scratch.string());
  const std::string rgb = ReadFile(scratch);
  ASSERT_EQ(rgb.size(), size_t(kWidth * kHeight * 3));
  EXPECT_LE(uint8_t(rgb[3 * (90 * kWidth + 40)]), 2);
  EXPECT_GE(uint8_t(rgb[3 * (90 * kWidth + 120)]), 245);
}

// A damaged HDR file: the metadata read, the deep path and the tone mapping
// meet cut and garbled pictures; the job ends with a file, not a crash.
TEST_F(DeepColourCommandTest, ADamagedHdrSourceStillGivesAFile) {
  std::string bytes = ReadFile(pq);
  ASSERT_GT(bytes.size(), 4000u);
  for (size_t i = 3000; i < bytes.size(); i += 997) bytes[i] = char(bytes[i] ^ 0x5A);
  const fs::path damaged = dir / "damaged.mkv";
  WriteFile(damaged, bytes.substr(0, bytes.size() * 2 / 3));
  for (const char* more : {"--compressor HEVC", "--compressor H264"}) {
    const fs::path out = dir / (std::string(more).back() == 'C' ? "d.mkv" : "d.mp4");
    const ProgramRun run = Burn(damaged, plain, out, more);
    EXPECT_TRUE(run.status == 0 || run.status == 1) << more << run.err;
    EXPECT_TRUE(fs::exists(out)) << more;
  }
}
