#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/IniFile.h"
#include "shell/JobArguments.h"
#include "shell/JobOptionTable.h"
#include "shell/JobSettings.h"
#include "shell/Settings.h"

namespace {

using JOBOPTIONTABLE::JobOption;
using JOBOPTIONTABLE::Options;
using JOBOPTIONTABLE::Saved;

// A value off the option's default that it takes.
std::string TakenValue(const JobOption& entry) {
  const std::string only = entry.only == nullptr ? "" : entry.only;
  if (!only.empty()) return only.substr(0, only.find('|'));
  return std::to_string(entry.high);
}

JOBARGUMENTS::Arguments Job(std::initializer_list<std::string> extra) {
  JOBARGUMENTS::Arguments args = {"--defaults", "--source", "/a.mkv", "--subtitles",
                                  "/s.srt",     "--output", "/o.mkv"};
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

// The option as the job holds it: on, or its number.
long long Held(const JobOption& entry, JOBOPTIONS::JobOptions options) {
  return entry.TakesValue() ? entry.number(options) : entry.flag(options);
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
    JOBARGUMENTS::JobArguments parsed;
    const auto args =
        entry.TakesValue() ? Job({entry.option, TakenValue(entry)}) : Job({entry.option});
    ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(args, SETTINGS::Settings(), parsed), "");
    const long long expected = entry.TakesValue() ? std::stoll(TakenValue(entry)) : 1;
    EXPECT_EQ(Held(entry, parsed.Options), expected);
    JOBARGUMENTS::JobArguments again;
    ASSERT_EQ(JOBARGUMENTS::ParseJobArguments(JOBARGUMENTS::FormatJobArguments(parsed),
                                              SETTINGS::Settings(), again),
              "");
    for (const JobOption& other : Options())
      EXPECT_EQ(Held(other, again.Options), Held(other, parsed.Options)) << other.option;
  }
}

TEST(JobOptionTableTest, NumbersOutsideTheirRangeAreRefused) {
  for (const JobOption& entry : Options()) {
    if (!entry.TakesValue()) continue;
    SCOPED_TRACE(entry.option);
    JOBARGUMENTS::JobArguments parsed;
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
    if (entry.TakesValue())
      entry.numberSetting(settings) = int(std::stoll(TakenValue(entry)));
    else
      entry.flagSetting(settings) = true;
    std::string error;
    ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
    EXPECT_NE(Contents(path).find(std::string("[") + entry.section + "]"), std::string::npos);
    const SETTINGS::Settings loaded = SETTINGS::LoadSettings(path);
    SETTINGS::Settings copy = loaded;
    EXPECT_EQ(entry.TakesValue() ? entry.numberSetting(copy) : int(entry.flagSetting(copy)),
              entry.TakesValue() ? entry.numberSetting(settings) : 1);
    EXPECT_EQ(Held(entry, SETTINGS::JobOptionsFromSettings(loaded)),
              entry.TakesValue() ? std::stoll(TakenValue(entry)) : 1);
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
                           JOBOPTIONTABLE::GroupHelp(JOBOPTIONTABLE::Group::Styled);
  for (const JobOption& entry : Options())
    if (entry.inSynopsis || entry.help != nullptr)
      EXPECT_NE(help.find(entry.option), std::string::npos) << entry.option;
  std::istringstream lines(JOBOPTIONTABLE::SynopsisLines());
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 78u) << line;
}

}  // namespace
