#include "media/BoundLibraries.h"

#include "media/VelAvCodec.h"

namespace mediatest {

BoundLibraries::BoundLibraries() {
  const auto names = VELAVCODEC::VelAvCodec::DefaultLibraryNames();
  Error = VELAVCODEC::BindLibraries(names.AvCodec, names.AvFormat, names.AvUtil, names.SwScale,
                                    Handles, Api);
}

BoundLibraries::~BoundLibraries() { VELAVCODEC::UnloadLibraries(Handles); }

}  // namespace mediatest
