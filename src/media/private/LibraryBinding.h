#pragma once

// Loading the four FFmpeg libraries and looking up their entry points.
#include <string>

#include "media/private/EntryPoints.h"

namespace VELAVCODEC {

struct LibraryHandles {
  void* AvCodec = nullptr;
  void* AvFormat = nullptr;
  void* AvUtil = nullptr;
  void* SwScale = nullptr;
};

// The path tried for a library name: an empty name means the fixed fall-back
// under ./dll/.
std::string LibraryPath(Library library, const std::string& name);

// Loads the libraries in the order codec, format, utility, scaling and fills
// the table. On failure everything loaded so far is unloaded again and the
// message of the failing step is returned; an empty result means success.
std::string BindLibraries(const std::string& avcodec, const std::string& avformat,
                          const std::string& avutil, const std::string& swscale,
                          LibraryHandles& handles, EntryPoints& table);

// Unloads in the order format, codec, utility, scaling; handles become null.
void UnloadLibraries(LibraryHandles& handles);

}  // namespace VELAVCODEC
