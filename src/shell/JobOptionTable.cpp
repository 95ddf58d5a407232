#include "shell/JobOptionTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace JOBOPTIONTABLE {
namespace {

using JOBOPTIONS::JobOptions;
using SETTINGS::Settings;

// Where a switch or number lives in the job's options and in the settings,
// named once for both (the two keep the same names).
#define FLAG(path)                                       \
  .flag = [](JobOptions& o) -> bool& { return o.path; }, \
  .flagSetting = [](Settings& s) -> bool& { return s.path; }
#define JOB_FLAG(path) .flag = [](JobOptions& o) -> bool& { return o.path; }

const char kReadingHeader[] =
    "Reading options, taken by --source (besides those that the settings file's\n"
    "[READING] section switches on) and by --list-entries:\n";
const char kStyledHeader[] =
    "Styled drawing, taken by --source and --snapshot (or the settings file's\n"
    "[STYLED] section):\n";

// The synopsis' lines are at most this wide.
constexpr size_t kSynopsisWidth = 78;
constexpr char kSynopsisIndent[] = "      ";

std::vector<JobOption> MakeOptions() {
  return {
      {.option = "--unicode",
       .group = Group::Reading,
       .help = "  --unicode              read UTF-8 files with or without a byte-order mark,\n"
               "                         UTF-16 and UTF-32 files with one\n",
       .section = "READING",
       .key = "Unicode",
       .saved = Saved::WithSection,
       FLAG(Reading.Unicode)},
      {.option = "--detect-codepage",
       .group = Group::Reading,
       .help = "  --detect-codepage      find the code page of an 8-bit file that is not\n"
               "                         UTF-8 and draw it in that, whatever the font's script\n",
       .section = "READING",
       .key = "DetectCodePage",
       .saved = Saved::WithSection,
       FLAG(Reading.DetectCodePage)},
      {.option = "--clean-markup",
       .group = Group::Reading,
       .help = "  --clean-markup         remove every style tag, override block and control\n"
               "                         code, and turn entities into their characters\n",
       .section = "READING",
       .key = "CleanMarkup",
       .saved = Saved::WithSection,
       FLAG(Reading.CleanMarkup)},
      {.option = "--tolerant",
       .group = Group::Reading,
       .help = "  --tolerant             read SubRip with loose structure and the frame rate\n"
               "                         of a MicroDVD file's {1}{1}RATE line\n",
       .section = "READING",
       .key = "Tolerant",
       .saved = Saved::WithSection,
       FLAG(Reading.Tolerant)},
      {.option = "--styled",
       .group = Group::Styled,
       .help = "  --styled               draw the styles the subtitles carry (italic, bold,\n"
               "                         colours, placement, ASS styles), read ASS, SSA and\n"
               "                         WebVTT files, lay out each line in its script's\n"
               "                         direction and wrap long lines inside the picture\n",
       .inSynopsis = false,
       .section = "STYLED",
       .key = "Styled",
       .saved = Saved::WithSection,
       FLAG(Styled.On)},
      {.option = "--styled-left-to-right",
       .group = Group::Styled,
       .help = "  --styled-left-to-right lay out every line left to right, for old\n"
               "                         right-to-left files typed for players that did so\n",
       .inSynopsis = false,
       .section = "STYLED",
       .key = "LeftToRight",
       .saved = Saved::WithSection,
       FLAG(Styled.LeftToRight),
       .implies = "--styled"},
      {.option = "--align",
       .group = Group::Job,
       .section = "ALIGN",
       .key = "AlignToSpeech",
       .saved = Saved::OnceUsed,
       FLAG(AlignToSpeech)},
      {.option = "--strict", .group = Group::Job, JOB_FLAG(Strict)},
      {.option = "--forced-only",
       .group = Group::Job,
       .section = "PICTURES",
       .key = "ForcedOnly",
       .saved = Saved::OnceUsed,
       FLAG(ForcedOnly)},
      // 0, as the source where the compressor can, is no value of its own.
      {.option = "--bit-depth",
       .group = Group::Job,
       .section = "COLOUR",
       .key = "BitDepth",
       .saved = Saved::OnceUsed,
       .valueName = "8|10",
       .what = "bit depth",
       .low = 8,
       .high = 10,
       .only = "8|10",
       .fallback = 0,
       .number = [](const JobOptions& o) -> long long { return o.BitDepth; },
       .setNumber = [](JobOptions& o, long long v) { o.BitDepth = int(v); },
       .numberSetting = [](Settings& s) -> int& { return s.BitDepth; }},
      // An HDR output's subtitle white, in cd/m2.
      {.option = "--subtitle-nits",
       .group = Group::Job,
       .section = "COLOUR",
       .key = "SubtitleNits",
       .saved = Saved::OnceUsed,
       .valueName = "N",
       .what = "subtitle level",
       .low = 10,
       .high = 1000,
       .fallback = int(JOBOPTIONS::kReferenceWhiteNits),
       .number = [](const JobOptions& o) -> long long { return std::lround(o.SubtitleNits); },
       .setNumber = [](JobOptions& o, long long v) { o.SubtitleNits = double(v); },
       .numberSetting = [](Settings& s) -> int& { return s.SubtitleNits; }},
      {.option = "--sdr",
       .group = Group::Job,
       .section = "COLOUR",
       .key = "Sdr",
       .saved = Saved::OnceUsed,
       FLAG(Sdr)},
      {.option = "--convert-audio",
       .group = Group::Job,
       .section = "AUDIO",
       .key = "ConvertToOpus",
       .saved = Saved::OnceUsed,
       FLAG(ConvertAudio)},
      {.option = "--smart",
       .group = Group::Job,
       .section = "SMART",
       .key = "CopyUntouched",
       .saved = Saved::OnceUsed,
       FLAG(CopyUntouched)},
      {.option = "--fix-audio-vbr",
       .group = Group::Job,
       .inSynopsis = false,
       .section = "OTHER",
       .key = "FixAudioVBR",
       .saved = Saved::Always,
       FLAG(FixAudioVBR)},
      {.option = "--transcode",
       .group = Group::Job,
       .inSynopsis = false,
       .section = "OTHER",
       .key = "TranscodeVideo",
       .saved = Saved::Always,
       FLAG(TranscodeVideo)},
  };
}

#undef FLAG
#undef JOB_FLAG

// The texts of "8|10".
std::vector<std::string> OnlyTexts(const char* only) {
  std::vector<std::string> texts;
  std::string_view rest = only;
  for (;;) {
    const size_t bar = rest.find('|');
    texts.emplace_back(rest.substr(0, bar));
    if (bar == std::string_view::npos) return texts;
    rest.remove_prefix(bar + 1);
  }
}

std::optional<long long> ParseInteger(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool Accepts(const JobOption& entry, long long value) {
  if (entry.only == nullptr) return value >= entry.low && value <= entry.high;
  const auto texts = OnlyTexts(entry.only);
  return std::find(texts.begin(), texts.end(), std::to_string(value)) != texts.end();
}

// The settings are read through the same accessors the job's are.
bool Flag(const JobOption& entry, const Settings& settings) {
  return entry.flagSetting(const_cast<Settings&>(settings));
}
int Number(const JobOption& entry, const Settings& settings) {
  return entry.numberSetting(const_cast<Settings&>(settings));
}

bool AtDefault(const JobOption& entry, const Settings& settings) {
  return entry.TakesValue() ? Number(entry, settings) == entry.fallback : !Flag(entry, settings);
}

void Write(INIFILE::IniFile& file, const JobOption& entry, const Settings& settings) {
  if (entry.TakesValue())
    file.WriteInteger(entry.section, entry.key, Number(entry, settings));
  else
    file.WriteBool(entry.section, entry.key, Flag(entry, settings));
}

// A section that never had one of its options on stays out of the file;
// once there, it is kept whole.
bool SectionWanted(const INIFILE::IniFile& file, const Settings& settings, const char* section) {
  const std::string absent = "\x01";
  for (const JobOption& entry : Options()) {
    if (entry.section == nullptr || std::string_view(entry.section) != section) continue;
    if (!AtDefault(entry, settings) || file.ReadString(section, entry.key, absent) != absent)
      return true;
  }
  return false;
}

void Save(INIFILE::IniFile& file, const JobOption& entry, const Settings& settings,
          std::string& sectionDone) {
  switch (entry.saved) {
    case Saved::Never:
      return;
    case Saved::Always:
      Write(file, entry, settings);
      return;
    case Saved::OnceUsed:
      if (!AtDefault(entry, settings) || !file.ReadString(entry.section, entry.key, "").empty())
        Write(file, entry, settings);
      return;
    case Saved::WithSection:
      if (sectionDone == entry.section) return;
      sectionDone = entry.section;
      if (!SectionWanted(file, settings, entry.section)) return;
      for (const JobOption& member : Options())
        if (member.section != nullptr && sectionDone == member.section)
          Write(file, member, settings);
      return;
  }
}

}  // namespace

const std::vector<JobOption>& Options() {
  static const std::vector<JobOption> options = MakeOptions();
  return options;
}

const JobOption* Find(const std::string& option) {
  for (const JobOption& entry : Options())
    if (option == entry.option) return &entry;
  return nullptr;
}

std::string Apply(const JobOption& entry, const std::string& value, JobOptions& options) {
  if (!entry.TakesValue()) {
    entry.flag(options) = true;
    if (entry.implies != nullptr) Find(entry.implies)->flag(options) = true;
    return {};
  }
  const auto number = ParseInteger(value);
  if (entry.only != nullptr) {
    const auto texts = OnlyTexts(entry.only);
    if (std::find(texts.begin(), texts.end(), value) == texts.end()) {
      std::string choices;
      for (const std::string& text : texts) choices += (choices.empty() ? "" : " or ") + text;
      return "bad " + std::string(entry.what) + " '" + value + "' (" + choices + ")";
    }
  } else if (!number || !Accepts(entry, *number)) {
    return "bad " + std::string(entry.what) + " '" + value + "'";
  }
  entry.setNumber(options, *number);
  return {};
}

std::vector<std::string> FormatNumbers(const JobOptions& options) {
  std::vector<std::string> args;
  for (const JobOption& entry : Options())
    if (entry.TakesValue() && entry.number(options) != entry.fallback)
      args.insert(args.end(), {entry.option, std::to_string(entry.number(options))});
  return args;
}

std::vector<std::string> FormatSwitches(Group group, const JobOptions& options) {
  std::vector<const JobOption*> switches;
  JobOptions job = options;
  for (const JobOption& entry : Options())
    if (entry.group == group && !entry.TakesValue() && entry.flag(job)) switches.push_back(&entry);
  // A switch that another one switched on goes without saying.
  std::erase_if(switches, [&](const JobOption* entry) {
    return std::any_of(switches.begin(), switches.end(), [&](const JobOption* other) {
      return other->implies != nullptr && std::string_view(other->implies) == entry->option;
    });
  });
  if (group == Group::Job)
    std::sort(switches.begin(), switches.end(), [](const JobOption* a, const JobOption* b) {
      return std::string_view(a->option) < b->option;
    });
  std::vector<std::string> args;
  for (const JobOption* entry : switches) args.push_back(entry->option);
  return args;
}

void TakeSettings(const Settings& settings, JobOptions& options) {
  for (const JobOption& entry : Options()) {
    if (entry.flagSetting != nullptr) entry.flag(options) = Flag(entry, settings);
    if (entry.numberSetting != nullptr) entry.setNumber(options, Number(entry, settings));
  }
}

void LoadKeys(const INIFILE::IniFile& file, Settings& settings) {
  for (const JobOption& entry : Options()) {
    if (entry.saved == Saved::Never) continue;
    if (!entry.TakesValue()) {
      bool& on = entry.flagSetting(settings);
      on = file.ReadBool(entry.section, entry.key, on);
      continue;
    }
    int& number = entry.numberSetting(settings);
    const int32_t read = file.ReadInteger(entry.section, entry.key, number);
    if (Accepts(entry, read)) number = read;
  }
}

void SaveKeys(INIFILE::IniFile& file, const Settings& settings, const char* section) {
  std::string sectionDone;
  for (const JobOption& entry : Options()) {
    if (entry.saved == Saved::Never) continue;
    const bool ownSection = entry.saved != Saved::Always;
    if (section == nullptr ? ownSection : std::string_view(entry.section) == section)
      Save(file, entry, settings, sectionDone);
  }
}

bool ApplyReadingFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading) {
  const JobOption* entry = Find(option);
  if (entry == nullptr || entry->group != Group::Reading) return false;
  JobOptions options;
  options.Reading = reading;
  Apply(*entry, {}, options);
  reading = options.Reading;
  return true;
}

std::string SynopsisLines() {
  std::string lines;
  std::string line = kSynopsisIndent;
  for (const JobOption& entry : Options()) {
    if (!entry.inSynopsis) continue;
    std::string named = std::string("[") + entry.option;
    if (entry.valueName != nullptr) named += std::string(" ") + entry.valueName;
    named += "]";
    const bool first = line.size() == sizeof kSynopsisIndent - 1;
    if (!first && line.size() + 1 + named.size() > kSynopsisWidth) {
      lines += line + "\n";
      line = kSynopsisIndent;
    }
    line += (line.size() == sizeof kSynopsisIndent - 1 ? "" : " ") + named;
  }
  return line.size() == sizeof kSynopsisIndent - 1 ? lines : lines + line + "\n";
}

std::string GroupHelp(Group group) {
  std::string text = group == Group::Reading  ? kReadingHeader
                     : group == Group::Styled ? kStyledHeader
                                              : "";
  for (const JobOption& entry : Options())
    if (entry.group == group && entry.help != nullptr) text += entry.help;
  return text;
}

}  // namespace JOBOPTIONTABLE
