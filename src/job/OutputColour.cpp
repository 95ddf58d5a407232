#include "job/OutputColour.h"

#include "drawing/HdrInk.h"

namespace OUTPUTCOLOUR {
namespace {

const char* TransferName(int transfer) {
  return transfer == PICTURECOLOUR::kTransferHlg ? "HLG" : "PQ";
}

}  // namespace

bool ToneMappable(const SourcePictures& source) {
  const PICTURECOLOUR::PictureForm& form = source.Form;
  return form.IsHdr() && form.Yuv && form.Subsampled420 && form.BitDepth == 10 &&
         source.Width % 2 == 0 && source.Height % 2 == 0;
}

Decision Decide(const COMPRESSORCATALOG::CompressorInfo& compressor, const SourcePictures& source,
                int askedDepth, bool sdr) {
  Decision decision;
  const PICTURECOLOUR::PictureForm& form = source.Form;
  if (sdr && askedDepth == 10) {
    decision.Error =
        "[SubtitleJob::Start] --sdr writes 8-bit pictures: give it without "
        "--bit-depth 10...";
    return decision;
  }
  if (sdr) askedDepth = 8;
  const bool deepSource = form.BitDepth > 8;
  if (askedDepth == 10 && !compressor.keepsDeepColour) {
    decision.Error = "[SubtitleJob::Start] The compressor " + compressor.name +
                     " writes 8-bit pictures only; 10 bits need HEVC, AV01 or VP90...";
    return decision;
  }
  const bool wanted = askedDepth == 10 || (askedDepth == 0 && deepSource);
  // Deep pictures go the planar way only: a YUV source of even size.
  const bool keepable = form.Yuv && source.Width % 2 == 0 && source.Height % 2 == 0;
  if (wanted && compressor.keepsDeepColour && !keepable) {  // only the newer codecs
    if (askedDepth == 10) {
      decision.Error =
          "[SubtitleJob::Start] 10-bit output needs a YUV source of even width and height...";
      return decision;
    }
    decision.Note = "The source's " + std::to_string(form.BitDepth) +
                    "-bit pictures are written in 8 bits: they are not YUV of even size";
  }
  if (wanted && compressor.keepsDeepColour && keepable) decision.BitDepth = 10;
  decision.KeepsHdr = decision.BitDepth == 10 && form.IsHdr();
  if (!form.IsHdr() || decision.KeepsHdr) return decision;
  decision.ToneMaps = ToneMappable(source);
  decision.Note =
      std::string("The source is HDR (") + TransferName(form.Transfer) + "); " +
      (decision.ToneMaps ? "it is tone-mapped to SDR (BT.709), reference white to SDR white"
                         : "its pictures are not 10-bit 4:2:0, so they keep their code values, "
                           "not tone-mapped");
  return decision;
}

// A deep output states the source's colour where the source states it; an
// 8-bit one stays unspecified, as ever.
void Apply(const Decision& decision, const PICTURECOLOUR::PictureForm& source,
           ENCODERCHOICE::EncoderChoice& choice) {
  choice.BitDepth = decision.BitDepth;
  if (decision.ToneMaps) {
    constexpr int kBt709 = 1;
    choice.Colour = {kBt709, kBt709, kBt709, false, {}};
    return;
  }
  if (decision.BitDepth == 8) return;
  choice.Colour.Primaries = source.Primaries;
  choice.Colour.Transfer = source.Transfer;
  choice.Colour.Matrix = source.Matrix;
  // The planar pictures come on video levels, whatever the source's range.
  choice.Colour.FullRange = false;
  if (decision.KeepsHdr) choice.Colour.Hdr = source.Hdr;
}

std::unique_ptr<PLANARPICTURE::InkColours> InkColoursFor(const Decision& decision,
                                                         const PICTURECOLOUR::PictureForm& source,
                                                         double subtitleNits) {
  if (!decision.KeepsHdr) return nullptr;
  return std::make_unique<HDRINK::HdrInkColours>(source.Transfer, subtitleNits);
}

Asked AskedOf(const ENCODERCHOICE::ColourAsked& chosen, int optionsDepth, bool optionsSdr,
              double optionsNits) {
  return {chosen.BitDepth.value_or(optionsDepth), chosen.Sdr.value_or(optionsSdr),
          chosen.SubtitleNits ? double(*chosen.SubtitleNits) : optionsNits};
}

}  // namespace OUTPUTCOLOUR
