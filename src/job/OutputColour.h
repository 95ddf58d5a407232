#pragma once

// What the output keeps of the source's depth and colour: one rule for the
// window, the command line and the queue. A 10- or 12-bit source stays 10-bit
// where the compressor writes 10 bits, unless the user asks for 8; a PQ or
// HLG source kept in 10 bits keeps its colour description and HDR metadata,
// and its subtitles are drawn at the level HDR graphics take.
#include <memory>
#include <string>

#include "compressors/CompressorCatalog.h"
#include "compressors/EncoderChoice.h"
#include "picture/PictureColour.h"
#include "picture/PlanarPicture.h"

namespace OUTPUTCOLOUR {

struct SourcePictures {
  PICTURECOLOUR::PictureForm Form;
  int32_t Width = 0, Height = 0;
};

struct Decision {
  int BitDepth = 8;
  bool KeepsHdr = false;
  // An HDR source written as SDR is tone-mapped to BT.709.
  bool ToneMaps = false;
  // Why the job cannot be done as asked; empty when it can.
  std::string Error;
  // A line for the log about what is not kept; empty when nothing is lost.
  std::string Note;
};

// What the user asked of the output's colour: the dialog's fields where
// they ask something, else the job's options (the command line, the
// settings file, the queue).
struct Asked {
  int BitDepth = 0;
  bool Sdr = false;
  double SubtitleNits = 203;
};
Asked AskedOf(const ENCODERCHOICE::ColourAsked& chosen, int optionsDepth, bool optionsSdr,
              double optionsNits);

// askedDepth: 0 (as the source), 8 or 10; sdr: an HDR source is made SDR.
Decision Decide(const COMPRESSORCATALOG::CompressorInfo& compressor, const SourcePictures& source,
                int askedDepth, bool sdr = false);

// Whether the tone mapping takes the source's pictures: 10-bit 4:2:0 of
// even size.
bool ToneMappable(const SourcePictures& source);

// The choice with the decided depth and the colour description the
// stream states: the source's for a deep output, BT.709 for a tone-mapped
// one, unspecified otherwise.
void Apply(const Decision& decision, const PICTURECOLOUR::PictureForm& source,
           ENCODERCHOICE::EncoderChoice& choice);

// How subtitle colours land in the output's pictures; null when they are
// drawn as they are (8 bits, or deep SDR).
std::unique_ptr<PLANARPICTURE::InkColours> InkColoursFor(const Decision& decision,
                                                         const PICTURECOLOUR::PictureForm& source,
                                                         double subtitleNits);

}  // namespace OUTPUTCOLOUR
