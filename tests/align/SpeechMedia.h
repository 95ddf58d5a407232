#pragma once

// Films made for the alignment tests: sentences spoken by espeak-ng at known
// times over noise and, when asked, a sung melody, muxed with black pictures
// by ffmpeg. The cues are where each sentence really is.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace speechmedia {

namespace fs = std::filesystem;

struct Cue {
  double Start;
  double End;
  std::string Text;
};

struct Recipe {
  uint32_t Seed = 1;
  double Seconds = 180.0;
  bool Speech = true;
  double MusicLevel = 0.0;  // peak of the melody against speech's 1
  double NoiseLevel = 0.02;
  bool Surround = false;  // 5.1: speech in the centre only, music and noise on the front pair
};

struct Film {
  fs::path File;
  std::vector<Cue> Cues;
};

// The sentences the films speak.
std::vector<std::string> Sentences();

// Writes the film into `dir` under `name` (with .mkv); the spoken sentences
// are kept in `dir` and reused by later films.
Film MakeFilm(const fs::path& dir, const std::string& name, const Recipe& recipe);

// A film with music put in: `speech`'s sound with `music`'s put in at `at`
// seconds. Its cues are where the sentences now are; `original` gets those
// of `speech` that a file made for it would have (a cue across `at` is left
// out of both).
Film InsertMusic(const fs::path& dir, const std::string& name, const Film& speech,
                 const Film& music, double at, double length, std::vector<Cue>& original);

// The cues as SubRip with each time passed through `timing`.
std::string SubRip(const std::vector<Cue>& cues, const std::function<double(double)>& timing);
// The start times of a SubRip text, in file order.
std::vector<double> SubRipStarts(const std::string& text);

struct Errors {
  double Median = 0.0;
  double P95 = 0.0;
};
// How far each found start lies from where it belongs; infinite when the
// counts differ.
Errors StartErrors(const std::vector<double>& found, const std::vector<Cue>& truth);

// The samples of a mono 16-bit WAV file, as -1 to 1; its rate in `rate`.
std::vector<float> ReadWav(const fs::path& file, int& rate);
void WriteWav(const fs::path& file, const std::vector<float>& interleaved, int channels, int rate);

// A held-note melody with strong harmonics in the speech band.
std::vector<float> Melody(std::size_t samples, int rate, uint32_t seed);

}  // namespace speechmedia
