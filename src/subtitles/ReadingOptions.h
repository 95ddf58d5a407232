#pragma once

// How a subtitle file is read. All off reads it as the program always has:
// 8-bit text, the ten classic tags, strict SubRip and MicroDVD structure.
namespace SUBTITLEFILE {

struct ReadingOptions {
  bool Unicode = false;         // UTF-8 (with or without mark), UTF-16 and UTF-32 with a mark
  bool DetectCodePage = false;  // an 8-bit file that is not UTF-8 is read in its own code page
  bool CleanMarkup = false;     // every tag, override block, control code and entity
  bool Tolerant = false;        // loose SubRip structure, the MicroDVD frame-rate line
  bool Styled = false;          // ASS, SSA and WebVTT files are read too

  bool operator==(const ReadingOptions&) const = default;
};

}  // namespace SUBTITLEFILE
