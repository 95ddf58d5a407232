#include "align/SpeechTrack.h"

#include <fftw3.h>
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <numeric>

namespace SPEECHTRACK {
namespace {

constexpr int kRate = 16000;
constexpr int kHop = kRate / 100;  // one frame
constexpr int kWindow = 512;       // 32 ms: long enough to part the harmonics
constexpr int kBands = 16;
constexpr int kHistory = 4;  // frames between the spectra compared for change
constexpr float kSilentDb = -120.0f;
// Dialogue is this far above the track's quiet floor; or, where a steady
// noise fills the band as loud as the voice, its bands stand this far on
// average above their own quiet floors: a voice lifts the bands its
// formants lie in, a hiss every band alike.
constexpr float kAboveFloorDb = 6.0f;
constexpr float kAboveBandFloorsDb = 4.0f;
// Each band's level is kept per frame in steps of kBandStepDb from kSilentDb.
constexpr float kBandStepDb = 0.75f;
using BandLevelStore = std::deque<std::array<uint8_t, kBands>>;
// A steady noise's band keeps its quietest frames within this of each other
// (the 4th and the 16th percentile).
constexpr float kSteadySpreadDb = 3.0f;
constexpr float kMaxBedAboveBandsDb = 6.0f;
constexpr float kLeastHissDb = kSilentDb + 40.0f;
// A sentence's first sounds are quieter than its vowels: its start is moved
// back to where the speech band first rises this far above the floor.
constexpr float kEdgeDb = 3.0f;
constexpr int kEdgeReach = 25;
constexpr int kBackgroundReach = 50;
constexpr float kAbovePauseDb = 1.0f;
// How much the speech band's shape must change, on average over the frames
// around, for a voice to be taken as talking rather than singing or playing.
constexpr float kChangeDb = 3.0f;
constexpr int kChangeReach = 40;  // frames either side
constexpr int kJoinFrames = 15;   // pauses inside a sentence
constexpr int kShortestRun = 5;
// People draw breath: a run with no pause this long is a song or a held
// score that changes like speech, not dialogue.
constexpr std::size_t kLongestRun = 2000;
constexpr int kPauseBeforeOnset = 30;
// Of the half second after an onset, at least this many frames are speech.
constexpr std::size_t kOnsetReach = 50;
constexpr std::size_t kSpokenAfterOnset = 20;

// The speech band, 250 Hz to 4 kHz, in bands of equal width on a log scale.
std::array<int, kBands + 1> BandEdges() {
  std::array<int, kBands + 1> edges{};
  for (int b = 0; b <= kBands; ++b) {
    const double hz = 250.0 * std::pow(16.0, double(b) / kBands);
    edges[std::size_t(b)] = int(std::lround(hz * kWindow / kRate));
  }
  return edges;
}

uint8_t BandStep(float db) {
  return uint8_t(std::clamp(std::lround((db - kSilentDb) / kBandStepDb), 0L, 255L));
}

float BandDb(uint8_t step) { return kSilentDb + float(step) * kBandStepDb; }

}  // namespace

double SpeechTrack::SpeechSeconds() const {
  return double(std::accumulate(Speech.begin(), Speech.end(), std::size_t(0))) * kFrameSeconds;
}

struct SpeechDetector::Analysis {
  Analysis() {
    Processing.reset(webrtc::AudioProcessing::Create());
    StrictProcessing.reset(webrtc::AudioProcessing::Create());
    Input = fftw_alloc_real(kWindow);
    Spectrum = fftw_alloc_complex(kWindow / 2 + 1);
    Plan = fftw_plan_dft_r2c_1d(kWindow, Input, Spectrum, FFTW_ESTIMATE);
    for (int i = 0; i < kWindow; ++i)
      Window[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kWindow));
    Frame.sample_rate_hz_ = kRate;
    Frame.num_channels_ = 1;
    Frame.samples_per_channel_ = kHop;
  }
  ~Analysis() {
    if (Plan != nullptr) fftw_destroy_plan(Plan);
    fftw_free(Input);
    fftw_free(Spectrum);
  }
  bool Usable() const {
    return Plan != nullptr && Detects(Processing, webrtc::VoiceDetection::kLowLikelihood) &&
           Detects(StrictProcessing, webrtc::VoiceDetection::kVeryLowLikelihood);
  }
  static bool Detects(const std::unique_ptr<webrtc::AudioProcessing>& processing,
                      webrtc::VoiceDetection::Likelihood likelihood) {
    return processing != nullptr &&
           processing->voice_detection()->Enable(true) == webrtc::AudioProcessing::kNoError &&
           processing->voice_detection()->set_likelihood(likelihood) ==
               webrtc::AudioProcessing::kNoError;
  }

  // The lenient detector finds where dialogue is, under music too; the
  // strict one leaves out the drums and plucked chords of a played score,
  // which the lenient one takes for a voice, so the pauses between lines,
  // where dialogue starts, survive under it.
  std::unique_ptr<webrtc::AudioProcessing> Processing;
  std::unique_ptr<webrtc::AudioProcessing> StrictProcessing;
  webrtc::AudioFrame Frame;
  webrtc::AudioFrame StrictFrame;
  double* Input = nullptr;
  fftw_complex* Spectrum = nullptr;
  fftw_plan Plan = nullptr;
  std::array<float, kWindow> Window{};
  std::array<float, kWindow> Recent{};  // the last kWindow samples, oldest at Head
  std::size_t Head = 0;
  int Filled = 0;  // new samples of the current frame
  std::array<int, kBands + 1> Edges = BandEdges();
  std::array<std::array<float, kBands>, kHistory> Bands{};
  std::size_t Count = 0;
  // Per frame.
  std::vector<uint8_t> Voice;
  std::vector<uint8_t> StrictVoice;
  std::vector<float> Level;   // the speech band's energy, dB
  std::vector<float> Change;  // mean change of its bands over kHistory frames, dB
  // In kBandStepDb steps. The largest thing kept; held in blocks, since a
  // vector's doubling would leave up to half its room unused on a long film.
  BandLevelStore BandLevels;
};

SpeechDetector::SpeechDetector() : analysis_(std::make_unique<Analysis>()) {
  if (!analysis_->Usable()) ErrorText = "the voice detector can't be started";
}

SpeechDetector::~SpeechDetector() = default;

void SpeechDetector::Add(const float* samples, std::size_t count, int64_t position) {
  Analysis& a = *analysis_;
  if (position < nextPosition_) {
    const int64_t overlap = std::min<int64_t>(nextPosition_ - position, int64_t(count));
    samples += overlap;
    count -= std::size_t(overlap);
  }
  // A gap is silence: whole frames of it are not worth analysing.
  static const std::array<float, kHop> zeros{};
  for (int64_t missing = position - nextPosition_; missing > 0;) {
    if (a.Filled == 0 && missing >= kHop) {
      AddSilentFrames(missing / kHop);
      missing %= kHop;
      continue;
    }
    const int64_t take = std::min<int64_t>(missing, kHop - a.Filled);
    Feed(zeros.data(), std::size_t(take));
    missing -= take;
  }
  Feed(samples, count);
}

void SpeechDetector::Feed(const float* samples, std::size_t count) {
  Analysis& a = *analysis_;
  for (std::size_t i = 0; i < count; ++i) {
    a.Recent[a.Head] = samples[i];
    a.Head = (a.Head + 1) % kWindow;
    const float scaled = std::clamp(samples[i] * 32767.0f, -32768.0f, 32767.0f);
    a.Frame.data_[a.Filled] = int16_t(scaled);
    if (++a.Filled == kHop) AnalyseFrame();
  }
  nextPosition_ += int64_t(count);
}

void SpeechDetector::AddSilentFrames(int64_t frames) {
  Analysis& a = *analysis_;
  for (int64_t i = 0; i < frames; ++i) {
    a.Voice.push_back(0);
    a.StrictVoice.push_back(0);
    a.Level.push_back(kSilentDb);
    a.Change.push_back(0.0f);
    a.BandLevels.push_back({});
  }
  a.Recent.fill(0.0f);
  for (auto& bands : a.Bands) bands.fill(kSilentDb);
  a.Count += std::size_t(std::max<int64_t>(frames, 0));
  nextPosition_ += frames * kHop;
}

void SpeechDetector::AnalyseFrame() {
  Analysis& a = *analysis_;
  a.Filled = 0;
  a.StrictFrame.CopyFrom(a.Frame);
  a.Processing->ProcessStream(&a.Frame);
  a.Voice.push_back(a.Processing->voice_detection()->stream_has_voice() ? 1 : 0);
  a.StrictProcessing->ProcessStream(&a.StrictFrame);
  a.StrictVoice.push_back(a.StrictProcessing->voice_detection()->stream_has_voice() ? 1 : 0);
  for (std::size_t i = 0; i < kWindow; ++i)
    a.Input[i] = a.Recent[(a.Head + i) % kWindow] * a.Window[i];
  fftw_execute(a.Plan);
  auto& bands = a.Bands[a.Count % kHistory];
  const auto& before = a.Bands[(a.Count + 1) % kHistory];  // kHistory - 1 frames back
  double total = 0.0, change = 0.0;
  for (int b = 0; b < kBands; ++b) {
    double energy = 1e-12;
    for (int k = a.Edges[std::size_t(b)];
         k < std::max(a.Edges[std::size_t(b) + 1], a.Edges[std::size_t(b)] + 1); ++k)
      energy += a.Spectrum[k][0] * a.Spectrum[k][0] + a.Spectrum[k][1] * a.Spectrum[k][1];
    total += energy;
    bands[std::size_t(b)] = float(10.0 * std::log10(energy));
    change += std::fabs(bands[std::size_t(b)] - before[std::size_t(b)]);
  }
  a.Level.push_back(float(10.0 * std::log10(total)));
  std::array<uint8_t, kBands> levels{};
  for (int b = 0; b < kBands; ++b) levels[std::size_t(b)] = BandStep(bands[std::size_t(b)]);
  a.BandLevels.push_back(levels);
  a.Change.push_back(float(change / kBands));
  ++a.Count;
}

namespace {

float QuietFloor(const std::vector<float>& level) {
  std::vector<float> heard;
  for (float value : level)
    if (value > kSilentDb + 1.0f) heard.push_back(value);
  if (heard.empty()) return 0.0f;
  const auto tenth = heard.begin() + std::ptrdiff_t(heard.size() / 10);
  std::nth_element(heard.begin(), tenth, heard.end());
  return *tenth;
}

// Where a steady noise fills the speech band as loud as the voice, the
// frames whose bands stand above the bands' own quiet floors: a voice lifts
// the bands its formants lie in well clear of a hiss, whose level each band
// keeps within a little. A band's floor is the level it keeps above in all
// but the quietest sixth of the heard frames, over a frame and its two
// neighbours together, since one frame's band is too few spectral lines to
// tell a voice from a hiss. Only the steady bands count, whose quietest
// frames lie close together; a crowd's or a score's spread wide, and there a
// level above the floor is no sign of a voice. None at all where the track
// falls silent between lines (its level alone tells there), or where its
// quiet floor is not the bands' floors together: a tune that never stops
// makes that floor itself, and stands far above the bands it leaves quiet.
std::vector<uint8_t> AboveSteadyBands(const BandLevelStore& levels, const std::vector<float>& level,
                                      float quietFloor) {
  const std::size_t n = levels.size();
  std::vector<uint8_t> lifted(n, 0);
  if (quietFloor < kLeastHissDb || n == 0) return lifted;
  static const std::array<double, 256> power = [] {
    std::array<double, 256> table{};
    for (std::size_t step = 0; step < table.size(); ++step)
      table[step] = std::pow(10.0, BandDb(uint8_t(step)) / 10.0);
    return table;
  }();
  // Each band's smoothed levels are made twice, for its floor and then for
  // the frames above it, rather than kept: on a long film they would cost
  // more memory than everything else the detector keeps.
  const auto smoothedAt = [&](std::size_t t, std::size_t b) {
    const std::size_t from = t > 0 ? t - 1 : 0, to = std::min(n, t + 2);
    double sum = 0.0;
    for (std::size_t u = from; u < to; ++u) sum += power[levels[u][b]];
    return float(10.0 * std::log10(sum / double(to - from)));
  };
  std::vector<float> heard;
  heard.reserve(n);
  std::array<float, kBands> floors{};
  std::array<bool, kBands> steadyBand{};
  double together = 0.0;
  int steady = 0;
  for (std::size_t b = 0; b < std::size_t(kBands); ++b) {
    heard.clear();
    for (std::size_t t = 0; t < n; ++t)
      if (level[t] > kSilentDb + 1.0f) heard.push_back(smoothedAt(t, b));
    if (heard.size() < 100) return lifted;
    const auto at = [&](std::size_t share) {
      const auto nth = heard.begin() + std::ptrdiff_t(heard.size() / share);
      std::nth_element(heard.begin(), nth, heard.end());
      return *nth;
    };
    floors[b] = at(6);
    together += std::pow(10.0, floors[b] / 10.0);
    steadyBand[b] = floors[b] - at(25) <= kSteadySpreadDb;
    steady += steadyBand[b];
  }
  heard = {};
  if (steady < kBands / 2 || quietFloor - 10.0 * std::log10(together) > kMaxBedAboveBandsDb)
    return lifted;
  for (std::size_t t = 0; t < n; ++t) {
    float above = 0.0f;
    for (std::size_t b = 0; b < std::size_t(kBands); ++b)
      if (steadyBand[b]) above += std::max(0.0f, smoothedAt(t, b) - floors[b]);
    lifted[t] = above / float(steady) > kAboveBandFloorsDb;
  }
  return lifted;
}

// Frames whose neighbourhood changes like speech does.
std::vector<uint8_t> Talking(const std::vector<uint8_t>& active, const std::vector<float>& change) {
  const std::size_t n = active.size();
  std::vector<double> sum(n + 1, 0.0);
  std::vector<int> count(n + 1, 0);
  for (std::size_t t = 0; t < n; ++t) {
    sum[t + 1] = sum[t] + (active[t] ? change[t] : 0.0);
    count[t + 1] = count[t] + active[t];
  }
  std::vector<uint8_t> talking(n, 0);
  for (std::size_t t = 0; t < n; ++t) {
    if (!active[t]) continue;
    const std::size_t from = t > kChangeReach ? t - kChangeReach : 0;
    const std::size_t to = std::min(n, t + kChangeReach + 1);
    const int frames = count[to] - count[from];
    talking[t] = frames > 0 && (sum[to] - sum[from]) / frames >= kChangeDb;
  }
  return talking;
}

// Joins words into sentences and drops clicks.
void Smooth(std::vector<uint8_t>& speech) {
  const std::size_t n = speech.size();
  std::size_t last = n;  // the last speech frame seen
  for (std::size_t t = 0; t < n; ++t) {
    if (!speech[t]) continue;
    if (last != n && t - last > 1 && t - last <= kJoinFrames)
      std::fill(speech.begin() + std::ptrdiff_t(last), speech.begin() + std::ptrdiff_t(t), 1);
    last = t;
  }
  for (std::size_t t = 0; t < n;) {
    std::size_t end = t;
    while (end < n && speech[end] == speech[t]) ++end;
    if (speech[t] && (end - t < kShortestRun || end - t > kLongestRun))
      std::fill(speech.begin() + std::ptrdiff_t(t), speech.begin() + std::ptrdiff_t(end), 0);
    t = end;
  }
}

// Under music the band never falls to the track's quiet floor; the start
// must also rise above the middle of the pause before it, where the music's
// notes come and go.
void ExtendStarts(std::vector<uint8_t>& speech, const std::vector<float>& level, float floor) {
  std::vector<float> pause;
  pause.reserve(kBackgroundReach);
  for (std::size_t t = 1; t < speech.size(); ++t) {
    if (!speech[t] || speech[t - 1]) continue;
    pause.clear();
    for (std::size_t back = t; back-- > 0 && t - back <= kBackgroundReach && !speech[back];)
      pause.push_back(level[back]);
    std::nth_element(pause.begin(), pause.begin() + std::ptrdiff_t(pause.size() / 2), pause.end());
    const float edge = std::max(floor + kEdgeDb, pause[pause.size() / 2] + kAbovePauseDb);
    for (std::size_t back = t; back-- > 0 && t - back <= kEdgeReach;) {
      if (speech[back] || level[back] <= edge) break;
      speech[back] = 1;
    }
  }
}

// Where, after a pause, dialogue starts and goes on: a voice that sounds
// for a moment and falls silent again is a drum or a pluck, not a line.
std::vector<uint8_t> Onsets(const std::vector<uint8_t>& speech) {
  const std::size_t n = speech.size();
  std::vector<uint8_t> onset(n, 0);
  int sinceSpeech = kPauseBeforeOnset;
  for (std::size_t t = 0; t < n; ++t) {
    if (!speech[t]) {
      ++sinceSpeech;
      continue;
    }
    if (sinceSpeech >= kPauseBeforeOnset) {
      const auto reach = std::min(n, t + kOnsetReach);
      const auto spoken = std::size_t(std::count(speech.begin() + std::ptrdiff_t(t),
                                                 speech.begin() + std::ptrdiff_t(reach), 1));
      onset[t] = spoken >= kSpokenAfterOnset;
    }
    sinceSpeech = 0;
  }
  return onset;
}

}  // namespace

std::vector<uint8_t> SpeechDetector::Dialogue(const std::vector<uint8_t>& voice, float floor,
                                              const std::vector<uint8_t>& aboveBands) const {
  const Analysis& a = *analysis_;
  std::vector<uint8_t> active(voice.size());
  for (std::size_t t = 0; t < voice.size(); ++t)
    active[t] = voice[t] && (a.Level[t] > floor + kAboveFloorDb || aboveBands[t]);
  std::vector<uint8_t> speech = Talking(active, a.Change);
  Smooth(speech);
  ExtendStarts(speech, a.Level, floor);
  return speech;
}

SpeechTrack SpeechDetector::Finish() {
  const Analysis& a = *analysis_;
  const float floor = QuietFloor(a.Level);
  const std::vector<uint8_t> aboveBands = AboveSteadyBands(a.BandLevels, a.Level, floor);
  BandLevelStore().swap(analysis_->BandLevels);  // the largest thing kept, and done with
  SpeechTrack track;
  track.Speech = Dialogue(a.Voice, floor, aboveBands);
  track.Onset = Onsets(Dialogue(a.StrictVoice, floor, aboveBands));
  return track;
}

}  // namespace SPEECHTRACK
