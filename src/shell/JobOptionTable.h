#pragma once

// The job's switches and numbers, each declared once: its spelling on the
// command line, its lines of --help, its key in the settings file and when
// that is written, its range. The command line, a queued job's arguments,
// the settings file and --help are all made from this table, so an option
// added here reaches every one of them.
#include <optional>
#include <string>
#include <vector>

#include "job/JobOptions.h"
#include "platform/IniFile.h"
#include "shell/SettingsValues.h"
#include "subtitles/ReadingOptions.h"

namespace JOBOPTIONTABLE {

// When an option's key is written to the settings file.
enum class Saved {
  Never,        // the command line's only
  Always,       // a key of the sections the window has always written
  OnceUsed,     // when off its default, or when the file has the key already
  WithSection,  // the section whole, when any of its keys is off its default or in the file
};

// Where the queued arguments and --help put an option.
enum class Group {
  Job,      // the job's own: in the queue sorted by spelling (numbers after them)
  Reading,  // how subtitle files are read; --list-entries and --align-subtitles take them too
  Styled,   // styled drawing
};

struct JobOption {
  const char* option;  // "--convert-audio"
  Group group;
  const char* help = nullptr;     // lines of --help of its own, each ending in '\n'
  bool inSynopsis = true;         // named at the end of --source's synopsis
  const char* section = nullptr;  // of the settings file; none for Saved::Never
  const char* key = nullptr;
  Saved saved = Saved::Never;
  // A switch: where the job and the settings hold it (no settings: null).
  bool& (*flag)(JOBOPTIONS::JobOptions&) = nullptr;
  bool& (*flagSetting)(SETTINGS::Settings&) = nullptr;
  const char* implies = nullptr;  // a switch it switches on too
  // A number: its name in the synopsis and in errors, its range (or the only
  // texts it takes, "8|10"), the value the job has without it.
  const char* valueName = nullptr;
  const char* what = nullptr;
  long long low = 0;
  long long high = 0;
  const char* only = nullptr;
  int fallback = 0;
  long long (*number)(const JOBOPTIONS::JobOptions&) = nullptr;
  void (*setNumber)(JOBOPTIONS::JobOptions&, long long) = nullptr;
  int& (*numberSetting)(SETTINGS::Settings&) = nullptr;

  bool TakesValue() const { return number != nullptr; }
};

// Every option, in the order the settings file writes their sections and
// the synopsis names them.
const std::vector<JobOption>& Options();
// Null when the spelling is none of the table's.
const JobOption* Find(const std::string& option);

// Lays the option's value (empty for a switch) over the job; empty on
// success, else what is wrong with it.
std::string Apply(const JobOption& entry, const std::string& value,
                  JOBOPTIONS::JobOptions& options);
// The arguments that give the job its options whatever the settings hold:
// the group's switches that are on, and the numbers off their defaults.
std::vector<std::string> FormatSwitches(Group group, const JOBOPTIONS::JobOptions& options);
std::vector<std::string> FormatNumbers(const JOBOPTIONS::JobOptions& options);

// The settings' values of the table's options laid over the job.
void TakeSettings(const SETTINGS::Settings& settings, JOBOPTIONS::JobOptions& options);
// Reads the keys of the table (a missing or unaccepted value keeps the
// settings' default).
void LoadKeys(const INIFILE::IniFile& file, SETTINGS::Settings& settings);
// Writes the keys of one section, or with no section every key kept in a
// section of its own (not Saved::Always), each as its rule says.
void SaveKeys(INIFILE::IniFile& file, const SETTINGS::Settings& settings,
              const char* section = nullptr);

// The reading switches alone, for the commands that read a subtitle file
// without a job; false when the spelling is none of them.
bool ApplyReadingFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading);

// --help: the lines naming the synopsis' options, wrapped as the synopsis
// is, and a group's own lines.
std::string SynopsisLines();
std::string GroupHelp(Group group);

}  // namespace JOBOPTIONTABLE
