// The one rule for what the output keeps of the source's depth and colour.
#include <gtest/gtest.h>

#include "job/OutputColour.h"

namespace {

using OUTPUTCOLOUR::Decide;
using PICTURECOLOUR::PictureForm;

COMPRESSORCATALOG::CompressorInfo Compressor(bool deep, bool avi) {
  return {.code = ENCODERCHOICE::FourCC('T', 'E', 'S', 'T'),
          .name = "Test",
          .encoder = "test",
          .aviCarries = avi,
          .quality = {.scale = COMPRESSORCATALOG::QualityScale::RateFactor},
          .rate = {.hasDataRate = true, .hasKeyFrames = true},
          .keepsDeepColour = deep};
}

PictureForm Form(int depth, int transfer = PICTURECOLOUR::kUnspecified, bool yuv = true) {
  PictureForm form;
  form.BitDepth = depth;
  form.Transfer = transfer;
  form.Yuv = yuv;
  if (PICTURECOLOUR::IsHdrTransfer(transfer)) {
    form.Primaries = PICTURECOLOUR::kPrimariesBt2020;
    form.Matrix = PICTURECOLOUR::kMatrixBt2020;
    form.Hdr.Light = {true, 1000, 400};
  }
  return form;
}

}  // namespace

TEST(OutputColourTest, DepthFollowsTheSourceWhereTheCompressorCanAndTheUserElsewhere) {
  const auto deep = Compressor(true, false), older = Compressor(false, true);
  const struct {
    const COMPRESSORCATALOG::CompressorInfo* Compressor;
    PictureForm Source;
    int32_t Width;
    int Asked;
    int Depth;
    bool Refused;
  } cases[] = {
      {&deep, Form(10), 64, 0, 10, false}, {&deep, Form(12), 64, 0, 10, false},
      {&deep, Form(8), 64, 0, 8, false},   {&deep, Form(8), 64, 10, 10, false},
      {&deep, Form(10), 64, 8, 8, false},  {&older, Form(10), 64, 0, 8, false},
      {&older, Form(10), 64, 10, 8, true}, {&deep, Form(10), 63, 0, 8, false},
      {&deep, Form(10), 63, 10, 8, true},  {&deep, Form(10, 2, false), 64, 0, 8, false},
  };
  for (const auto& c : cases) {
    const OUTPUTCOLOUR::Decision decision = Decide(*c.Compressor, {c.Source, c.Width, 36}, c.Asked);
    const std::string what = std::to_string(c.Source.BitDepth) + "-bit source, width " +
                             std::to_string(c.Width) + ", asked " + std::to_string(c.Asked);
    EXPECT_EQ(decision.Error.empty(), !c.Refused) << what;
    if (!c.Refused) EXPECT_EQ(decision.BitDepth, c.Depth) << what;
  }
}

TEST(OutputColourTest, HdrIsKeptInTenBitsAndSaidWhenLost) {
  const auto deep = Compressor(true, false);
  const PictureForm pq = Form(10, PICTURECOLOUR::kTransferPq);
  OUTPUTCOLOUR::Decision kept = Decide(deep, {pq, 64, 36}, 0);
  EXPECT_TRUE(kept.KeepsHdr);
  EXPECT_TRUE(kept.Note.empty());
  ENCODERCHOICE::EncoderChoice choice;
  choice.Colour.FullRange = true;
  OUTPUTCOLOUR::Apply(kept, pq, choice);
  EXPECT_EQ(choice.BitDepth, 10);
  EXPECT_EQ(choice.Colour.Transfer, PICTURECOLOUR::kTransferPq);
  EXPECT_EQ(choice.Colour.Primaries, PICTURECOLOUR::kPrimariesBt2020);
  EXPECT_FALSE(choice.Colour.FullRange);  // planar pictures are on video levels
  EXPECT_EQ(choice.Colour.Hdr, pq.Hdr);
  EXPECT_NE(OUTPUTCOLOUR::InkColoursFor(kept, pq, 203), nullptr);

  // Written in 8 bits (asked for, or by --sdr), it is tone-mapped to BT.709.
  for (const auto& mapped : {Decide(deep, {pq, 64, 36}, 8), Decide(deep, {pq, 64, 36}, 0, true)}) {
    EXPECT_FALSE(mapped.KeepsHdr);
    EXPECT_TRUE(mapped.ToneMaps);
    EXPECT_EQ(mapped.BitDepth, 8);
    EXPECT_NE(mapped.Note.find("tone-mapped to SDR (BT.709)"), std::string::npos);
    ENCODERCHOICE::EncoderChoice eight;
    OUTPUTCOLOUR::Apply(mapped, pq, eight);
    EXPECT_EQ(eight.Colour, (ENCODERCHOICE::ColourDescription{1, 1, 1, false, {}}));
    EXPECT_EQ(OUTPUTCOLOUR::InkColoursFor(mapped, pq, 203), nullptr);
  }
  EXPECT_FALSE(Decide(deep, {pq, 64, 36}, 10, true).Error.empty());
  // Only 10-bit 4:2:0 is tone-mapped; anything else says it is not.
  PictureForm wide = pq;
  wide.Subsampled420 = false;
  const OUTPUTCOLOUR::Decision kept8 = Decide(deep, {wide, 64, 36}, 8);
  EXPECT_FALSE(kept8.ToneMaps);
  EXPECT_NE(kept8.Note.find("not tone-mapped"), std::string::npos);
  ENCODERCHOICE::EncoderChoice untouched;
  OUTPUTCOLOUR::Apply(kept8, wide, untouched);
  EXPECT_EQ(untouched, ENCODERCHOICE::EncoderChoice());

  // A deep SDR output states the source's colour, with no HDR ink.
  const OUTPUTCOLOUR::Decision sdr = Decide(deep, {Form(10, 1), 64, 36}, 0);
  EXPECT_FALSE(sdr.KeepsHdr);
  EXPECT_EQ(OUTPUTCOLOUR::InkColoursFor(sdr, Form(10, 1), 203), nullptr);

  // The older compressors tone-map an HDR source too, and say so.
  const OUTPUTCOLOUR::Decision older = Decide(Compressor(false, true), {pq, 64, 36}, 0);
  EXPECT_TRUE(older.ToneMaps);
  EXPECT_FALSE(older.Note.empty());
  EXPECT_TRUE(Decide(Compressor(false, true), {Form(10, 1), 64, 36}, 0).Note.empty());
}

// The dialog's fields, where it set them, win over the job's options.
TEST(OutputColourTest, TheDialogsColourFieldsWinWhereTheyAreSet) {
  const OUTPUTCOLOUR::Asked fromOptions = OUTPUTCOLOUR::AskedOf({}, 10, true, 150);
  EXPECT_EQ(fromOptions.BitDepth, 10);
  EXPECT_TRUE(fromOptions.Sdr);
  EXPECT_EQ(fromOptions.SubtitleNits, 150);
  const OUTPUTCOLOUR::Asked fromDialog = OUTPUTCOLOUR::AskedOf({0, false, 300}, 10, true, 150);
  EXPECT_EQ(fromDialog.BitDepth, 0);
  EXPECT_FALSE(fromDialog.Sdr);
  EXPECT_EQ(fromDialog.SubtitleNits, 300);
}
