#include "shell/SettingsLocation.h"

#include <unistd.h>

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
    : programFolder_(WithSeparator(std::move(programFolder))),
      programFile_(programFolder_ + kSettingsFileName),
      userFolder_(WithSeparator(userFolder.empty() ? UserConfigFolder() : std::move(userFolder))),
      userFile_(userFolder_ + kSettingsFileName) {}

std::string SettingsLocation::ReadPath() const {
  return Exists(userFile_) ? userFile_ : programFile_;
}

bool SettingsLocation::Save(const Settings& settings, std::string& error) const {
  if (!Exists(userFile_) && SaveSettings(programFile_, settings, error)) return true;
  SeedUserFile(programFile_, userFolder_, userFile_);
  return SaveSettings(userFile_, settings, error);
}

std::string SettingsLocation::QueuePath() const {
  const bool programFolderWritable = access(programFolder_.c_str(), W_OK) == 0;
  return (Exists(userFile_) || !programFolderWritable ? userFolder_ : programFolder_) +
         kQueueFileName;
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
