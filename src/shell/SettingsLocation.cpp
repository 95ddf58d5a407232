#include "shell/SettingsLocation.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <filesystem>

namespace SETTINGS {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The program folder's file becomes the start of the user's copy.
void SeedUserFile(const std::string& from, const std::string& folder, const std::string& to) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!Exists(from) || Exists(to)) return;
  // The copy keeps the installed file's modes, which may forbid writing.
  if (fs::copy_file(from, to, error))
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    error);
}

}  // namespace

SettingsLocation::SettingsLocation(std::string programFolder, std::string userFolder)
    : ProgramFile_(WithSeparator(std::move(programFolder)) + kSettingsFileName),
      UserFolder_(WithSeparator(userFolder.empty() ? UserConfigFolder() : std::move(userFolder))),
      UserFile_(UserFolder_ + kSettingsFileName) {}

std::string SettingsLocation::ReadPath() const {
  return Exists(UserFile_) ? UserFile_ : ProgramFile_;
}

bool SettingsLocation::Save(const Settings& settings, std::string& error) const {
  if (!Exists(UserFile_) && SaveSettings(ProgramFile_, settings, error)) return true;
  SeedUserFile(ProgramFile_, UserFolder_, UserFile_);
  return SaveSettings(UserFile_, settings, error);
}

std::string RunningProgramFolder() {
  return WithSeparator(QCoreApplication::applicationDirPath().toLocal8Bit().toStdString());
}

std::string UserConfigFolder() {
  return WithSeparator(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                           .toLocal8Bit()
                           .toStdString());
}

}  // namespace SETTINGS
