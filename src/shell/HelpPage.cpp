#include "shell/HelpPage.h"

#include <filesystem>

namespace HELPPAGE {
namespace {

namespace fs = std::filesystem;

// As the install rules of the top CMakeLists.txt lay it out.
constexpr const char* kBesideProgram = "Help/Help.html";
constexpr const char* kInstalled = "share/tolvane/Help/Help.html";

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

std::string HelpPagePath(const std::string& programFolder) {
  const std::string beside = programFolder + kBesideProgram;
  if (Exists(beside)) return beside;
  // "<prefix>/bin/" gives "<prefix>/share/...".
  const fs::path prefix = fs::path(programFolder).parent_path().parent_path();
  const fs::path installed = prefix / kInstalled;
  return Exists(installed) ? installed.string() : beside;
}

std::string ProcessProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  std::string folder = program.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace HELPPAGE
