#pragma once

// The decoding libraries bound without a decoder, for the tests of the
// units that take their entry points.
#include <string>

#include "media/private/EntryPoints.h"
#include "media/private/LibraryBinding.h"

namespace mediatest {

// The installed libraries bound for as long as it lives; Error holds why
// they could not be.
struct BoundLibraries {
  BoundLibraries();
  ~BoundLibraries();
  BoundLibraries(const BoundLibraries&) = delete;
  BoundLibraries& operator=(const BoundLibraries&) = delete;
  VELAVCODEC::LibraryHandles Handles;
  VELAVCODEC::EntryPoints Api;
  std::string Error;
};

}  // namespace mediatest
