#include "output/MediaOutput.h"

#include <algorithm>
#include <cctype>

namespace MEDIAOUTPUT {

Container ContainerOf(const std::string& path) {
  const size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return Container::Avi;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (extension == "mkv") return Container::Matroska;
  if (extension == "webm") return Container::WebM;
  if (extension == "mp4" || extension == "m4v" || extension == "mov") return Container::Mp4;
  return Container::Avi;
}

}  // namespace MEDIAOUTPUT
