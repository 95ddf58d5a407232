#include "media/VelAvCodec.h"

// Probing and reading land in the next change.
namespace VELAVCODEC {

bool VelAvCodec::PreOpen(const std::string&) {
  ErrorText = "[VelAvCodec::PreOpen] Can't open input file...";
  return false;
}

bool VelAvCodec::Open() {
  ErrorText = "[VelAvCodec::Open] No usable streams...";
  return false;
}

uint8_t* VelAvCodec::GetNextData(int32_t&, int32_t& size) {
  size = 0;
  ErrorText = "[VelAvCodec::GetNextData] No usable data found...";
  return nullptr;
}

}  // namespace VELAVCODEC
