#pragma once

// The output must never be one of the job's inputs: writing it would destroy
// the source or the subtitles. Files are compared by device and inode, so
// another spelling of the path, a hard link or a symbolic link is the same
// file too.
#include <string>

#include "job/JobOptions.h"

namespace OUTPUTPATH {

// The error for an output that names an input, or empty.
std::string SameFileError(const JOBOPTIONS::JobOptions& options);

}  // namespace OUTPUTPATH
