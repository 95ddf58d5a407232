// The reading of picture subtitles as text, measured on streams made the
// way discs draw them: white or yellow anti-aliased letters in a dark
// outline (a shadow on some), one or two lines, some italic, on 1920x1080
// and 1280x720 PGS canvases and 720x480 VobSub ones, in English, French and
// German, in fonts, sizes, colours and outlines the tests do not use. Each
// stream goes through the same code as --subtitles-to-text; the SubRip it
// gives is compared with what was drawn: the character error rate, the
// two-line cues kept in two lines, the italic cues marked, the cues timed
// exactly as their sets, and the time the first stream (a 2-hour film's
// ~1,500 sets) takes on the two threads.
//
// Usage: ocr_benchmark [--seed N] [--fonts "A,B,C"] [--sets N] [--others N]
//                      [--only STREAM] [--keep DIR]
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "job/PicturesToText.h"
#include "media/VelAvCodec.h"
#include "shell/Settings.h"
#include "support/DiscLetters.h"
#include "support/PgsWriter.h"
#include "support/VobSubWriter.h"

namespace fs = std::filesystem;

namespace {

// Words of each language, accents and all; lines are drawn at random from
// them, so no line is a film's.
const std::vector<std::string> kEnglish = {
    "the",    "you",     "we",      "they",     "never",     "always",  "house",     "river",
    "night",  "morning", "told",    "waiting",  "leave",     "before",  "after",     "dinner",
    "door",   "window",  "quiet",   "listen",   "brother",   "sister",  "father",    "money",
    "letter", "train",   "station", "tomorrow", "yesterday", "nothing", "something", "where",
    "why",    "what",    "going",   "come",     "back",      "here",    "there",     "please",
    "sorry",  "maybe",   "really",  "think",    "know",      "want",    "need",      "find",
    "lost",   "keys",    "car",     "road",     "city",      "summer",  "winter",    "cold",
    "warm",   "light",   "dark",    "believe",  "promise",   "again",   "still",     "enough",
    "people", "friend",  "doctor",  "police",   "phone",     "hurry",   "careful",   "OK",
    "Mr.",    "Mrs.",    "I'm",     "don't",    "can't",     "it's",    "we'll",     "that's",
    "let's",  "twelve",  "o'clock", "eleven",   "minutes",   "hours",   "John",      "Mary",
    "London", "Paris"};
const std::vector<std::string> kFrench = {
    "le",        "la",       "nous",     "vous",     "jamais",   "toujours", "maison", "rivière",
    "nuit",      "matin",    "déjà",     "été",      "très",     "où",       "là",     "à",
    "garçon",    "ça",       "français", "fenêtre",  "forêt",    "frère",    "sœur",   "père",
    "mère",      "élève",    "école",    "café",     "théâtre",  "hôpital",  "août",   "Noël",
    "peut-être", "après",    "première", "dernière", "pourquoi", "demain",   "hier",   "rien",
    "quelque",   "chose",    "lettre",   "gare",     "train",    "ville",    "hiver",  "chaleur",
    "lumière",   "arrête",   "écoute",   "viens",    "reste",    "même",     "encore", "assez",
    "c'est",     "j'ai",     "qu'il",    "n'est",    "l'été",    "d'accord", "voilà",  "Hélène",
    "Jérôme",    "Besançon", "Montréal", "côté",     "goût",     "île",      "naïf",   "Joël"};
const std::vector<std::string> kGerman = {
    "der",     "die",       "das",     "und",    "nicht",      "immer",   "Haus",       "Fluss",
    "Nacht",   "Morgen",    "schön",   "müde",   "früh",       "spät",    "Tür",        "Fenster",
    "Brüder",  "Schwester", "Vater",   "Mutter", "Mädchen",    "Straße",  "groß",       "weiß",
    "heißen",  "Füße",      "über",    "für",    "können",     "müssen",  "möchte",     "hören",
    "Brücke",  "Glück",     "Bäume",   "Häuser", "Äpfel",      "Öffnung", "Übung",      "Grüße",
    "warum",   "wohin",     "gestern", "nichts", "etwas",      "Brief",   "Bahnhof",    "Stadt",
    "Sommer",  "Winter",    "kalt",    "warm",   "Licht",      "dunkel",  "glauben",    "wieder",
    "genug",   "Leute",     "Freund",  "Ärztin", "Polizei",    "schnell", "vorsichtig", "zurück",
    "München", "Köln",      "Jürgen",  "Bärbel", "Düsseldorf", "Größe",   "gemütlich",  "Käse"};

struct Truth {
  int64_t StartMs = 0, EndMs = 0;
  std::vector<std::string> Lines;
  bool Italic = false;
};

struct Stream {
  std::string Name;
  int Width = 1920, Height = 1080;
  bool VobSub = false;
  const std::vector<std::string>* Words = &kEnglish;
  std::string Languages = "eng";
  int Sets = 300;
};

std::string Sentence(std::mt19937& random, const std::vector<std::string>& words, size_t limit) {
  std::string line;
  const char* ends[] = {".", "?", "!", ",", "...", ""};
  for (;;) {
    const std::string& word = words[random() % words.size()];
    if (!line.empty() && line.size() + 1 + word.size() > limit) break;
    line += (line.empty() ? "" : " ") + word;
    if (line.size() > limit / 2 && random() % 3 == 0) break;
  }
  if (line[0] >= 'a' && line[0] <= 'z') line[0] = char(line[0] - 'a' + 'A');
  return line + ends[random() % 6];
}

// The palette's fill, and the anti-aliased edge halfway to the outline.
struct Colours {
  uint8_t Red, Green, Blue;
};

std::vector<Truth> MakeStream(const Stream& stream, const std::vector<std::string>& fonts,
                              std::mt19937& random, const fs::path& folder, std::string& file) {
  std::vector<Truth> truths;
  std::vector<pgswriter::DisplaySet> sets;
  std::vector<vobsubwriter::Subpicture> pictures;
  const Colours white{235, 235, 235}, yellow{240, 225, 40};
  int64_t at = 1000;
  for (int k = 0; k < stream.Sets; ++k) {
    Truth truth;
    truth.StartMs = at + int64_t(random() % 1500) + 200;
    truth.EndMs = truth.StartMs + 900 + int64_t(random() % 5000);
    at = truth.EndMs;
    truth.Italic = random() % 4 == 0;
    const size_t limit = stream.Width < 1000 ? 34 : 40;
    truth.Lines.push_back(Sentence(random, *stream.Words, limit));
    if (random() % 100 < 45) truth.Lines.push_back(Sentence(random, *stream.Words, limit));
    discletters::Style style;
    style.Family = fonts[random() % fonts.size()];
    style.PixelSize = stream.Height / 19 + int(random() % unsigned(stream.Height / 50 + 1));
    style.Italic = truth.Italic;
    style.Bold = random() % 5 == 0;
    style.Outline = 1.5 + double(random() % 30) / 10.0 * stream.Height / 1080.0;
    style.ShadowOffset = random() % 3 == 0 ? std::max(1, stream.Height / 360) : 0;
    const int width = stream.Width * 7 / 8;
    const discletters::Picture drawn = discletters::Draw(truth.Lines, width, style);
    const Colours fill = random() % 3 == 0 ? yellow : white;
    const uint16_t x = uint16_t((stream.Width - width) / 2);
    const bool top = random() % 12 == 0;
    const uint16_t y =
        uint16_t(top ? stream.Height / 18 : stream.Height - drawn.Height - stream.Height / 14);
    if (stream.VobSub) {
      vobsubwriter::Subpicture picture;
      picture.StartMs = truth.StartMs;
      picture.EndMs = truth.EndMs;
      picture.X = x;
      picture.Y = y;
      picture.Width = uint16_t(drawn.Width);
      picture.Height = uint16_t(drawn.Height);
      picture.Pixels = drawn.Indexes;
      // One of two palettes: white or yellow letters.
      picture.PaletteIndex = {0, fill.Blue < 100 ? uint8_t(4) : uint8_t(1), 2, 3};
      pictures.push_back(std::move(picture));
    } else {
      pgswriter::DisplaySet set;
      set.Pts90k = truth.StartMs * 90;
      set.CanvasWidth = uint16_t(stream.Width);
      set.CanvasHeight = uint16_t(stream.Height);
      set.Palette = {{1, fill.Red, fill.Green, fill.Blue, 255},
                     {2, 16, 16, 16, 255},
                     {3, uint8_t(fill.Red / 2 + 8), uint8_t(fill.Green / 2 + 8),
                      uint8_t(fill.Blue / 2 + 8), 255}};
      set.Objects = {{x, y, uint16_t(drawn.Width), uint16_t(drawn.Height), drawn.Indexes}};
      sets.push_back(set);
      sets.push_back(pgswriter::ClearingSet(set, truth.EndMs * 90));
    }
    truths.push_back(std::move(truth));
  }
  if (stream.VobSub) {
    std::array<vobsubwriter::Colour, 16> palette{};
    palette[1] = {white.Red, white.Green, white.Blue};
    palette[2] = {16, 16, 16};
    palette[3] = {120, 120, 110};
    palette[4] = {yellow.Red, yellow.Green, yellow.Blue};
    const vobsubwriter::Pair pair = vobsubwriter::WriteVobSub(pictures, uint16_t(stream.Width),
                                                              uint16_t(stream.Height), palette);
    file = (folder / (stream.Name + ".idx")).string();
    std::ofstream(file, std::ios::binary) << pair.Idx;
    std::ofstream((folder / (stream.Name + ".sub")).string(), std::ios::binary) << pair.Sub;
  } else {
    file = (folder / (stream.Name + ".sup")).string();
    std::ofstream(file, std::ios::binary) << pgswriter::WriteSup(sets);
  }
  return truths;
}

struct Read {
  int64_t StartMs = 0, EndMs = 0;
  std::string Text;
};

int64_t ClockMs(const std::string& text) {
  int h = 0, m = 0, s = 0, ms = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d,%d", &h, &m, &s, &ms) != 4) return -1;
  return ((int64_t(h) * 60 + m) * 60 + s) * 1000 + ms;
}

std::vector<Read> ReadSubRip(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Read> cues;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(" --> ") == std::string::npos) continue;
    Read cue;
    cue.StartMs = ClockMs(line.substr(0, line.find(" --> ")));
    cue.EndMs = ClockMs(line.substr(line.find(" --> ") + 5));
    while (std::getline(in, line) && !line.empty())
      cue.Text += (cue.Text.empty() ? "" : "\n") + line;
    cues.push_back(cue);
  }
  return cues;
}

std::u32string Characters(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = uint8_t(utf8[i]);
    const int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t code = more == 0 ? c : c & (0x3F >> more);
    for (int k = 1; k <= more && i + size_t(k) < utf8.size(); ++k)
      code = (code << 6) | (uint8_t(utf8[i + size_t(k)]) & 0x3F);
    out += code;
    i += size_t(more) + 1;
  }
  return out;
}

size_t Distance(const std::u32string& a, const std::u32string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Erased(std::string text, const std::string& what) {
  for (size_t at; (at = text.find(what)) != std::string::npos;) text.erase(at, what.size());
  return text;
}

// The text without its marks, lines apart.
std::vector<std::string> PlainLines(const std::string& text) {
  std::string plain = Erased(Erased(Erased(text, "<i>"), "</i>"), "{\\an8}");
  std::vector<std::string> lines;
  std::istringstream in(plain);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
  return text;
}

struct Figures {
  size_t Chars = 0, Errors = 0, TwoLine = 0, TwoKept = 0, Italic = 0, ItalicMarked = 0,
         FalseItalic = 0, Cues = 0, Missing = 0, TimesExact = 0, TimesInFrame = 0;
};

Figures Compare(const std::vector<Truth>& truths, const std::vector<Read>& read) {
  Figures f;
  size_t next = 0;
  for (const Truth& truth : truths) {
    ++f.Cues;
    const std::u32string want = Characters(Joined(truth.Lines));
    f.Chars += want.size();
    while (next < read.size() && read[next].StartMs < truth.StartMs - 20) ++next;
    if (next >= read.size() || read[next].StartMs > truth.StartMs + 20) {
      ++f.Missing;
      f.Errors += want.size();
      f.TwoLine += truth.Lines.size() == 2;
      f.Italic += truth.Italic;
      continue;
    }
    const Read& cue = read[next++];
    const std::vector<std::string> lines = PlainLines(cue.Text);
    f.Errors += Distance(want, Characters(Joined(lines)));
    if (truth.Lines.size() == 2) {
      ++f.TwoLine;
      f.TwoKept += lines.size() == 2;
    }
    const bool marked = cue.Text.find("<i>") != std::string::npos;
    if (truth.Italic) {
      ++f.Italic;
      f.ItalicMarked += marked;
    } else {
      f.FalseItalic += marked;
    }
    f.TimesExact += cue.StartMs == truth.StartMs && cue.EndMs == truth.EndMs;
    f.TimesInFrame +=
        std::llabs(cue.StartMs - truth.StartMs) <= 40 && std::llabs(cue.EndMs - truth.EndMs) <= 40;
  }
  return f;
}

double Percent(size_t part, size_t whole) {
  return whole == 0 ? 0.0 : 100.0 * double(part) / double(whole);
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = 1;
  int firstSets = 1500, otherSets = 300;
  std::vector<std::string> fonts = {"Liberation Sans", "DejaVu Serif", "DejaVu Sans Condensed"};
  std::string keep, only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--seed")
      seed = unsigned(std::strtoul(value.c_str(), nullptr, 10));
    else if (option == "--sets")
      firstSets = std::max(10, std::atoi(value.c_str()));
    else if (option == "--others")
      otherSets = std::max(10, std::atoi(value.c_str()));
    else if (option == "--fonts")
      fonts = Split(value);
    else if (option == "--only")
      only = value;
    else if (option == "--keep")
      keep = value;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const fs::path folder = keep.empty()
                              ? fs::temp_directory_path() / ("ocr-bench-" + std::to_string(seed))
                              : fs::path(keep);
  fs::create_directories(folder);
  const SETTINGS::Settings settings;
  VELAVCODEC::VelAvCodec decoder(settings.AvCodec, settings.AvFormat, settings.AvUtil,
                                 settings.SwScale);
  const std::vector<Stream> streams = {
      {"english-1080", 1920, 1080, false, &kEnglish, "eng", firstSets},
      {"english-720", 1280, 720, false, &kEnglish, "eng", otherSets},
      {"english-vobsub", 720, 480, true, &kEnglish, "eng", otherSets},
      {"french-1080", 1920, 1080, false, &kFrench, "fra", otherSets},
      {"german-1080", 1920, 1080, false, &kGerman, "deu", otherSets},
  };
  std::printf("seed %u, fonts:", seed);
  for (const std::string& font : fonts) std::printf(" '%s'", font.c_str());
  std::printf("\n%-16s %6s %8s %10s %10s %8s %8s %9s %8s\n", "stream", "cues", "CER %", "2 lines %",
              "italic %", "false i", "missing", "times %", "seconds");
  int status = 0;
  std::mt19937 random(seed);
  for (const Stream& stream : streams) {
    if (!only.empty() && stream.Name != only) continue;
    std::string file;
    const std::vector<Truth> truths = MakeStream(stream, fonts, random, folder, file);
    PICTURESTOTEXT::Request request;
    request.Source = file;
    request.Output = (folder / (stream.Name + ".srt")).string();
    request.Languages = stream.Languages;
    PICTURESTOTEXT::Result result;
    const auto start = std::chrono::steady_clock::now();
    const std::string error = PICTURESTOTEXT::WriteText(decoder, request, result);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!error.empty()) {
      std::printf("%-16s %s\n", stream.Name.c_str(), error.c_str());
      status = 1;
      continue;
    }
    const Figures f = Compare(truths, ReadSubRip(request.Output));
    std::printf("%-16s %6zu %8.2f %10.1f %10.1f %8zu %8zu %9.1f %8.1f\n", stream.Name.c_str(),
                f.Cues, Percent(f.Errors, f.Chars), Percent(f.TwoKept, f.TwoLine),
                Percent(f.ItalicMarked, f.Italic), f.FalseItalic, f.Missing,
                Percent(f.TimesExact, f.Cues), seconds);
    if (f.TimesInFrame != f.TimesExact)
      std::printf("%-16s times within a frame: %.1f %%\n", "", Percent(f.TimesInFrame, f.Cues));
  }
  if (keep.empty()) fs::remove_all(folder);
  return status;
}
