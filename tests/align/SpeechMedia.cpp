#include "align/SpeechMedia.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>

#include "support/TestSupport.h"

namespace speechmedia {
namespace {

const char* const kSentences[] = {
    "The train leaves at seven, so we must hurry.",
    "I never said that I would come back tonight.",
    "Can you hear the rain on the roof?",
    "Nobody in this town remembers the old mill.",
    "Put the letter on the table and sit down.",
    "We found the key under the stone by the gate.",
    "Tomorrow the river will be too high to cross.",
    "Where were you when the lights went out?",
    "She told me the story twice, and it changed each time.",
    "Keep the dog inside until the storm is over.",
    "That is the last boat to the island.",
    "My brother builds clocks in a shed behind the house.",
    "If you listen closely, you can hear the sea.",
    "They painted the door green the summer we left.",
    "Give me one good reason to stay.",
    "The bridge was closed for repairs all winter.",
};
const char* const kVoices[] = {"en+m3", "en+f2", "en-us+m1", "en+f4"};
const int kSpeeds[] = {165, 150, 180, 160};

// A sentence spoken into its own file once; its silence trimmed off.
std::vector<float> Sentence(const fs::path& dir, std::size_t index, int& rate) {
  const std::size_t text = index % std::size(kSentences), voice = index % std::size(kVoices);
  const fs::path wav =
      dir / ("sentence" + std::to_string(text) + "_" + std::to_string(voice) + ".wav");
  if (!fs::exists(wav)) {
    const std::string command = "espeak-ng -w " + wav.string() + " -v " + kVoices[voice] + " -s " +
                                std::to_string(kSpeeds[voice]) + " \"" + kSentences[text] + "\"";
    if (testsupport::RunShell(command) != 0) throw std::runtime_error("espeak-ng failed");
  }
  std::vector<float> samples = ReadWav(wav, rate);
  const auto loud = [](float s) { return std::fabs(s) > 0.01f; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  return first < last ? std::vector<float>(first, last) : std::vector<float>();
}

uint32_t Le32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

std::vector<std::string> Sentences() { return {std::begin(kSentences), std::end(kSentences)}; }

std::vector<float> ReadWav(const fs::path& file, int& rate) {
  const std::string bytes = testsupport::ReadFile(file);
  std::vector<float> samples;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = std::min<uint32_t>(Le32(&bytes[at + 4]), uint32_t(bytes.size() - at - 8));
    if (id == "fmt ") rate = int(Le32(&bytes[at + 12]));
    if (id == "data") {
      for (std::size_t i = 0; i + 1 < size; i += 2) {
        int16_t s;
        std::memcpy(&s, &bytes[at + 8 + i], 2);
        samples.push_back(float(s) / 32768.0f);
      }
    }
    at += 8 + size + (size & 1);
  }
  return samples;
}

void WriteWav(const fs::path& file, const std::vector<float>& interleaved, int channels, int rate) {
  std::string out = "RIFF....WAVEfmt ";
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xff);
  };
  put(16, 4);
  put(1, 2);
  put(uint32_t(channels), 2);
  put(uint32_t(rate), 4);
  put(uint32_t(rate * channels * 2), 4);
  put(uint32_t(channels * 2), 2);
  put(16, 2);
  out += "data";
  put(uint32_t(interleaved.size() * 2), 4);
  for (float s : interleaved)
    put(uint16_t(int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f))), 2);
  const uint32_t riff = uint32_t(out.size() - 8);
  std::memcpy(&out[4], &riff, 4);
  testsupport::WriteFile(file, out);
}

std::vector<float> Melody(std::size_t samples, int rate, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pitch(55, 72);
  std::uniform_real_distribution<double> length(0.4, 0.9);
  std::vector<float> out(samples, 0.0f);
  for (std::size_t at = 0; at < samples;) {
    const double f0 = 440.0 * std::pow(2.0, (pitch(random) - 69) / 12.0);
    const std::size_t n = std::size_t(length(random) * rate);
    for (std::size_t i = 0; i < n && at + i < samples; ++i) {
      const double t = double(i) / rate;
      const double envelope = std::min({1.0, t / 0.03, double(n - i) / rate / 0.05});
      double value = 0.0;
      for (int h = 1; h <= 10; ++h) value += std::sin(2.0 * M_PI * f0 * h * t) / h;
      out[at + i] = float(0.35 * envelope * value);
    }
    at += n;
  }
  return out;
}

Film MakeFilm(const fs::path& dir, const std::string& name, const Recipe& recipe) {
  std::mt19937 random(recipe.Seed);
  std::uniform_real_distribution<double> gap(0.6, 3.0);
  const int rate = 22050;
  const std::size_t length = std::size_t(recipe.Seconds * rate);
  std::vector<float> speech(length, 0.0f);
  Film film;
  double at = 1.0 + gap(random);
  for (std::size_t index = recipe.Seed * 7; recipe.Speech; ++index) {
    int sentenceRate = rate;
    const std::vector<float> sentence = Sentence(dir, index, sentenceRate);
    const std::size_t start = std::size_t(at * rate);
    if (start + sentence.size() + rate >= length) break;
    std::copy(sentence.begin(), sentence.end(), speech.begin() + std::ptrdiff_t(start));
    film.Cues.push_back({double(start) / rate, double(start + sentence.size()) / rate,
                         kSentences[index % std::size(kSentences)]});
    at = double(start + sentence.size()) / rate + gap(random);
  }
  const std::vector<float> music =
      recipe.MusicLevel > 0.0 ? Melody(length, rate, recipe.Seed + 99) : std::vector<float>();
  std::normal_distribution<float> noise(0.0f, float(recipe.NoiseLevel));
  const int channels = recipe.Surround ? 6 : 1;
  std::vector<float> mixed(length * std::size_t(channels), 0.0f);
  for (std::size_t i = 0; i < length; ++i) {
    const float bed = (music.empty() ? 0.0f : float(recipe.MusicLevel) * music[i]) + noise(random);
    if (!recipe.Surround) {
      mixed[i] = speech[i] + bed;
      continue;
    }
    float* frame = &mixed[i * 6];  // FL FR FC LFE BL BR
    frame[0] = frame[1] = bed;
    frame[2] = speech[i] + 0.1f * noise(random);
    frame[4] = frame[5] = 0.5f * bed;
  }
  const fs::path wav = dir / (name + ".wav");
  WriteWav(wav, mixed, channels, rate);
  // AAC in MP4, whose edit list keeps the encoder's delay out of the
  // timing; plain samples elsewhere, so that the cues are exact.
  film.File = dir / (name + (recipe.Surround ? ".mp4" : ".mkv"));
  testsupport::Ffmpeg("-f lavfi -i color=c=black:s=64x48:r=25 " +
                      std::string(recipe.Surround ? "-channel_layout 5.1 " : "") + "-i " +
                      wav.string() + " -map 0:v -map 1:a -shortest -c:v mpeg4 -q:v 31 " +
                      (recipe.Surround ? "-c:a aac -b:a 192k " : "-c:a pcm_s16le ") +
                      film.File.string());
  fs::remove(wav);
  return film;
}

Film InsertMusic(const fs::path& dir, const std::string& name, const Film& speech,
                 const Film& music, double at, double length, std::vector<Cue>& original) {
  Film film{dir / (name + ".mkv"), {}};
  const std::string cut = std::to_string(at);
  testsupport::Ffmpeg("-i " + speech.File.string() + " -i " + music.File.string() +
                      " -filter_complex \"[0:a]atrim=0:" + cut +
                      ",asetpts=N/SR/TB[a];[0:a]atrim=" + cut +
                      ",asetpts=N/SR/TB[b];[a][1:a][b]concat=n=3:v=0:a=1[out]\" -map \"[out]\" "
                      "-c:a pcm_s16le " +
                      film.File.string());
  original.clear();
  for (const Cue& cue : speech.Cues) {
    if (cue.Start < at && cue.End > at) continue;
    original.push_back(cue);
    const double shift = cue.Start >= at ? length : 0.0;
    film.Cues.push_back({cue.Start + shift, cue.End + shift, cue.Text});
  }
  return film;
}

std::string SubRip(const std::vector<Cue>& cues, const std::function<double(double)>& timing) {
  std::ostringstream out;
  auto time = [](double seconds) {
    const long long ms = std::llround(std::max(seconds, 0.0) * 1000.0);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return std::string(text);
  };
  for (std::size_t i = 0; i < cues.size(); ++i)
    out << i + 1 << "\n"
        << time(timing(cues[i].Start)) << " --> " << time(timing(cues[i].End)) << "\n"
        << cues[i].Text << "\n\n";
  return out.str();
}

std::vector<double> SubRipStarts(const std::string& text) {
  std::vector<double> starts;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int h, m, s, ms;
    if (line.find(" --> ") != std::string::npos &&
        std::sscanf(line.c_str(), "%d:%d:%d,%d", &h, &m, &s, &ms) == 4)
      starts.push_back(h * 3600.0 + m * 60.0 + s + ms / 1000.0);
  }
  return starts;
}

Errors StartErrors(const std::vector<double>& found, const std::vector<Cue>& truth) {
  if (found.size() != truth.size() || found.empty())
    return {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  std::vector<double> errors;
  for (std::size_t i = 0; i < found.size(); ++i)
    errors.push_back(std::fabs(found[i] - truth[i].Start));
  std::sort(errors.begin(), errors.end());
  const auto at = [&](double share) {
    return errors[std::min(errors.size() - 1, std::size_t(share * double(errors.size())))];
  };
  return {at(0.5), at(0.95)};
}

}  // namespace speechmedia
