#include "align/OtherFilms.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "media/AudioSamples.h"
#include "support/TestSupport.h"

namespace otherfilms {
namespace {

constexpr int kRate = 32000;
constexpr double kLeadIn = 4.0;

class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed ^ 0x5bd1e995u) {}
  double Real(double a, double b) { return std::uniform_real_distribution<double>(a, b)(engine_); }
  int Whole(int a, int b) { return std::uniform_int_distribution<int>(a, b)(engine_); }
  bool Odds(double p) { return Real(0.0, 1.0) < p; }
  template <typename T>
  const T& OneOf(const std::vector<T>& items) {
    return items[std::size_t(Whole(0, int(items.size()) - 1))];
  }

 private:
  std::mt19937_64 engine_;
};

void Shell(const std::string& command) {
  std::string output;
  if (testsupport::RunShell("nice -n 5 " + command, &output) != 0)
    throw std::runtime_error("failed: " + command.substr(0, 300) + "\n" + output);
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// A SubRip or look-alike file's cue times, whatever its text; times out of
// range are dropped, overlaps clipped, flashes shorter than 0.4 s left out.
std::vector<Line> CueTimes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  static const std::regex time(
      R"((\d{1,2}):(\d{2}):(\d{2})[,.](\d{1,3})\s*-->\s*(\d{1,2}):(\d{2}):(\d{2})[,.](\d{1,3}))");
  std::vector<Line> lines;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), time); it != std::sregex_iterator();
       ++it) {
    const auto& m = *it;
    const auto at = [&](int first) {
      const std::string ms = m[first + 3].str();
      return std::stoi(m[first].str()) * 3600.0 + std::stoi(m[first + 1].str()) * 60.0 +
             std::stoi(m[first + 2].str()) + std::stoi(ms) / std::pow(10.0, double(ms.size()));
    };
    const double start = at(1), end = at(5);
    if (start >= 0.0 && end > start && end - start < 12.0 && start < 6.0 * 3600.0)
      lines.push_back({start, end});
  }
  std::sort(lines.begin(), lines.end(),
            [](const Line& a, const Line& b) { return a.Start < b.Start; });
  std::vector<Line> kept;
  for (Line line : lines) {
    if (!kept.empty() && kept.back().End > line.Start - 0.04) kept.back().End = line.Start - 0.04;
    if (!kept.empty() && kept.back().End - kept.back().Start < 0.4) kept.pop_back();
    if (line.End - line.Start >= 0.4) kept.push_back(line);
  }
  return kept;
}

// One who speaks: an engine, a voice, a rate, and whether through a telephone.
struct Character {
  bool Flite = false;
  std::string Voice;
  int Rate = 160;        // espeak-ng's words a minute
  int Pitch = 50;        // espeak-ng's
  double Stretch = 1.0;  // flite's duration stretch
  bool Telephone = false;
  double Level = 1.0;
  std::string Text() const {
    char text[96];
    if (Flite)
      std::snprintf(text, sizeof text, "flite %s x%.2f%s", Voice.c_str(), Stretch,
                    Telephone ? " phone" : "");
    else
      std::snprintf(text, sizeof text, "espeak-ng %s %d wpm%s", Voice.c_str(), Rate,
                    Telephone ? " phone" : "");
    return text;
  }
};

const std::vector<std::string>& Languages() {
  static const std::vector<std::string> languages = {
      "af",    "cs",     "cy",    "da",    "de",     "en-gb-scotland",
      "en-us", "en-029", "eo",    "es",    "es-419", "et",
      "eu",    "fi",     "fr-fr", "fr-be", "hr",     "hu",
      "id",    "is",     "it",    "la",    "lt",     "lv",
      "mt",    "nl",     "nb",    "pl",    "pt",     "pt-br",
      "ro",    "sk",     "sl",    "sq",    "sv",     "sw",
      "tr",    "vi"};
  return languages;
}

Character DrawCharacter(Dice& dice) {
  static const std::vector<std::string> variants = {"",    "+m1", "+m3",    "+m5",    "+f1",
                                                    "+f2", "+f4", "+klatt", "+croak", "+whisper"};
  static const std::vector<std::string> flites = {"kal", "awb", "rms", "slt", "kal16"};
  Character c;
  c.Flite = dice.Odds(0.3);
  if (c.Flite) {
    c.Voice = dice.OneOf(flites);
    c.Stretch = dice.Real(0.75, 1.45);
  } else {
    std::string variant = dice.OneOf(variants);
    if (variant == "+whisper" && dice.Odds(0.7)) variant = "+m2";
    c.Voice = dice.OneOf(Languages()) + variant;
    c.Rate = dice.Whole(95, 270);
    c.Pitch = dice.Whole(15, 85);
  }
  c.Telephone = dice.Odds(0.12);
  c.Level = dice.Real(0.45, 1.0);
  return c;
}

// Made-up words anyone's rules can read: consonant and vowel pairs.
std::string Words(Dice& dice, int count) {
  static const char* onsets[] = {"b", "d", "f", "g", "k",  "l",  "m",  "n",  "p", "r",
                                 "s", "t", "v", "z", "br", "st", "pl", "tr", "kr"};
  static const char* vowels[] = {"a", "e", "i", "o", "u", "ai", "ou", "ei"};
  std::string text;
  for (int w = 0; w < count; ++w) {
    if (w > 0) text += dice.Odds(0.08) ? ", " : " ";
    const int syllables = dice.Whole(1, 3);
    for (int s = 0; s < syllables; ++s)
      text += std::string(onsets[dice.Whole(0, 18)]) + vowels[dice.Whole(0, 7)];
    if (dice.Odds(0.2)) text += "n";
  }
  return text;
}

// Seconds of sound in a WAV file: its data from the header's fields, its
// size from the file (the tools do not all fill the size in).
double WavSeconds(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(in.gcount()));
  const std::size_t fmt = head.find("fmt "), data = head.find("data");
  if (fmt == std::string::npos || data == std::string::npos || fmt + 24 > head.size()) return 0.0;
  const auto u16 = [&](std::size_t at) {
    return unsigned(uint8_t(head[at])) | unsigned(uint8_t(head[at + 1])) << 8;
  };
  const unsigned channels = u16(fmt + 10), bits = u16(fmt + 22);
  const unsigned rate = u16(fmt + 12) | u16(fmt + 14) << 16;
  if (channels == 0 || bits == 0 || rate == 0) return 0.0;
  const double bytes = double(fs::file_size(file)) - double(data + 8);
  return std::max(0.0, bytes / (channels * bits / 8.0 * rate));
}

fs::path Speak(const fs::path& dir, const Character& c, const std::string& words) {
  std::size_t hash = std::hash<std::string>()(c.Text() + std::to_string(c.Pitch) + words);
  const fs::path wav = dir / ("said-" + std::to_string(hash) + ".wav");
  if (fs::exists(wav)) return wav;
  const fs::path part = dir / ("said-" + std::to_string(hash) + ".part.wav");
  if (c.Flite)
    Shell("flite -voice " + c.Voice + " --setf duration_stretch=" + Number(c.Stretch) + " -t '" +
          words + "' -o " + part.string());
  else
    Shell("espeak-ng -w " + part.string() + " -v " + c.Voice + " -s " + std::to_string(c.Rate) +
          " -p " + std::to_string(c.Pitch) + " '" + words + "'");
  fs::rename(part, wav);
  return wav;
}

// A spoken line placed in the film: its sound, where it starts, and how
// much of it to keep.
struct Said {
  fs::path Wav;
  double At;
  double Keep;
  const Character* By;
  double Level;
};

// Words to fill `room` seconds, or a little less; cut with a fade if the
// voice will not fit.
Said SayIn(const fs::path& dir, Dice& dice, const Character& c, double at, double room) {
  int words = std::max(1, int(std::lround(room * 2.2)));
  Said best{{}, at, 0.0, &c, c.Level};
  const uint32_t textSeed = uint32_t(dice.Whole(0, 1 << 30));
  for (int attempt = 0; attempt < 4; ++attempt) {
    Dice text(textSeed + uint32_t(words));
    const fs::path wav = Speak(dir, c, Words(text, words));
    // espeak-ng and flite lead and trail with a little quiet.
    const double seconds = WavSeconds(wav);
    best = {wav, at, std::min(seconds, room), &c, c.Level};
    if (seconds <= room || words == 1) break;
    words = std::max(1, int(double(words) * room / seconds * 0.9));
  }
  return best;
}

// The music: chords plucked on a beat, or a sung line with vibrato, with
// or without drums; an aevalsrc expression over t.
std::string MusicExpression(Dice& dice, bool& sung) {
  sung = dice.Odds(0.5);
  const double beat = dice.Real(0.3, 0.7);
  const double root = dice.Real(110.0, 260.0);
  const int step = dice.Whole(2, 7);
  char text[1200];
  const std::string note = "pow(2,mod(floor(t/" + Number(beat * (sung ? 2 : 1)) + ")*" +
                           std::to_string(step) + ",12)/12)";
  if (sung)
    std::snprintf(text, sizeof text,
                  "0.5*sin(2*PI*%.1f*%s*t+3*sin(2*PI*5.5*t))+0.3*sin(4*PI*%.1f*%s*t)+"
                  "0.2*sin(6*PI*%.1f*%s*t)+0.1*sin(10*PI*%.1f*%s*t)",
                  root, note.c_str(), root, note.c_str(), root, note.c_str(), root, note.c_str());
  else
    std::snprintf(text, sizeof text,
                  "exp(-4*mod(t,%.3f))*(0.5*sin(2*PI*%.1f*%s*t)+0.3*sin(2*PI*%.1f*1.26*%s*t)+"
                  "0.2*sin(2*PI*%.1f*1.5*%s*t))",
                  beat, root, note.c_str(), root, note.c_str(), root, note.c_str());
  std::string expression = text;
  if (dice.Odds(0.5)) expression += "+0.6*(random(0)*2-1)*exp(-30*mod(t," + Number(beat * 2) + "))";
  return expression;
}

}  // namespace

std::vector<std::vector<Line>> Rhythms() {
  const fs::path dir = testsupport::SubtitleFixturesDir();
  std::vector<std::vector<Line>> rhythms;
  if (dir.empty()) return rhythms;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::size_t> sizes;
  for (const fs::path& file : files) {
    std::vector<Line> lines = CueTimes(file);
    // A film needs a few minutes of dialogue; the same film twice (one text
    // in two encodings) counts once.
    if (lines.size() < 150 || std::find(sizes.begin(), sizes.end(), lines.size()) != sizes.end())
      continue;
    sizes.push_back(lines.size());
    rhythms.push_back(std::move(lines));
  }
  return rhythms;
}

const Film& MakeFilm(const fs::path& dir, uint32_t seed, const Shape& shape) {
  static std::map<std::string, Film> made;
  std::string key = std::to_string(seed) + "/" + Number(shape.DialogueSeconds);
  for (const Passage& p : shape.Passages) key += "/" + Number(p.Start) + "+" + Number(p.Length);
  if (const auto found = made.find(key); found != made.end()) return found->second;

  static const std::vector<std::vector<Line>> rhythms = Rhythms();
  if (rhythms.empty()) throw std::runtime_error("no subtitle files to take a rhythm from");
  Dice dice(seed * 2246822519u + 3266489917u);
  Film film;
  film.Seed = seed;
  const std::size_t which = seed % rhythms.size();
  const std::vector<Line>& rhythm = rhythms[which];
  // A stretch of the file, from a drawn cue on, made to start at kLeadIn.
  // Of three drawn places, the one with the most lines: a film's talk, not
  // its quiet reel.
  const double last = rhythm.back().Start - shape.DialogueSeconds;
  std::size_t first = 0, most = 0;
  for (int draw = 0; draw < 3; ++draw) {
    const double from = dice.Real(rhythm.front().Start, std::max(rhythm.front().Start, last));
    std::size_t at = 0, count = 0;
    while (at + 1 < rhythm.size() && rhythm[at].Start < from) ++at;
    while (at + count < rhythm.size() &&
           rhythm[at + count].End - rhythm[at].Start < shape.DialogueSeconds)
      ++count;
    if (count > most) most = count, first = at;
  }
  const double shift = kLeadIn - rhythm[first].Start;
  for (std::size_t i = first;
       i < rhythm.size() && rhythm[i].End - rhythm[first].Start < shape.DialogueSeconds; ++i)
    film.Lines.push_back({rhythm[i].Start + shift, rhythm[i].End + shift});

  // Passages of music alone, in gaps between lines; later lines move on.
  std::vector<Passage> passages = shape.Passages;
  if (passages.empty() && dice.Odds(0.6))
    passages.push_back({dice.Real(40.0, shape.DialogueSeconds - 30.0), dice.Real(10.0, 50.0)});
  for (Passage& p : passages) {
    std::size_t at = 1;
    while (at + 1 < film.Lines.size() && film.Lines[at].Start < p.Start) ++at;
    const double gapStart = film.Lines[at - 1].End + 0.6;
    p.Start = gapStart;
    const double move = gapStart + p.Length + 0.6 - film.Lines[at].Start;
    for (std::size_t i = at; i < film.Lines.size(); ++i)
      film.Lines[i].Start += move, film.Lines[i].End += move;
    film.Passages.push_back(p);
  }
  film.Seconds = film.Lines.back().End + 5.0;

  // The cast and who says what: one speaks most, the others answer.
  std::vector<Character> cast;
  const int people = dice.Whole(2, 5);
  for (int i = 0; i < people; ++i) cast.push_back(DrawCharacter(dice));
  const fs::path lines = dir / "other-lines";
  fs::create_directories(lines);
  std::vector<Said> said;
  std::size_t speaker = 0, continued = 0, over = 0;
  double voiceFree = 0.0;  // where the last voice placed ends
  for (std::size_t i = 0; i < film.Lines.size(); ++i) {
    const Line& line = film.Lines[i];
    const double nextStart = i + 1 < film.Lines.size() ? film.Lines[i + 1].Start : film.Seconds;
    // A line that carries on a speech: its voice began with the cue before
    // and goes on without a pause, so the cue starts in the voice.
    const bool carriesOn = i > 0 && line.Start - film.Lines[i - 1].End < 0.35 && dice.Odds(0.5);
    double lead;
    if (carriesOn)
      lead = dice.Real(-0.1, 0.0), ++continued;
    else if (dice.Odds(0.65))
      lead = dice.Real(-0.03, 0.08);
    else
      lead = dice.Real(0.08, 0.6);
    if (!carriesOn && dice.Odds(0.6)) speaker = std::size_t(dice.Whole(0, people - 1));
    const double at = std::max(voiceFree + (carriesOn ? 0.0 : 0.15), line.Start + lead);
    // The voice stops before the cue ends (people leave a line up a
    // little longer), unless the next line carries it on.
    const bool nextCarries = i + 1 < film.Lines.size() && nextStart - line.End < 0.35;
    const double until =
        nextCarries ? nextStart - 0.02 : std::min(line.End - dice.Real(0.1, 0.8), nextStart - 0.2);
    if (until - at < 0.25) continue;
    said.push_back(SayIn(lines, dice, cast[speaker], at, until - at));
    voiceFree = said.back().At + said.back().Keep;
    // Now and then someone else talks over the end of the line.
    if (people > 1 && said.back().Keep > 1.5 && dice.Odds(0.1)) {
      const Character& other =
          cast[(speaker + 1 + std::size_t(dice.Whole(0, people - 2))) % cast.size()];
      const double start = at + dice.Real(0.4, said.back().Keep - 0.8);
      said.push_back(SayIn(lines, dice, other, start, std::min(1.2, until - start)));
      ++over;
    }
  }

  // The sounds under the dialogue.
  static const char* noises[] = {"white", "pink", "brown", "crowd", "rumble"};
  const std::string noise = noises[dice.Whole(0, 4)];
  const double noiseLevel = dice.Real(0.01, noise == "rumble" ? 0.4 : 0.12);
  bool sung = false;
  const std::string music = MusicExpression(dice, sung);
  const bool echo = dice.Odds(0.4);
  const bool surround = dice.Odds(0.35);
  // In 5.1 the music in the fronts is louder than the voices in the centre.
  const double musicUnder = surround          ? dice.Real(0.6, 1.0)
                            : dice.Odds(0.55) ? dice.Real(0.05, 0.35)
                                              : 0.0;
  std::vector<double> bangs;
  for (double t = dice.Real(3.0, 30.0); t < film.Seconds; t += dice.Real(5.0, 40.0))
    bangs.push_back(t);

  for (const Said& s : said) film.Voices.push_back({s.At, s.At + s.Keep});
  std::string inputs;
  std::string graph;
  const std::string length = Number(film.Seconds);
  int input = 0;
  // The dialogue, line by line.
  graph += "anullsrc=r=" + std::to_string(kRate) + ":cl=mono,atrim=0:" + length + "[d0];";
  for (std::size_t k = 0; k < said.size(); ++k) {
    const Said& s = said[k];
    inputs += " -i " + s.Wav.string();
    graph += "[" + std::to_string(input++) + ":a]aresample=" + std::to_string(kRate) +
             ",atrim=0:" + Number(s.Keep) +
             ",afade=t=out:st=" + Number(std::max(0.0, s.Keep - 0.05)) + ":d=0.05";
    if (s.By->Telephone) graph += ",highpass=f=320,lowpass=f=3300,acompressor";
    graph += ",volume=" + Number(s.Level) + ",adelay=" + std::to_string(std::lround(s.At * 1000)) +
             "[d" + std::to_string(k + 1) + "];";
  }
  for (std::size_t k = 0; k <= said.size(); ++k) graph += "[d" + std::to_string(k) + "]";
  graph += "amix=inputs=" + std::to_string(said.size() + 1) + ":normalize=0:duration=first";
  if (echo)
    graph += ",aecho=0.8:0.6:" + Number(dice.Real(25, 60)) + "|" + Number(dice.Real(70, 140)) +
             ":0.4|0.25";
  graph += "[dialogue];";
  // The noise: coloured, a crowd of quiet voices looped, or a rumble.
  const std::string noiseSeed = std::to_string(seed);
  if (noise == "crowd") {
    const int voices = 8;
    for (int v = 0; v < voices; ++v) {
      Character c = DrawCharacter(dice);
      c.Telephone = false;
      const fs::path wav = Speak(lines, c, Words(dice, 30));
      inputs += " -i " + wav.string();
      graph += "[" + std::to_string(input++) + ":a]aresample=" + std::to_string(kRate) +
               ",aloop=loop=-1:size=" + std::to_string(int(WavSeconds(wav) * kRate) / 2 * 2) +
               ",atrim=0:" + length + ",adelay=" + std::to_string(dice.Whole(0, 3000)) +
               ",atrim=0:" + length + ",volume=" + Number(dice.Real(0.3, 1.0)) + "[c" +
               std::to_string(v) + "];";
    }
    for (int v = 0; v < voices; ++v) graph += "[c" + std::to_string(v) + "]";
    graph += "amix=inputs=" + std::to_string(voices) +
             ":normalize=0,lowpass=f=2500,volume=" + Number(noiseLevel * 2.0) + "[noise];";
  } else if (noise == "rumble") {
    graph += "anoisesrc=r=" + std::to_string(kRate) + ":c=brown:seed=" + noiseSeed +
             ":a=1:d=" + length +
             ",lowpass=f=140,lowpass=f=140,tremolo=f=0.2:d=0.6,volume=" + Number(noiseLevel) +
             "[noise];";
  } else {
    graph += "anoisesrc=r=" + std::to_string(kRate) + ":c=" + noise + ":seed=" + noiseSeed +
             ":a=" + Number(noiseLevel) + ":d=" + length + "[noise];";
  }
  // Bangs and slams: a thump of noise dying away fast.
  std::string bang = "0";
  for (const double t : bangs)
    bang += "+if(between(t," + Number(t) + "," + Number(t + 0.5) + "),exp(-14*(t-" + Number(t) +
            ")),0)";
  graph += "aevalsrc='(random(0)*2-1)*(" + bang + ")':s=" + std::to_string(kRate) + ":d=" + length +
           ",lowpass=f=" + Number(dice.Real(600, 3000)) + ",volume=" + Number(dice.Real(0.3, 0.9)) +
           "[bangs];";
  // Music under the speech at its level, and alone in the passages at full.
  std::string loud = "0";
  for (const Passage& p : film.Passages)
    loud += "+between(t," + Number(p.Start) + "," + Number(p.Start + p.Length) + ")";
  graph += "aevalsrc='" + music + "':s=" + std::to_string(kRate) + ":d=" + length +
           ",volume=eval=frame:volume='0.35*if(" + loud + ",1," + Number(musicUnder) + ")'[music];";
  if (surround) {
    // Dialogue in the centre, quieter than the music in the fronts.
    graph +=
        "[music]asplit=2[ml][mr];[noise]asplit=3[nl][nr][nb];[bangs]asplit=2[bl][br];"
        "[ml][nl][bl]amix=inputs=3:normalize=0,volume=1.6[fl];"
        "[mr][nr][br]amix=inputs=3:normalize=0,volume=1.6[fr];"
        "[dialogue]volume=0.5[fc];[nb]lowpass=f=120,volume=2[lfe];"
        "anoisesrc=r=" +
        std::to_string(kRate) + ":c=pink:seed=" + noiseSeed + "1:a=" + Number(noiseLevel * 0.5) +
        ":d=" + length +
        ",asplit=2[sl][sr];"
        "[fl][fr][fc][lfe][sl][sr]join=inputs=6:channel_layout=5.1:"
        "map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-BL|5.0-BR[out]";
  } else {
    graph += "[dialogue][noise][bangs][music]amix=inputs=4:normalize=0[out]";
  }
  const fs::path script = dir / ("other-" + std::to_string(seed) + ".graph");
  testsupport::WriteFile(script, graph);
  film.File = dir / ("other-" + std::to_string(seed) + "-" + std::to_string(made.size()) + ".mkv");
  const std::string command = "ffmpeg -nostdin -y -v error" + inputs +
                              " -f lavfi -i color=black:s=64x36:r=5:d=" + length +
                              " -filter_complex_script " + script.string() + " -map '[out]' -map " +
                              std::to_string(input) + ":v -c:v mpeg4 -c:a flac -t " + length + " ";
  // The command beside the film, to make it again by hand with other output.
  testsupport::WriteFile(fs::path(script).replace_extension(".sh"), command + "\"$@\"\n");
  Shell(command + film.File.string());

  SPEECHTRACK::SpeechDetector detector;
  if (!detector.Ready()) throw std::runtime_error(detector.ErrorText);
  AUDIOSAMPLES::AudioSampleReader reader;
  if (!reader.Read(film.File.string(), 0,
                   [&](const float* samples, std::size_t count, int64_t position) {
                     detector.Add(samples, count, position);
                   }))
    throw std::runtime_error(reader.ErrorText);
  film.Track = detector.Finish();

  std::string cast_;
  for (const Character& c : cast) cast_ += c.Text() + ", ";
  char text[400];
  std::snprintf(text, sizeof text,
                "other film %u: rhythm of file %zu, %.0f s, %zu lines (%zu carry on, %zu spoken "
                "over); %s; %s noise %.2f, %zu bangs, %s music %.2f under%s%s; %zu passages",
                seed, which, film.Seconds, film.Lines.size(), continued, over, cast_.c_str(),
                noise.c_str(), noiseLevel, bangs.size(), sung ? "sung" : "played", musicUnder,
                echo ? ", echo" : "", surround ? ", 5.1" : "", film.Passages.size());
  film.Description = text;
  return made.emplace(key, std::move(film)).first->second;
}

}  // namespace otherfilms
