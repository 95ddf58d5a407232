// The one rule for what the output keeps of the source's depth and colour.
#include <gtest/gtest.h>

#include "job/OutputColour.h"

namespace {

using OUTPUTCOLOUR::Decide;
using PICTURECOLOUR::PictureForm;

COMPRESSORCATALOG::CompressorInfo Compressor(bool deep, bool avi) {
  return {ENCODERCHOICE::FourCC('T', 'E', 'S', 'T'), "Test", "test", true, true, true, avi, deep};
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

  const OUTPUTCOLOUR::Decision flat = Decide(deep, {pq, 64, 36}, 8);
  EXPECT_FALSE(flat.KeepsHdr);
  EXPECT_NE(flat.Note.find("not tone-mapped"), std::string::npos);
  ENCODERCHOICE::EncoderChoice eight;
  OUTPUTCOLOUR::Apply(flat, pq, eight);
  EXPECT_EQ(eight, ENCODERCHOICE::EncoderChoice());  // unspecified, as ever
  EXPECT_EQ(OUTPUTCOLOUR::InkColoursFor(flat, pq, 203), nullptr);

  // A deep SDR output states the source's colour, with no HDR ink.
  const OUTPUTCOLOUR::Decision sdr = Decide(deep, {Form(10, 1), 64, 36}, 0);
  EXPECT_FALSE(sdr.KeepsHdr);
  EXPECT_EQ(OUTPUTCOLOUR::InkColoursFor(sdr, Form(10, 1), 203), nullptr);

  // The older compressors' logs stay as they were.
  EXPECT_TRUE(Decide(Compressor(false, true), {pq, 64, 36}, 0).Note.empty());
}
