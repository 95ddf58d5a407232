#pragma once

// The blocks the message log frames an error or a notice in, as the job and
// the window both write them.
#include <array>
#include <string>

namespace JOBLOG {

inline std::array<std::string, 3> ErrorBlock(const std::string& text) {
  return {"[BEGIN ERROR]", text, "[END ERROR]"};
}

inline std::array<std::string, 3> InfoBlock(const std::string& text) {
  return {"[BEGIN INFO]", text, "[END INFO]"};
}

}  // namespace JOBLOG
