#pragma once

// Owners of what the AVI service hands out: each gives its reference back
// when it goes, so a job's output is released by letting its owner go.
#include <memory>

#include "avi/Vfw.h"

namespace AVIHANDLES {

struct FileRelease {
  void operator()(AviFileObject* file) const { AVIFileRelease(file); }
};
struct StreamRelease {
  void operator()(AviStreamObject* stream) const { AVIStreamRelease(stream); }
};

using AviFileHandle = std::unique_ptr<AviFileObject, FileRelease>;
using AviStreamHandle = std::unique_ptr<AviStreamObject, StreamRelease>;

// A compressor choice whose blocks go back to the service with it.
class SavedOptions {
 public:
  SavedOptions() = default;
  ~SavedOptions() {
    AVICOMPRESSOPTIONS* list[1] = {&Options};
    AVISaveOptionsFree(1, list);
  }
  SavedOptions(const SavedOptions&) = delete;
  SavedOptions& operator=(const SavedOptions&) = delete;

  AVICOMPRESSOPTIONS Options{};
};

}  // namespace AVIHANDLES
