#include "output/OutputFactory.h"

#include "output/AviOutput.h"
#include "output/MuxedOutput.h"

namespace MEDIAOUTPUT {

std::unique_ptr<MediaOutput> MakeOutput(Container container) {
  if (container == Container::Avi) return std::make_unique<AviOutput>();
  return std::make_unique<MuxedOutput>(container);
}

}  // namespace MEDIAOUTPUT
