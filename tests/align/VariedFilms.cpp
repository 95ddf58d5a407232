#include "align/VariedFilms.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "media/AudioSamples.h"
#include "support/TestSupport.h"

namespace variedfilms {
namespace {

constexpr int kRate = 22050;

// The tests' sentences, and short lines and long ones besides.
const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> all = speechmedia::Sentences();
    for (const char* more :
         {"Wait.", "Over here!", "Really?", "No, not that one, the one beside it.",
          "You are late again, and the others have gone without you.", "Thank you.",
          "I have been thinking about what you said yesterday at the station.", "Listen to me."})
      all.push_back(more);
    return all;
  }();
  return lines;
}

struct Voice {
  bool Flite;
  std::string Name;
  double Speed;  // words a minute for espeak-ng; a duration stretch for flite
};

const char* const kEspeakVoices[] = {
    "en+m1",          "en+m2",     "en+m3",    "en+m4",    "en+m7",
    "en+f1",          "en+f2",     "en+f3",    "en+f5",    "en-us+m3",
    "en-gb-scotland", "en-029+f4", "en+klatt", "en+croak", "en-gb-x-rp+m5",
};
const char* const kFliteVoices[] = {"slt", "rms", "awb", "kal16", "kal"};

std::vector<Voice> DrawVoices(std::mt19937& random) {
  std::vector<Voice> voices;
  const int count = std::uniform_int_distribution<int>(2, 3)(random);
  const bool withFlite = std::uniform_int_distribution<int>(0, 3)(random) != 0;
  for (int i = 0; i < count; ++i) {
    if (withFlite && i == 0) {
      voices.push_back({true,
                        kFliteVoices[std::uniform_int_distribution<std::size_t>(0, 4)(random)],
                        std::uniform_real_distribution<double>(0.85, 1.3)(random)});
      continue;
    }
    voices.push_back({false,
                      kEspeakVoices[std::uniform_int_distribution<std::size_t>(
                          0, std::size(kEspeakVoices) - 1)(random)],
                      double(std::uniform_int_distribution<int>(125, 200)(random))});
  }
  return voices;
}

// Linear interpolation is enough for speech that only has to be found.
std::vector<float> Resampled(const std::vector<float>& in, int rate) {
  if (rate == kRate || in.empty()) return in;
  const std::size_t n = std::size_t(double(in.size()) * kRate / rate);
  std::vector<float> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double at = double(i) * rate / kRate;
    const std::size_t k = std::min(std::size_t(at), in.size() - 1);
    const double f = at - double(k);
    out[i] = float(in[k] * (1.0 - f) + in[std::min(k + 1, in.size() - 1)] * f);
  }
  return out;
}

std::vector<float> Spoken(const fs::path& dir, std::size_t line, const Voice& voice) {
  char name[160];
  std::snprintf(name, sizeof name, "line%zu_%s_%s_%.2f.wav", line, voice.Flite ? "flite" : "espeak",
                voice.Name.c_str(), voice.Speed);
  const fs::path wav = dir / name;
  if (!fs::exists(wav)) {
    char speed[64];
    std::snprintf(speed, sizeof speed, "%.2f", voice.Speed);
    const std::string command =
        voice.Flite ? "flite -voice " + voice.Name + " --setf duration_stretch=" + speed +
                          " -t \"" + Lines()[line] + "\" -o " + wav.string()
                    : "espeak-ng -w " + wav.string() + " -v " + voice.Name + " -s " +
                          std::to_string(int(voice.Speed)) + " \"" + Lines()[line] + "\"";
    if (testsupport::RunShell(command) != 0) throw std::runtime_error("can't speak: " + command);
  }
  int rate = kRate;
  std::vector<float> samples = Resampled(speechmedia::ReadWav(wav, rate), rate);
  float peak = 0.0f;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  const auto loud = [peak](float s) { return std::fabs(s) > 0.03f * peak; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  std::vector<float> trimmed =
      first < last ? std::vector<float>(first, last) : std::vector<float>();
  // The engines speak at different loudness; a film's mix evens them out.
  for (float& s : trimmed) s *= peak > 0.0f ? 0.7f / peak : 0.0f;
  return trimmed;
}

// Chords on a plucked, buzzy timbre with a kick and a snare: music with
// sharp onsets, unlike the sung melody's held notes.
std::vector<float> Instrumental(std::size_t samples, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> hiss(0.0f, 1.0f);
  std::vector<float> out(samples, 0.0f);
  const double beat = std::uniform_real_distribution<double>(0.35, 0.6)(random);
  const std::size_t beatSamples = std::size_t(beat * kRate);
  for (std::size_t bar = 0; bar * 4 * beatSamples < samples; ++bar) {
    const int root = std::uniform_int_distribution<int>(45, 57)(random);
    for (int b = 0; b < 4; ++b) {
      const std::size_t at = (bar * 4 + std::size_t(b)) * beatSamples;
      for (std::size_t i = 0; i < beatSamples && at + i < samples; ++i) {
        const double t = double(i) / kRate;
        double value = 0.0;
        for (const int step : {0, 4, 7}) {
          const double f0 = 440.0 * std::pow(2.0, (root + step - 69) / 12.0);
          for (int h = 1; h <= 6; ++h) value += std::sin(2.0 * M_PI * f0 * h * t) / (h * h);
        }
        value *= 0.25 * std::exp(-3.0 * t);
        if (b % 2 == 0)
          value += 0.6 * std::sin(2.0 * M_PI * 60.0 * t) * std::exp(-25.0 * t);
        else
          value += 0.25 * hiss(random) * std::exp(-30.0 * t);
        out[at + i] = float(value);
      }
    }
  }
  return out;
}

std::vector<float> Music(bool sung, std::size_t samples, uint32_t seed) {
  return sung ? speechmedia::Melody(samples, kRate, seed) : Instrumental(samples, seed);
}

SPEECHTRACK::SpeechTrack Detect(const fs::path& wav) {
  SPEECHTRACK::SpeechDetector detector;
  if (!detector.Ready()) throw std::runtime_error(detector.ErrorText);
  AUDIOSAMPLES::AudioSampleReader reader;
  if (!reader.Read(wav.string(), 0, [&](const float* samples, std::size_t count, int64_t position) {
        detector.Add(samples, count, position);
      }))
    throw std::runtime_error(reader.ErrorText);
  return detector.Finish();
}

}  // namespace

BaseFilm MakeBaseFilm(const fs::path& dir, uint32_t seed) {
  std::mt19937 random(seed * 2654435761u + 17u);
  const auto uniform = [&](double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(random);
  };
  BaseFilm film;
  film.Seed = seed;
  film.Seconds = 900.0;
  const std::vector<Voice> voices = DrawVoices(random);
  const double noise = std::exp(uniform(std::log(0.003), std::log(0.06)));
  const int bed = std::uniform_int_distribution<int>(0, 2)(random);  // none, sung, instrumental
  const double bedLevel = bed == 0 ? 0.0 : uniform(0.03, 0.15);
  const double gapMin = uniform(0.2, 0.6), gapMax = uniform(1.5, 4.0);

  // Passages with no dialogue, 10 s to 2.5 min, apart from each other.
  const int passages = std::uniform_int_distribution<int>(2, 4)(random);
  for (int tries = 0; int(film.Passages.size()) < passages && tries < 100; ++tries) {
    const Passage p{uniform(40.0, film.Seconds - 200.0), uniform(10.0, 150.0)};
    bool apart = true;
    for (const Passage& q : film.Passages)
      apart = apart && (p.Start > q.Start + q.Length + 30.0 || q.Start > p.Start + p.Length + 30.0);
    if (apart) film.Passages.push_back(p);
  }
  std::sort(film.Passages.begin(), film.Passages.end(),
            [](const Passage& a, const Passage& b) { return a.Start < b.Start; });

  const std::size_t length = std::size_t(film.Seconds * kRate);
  std::vector<float> mix(length, 0.0f);
  std::normal_distribution<float> hiss(0.0f, float(noise));
  for (float& s : mix) s = hiss(random);
  if (bed != 0) {
    const std::vector<float> music = Music(bed == 1, length, seed + 7);
    for (std::size_t i = 0; i < length; ++i) mix[i] += float(bedLevel) * music[i];
  }
  std::string passageText;
  for (const Passage& p : film.Passages) {
    const bool quiet = std::uniform_int_distribution<int>(0, 3)(random) == 0;
    const bool sung = std::uniform_int_distribution<int>(0, 1)(random) == 1;
    const double level = uniform(0.4, 1.0);
    const std::size_t from = std::size_t(p.Start * kRate), n = std::size_t(p.Length * kRate);
    if (!quiet) {
      const std::vector<float> music = Music(sung, n, seed * 31 + uint32_t(from));
      for (std::size_t i = 0; i < n && from + i < length; ++i)
        mix[from + i] += float(level) * music[i];
    }
    char text[64];
    std::snprintf(text, sizeof text, " %.0f s %s at %.0f s;", p.Length,
                  quiet  ? "quiet"
                  : sung ? "sung"
                         : "instrumental",
                  p.Start);
    passageText += text;
  }

  const auto inPassage = [&](double from, double to) {
    for (const Passage& p : film.Passages)
      if (to > p.Start - 0.5 && from < p.Start + p.Length + 0.5) return true;
    return false;
  };
  double at = 2.0 + uniform(0.0, 2.0);
  std::size_t speaker = 0;
  while (at < film.Seconds - 6.0) {
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
      speaker = std::uniform_int_distribution<std::size_t>(0, voices.size() - 1)(random);
    const std::size_t line =
        std::uniform_int_distribution<std::size_t>(0, Lines().size() - 1)(random);
    const std::vector<float> said = Spoken(dir, line, voices[speaker]);
    const double seconds = double(said.size()) / kRate;
    if (inPassage(at, at + seconds)) {
      at += 1.0;
      continue;
    }
    if (at + seconds + 1.0 >= film.Seconds) break;
    const std::size_t start = std::size_t(at * kRate);
    for (std::size_t i = 0; i < said.size(); ++i) mix[start + i] += said[i];
    film.Cues.push_back(
        {double(start) / kRate, double(start + said.size()) / kRate, Lines()[line]});
    at = double(start + said.size()) / kRate + uniform(gapMin, gapMax);
  }

  char text[256];
  std::string voiceText;
  for (const Voice& v : voices) {
    std::snprintf(text, sizeof text, "%s %s %.2f, ", v.Flite ? "flite" : "espeak-ng",
                  v.Name.c_str(), v.Speed);
    voiceText += text;
  }
  std::snprintf(text, sizeof text, "noise %.3f, bed %s %.2f, gaps %.1f-%.1f s;", noise,
                bed == 0   ? "none"
                : bed == 1 ? "sung"
                           : "instrumental",
                bedLevel, gapMin, gapMax);
  film.Description = "film " + std::to_string(seed) + ": " + voiceText + text + passageText;

  const fs::path wav = dir / ("varied" + std::to_string(seed) + ".wav");
  speechmedia::WriteWav(wav, mix, 1, kRate);
  film.Track = Detect(wav);
  fs::remove(wav);
  return film;
}

}  // namespace variedfilms
