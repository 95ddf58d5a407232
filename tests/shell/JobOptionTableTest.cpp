#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "compressors/CompressorCatalog.h"
#include "platform/IniFile.h"
#include "shell/JobArguments.h"
#include "shell/JobOptionTable.h"
#include "shell/JobSettings.h"
#include "shell/Settings.h"

namespace {

using JOBOPTIONTABLE::JobOption;
using JOBOPTIONTABLE::Kind;
using JOBOPTIONTABLE::Options;
using JOBOPTIONTABLE::Saved;

bool Is(const JobOption& entry, const char* option) { return entry.option == std::string(option); }

// A value off the option's default that it takes.
std::string TakenValue(const JobOption& entry) {
  const std::string only = entry.only == nullptr ? "" : entry.only;
  if (!only.empty()) return only.substr(0, only.find('|'));
  if (entry.kind == Kind::Colour) return JOBOPTIONTABLE::ColourText(uint32_t(entry.high));
  if (entry.kind != Kind::Text) return std::to_string(entry.high);
  if (Is(entry, "--compressor")) return "DIB";
  if (Is(entry, "--subtitle-language")) return "fre,eng";
  if (Is(entry, "--second-place")) return "above";
  if (Is(entry, "--vobsub-palette"))
    return "000000,111111,222222,333333,444444,555555,666666,777777,888888,999999,aaaaaa,bbbbbb,"
           "cccccc,dddddd,eeeeee,ffffff";
  if (Is(entry, "--start") || Is(entry, "--end") || Is(entry, "--duration")) return "1:02:03.5";
  if (Is(entry, "--crop")) return "1920:800:0:140";
  if (Is(entry, "--scale")) return "1280x720";
  if (Is(entry, "--subtitle-place")) return "bars";
  return Is(entry, "--preset") ? "slow" : "/taken value";
}

// The same as the job holds it: a switch as 1 when given, a colour as its
// number.
std::string TakenHeld(const JobOption& entry) {
  if (!entry.TakesValue()) return "1";
  if (entry.kind == Kind::Colour) return std::to_string(entry.high);
  return TakenValue(entry);
}

// A preset is taken only with a compressor that has it.
bool Givable(const JobOption& entry) {
  return !Is(entry, "--preset") || COMPRESSORCATALOG::FindCompressorByCode("H264") != nullptr;
}

JOBARGUMENTS::Arguments Job(std::initializer_list<std::string> extra) {
  JOBARGUMENTS::Arguments args = {"--defaults", "--source", "/a.mkv", "--subtitles",
                                  "/s.srt",     "--output", "/o.mkv"};
  if (std::find(extra.begin(), extra.end(), "--preset") != extra.end())
    args.insert(args.end(), {"--compressor", "H264"});
  args.insert(args.end(), extra);
  return args;
}

std::string TempIni(const char* name) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove(path);
  return path.string();
}

std::string Contents(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The option as the job holds it: 1 for a switch given, else its value.
std::string Held(const JobOption& entry, JOBARGUMENTS::JobArguments job) {
  switch (entry.kind) {
    case Kind::Switch:
      return entry.flag(job) == entry.sets ? "1" : "0";
    case Kind::Number:
    case Kind::Colour:
      return std::to_string(entry.number(job));
    case Kind::Text:
      return entry.text(job);
    case Kind::Tracks:
      return JOBOPTIONTABLE::TracksText(entry.tracks(job));
  }
  return {};
}

// The settings' value of the option set off its default, the job's units
// scaled to the file's; and read back as Held reads the job's.
void SetTaken(const JobOption& entry, SETTINGS::Settings& settings) {
  switch (entry.kind) {
    case Kind::Switch:
      entry.flagSetting(settings) = entry.sets;
      return;
    case Kind::Number:
      entry.numberSetting(settings) = int(std::stoll(TakenValue(entry)) / entry.perSetting);
      return;
    case Kind::Colour:
      entry.colourSetting(settings) = uint32_t(entry.high);
      return;
    case Kind::Text:
      entry.textSetting(settings) = TakenValue(entry);
      return;
    case Kind::Tracks:
      entry.tracksSetting(settings) = *JOBOPTIONTABLE::ParseTracks(TakenValue(entry), 99);
      return;
  }
}
std::string HeldSetting(const JobOption& entry, SETTINGS::Settings settings) {
  switch (entry.kind) {
    case Kind::Switch:
      return entry.flagSetting(settings) == entry.sets ? "1" : "0";
    case Kind::Number:
      return std::to_string(entry.numberSetting(settings) * entry.perSetting);
    case Kind::Colour:
      return std::to_string(entry.colourSetting(settings));
    case Kind::Text:
      return entry.textSetting(settings);
    case Kind::Tracks:
      return JOBOPTIONTABLE::TracksText(entry.tracksSetting(settings));
  }
  return {};
}

TEST(JobOptionTableTest, SpellingsAndKeysAreUnique) {
  std::set<std::string> spellings;
  std::set<std::string> keys;
  for (const JobOption& entry : Options()) {
    EXPECT_TRUE(spellings.insert(entry.option).second) << entry.option;
    EXPECT_EQ(JOBOPTIONTABLE::Find(entry.option), &entry);
    if (entry.saved == Saved::Never) continue;
    EXPECT_TRUE(keys.insert(std::string(entry.section) + "/" + entry.key).second) << entry.key;
  }
}

// Each option given alone reaches the job, and the queued job's arguments
// give it back.
TEST(JobOptionTableTest, EveryOptionRoundTripsThroughTheQueuedArguments) {
  for (const JobOption& entry : Options()) {
    SCOPED_TRACE(entry.option);
    if (!Givable(entry)) continue;
    JOBARGUMENTS::JobArguments parsed;
    const auto args =
        entry.TakesValue() ? Job({entry.option, TakenValue(entry)}) : Job({entry.option});
    ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(args, SETTINGS::Settings(), parsed), "");
    EXPECT_EQ(Held(entry, parsed), TakenHeld(entry));
    JOBARGUMENTS::JobArguments again;
    ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(JOBARGUMENTS::FormatJobArguments(parsed),
                                              SETTINGS::Settings(), again),
              "");
    for (const JobOption& other : Options())
      EXPECT_EQ(Held(other, again), Held(other, parsed)) << other.option;
  }
}

TEST(JobOptionTableTest, NumbersOutsideTheirRangeAreRefused) {
  for (const JobOption& entry : Options()) {
    if (!entry.TakesValue()) continue;
    SCOPED_TRACE(entry.option);
    JOBARGUMENTS::JobArguments parsed;
    if (entry.kind != Kind::Text)
      for (const long long bad : {entry.low - 1, entry.high + 1})
        EXPECT_EQ(JOBARGUMENTS::ParseJobArguments(Job({entry.option, std::to_string(bad)}),
                                                  SETTINGS::Settings(), parsed)
                      .rfind("bad " + std::string(entry.what) + " '", 0),
                  0u);
    EXPECT_EQ(JOBARGUMENTS::ParseJobArguments(Job({entry.option}), SETTINGS::Settings(), parsed),
              "option '" + std::string(entry.option) + "' needs a value");
  }
}

// Each key saved comes back, and reaches the job through the settings.
TEST(JobOptionTableTest, EveryKeyRoundTripsThroughTheSettingsFile) {
  for (const JobOption& entry : Options()) {
    if (entry.saved == Saved::Never) continue;
    SCOPED_TRACE(entry.option);
    const std::string path = TempIni("job_option_table.ini");
    SETTINGS::Settings settings;
    SetTaken(entry, settings);
    std::string error;
    ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
    EXPECT_NE(Contents(path).find(std::string("[") + entry.section + "]"), std::string::npos);
    const SETTINGS::Settings loaded = SETTINGS::LoadSettings(path);
    EXPECT_EQ(HeldSetting(entry, loaded), HeldSetting(entry, settings));
    JOBARGUMENTS::JobArguments job;
    job.Options = SETTINGS::JobOptionsFromSettings(loaded);
    EXPECT_EQ(Held(entry, job), TakenHeld(entry));
    std::filesystem::remove(path);
  }
}

// A file that never had them gets none of the sections of their own; one
// that has a key keeps it when the option goes back to its default.
TEST(JobOptionTableTest, SectionsOfTheirOwnAreWrittenOnceUsed) {
  const std::string path = TempIni("job_option_table_plain.ini");
  std::string error;
  SETTINGS::Settings settings;
  ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
  const std::string plain = Contents(path);
  for (const JobOption& entry : Options())
    if (entry.saved == Saved::OnceUsed || entry.saved == Saved::WithSection)
      EXPECT_EQ(plain.find(std::string("[") + entry.section + "]"), std::string::npos)
          << entry.section;
  settings.ConvertAudio = true;
  ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
  settings.ConvertAudio = false;
  ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
  EXPECT_NE(Contents(path).find("ConvertToOpus=0"), std::string::npos);
  std::filesystem::remove(path);
}

TEST(JobOptionTableTest, HelpNamesEveryOption) {
  const std::string help = JOBOPTIONTABLE::SynopsisLines() +
                           JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Reading) +
                           JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Styled) +
                           JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Streams) +
                           JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Shape);
  for (const JobOption& entry : Options())
    if (entry.inSynopsis || entry.help != nullptr)
      EXPECT_NE(help.find(entry.option), std::string::npos) << entry.option;
  std::istringstream lines(JOBOPTIONTABLE::SynopsisLines());
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 78u) << line;
}

}  // namespace
