#pragma once

// The job's options, each declared once: its spelling on the command line,
// its lines of --help, its key in the settings file and when that is
// written, its range, its default, and where the job and the settings hold
// it. The command line, a queued job's arguments, the settings file and
// --help are all made from this table, so an option added here reaches
// every one of them.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"
#include "shell/JobArgumentsValues.h"
#include "shell/SettingsValues.h"
#include "subtitles/ReadingOptions.h"

namespace JOBOPTIONTABLE {

using JOBARGUMENTS::JobArguments;

// What an option's value is.
enum class Kind {
  Switch,  // none: giving the option sets its flag
  Number,  // a decimal integer in its range
  Colour,  // 0xBBGGRR, "0x" optional
  Text,    // any text, a file's name or a font's
  Tracks,  // "all", "none" or track numbers from 1 joined by commas
};

// When an option's key is written to the settings file.
enum class Saved {
  Never,        // the command line's only
  Always,       // a key of the sections the window has always written
  OnceUsed,     // when off its default, or when the file has the key already
  WithSection,  // the section whole, when any of its keys is off its default or in the file
};

// Where the queued arguments put an option, in their order; in a group its
// values come first, then its switches.
enum class Group {
  Files,
  Compressor,
  Streams,  // streams, track and delay
  Job,      // the job's own switches, sorted by spelling
  Size,
  Colour,  // the output's depth and HDR white
  Font,    // its styles sorted by spelling
  Look,
  Reading,  // how subtitle files are read; --list-entries and --align-subtitles take them too
  Styled,   // styled drawing
  Shape,    // the output picture's crop and size, the subtitle's place on it
};

// When the queued arguments name an option.
enum class Queued {
  OffDefault,  // a switch when on, a number off its default, a text not empty
  Always,      // so that no settings file gives the job another value
};

// What reading the settings file does with a number outside the option's
// range (scaled to the file's unit).
enum class OutOfRange {
  Kept,     // the settings' default stays
  Clamped,  // to the nearest end of the range
  Masked,   // to the bits the range holds (0 to 2^n - 1)
  Taken,    // read as it is
};

struct JobOption {
  const char* option;  // "--convert-audio"
  Group group;
  Kind kind = Kind::Switch;
  const char* help = nullptr;  // lines of --help of its own, each ending in '\n'
  // Named at the end of --source's synopsis; the others have their place in
  // its first lines, which keep the layout they have always had.
  bool inSynopsis = true;
  const char* section = nullptr;  // of the settings file; none for Saved::Never
  const char* key = nullptr;
  Saved saved = Saved::Never;
  Queued queued = Queued::OffDefault;
  // A value: its name in the synopsis and in errors, its range (or the only
  // texts it takes, "8|10"), the value the job has without it.
  const char* valueName = nullptr;
  const char* what = nullptr;
  long long low = 0;
  long long high = 0;
  const char* only = nullptr;
  // A word a number takes as well ("forced"), and the number it stands for.
  const char* word = nullptr;
  long long wordNumber = 0;
  int fallback = 0;
  OutOfRange outOfRange = OutOfRange::Kept;
  // The job's units in one of the settings file's (hundreds of milliseconds).
  int perSetting = 1;
  // A text that names a file: made absolute in a queued job, trimmed in the
  // settings file.
  bool file = false;
  // What is wrong with a text value; empty when it is taken.
  std::string (*refuse)(const JobOption& entry, const std::string& value) = nullptr;
  bool sets = true;               // what a switch sets its flag to
  const char* implies = nullptr;  // a switch it switches on too
  // Of two options that exclude each other, the other one; the first of the
  // two holds the flag (and key, written before its own) saying it is the
  // one in use.
  const char* excludes = nullptr;
  const char* inUseKey = nullptr;
  bool& (*inUse)(JobArguments&) = nullptr;
  bool& (*inUseSetting)(SETTINGS::Settings&) = nullptr;
  // Where the job and the settings hold the value (no settings: null).
  bool& (*flag)(JobArguments&) = nullptr;
  bool& (*flagSetting)(SETTINGS::Settings&) = nullptr;
  long long (*number)(const JobArguments&) = nullptr;  // numbers and colours
  void (*setNumber)(JobArguments&, long long) = nullptr;
  int& (*numberSetting)(SETTINGS::Settings&) = nullptr;
  uint32_t& (*colourSetting)(SETTINGS::Settings&) = nullptr;
  std::string& (*text)(JobArguments&) = nullptr;
  std::string& (*textSetting)(SETTINGS::Settings&) = nullptr;
  JOBOPTIONS::TrackKeeping& (*tracks)(JobArguments&) = nullptr;
  JOBOPTIONS::TrackKeeping& (*tracksSetting)(SETTINGS::Settings&) = nullptr;

  bool TakesValue() const { return kind != Kind::Switch; }
};

// Every option, in the order the settings file writes their keys.
const std::vector<JobOption>& Options();
// Null when the spelling is none of the table's.
const JobOption* Find(const std::string& option);

// Lays the option's value (empty for a switch) over the job; empty on
// success, else what is wrong with it.
std::string Apply(const JobOption& entry, const std::string& value, JobArguments& job);
// The first of two options given together that exclude each other, as the
// error names them; empty when there are none.
std::string ExcludedPair(const std::vector<const JobOption*>& given);
// The arguments that give the job its options whatever the settings hold,
// group by group.
std::vector<std::string> FormatArguments(const JobArguments& job);

// The settings' values of the table's options laid over the job.
void TakeSettings(const SETTINGS::Settings& settings, JobArguments& job);
// Reads the keys of the table, each as its row says.
void LoadKeys(const INIFILE::IniFile& file, SETTINGS::Settings& settings);
// Writes the keys of the table, each as its rule says.
void SaveKeys(INIFILE::IniFile& file, const SETTINGS::Settings& settings);

// A read trims the blanks round a value and takes one pair of quotes off it:
// a text that would lose something so is saved in quotes.
std::string QuotedIfNeeded(const std::string& text);
// A colour 0x00BBGGRR as the options write it: "0x" and six hex digits.
std::string ColourText(uint32_t colour);
// Tracks kept as the options write them ("all", "none", "2,3"), and read
// back; nothing when the text is none of those.
std::string TracksText(const JOBOPTIONS::TrackKeeping& keeping);
std::optional<JOBOPTIONS::TrackKeeping> ParseTracks(std::string_view text, int highest);

// The reading switches alone, for the commands that read a subtitle file
// without a job; false when the spelling is none of them.
bool ApplyReadingFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading);

// --help: one line naming these options as the synopsis does ("[--font
// NAME]", the files without brackets, a pair as "[--a N | --b N]"; a text
// starting with '[' as it is, for a command's own options), after the
// indent.
std::string SynopsisLine(std::initializer_list<const char*> options, const char* indent = "      ");
// The same, wrapped as the synopsis is; a group's options alone; and the
// options of none of the first lines.
std::string SynopsisWrapped(const std::vector<const char*>& options);
std::string GroupSynopsis(Group group);
std::string SynopsisLines();
std::string GroupHelp(Group group);

}  // namespace JOBOPTIONTABLE
