#pragma once

// Where Tolvane.ini lives: beside the program, or, when the program's folder
// cannot be written (an installed copy), in the user's configuration folder.
// A file in the user's folder takes precedence over the one beside the
// program, the way the original platform redirected writes out of protected
// folders.
#include <string>

#include "shell/Settings.h"

namespace SETTINGS {

constexpr const char* kSettingsFileName = "Tolvane.ini";
// The window's job queue, a file of its own beside the settings file.
constexpr const char* kQueueFileName = "Tolvane.queue";

class SettingsLocation {
 public:
  // Both folders end with a separator. An empty user folder means the
  // platform's configuration folder for this application.
  SettingsLocation(std::string programFolder, std::string userFolder = "");

  // The file the settings are read from.
  std::string ReadPath() const;
  // Writes the settings beside the program, falling back to the user's
  // folder (seeded with the program folder's file, so keys that are not
  // written keep their values). Fails with "Unable to write to <path>" only
  // when the user's folder cannot be written either.
  bool Save(const Settings& settings, std::string& error) const;
  // The window's queue file: in the user's folder once the settings are
  // read from there, or when the program's folder cannot be written; else
  // beside the program.
  std::string QueuePath() const;

 private:
  std::string programFolder_;
  std::string programFile_;
  std::string userFolder_;
  std::string userFile_;
};

// The folder of the running program with a trailing separator.
std::string RunningProgramFolder();
// The platform's per-user configuration folder of this application.
std::string UserConfigFolder();

}  // namespace SETTINGS
