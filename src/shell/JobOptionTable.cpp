#include "shell/JobOptionTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "compressors/CompressorCatalog.h"
#include "job/ClipRange.h"
#include "job/PictureShape.h"
#include "media/VobSubPalette.h"
#include "shell/ColorValue.h"
#include "tracks/Languages.h"

namespace JOBOPTIONTABLE {
namespace {

using SETTINGS::Settings;

// Where an option's value lives in the job's options and in the settings,
// named once for both (the two keep the same names).
#define JOB_FLAG(path) .flag = [](JobArguments& a) -> bool& { return a.Options.path; }
#define FLAG(path) JOB_FLAG(path), .flagSetting = [](Settings& s) -> bool& { return s.path; }
#define JOB_NUMBER(path)                                                       \
  .number = [](const JobArguments& a) -> long long { return a.Options.path; }, \
  .setNumber = [](JobArguments& a, long long v) { a.Options.path = decltype(a.Options.path)(v); }
#define NUMBER(path) JOB_NUMBER(path), .numberSetting = [](Settings& s) -> int& { return s.path; }
#define COLOUR(path) \
  JOB_NUMBER(path), .colourSetting = [](Settings& s) -> uint32_t& { return s.path; }
#define TEXT(path)                                                        \
  .text = [](JobArguments& a) -> std::string& { return a.Options.path; }, \
  .textSetting = [](Settings& s) -> std::string& { return s.path; }
// The compressor's choice, which no settings key gives a job: a number that
// is none until given.
#define CHOICE_NUMBER(field)                                                         \
  .number = [](const JobArguments& a) -> long long { return a.field.value_or(-1); }, \
  .setNumber = [](JobArguments& a, long long v) { a.field = int(v); }
#define CHOICE_TEXT(field) .text = [](JobArguments& a) -> std::string& { return a.field; }
#define TRACKS(path)                                                                     \
  .tracks = [](JobArguments& a) -> JOBOPTIONS::TrackKeeping& { return a.Options.path; }, \
  .tracksSetting = [](Settings& s) -> JOBOPTIONS::TrackKeeping& { return s.path; }

const char kReadingHeader[] =
    "Reading options, taken by --source (besides those that the settings file's\n"
    "[READING] section switches on) and by --list-entries:\n";
const char kStreamsHeader[] =
    "What else of the source an output keeps, taken by --source (or the settings\n"
    "file's [STREAMS] section): Matroska, MP4 and WebM outputs keep every other\n"
    "sound track, subtitle track, chapter, tag and attachment unless told not to\n"
    "(AVI keeps the chosen sound alone):\n";
const char kStyledHeader[] =
    "Styled drawing, taken by --source and --snapshot (or the settings file's\n"
    "[STYLED] section):\n";
const char kShapeHeader[] =
    "The output picture's shape, taken by --source and --snapshot (or the settings\n"
    "file's [GEOMETRY] section); the subtitles are drawn on the output's picture:\n";

// The synopsis' lines are at most this wide.
constexpr size_t kSynopsisWidth = 78;
constexpr char kSynopsisIndent[] = "      ";

constexpr int kStreams = 32;
// Signed 16 bits of the settings file, in frames or hundreds of milliseconds.
constexpr int kDelayLimit = 32768;

std::string RefuseEmpty(const JobOption& entry, const std::string& value) {
  return value.empty() ? "bad " + std::string(entry.what) + " ''" : std::string();
}

std::string RefuseLanguages(const JobOption& entry, const std::string& value) {
  std::string error;
  if (!LANGUAGES::ParseLanguages(value, error).empty()) return {};
  return "bad " + std::string(entry.what) + " '" + value + "': " + error;
}

std::string RefuseVobSubPalette(const JobOption& entry, const std::string& value) {
  const std::string problem = DISPLAYSETDECODER::VobSubPaletteProblem(value);
  return problem.empty() ? problem : "bad " + std::string(entry.what) + ": " + problem;
}

std::string RefuseSecondPlace(const JobOption& entry, const std::string& value) {
  if (value == "top" || value == "above") return {};
  return "bad " + std::string(entry.what) + " '" + value + "' (top or above)";
}

std::string RefuseBadTime(const JobOption& entry, const std::string& value) {
  return CLIPRANGE::TimeProblem(entry.what, value);
}

std::string RefuseUnknownCompressor(const JobOption&, const std::string& value) {
  if (COMPRESSORCATALOG::FindCompressorByCode(value) != nullptr) return {};
  return "unknown compressor '" + value + "' (see --list-compressors)";
}

std::string RefuseBadCrop(const JobOption& entry, const std::string& value) {
  if (PICTURESHAPE::ParseCrop(value)) return {};
  return "bad " + std::string(entry.what) + " '" + value + "' (auto, none or W:H:X:Y)";
}

std::string RefuseBadSize(const JobOption& entry, const std::string& value) {
  if (value.empty() || PICTURESHAPE::ParseSize(value)) return {};
  return "bad " + std::string(entry.what) + " '" + value + "' (WxH, 16 to 16384)";
}

std::string RefuseBadPlace(const JobOption& entry, const std::string& value) {
  if (PICTURESHAPE::ParsePlace(value)) return {};
  return "bad " + std::string(entry.what) + " '" + value + "' (bottom, top or bars)";
}

std::vector<JobOption> MakeOptions() {
  const SUBTITLELOOK::SubtitleLook plain;
  return {
      {.option = "--source",
       .group = Group::Files,
       .kind = Kind::Text,
       .inSynopsis = false,
       .section = "FILES",
       .key = "SourceVideo",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "FILE",
       .file = true,
       TEXT(SourceVideo)},
      {.option = "--subtitles",
       .group = Group::Files,
       .kind = Kind::Text,
       .inSynopsis = false,
       .section = "FILES",
       .key = "Subtitle",
       .saved = Saved::Always,
       .valueName = "FILE",
       .file = true,
       TEXT(Subtitle)},
      {.option = "--output",
       .group = Group::Files,
       .kind = Kind::Text,
       .inSynopsis = false,
       .section = "FILES",
       .key = "DestinationVideo",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "FILE",
       .file = true,
       TEXT(DestinationVideo)},
      // The compressor's choice is the window's dialog's, kept in a section
      // of its own that the command line never reads.
      {.option = "--compressor",
       .group = Group::Compressor,
       .kind = Kind::Text,
       .inSynopsis = false,
       .queued = Queued::Always,
       .valueName = "CODE",
       .refuse = RefuseUnknownCompressor,
       CHOICE_TEXT(Compressor)},
      {.option = "--quality",
       .group = Group::Compressor,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "0-10000",
       .what = "quality",
       .low = 0,
       .high = 10000,
       .fallback = -1,
       CHOICE_NUMBER(Quality)},
      {.option = "--keyframes",
       .group = Group::Compressor,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "N",
       .what = "key-frame interval",
       .low = 0,
       .high = 1000000,
       .fallback = -1,
       CHOICE_NUMBER(KeyFrames)},
      {.option = "--data-rate",
       .group = Group::Compressor,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "KBYTES_PER_SECOND",
       .what = "data rate",
       .low = 0,
       .high = 4000000,
       .fallback = -1,
       CHOICE_NUMBER(DataRate)},
      {.option = "--encoder-options",
       .group = Group::Compressor,
       .kind = Kind::Text,
       .inSynopsis = false,
       .valueName = "KEY=VALUE[:KEY=VALUE...]",
       CHOICE_TEXT(EncoderOptions)},
      // Whether the compressor has it is known only once every option is in.
      {.option = "--preset",
       .group = Group::Compressor,
       .kind = Kind::Text,
       .inSynopsis = false,
       .valueName = "NAME",
       .what = "preset",
       .refuse = RefuseEmpty,
       CHOICE_TEXT(Preset)},
      {.option = "--font",
       .group = Group::Font,
       .kind = Kind::Text,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Name",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "NAME",
       .what = "font name",
       .refuse = RefuseEmpty,
       TEXT(Font.Name)},
      {.option = "--font-size",
       .group = Group::Font,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Size",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "POINTS",
       .what = "font size",
       .low = SUBTITLEFONT::kMinFontSize,
       .high = SUBTITLEFONT::kMaxFontSize,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Font.Size)},
      {.option = "--font-color",
       .group = Group::Font,
       .kind = Kind::Colour,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Color",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "0xBBGGRR",
       .what = "font colour",
       .high = SUBTITLEFONT::kMaxColor,
       .outOfRange = OutOfRange::Masked,
       COLOUR(Font.Color)},
      {.option = "--script",
       .group = Group::Font,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Charset",
       .saved = Saved::Always,
       .queued = Queued::Always,
       .valueName = "CODE",
       .what = "script",
       .high = 255,
       .outOfRange = OutOfRange::Masked,
       NUMBER(Font.Charset)},
      {.option = "--bold",
       .group = Group::Font,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Bold",
       .saved = Saved::Always,
       FLAG(Font.Bold)},
      {.option = "--italic",
       .group = Group::Font,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Italic",
       .saved = Saved::Always,
       FLAG(Font.Italic)},
      {.option = "--underline",
       .group = Group::Font,
       .inSynopsis = false,
       .section = "FONT",
       .key = "Underline",
       .saved = Saved::Always,
       FLAG(Font.Underline)},
      {.option = "--strike-out",
       .group = Group::Font,
       .inSynopsis = false,
       .section = "FONT",
       .key = "StrikeOut",
       .saved = Saved::Always,
       FLAG(Font.StrikeOut)},
      // Streams count from 1 on the command line, from 0 in the job (below
      // 0: none chosen).
      {.option = "--video-stream",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "N",
       .what = "video stream",
       .low = 1,
       .high = kStreams,
       .number = [](const JobArguments& a) -> long long { return a.Options.VideoStream + 1; },
       .setNumber = [](JobArguments& a, long long v) { a.Options.VideoStream = int(v - 1); }},
      {.option = "--audio-stream",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "N",
       .what = "audio stream",
       .low = 1,
       .high = kStreams,
       .number = [](const JobArguments& a) -> long long { return a.Options.AudioStream + 1; },
       .setNumber = [](JobArguments& a, long long v) { a.Options.AudioStream = int(v - 1); }},
      // The source's own subtitles are drawn styled.
      {.option = "--subtitle-track",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "N",
       .what = "subtitle track",
       .low = 1,
       .high = kStreams,
       .word = "forced",
       .wordNumber = JOBOPTIONS::kForcedTrack,
       .implies = "--styled",
       JOB_NUMBER(SubtitleTrack)},
      {.option = "--subtitle-language",
       .group = Group::Streams,
       .kind = Kind::Text,
       .help = "  --subtitle-language LANGS\n"
               "                         with --source alone: the subtitle file beside it\n"
               "                         named FILM.LANG.srt (or .ass, .ssa, .vtt, .sup,\n"
               "                         .idx; FILM.LANG.forced.srt first with\n"
               "                         --forced-only), else its own track in that\n"
               "                         language; LANGS like fre,eng, the first that has\n"
               "                         one wins\n"
               "  --subtitle-track forced\n"
               "                         the source's track marked forced, else the short\n"
               "                         one beside a full one in the sound's language (or\n"
               "                         LANGS); else nothing is burned\n",
       .valueName = "LANGS",
       .what = "subtitle languages",
       .refuse = RefuseLanguages,
       .text = [](JobArguments& a) -> std::string& { return a.Options.SubtitleLanguages; }},
      // Two languages at once: a second file drawn with the first. Like the
      // clip, the file is the job's alone; the settings keep only its place.
      {.option = "--second-subtitles",
       .group = Group::Streams,
       .kind = Kind::Text,
       .help = "  --second-subtitles FILE\n"
               "                         a second subtitle file (text or disc pictures,\n"
               "                         its own timing) drawn with the first, with the\n"
               "                         same look: at the top of the picture, or with\n"
               "                         --second-place above just above the first\n"
               "  --second-subtitle-track N\n"
               "                         the source's own N-th subtitle track as the second\n"
               "  --second-place top|above\n"
               "                         where the second subtitles go (top)\n",
       .inSynopsis = false,
       .valueName = "FILE",
       .what = "second subtitle file",
       .file = true,
       .refuse = RefuseEmpty,
       .text = [](JobArguments& a) -> std::string& { return a.Options.SecondSubtitle; }},
      {.option = "--second-subtitle-track",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .valueName = "N",
       .what = "second subtitle track",
       .low = 1,
       .high = kStreams,
       JOB_NUMBER(SecondSubtitleTrack)},
      {.option = "--second-place",
       .group = Group::Streams,
       .kind = Kind::Text,
       .inSynopsis = false,
       .section = "SECOND",
       .key = "Place",
       .saved = Saved::OnceUsed,
       .valueName = "top|above",
       .what = "second subtitles' place",
       .refuse = RefuseSecondPlace,
       TEXT(SecondPlace)},
      {.option = "--no-autosize",
       .group = Group::Size,
       .inSynopsis = false,
       .section = "SUBTITLE",
       .key = "AutoSize",
       .saved = Saved::Always,
       .sets = false,
       FLAG(AutoSize)},
      {.option = "--delay-frames",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "SUBTITLE",
       .key = "FramesDelay",
       .saved = Saved::Always,
       .valueName = "N",
       .what = "delay",
       .low = -kDelayLimit,
       .high = kDelayLimit - 1,
       .outOfRange = OutOfRange::Clamped,
       .excludes = "--delay-ms",
       .inUseKey = "UseFrames",
       .inUse = [](JobArguments& a) -> bool& { return a.Options.UseFrames; },
       .inUseSetting = [](Settings& s) -> bool& { return s.UseFrames; },
       .number = [](const JobArguments& a) -> long long { return a.Options.DelayFrames; },
       .setNumber = [](JobArguments& a, long long v) { a.Options.DelayFrames = int32_t(v); },
       .numberSetting = [](Settings& s) -> int& { return s.FramesDelay; }},
      {.option = "--delay-ms",
       .group = Group::Streams,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "SUBTITLE",
       .key = "TimeDelay",
       .saved = Saved::Always,
       .valueName = "N",
       .what = "delay",
       .low = -kDelayLimit * 100,
       .high = (kDelayLimit - 1) * 100,
       .outOfRange = OutOfRange::Clamped,
       .perSetting = 100,
       .excludes = "--delay-frames",
       .number = [](const JobArguments& a) -> long long { return a.Options.DelayMilliseconds; },
       .setNumber = [](JobArguments& a, long long v) { a.Options.DelayMilliseconds = int32_t(v); },
       .numberSetting = [](Settings& s) -> int& { return s.TimeDelay; }},
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
      // The look: queued whole, so that a later settings file adds none.
      {.option = "--outline",
       .group = Group::Look,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "Outline",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0-8",
       .what = "outline",
       .high = SUBTITLELOOK::kMaximumOutline,
       .fallback = plain.Outline,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Look.Outline)},
      {.option = "--outline-color",
       .group = Group::Look,
       .kind = Kind::Colour,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "OutlineColor",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0xBBGGRR",
       .what = "outline colour",
       .high = SUBTITLEFONT::kMaxColor,
       .fallback = int(plain.OutlineColor),
       .outOfRange = OutOfRange::Taken,
       COLOUR(Look.OutlineColor)},
      {.option = "--shadow",
       .group = Group::Look,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "Shadow",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0-8",
       .what = "shadow",
       .high = SUBTITLELOOK::kMaximumShadow,
       .fallback = plain.Shadow,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Look.Shadow)},
      {.option = "--shadow-color",
       .group = Group::Look,
       .kind = Kind::Colour,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "ShadowColor",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0xBBGGRR",
       .what = "shadow colour",
       .high = SUBTITLEFONT::kMaxColor,
       .fallback = int(plain.ShadowColor),
       .outOfRange = OutOfRange::Taken,
       COLOUR(Look.ShadowColor)},
      {.option = "--box-opacity",
       .group = Group::Look,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "BoxOpacity",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0-100",
       .what = "box opacity",
       .high = SUBTITLELOOK::kMaximumBoxOpacity,
       .fallback = plain.BoxOpacity,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Look.BoxOpacity)},
      {.option = "--box-color",
       .group = Group::Look,
       .kind = Kind::Colour,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "BoxColor",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0xBBGGRR",
       .what = "box colour",
       .high = SUBTITLEFONT::kMaxColor,
       .fallback = int(plain.BoxColor),
       .outOfRange = OutOfRange::Taken,
       COLOUR(Look.BoxColor)},
      {.option = "--antialias",
       .group = Group::Look,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "Antialias",
       .saved = Saved::WithSection,
       FLAG(Look.Antialias)},
      {.option = "--margin",
       .group = Group::Look,
       .kind = Kind::Number,
       .inSynopsis = false,
       .section = "LOOK",
       .key = "Margin",
       .saved = Saved::WithSection,
       .queued = Queued::Always,
       .valueName = "0-1000",
       .what = "margin",
       .high = SUBTITLELOOK::kMaximumMargin,
       .fallback = plain.Margin,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Look.Margin)},
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
       .implies = "--styled",
       FLAG(Styled.LeftToRight)},
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
      {.option = "--restyle",
       .group = Group::Job,
       .section = "PICTURES",
       .key = "Restyle",
       .saved = Saved::OnceUsed,
       FLAG(Restyle)},
      // Tesseract's names ("eng", "fra+deu"), which --subtitles-to-text
      // takes too.
      {.option = "--ocr-language",
       .group = Group::Job,
       .kind = Kind::Text,
       .section = "PICTURES",
       .key = "OcrLanguage",
       .saved = Saved::OnceUsed,
       .valueName = "LANGS",
       .what = "OCR language",
       .refuse = RefuseEmpty,
       TEXT(OcrLanguage)},
      // 0, as the source where the compressor can, is no value of its own.
      {.option = "--bit-depth",
       .group = Group::Colour,
       .kind = Kind::Number,
       .section = "COLOUR",
       .key = "BitDepth",
       .saved = Saved::OnceUsed,
       .valueName = "8|10",
       .what = "bit depth",
       .low = 8,
       .high = 10,
       .only = "8|10",
       .fallback = 0,
       NUMBER(BitDepth)},
      // An HDR output's subtitle white, in cd/m2.
      {.option = "--subtitle-nits",
       .group = Group::Colour,
       .kind = Kind::Number,
       .section = "COLOUR",
       .key = "SubtitleNits",
       .saved = Saved::OnceUsed,
       .valueName = "N",
       .what = "subtitle level",
       .low = 10,
       .high = 1000,
       .fallback = int(JOBOPTIONS::kReferenceWhiteNits),
       .number = [](const JobArguments& a) -> long long {
         return std::lround(a.Options.SubtitleNits);
       },
       .setNumber = [](JobArguments& a, long long v) { a.Options.SubtitleNits = double(v); },
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
      // A clip is the job's alone: no settings key keeps it.
      {.option = "--start",
       .group = Group::Job,
       .kind = Kind::Text,
       .valueName = "TIME",
       .what = "start time",
       .refuse = RefuseBadTime,
       .text = [](JobArguments& a) -> std::string& { return a.Options.ClipStart; }},
      {.option = "--end",
       .group = Group::Job,
       .kind = Kind::Text,
       .valueName = "TIME",
       .what = "end time",
       .refuse = RefuseBadTime,
       .text = [](JobArguments& a) -> std::string& { return a.Options.ClipEnd; }},
      {.option = "--duration",
       .group = Group::Job,
       .kind = Kind::Text,
       .valueName = "TIME",
       .what = "duration",
       .refuse = RefuseBadTime,
       .text = [](JobArguments& a) -> std::string& { return a.Options.ClipDuration; }},
      {.option = "--smart",
       .group = Group::Job,
       .section = "SMART",
       .key = "CopyUntouched",
       .saved = Saved::OnceUsed,
       FLAG(CopyUntouched)},
      // What else of the source an output keeps; an AVI keeps none of it,
      // whatever these say.
      {.option = "--keep-audio",
       .group = Group::Streams,
       .kind = Kind::Tracks,
       .help = "  --keep-audio all|none|N[,N...]\n"
               "                         the source's other sound tracks kept: all, none\n"
               "                         or these of its sound tracks, counted from 1\n",
       .inSynopsis = false,
       .section = "STREAMS",
       .key = "KeepAudio",
       .saved = Saved::WithSection,
       .valueName = "all|none|N[,N...]",
       .what = "audio tracks to keep",
       .low = 1,
       .high = kStreams,
       TRACKS(Keeping.Sound)},
      {.option = "--keep-subtitles",
       .group = Group::Streams,
       .kind = Kind::Tracks,
       .help = "  --keep-subtitles all|none|N[,N...]\n"
               "                         the source's other subtitle tracks kept, the same\n"
               "                         way\n",
       .inSynopsis = false,
       .section = "STREAMS",
       .key = "KeepSubtitles",
       .saved = Saved::WithSection,
       .valueName = "all|none|N[,N...]",
       .what = "subtitle tracks to keep",
       .low = 1,
       .high = kStreams,
       TRACKS(Keeping.Subtitles)},
      {.option = "--no-chapters",
       .group = Group::Streams,
       .help = "  --no-chapters          leave out the chapters and the container's tags\n",
       .inSynopsis = false,
       .section = "STREAMS",
       .key = "KeepChapters",
       .saved = Saved::WithSection,
       .sets = false,
       FLAG(Keeping.Chapters)},
      {.option = "--no-attachments",
       .group = Group::Streams,
       .help = "  --no-attachments       leave out the attached fonts and pictures\n",
       .inSynopsis = false,
       .section = "STREAMS",
       .key = "KeepAttachments",
       .saved = Saved::WithSection,
       .sets = false,
       FLAG(Keeping.Attachments)},
      {.option = "--crop",
       .group = Group::Shape,
       .kind = Kind::Text,
       .help = "  --crop auto|none|W:H:X:Y\n"
               "                         auto: the black bars found over the film are cut\n"
               "                         off; W:H:X:Y keeps that part (even); none (default)\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "Crop",
       .saved = Saved::WithSection,
       .valueName = "auto|none|W:H:X:Y",
       .what = "crop",
       .refuse = RefuseBadCrop,
       TEXT(Shape.Crop)},
      {.option = "--scale",
       .group = Group::Shape,
       .kind = Kind::Text,
       .help = "  --scale WxH            the output picture's size\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "Scale",
       .saved = Saved::WithSection,
       .valueName = "WxH",
       .what = "size",
       .refuse = RefuseBadSize,
       TEXT(Shape.Scale)},
      {.option = "--width",
       .group = Group::Shape,
       .kind = Kind::Number,
       .help = "  --width W, --height H  the output picture's width or height, the other side\n"
               "                         following the picture's aspect (even)\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "Width",
       .saved = Saved::WithSection,
       .valueName = "W",
       .what = "width",
       .low = 0,
       .high = 16384,
       NUMBER(Shape.Width)},
      {.option = "--height",
       .group = Group::Shape,
       .kind = Kind::Number,
       .help = "",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "Height",
       .saved = Saved::WithSection,
       .valueName = "H",
       .what = "height",
       .low = 0,
       .high = 16384,
       NUMBER(Shape.Height)},
      {.option = "--subtitle-place",
       .group = Group::Shape,
       .kind = Kind::Text,
       .help = "  --subtitle-place bottom|top|bars\n"
               "                         where the subtitle goes: bottom (default), top, or\n"
               "                         inside the black bar below the picture\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "SubtitlePlace",
       .saved = Saved::WithSection,
       .valueName = "bottom|top|bars",
       .what = "subtitle place",
       .refuse = RefuseBadPlace,
       TEXT(Shape.Place)},
      {.option = "--subtitle-raise",
       .group = Group::Shape,
       .kind = Kind::Number,
       .help = "  --subtitle-raise P     the subtitle raised by P percent of the output\n"
               "                         picture's height (0 to 50)\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "SubtitleRaise",
       .saved = Saved::WithSection,
       .valueName = "P",
       .what = "subtitle raise",
       .low = 0,
       .high = 50,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Shape.Raise)},
      {.option = "--picture-scale",
       .group = Group::Shape,
       .kind = Kind::Number,
       .help = "  --picture-scale P      PGS and VobSub pictures drawn at P percent of their size\n"
               "                         (50 to 200), about their bottom centre\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "PictureScale",
       .saved = Saved::WithSection,
       .valueName = "P",
       .what = "picture scale",
       .low = 50,
       .high = 200,
       .fallback = 100,
       .outOfRange = OutOfRange::Clamped,
       NUMBER(Shape.PictureScale)},
      {.option = "--vobsub-palette",
       .group = Group::Shape,
       .kind = Kind::Text,
       .help = "  --vobsub-palette RRGGBB,... (16)\n"
               "                         a VobSub stream drawn with these colours in place\n"
               "                         of its own palette\n",
       .inSynopsis = false,
       .section = "GEOMETRY",
       .key = "VobSubPalette",
       .saved = Saved::WithSection,
       .valueName = "RRGGBB,...",
       .what = "VobSub palette",
       .refuse = RefuseVobSubPalette,
       TEXT(Shape.VobSubPalette)},
  };
}

#undef JOB_FLAG
#undef FLAG
#undef JOB_NUMBER
#undef NUMBER
#undef COLOUR
#undef TEXT
#undef CHOICE_NUMBER
#undef CHOICE_TEXT
#undef TRACKS

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

std::optional<long long> ParseInteger(std::string_view text, int base = 10) {
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Whether the value is one the option takes, in the units of the job or,
// with a scale, of the settings file.
bool Accepts(const JobOption& entry, long long value, int scale = 1) {
  if (entry.only == nullptr) return value >= entry.low / scale && value <= entry.high / scale;
  const auto texts = OnlyTexts(entry.only);
  return std::find(texts.begin(), texts.end(), std::to_string(value)) != texts.end();
}

// The settings are read through the same accessors the job's are.
Settings& Writable(const Settings& settings) { return const_cast<Settings&>(settings); }

bool AtDefault(const JobOption& entry, const Settings& settings) {
  Settings& s = Writable(settings);
  switch (entry.kind) {
    case Kind::Switch:
      return entry.flagSetting(s) != entry.sets;
    case Kind::Number:
      return entry.numberSetting(s) == entry.fallback;
    case Kind::Colour:
      return entry.colourSetting(s) == uint32_t(entry.fallback);
    case Kind::Text:
      return entry.textSetting(s).empty();
    case Kind::Tracks:
      return entry.tracksSetting(s).Which == JOBOPTIONS::TrackKeeping::Choice::All;
  }
  return true;
}

// Leading and trailing blanks and control characters removed, and quotes
// around the whole name with them: the file reads a quoted value without its
// quotes, so a name saved as "a.avi " would come back with a blank that the
// next save takes away.
std::string TrimFileName(const std::string& name) {
  auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  // The file keeps a value up to its line break: trimmed after that cut, a
  // name reads back as it was saved.
  std::string trimmed = name.substr(0, name.find_first_of("\r\n"));
  for (;;) {
    auto first = std::find_if(trimmed.begin(), trimmed.end(), kept);
    auto last = std::find_if(trimmed.rbegin(), trimmed.rend(), kept).base();
    trimmed = first < last ? std::string(first, last) : std::string();
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == '"' || trimmed.front() == '\'') &&
                        trimmed.back() == trimmed.front();
    if (!quoted) return trimmed;
    trimmed = trimmed.substr(1, trimmed.size() - 2);
  }
}

void Write(INIFILE::IniFile& file, const JobOption& entry, const Settings& settings) {
  Settings& s = Writable(settings);
  if (entry.inUseKey != nullptr)
    file.WriteBool(entry.section, entry.inUseKey, entry.inUseSetting(s));
  switch (entry.kind) {
    case Kind::Switch:
      file.WriteBool(entry.section, entry.key, entry.flagSetting(s));
      return;
    case Kind::Number:
      file.WriteInteger(entry.section, entry.key, entry.numberSetting(s));
      return;
    case Kind::Colour:
      file.WriteString(entry.section, entry.key, SETTINGS::FormatColor(entry.colourSetting(s)));
      return;
    case Kind::Text:
      file.WriteString(
          entry.section, entry.key,
          entry.file ? TrimFileName(entry.textSetting(s)) : QuotedIfNeeded(entry.textSetting(s)));
      return;
    case Kind::Tracks:
      file.WriteString(entry.section, entry.key, TracksText(entry.tracksSetting(s)));
      return;
  }
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

// A number of the file held to the option's range as its row says.
int Loaded(const JobOption& entry, int read, int current) {
  const long long low = entry.low / entry.perSetting;
  const long long high = entry.high / entry.perSetting;
  switch (entry.outOfRange) {
    case OutOfRange::Kept:
      return Accepts(entry, read, entry.perSetting) ? read : current;
    case OutOfRange::Clamped:
      return int(std::clamp<long long>(read, low, high));
    case OutOfRange::Masked:
      return int(read & high);
    case OutOfRange::Taken:
      break;
  }
  return read;
}

void Load(const INIFILE::IniFile& file, const JobOption& entry, Settings& settings) {
  if (entry.inUseKey != nullptr) {
    bool& inUse = entry.inUseSetting(settings);
    inUse = file.ReadBool(entry.section, entry.inUseKey, inUse);
  }
  switch (entry.kind) {
    case Kind::Switch: {
      bool& on = entry.flagSetting(settings);
      on = file.ReadBool(entry.section, entry.key, on);
      return;
    }
    case Kind::Number: {
      int& number = entry.numberSetting(settings);
      number = Loaded(entry, file.ReadInteger(entry.section, entry.key, number), number);
      return;
    }
    case Kind::Colour: {
      uint32_t& colour = entry.colourSetting(settings);
      const uint32_t read = SETTINGS::ParseColor(
          file.ReadString(entry.section, entry.key, SETTINGS::FormatColor(colour)));
      colour = entry.outOfRange == OutOfRange::Masked ? read & uint32_t(entry.high) : read;
      return;
    }
    case Kind::Text: {
      std::string& text = entry.textSetting(settings);
      text = file.ReadString(entry.section, entry.key, text);
      return;
    }
    case Kind::Tracks: {
      // A list mangled by hand keeps what the settings had, as a number
      // out of its range does.
      JOBOPTIONS::TrackKeeping& tracks = entry.tracksSetting(settings);
      tracks = ParseTracks(file.ReadString(entry.section, entry.key, TracksText(tracks)),
                           int(entry.high))
                   .value_or(tracks);
      return;
    }
  }
}

// Whether the queued arguments name the option; of a pair, the one in use.
bool Queues(const JobOption& entry, const JobArguments& job) {
  JobArguments& held = const_cast<JobArguments&>(job);
  if (entry.excludes != nullptr) {
    const JobOption& first = entry.inUse != nullptr ? entry : *Find(entry.excludes);
    return first.inUse(held) == (&first == &entry);
  }
  if (entry.queued == Queued::Always) return true;
  switch (entry.kind) {
    case Kind::Switch:
      return entry.flag(held) == entry.sets;
    case Kind::Number:
    case Kind::Colour:
      return entry.number(job) != entry.fallback;
    case Kind::Text:
      return !entry.text(held).empty();
    case Kind::Tracks:
      return entry.tracks(held).Which != JOBOPTIONS::TrackKeeping::Choice::All;
  }
  return false;
}

std::string ValueText(const JobOption& entry, const JobArguments& job) {
  switch (entry.kind) {
    case Kind::Switch:
      break;
    case Kind::Number:
      if (entry.word != nullptr && entry.number(job) == entry.wordNumber) return entry.word;
      return std::to_string(entry.number(job));
    case Kind::Colour:
      return ColourText(uint32_t(entry.number(job)));
    case Kind::Text:
      return entry.text(const_cast<JobArguments&>(job));
    case Kind::Tracks:
      return TracksText(entry.tracks(const_cast<JobArguments&>(job)));
  }
  return {};
}

// The job's switches and the font's styles read the same in any order, and
// are kept sorted; the others keep the table's order.
bool SortsSwitches(Group group) { return group == Group::Job || group == Group::Font; }

void FormatGroup(Group group, const JobArguments& job, std::vector<std::string>& args) {
  std::vector<const JobOption*> switches;
  for (const JobOption& entry : Options()) {
    if (entry.group != group || !Queues(entry, job)) continue;
    if (entry.TakesValue())
      args.insert(args.end(), {entry.option, ValueText(entry, job)});
    else
      switches.push_back(&entry);
  }
  // A switch that another one switched on goes without saying.
  std::erase_if(switches, [&](const JobOption* entry) {
    return std::any_of(switches.begin(), switches.end(), [&](const JobOption* other) {
      return other->implies != nullptr && std::string_view(other->implies) == entry->option;
    });
  });
  if (SortsSwitches(group))
    std::sort(switches.begin(), switches.end(), [](const JobOption* a, const JobOption* b) {
      return std::string_view(a->option) < b->option;
    });
  for (const JobOption* entry : switches) args.push_back(entry->option);
}

std::string Spelled(const JobOption& entry) {
  return entry.valueName == nullptr ? entry.option
                                    : std::string(entry.option) + " " + entry.valueName;
}

// "[--font NAME]"; the files, which every job names, without brackets; a
// pair as one, at the first of the two.
std::string Named(const char* option) {
  if (option[0] == '[') return option;
  const JobOption* entry = Find(option);
  if (entry->excludes != nullptr && entry->inUse == nullptr) return {};
  std::string named = Spelled(*entry);
  if (entry->excludes != nullptr) named += " | " + Spelled(*Find(entry->excludes));
  return entry->group == Group::Files ? named : "[" + named + "]";
}

std::string Wrapped(const std::vector<std::string>& items) {
  std::string lines;
  std::string line = kSynopsisIndent;
  for (const std::string& named : items) {
    if (named.empty()) continue;
    const bool first = line.size() == sizeof kSynopsisIndent - 1;
    if (!first && line.size() + 1 + named.size() > kSynopsisWidth) {
      lines += line + "\n";
      line = kSynopsisIndent;
    }
    line += (line.size() == sizeof kSynopsisIndent - 1 ? "" : " ") + named;
  }
  return line.size() == sizeof kSynopsisIndent - 1 ? lines : lines + line + "\n";
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

std::string Apply(const JobOption& entry, const std::string& value, JobArguments& job) {
  switch (entry.kind) {
    case Kind::Switch:
      entry.flag(job) = entry.sets;
      break;
    case Kind::Text:
      if (entry.refuse != nullptr)
        if (std::string error = entry.refuse(entry, value); !error.empty()) return error;
      entry.text(job) = value;
      break;
    case Kind::Tracks: {
      const auto tracks = ParseTracks(value, int(entry.high));
      if (!tracks)
        return "bad " + std::string(entry.what) + " '" + value + "' (all, none or numbers from " +
               std::to_string(entry.low) + " to " + std::to_string(entry.high) +
               " joined by commas)";
      entry.tracks(job) = *tracks;
      break;
    }
    case Kind::Number:
    case Kind::Colour: {
      if (entry.word != nullptr && value == entry.word) {
        entry.setNumber(job, entry.wordNumber);
        break;
      }
      const auto number = ParseInteger(value, entry.kind == Kind::Colour ? 16 : 10);
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
      entry.setNumber(job, *number);
      break;
    }
  }
  if (entry.implies != nullptr) {
    const JobOption* implied = Find(entry.implies);
    implied->flag(job) = implied->sets;
  }
  if (entry.excludes != nullptr) {
    if (entry.inUse != nullptr)
      entry.inUse(job) = true;
    else
      Find(entry.excludes)->inUse(job) = false;
  }
  return {};
}

std::string ExcludedPair(const std::vector<const JobOption*>& given) {
  for (const JobOption* entry : given)
    if (entry->inUse != nullptr &&
        std::any_of(given.begin(), given.end(), [&](const JobOption* other) {
          return std::string_view(other->option) == entry->excludes;
        }))
      return "give either " + std::string(entry->option) + " or " + entry->excludes + ", not both";
  return {};
}

std::vector<std::string> FormatArguments(const JobArguments& job) {
  std::vector<std::string> args;
  for (const Group group :
       {Group::Files, Group::Compressor, Group::Streams, Group::Job, Group::Size, Group::Colour,
        Group::Font, Group::Look, Group::Reading, Group::Styled, Group::Shape})
    FormatGroup(group, job, args);
  return args;
}

void TakeSettings(const Settings& settings, JobArguments& job) {
  Settings& s = Writable(settings);
  for (const JobOption& entry : Options()) {
    if (entry.inUseSetting != nullptr) entry.inUse(job) = entry.inUseSetting(s);
    if (entry.flagSetting != nullptr) entry.flag(job) = entry.flagSetting(s);
    if (entry.numberSetting != nullptr)
      entry.setNumber(job, (long long)entry.numberSetting(s) * entry.perSetting);
    if (entry.colourSetting != nullptr) entry.setNumber(job, entry.colourSetting(s));
    if (entry.textSetting != nullptr) entry.text(job) = entry.textSetting(s);
    if (entry.tracksSetting != nullptr) entry.tracks(job) = entry.tracksSetting(s);
  }
}

void LoadKeys(const INIFILE::IniFile& file, Settings& settings) {
  for (const JobOption& entry : Options())
    if (entry.saved != Saved::Never) Load(file, entry, settings);
}

void SaveKeys(INIFILE::IniFile& file, const Settings& settings) {
  std::string sectionDone;
  for (const JobOption& entry : Options()) Save(file, entry, settings, sectionDone);
}

std::string QuotedIfNeeded(const std::string& text) {
  if (text.empty()) return text;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                      text.back() == text.front();
  return blank(text.front()) || blank(text.back()) || quoted ? '"' + text + '"' : text;
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", unsigned(colour));
  return text;
}

std::string TracksText(const JOBOPTIONS::TrackKeeping& keeping) {
  using Choice = JOBOPTIONS::TrackKeeping::Choice;
  if (keeping.Which == Choice::All) return "all";
  // An empty list keeps nothing, and says so in a form that reads back.
  if (keeping.Which == Choice::None || keeping.Listed.empty()) return "none";
  std::string text;
  for (const int track : keeping.Listed) text += (text.empty() ? "" : ",") + std::to_string(track);
  return text;
}

std::optional<JOBOPTIONS::TrackKeeping> ParseTracks(std::string_view text, int highest) {
  using Choice = JOBOPTIONS::TrackKeeping::Choice;
  if (text == "all") return JOBOPTIONS::TrackKeeping{};
  if (text == "none") return JOBOPTIONS::TrackKeeping{Choice::None, {}};
  JOBOPTIONS::TrackKeeping listed{Choice::Listed, {}};
  for (;;) {
    const size_t comma = text.find(',');
    const auto track = ParseInteger(text.substr(0, comma));
    if (!track || *track < 1 || *track > highest) return std::nullopt;
    listed.Listed.push_back(int(*track));
    if (comma == std::string_view::npos) return listed;
    text.remove_prefix(comma + 1);
  }
}

bool ApplyReadingFlag(const std::string& option, SUBTITLEFILE::ReadingOptions& reading) {
  const JobOption* entry = Find(option);
  if (entry == nullptr || entry->group != Group::Reading) return false;
  JobArguments job;
  job.Options.Reading = reading;
  Apply(*entry, {}, job);
  reading = job.Options.Reading;
  return true;
}

std::string SynopsisLine(std::initializer_list<const char*> options, const char* indent) {
  std::string line = indent;
  for (const char* option : options) {
    const std::string named = Named(option);
    if (named.empty()) continue;
    line += (line == indent ? "" : " ") + named;
  }
  return line + "\n";
}

std::string SynopsisWrapped(const std::vector<const char*>& options) {
  std::vector<std::string> items;
  for (const char* option : options) items.push_back(Named(option));
  return Wrapped(items);
}

std::string GroupSynopsis(Group group) {
  std::vector<std::string> items;
  for (const JobOption& entry : Options())
    if (entry.group == group) items.push_back(Named(entry.option));
  return Wrapped(items);
}

std::string SynopsisLines() {
  std::vector<std::string> items;
  for (const JobOption& entry : Options())
    if (entry.inSynopsis) items.push_back(Named(entry.option));
  return Wrapped(items);
}

std::string GroupHelp(Group group) {
  std::string text = group == Group::Reading   ? kReadingHeader
                     : group == Group::Styled  ? kStyledHeader
                     : group == Group::Streams ? kStreamsHeader
                     : group == Group::Shape   ? kShapeHeader
                                               : "";
  for (const JobOption& entry : Options())
    if (entry.group == group && entry.help != nullptr) text += entry.help;
  return text;
}

}  // namespace JOBOPTIONTABLE
