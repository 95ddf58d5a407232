// MicroDVD files: read as they come, or laid out as "{start}{end}text"
// lines from the pieces of the payload, the first a frame-rate line when
// the run asks for one.
#include <string>

#include "FuzzTargets.h"
#include "SubtitleRuns.h"

namespace FUZZTARGETS {
namespace {

std::string LayOut(std::string_view payload, bool rateLine) {
  std::string file;
  bool first = true;
  for (std::string_view piece : Records(payload)) {
    // Frames from the piece's front: 24 bits, so that counts past 32 bits
    // come only from text the reader gets raw.
    const uint32_t start = TakeNumber(piece, 3);
    const uint32_t length = TakeNumber(piece, 1);
    if (first && rateLine) {
      file += "{1}{1}";
    } else {
      file += "{" + std::to_string(start) + "}{" + std::to_string(start + length) + "}";
    }
    first = false;
    file.append(piece);
    file += "\r\n";
  }
  return file;
}

}  // namespace

int FuzzMicroDvd(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const SubtitleRun run = ReadSubtitleRun(input);
  const std::string contents =
      run.Reading & 0x20 ? LayOut(input.Rest(), run.Reading & 0x40) : std::string(input.Rest());
  RunSubtitleFile(contents, run, false);
  return 0;
}

}  // namespace FUZZTARGETS
