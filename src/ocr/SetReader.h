#pragma once

// One display set read as a subtitle's text: each object's lines read by
// Tesseract, in the order they stand on the canvas, as SubRip writes them:
// lines apart, italics as <i>...</i>, a set high on the picture marked
// {\an8}.
#include <memory>
#include <string>
#include <vector>

#include "picture/SubtitleBitmaps.h"

namespace tesseract {
class TessBaseAPI;
}

namespace SETREADER {

class SetReader {
 public:
  SetReader();
  ~SetReader();
  SetReader(const SetReader&) = delete;
  SetReader& operator=(const SetReader&) = delete;

  // languages: Tesseract's ("eng", "fra+deu"). Empty when ready, else why
  // not.
  std::string Open(const std::string& languages);
  // The set's text; empty when it holds no letters.
  std::string Read(const SUBTITLEBITMAPS::DisplaySet& set);

  // The languages whose data this machine holds ("eng", "fra", ...).
  static std::vector<std::string> Installed();

 private:
  std::string ReadLine(const std::vector<uint8_t>& gray, int width, int height);

  std::unique_ptr<tesseract::TessBaseAPI> api_;
};

}  // namespace SETREADER
