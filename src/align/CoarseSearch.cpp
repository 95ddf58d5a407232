#include "align/CoarseSearch.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

namespace COARSESEARCH {
namespace {

constexpr int kFramesPerBin = 10;
constexpr int kPeakReach = 20;  // bins: peaks closer than this are one
constexpr std::size_t kPeaks = 8;
// A window of cues keeps its few best offsets: one of them is its stretch's.
constexpr std::size_t kWindowPeaks = 3;
constexpr int64_t kMaxWindowBins = 6000;
// Offsets that put more of the cues outside the film than this are no
// answer, and would make chance look smaller than it is.
constexpr double kMinInside = 0.5;
// The ratios close to 1: a drift of up to 1 in 400, in steps that keep a
// two-hour film within a fraction of a second.
constexpr double kDriftStep = 0.0001;
constexpr int kDriftSteps = 25;

const double kFrameRateRatios[] = {
    25.0 / 23.976, 24.0 / 23.976, 25.0 / 24.0, 23.976 / 25.0, 23.976 / 24.0, 24.0 / 25.0,
};

// FFTW's buffers and plans for one size, made once per search.
class Transform {
 public:
  explicit Transform(std::size_t size) : size_(size) {
    real_ = fftw_alloc_real(size);
    spectrum_ = fftw_alloc_complex(size / 2 + 1);
    forward_ = fftw_plan_dft_r2c_1d(int(size), real_, spectrum_, FFTW_ESTIMATE);
    backward_ = fftw_plan_dft_c2r_1d(int(size), spectrum_, real_, FFTW_ESTIMATE);
  }
  ~Transform() {
    fftw_destroy_plan(forward_);
    fftw_destroy_plan(backward_);
    fftw_free(real_);
    fftw_free(spectrum_);
  }
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;

  std::vector<std::complex<double>> Forward(const std::vector<double>& signal) {
    std::fill(real_, real_ + size_, 0.0);
    std::copy(signal.begin(), signal.begin() + std::ptrdiff_t(std::min(signal.size(), size_)),
              real_);
    fftw_execute(forward_);
    std::vector<std::complex<double>> out(size_ / 2 + 1);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = {spectrum_[i][0], spectrum_[i][1]};
    return out;
  }
  std::size_t Size() const { return size_; }
  // The circular correlation sum_k a[k + m] b[k], from both spectra.
  std::vector<double> Correlate(const std::vector<std::complex<double>>& a,
                                const std::vector<std::complex<double>>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      const std::complex<double> product = a[i] * std::conj(b[i]);
      spectrum_[i][0] = product.real();
      spectrum_[i][1] = product.imag();
    }
    fftw_execute(backward_);
    std::vector<double> out(real_, real_ + size_);
    for (double& value : out) value /= double(size_);
    return out;
  }

 private:
  std::size_t size_;
  double* real_ = nullptr;
  fftw_complex* spectrum_ = nullptr;
  fftw_plan forward_ = nullptr;
  fftw_plan backward_ = nullptr;
};

std::vector<double> SpeechBins(const SPEECHTRACK::SpeechTrack& track) {
  const std::size_t bins = (track.Speech.size() + kFramesPerBin - 1) / kFramesPerBin;
  std::vector<double> x(bins, 0.0);
  for (std::size_t t = 0; t < track.Speech.size(); ++t)
    x[t / kFramesPerBin] += track.Speech[t] / double(kFramesPerBin);
  const double mean = bins ? std::accumulate(x.begin(), x.end(), 0.0) / double(bins) : 0.0;
  for (double& value : x) value -= mean;
  return x;
}

// How much of each bin the cues cover once their times are multiplied by
// the ratio.
std::vector<double> CueBins(const std::vector<ALIGNER::CueTime>& cues, double ratio,
                            std::size_t bins) {
  std::vector<double> u(bins, 0.0);
  for (const ALIGNER::CueTime& cue : cues) {
    const double from = std::max(0.0, cue.Start * ratio / kBinSeconds);
    const double to = std::min(double(bins), cue.End * ratio / kBinSeconds);
    for (double k = std::floor(from); k < to; k += 1.0)
      u[std::size_t(k)] += std::min(to, k + 1.0) - std::max(from, k);
  }
  return u;
}

void Spread(const std::vector<double>& scores, const std::vector<uint8_t>& usable,
            RatioResult& result) {
  std::vector<double> sorted;
  for (std::size_t i = 0; i < scores.size(); ++i)
    if (usable[i]) sorted.push_back(scores[i]);
  if (sorted.empty()) return;
  const auto middle = sorted.begin() + std::ptrdiff_t(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  result.Median = *middle;
  for (double& value : sorted) value = std::fabs(value - result.Median);
  std::nth_element(sorted.begin(), middle, sorted.end());
  result.Spread = std::max(1.4826 * *middle, 1e-9);
}

// The local maxima, best first.
std::vector<Peak> Peaks(const std::vector<double>& scores, const std::vector<uint8_t>& usable,
                        int maxLag) {
  std::vector<Peak> peaks;
  const int n = int(scores.size());
  for (int i = 0; i < n; ++i) {
    bool top = usable[std::size_t(i)];
    for (int j = std::max(0, i - kPeakReach); top && j <= std::min(n - 1, i + kPeakReach); ++j)
      top = scores[std::size_t(j)] < scores[std::size_t(i)] ||
            (scores[std::size_t(j)] == scores[std::size_t(i)] && j >= i);
    if (top) peaks.push_back({double(i - maxLag) * kBinSeconds, scores[std::size_t(i)]});
  }
  std::sort(peaks.begin(), peaks.end(),
            [](const Peak& a, const Peak& b) { return a.Score > b.Score; });
  if (peaks.size() > kPeaks) peaks.resize(kPeaks);
  return peaks;
}

// The speech's spectrum, made once, against which any set of cues is
// correlated at any ratio.
class Correlator {
 public:
  Correlator(const SPEECHTRACK::SpeechTrack& track, const std::vector<ALIGNER::CueTime>& cues,
             double longestRatio, double maxOffsetSeconds)
      : speechBins_(SpeechBins(track)),
        maxLag_(int(std::lround(maxOffsetSeconds / kBinSeconds))),
        cueBins_(CueBinCount(cues, longestRatio, speechBins_.size(), maxLag_)),
        transform_(TransformSize(speechBins_.size(), cueBins_, maxLag_)),
        speech_(transform_.Forward(speechBins_)),
        film_(transform_.Forward(std::vector<double>(speechBins_.size(), 1.0))) {}

  // False when the cues cover nothing at this ratio.
  bool Correlate(const std::vector<ALIGNER::CueTime>& cues, double ratio, RatioResult& result) {
    const std::vector<double> u = CueBins(cues, ratio, cueBins_);
    const double covered = std::accumulate(u.begin(), u.end(), 0.0);
    if (covered <= 0.0) return false;
    const auto cueSpectrum = transform_.Forward(u);
    const std::vector<double> circular = transform_.Correlate(speech_, cueSpectrum);
    const std::vector<double> inside = transform_.Correlate(film_, cueSpectrum);
    const int size = int(transform_.Size());
    std::vector<double> scores(std::size_t(2 * maxLag_ + 1));
    std::vector<uint8_t> usable(scores.size());
    for (int lag = -maxLag_; lag <= maxLag_; ++lag) {
      const std::size_t at = std::size_t((lag + size) % size);
      scores[std::size_t(lag + maxLag_)] = circular[at] / covered;
      usable[std::size_t(lag + maxLag_)] = inside[at] >= kMinInside * covered;
    }
    result = RatioResult();
    result.Ratio = ratio;
    Spread(scores, usable, result);
    result.Peaks = Peaks(scores, usable, maxLag_);
    return true;
  }

 private:
  // A cue later than the film's end plus the longest offset can meet no
  // speech: a stray time of many hours costs nothing.
  static std::size_t CueBinCount(const std::vector<ALIGNER::CueTime>& cues, double longestRatio,
                                 std::size_t speechBins, int maxLag) {
    double lastEnd = 0.0;
    for (const ALIGNER::CueTime& cue : cues) lastEnd = std::max(lastEnd, cue.End);
    return std::size_t(std::min(lastEnd * longestRatio / kBinSeconds,
                                double(speechBins + std::size_t(maxLag)))) +
           2;
  }
  static std::size_t TransformSize(std::size_t speechBins, std::size_t cueBins, int maxLag) {
    std::size_t size = 1024;
    while (size < std::max(speechBins, cueBins) + std::size_t(maxLag) + 1) size *= 2;
    return size;
  }

  std::vector<double> speechBins_;
  int maxLag_;
  std::size_t cueBins_;
  Transform transform_;
  std::vector<std::complex<double>> speech_;
  std::vector<std::complex<double>> film_;
};

}  // namespace

std::vector<double> CandidateRatios() {
  std::vector<double> ratios = {1.0};
  ratios.insert(ratios.end(), std::begin(kFrameRateRatios), std::end(kFrameRateRatios));
  for (int i = 1; i <= kDriftSteps; ++i) {
    ratios.push_back(1.0 + i * kDriftStep);
    ratios.push_back(1.0 - i * kDriftStep);
  }
  return ratios;
}

bool IsFrameRateRatio(double ratio) {
  return ratio == 1.0 || std::find(std::begin(kFrameRateRatios), std::end(kFrameRateRatios),
                                   ratio) != std::end(kFrameRateRatios);
}

std::vector<RatioResult> Search(const SPEECHTRACK::SpeechTrack& track,
                                const std::vector<ALIGNER::CueTime>& cues,
                                const std::vector<double>& ratios, double maxOffsetSeconds) {
  Correlator correlator(track, cues, *std::max_element(ratios.begin(), ratios.end()),
                        maxOffsetSeconds);
  std::vector<RatioResult> results;
  for (double ratio : ratios) {
    RatioResult result;
    if (correlator.Correlate(cues, ratio, result)) results.push_back(std::move(result));
  }
  return results;
}

std::vector<Window> LocalSearch(const SPEECHTRACK::SpeechTrack& track,
                                const std::vector<ALIGNER::CueTime>& cues, double ratio,
                                double maxOffsetSeconds, std::size_t cuesPerWindow) {
  // Each window meets only the speech within the longest offset of its own
  // cues, so it is correlated on that stretch alone: a transform the size of
  // a few minutes rather than of the film.
  const std::vector<double> x = SpeechBins(track);
  const int64_t maxLag = std::llround(maxOffsetSeconds / kBinSeconds);
  const int64_t filmBins = int64_t(x.size());
  struct Span {
    std::size_t First, End;
    int64_t From, To;  // the cues' bins
  };
  std::vector<Span> spans;
  int64_t widest = 0;
  const std::size_t step = std::max<std::size_t>(1, cuesPerWindow / 2);
  for (std::size_t first = 0; first < cues.size(); first += step) {
    const std::size_t end = std::min(cues.size(), first + cuesPerWindow);
    double from = cues[first].Start, to = cues[first].End;
    for (std::size_t i = first; i < end; ++i)
      from = std::min(from, cues[i].Start), to = std::max(to, cues[i].End);
    const int64_t a = int64_t(std::floor(std::max(0.0, from * ratio / kBinSeconds)));
    const int64_t b =
        int64_t(std::ceil(std::min(to * ratio / kBinSeconds, double(filmBins + maxLag))));
    // A window that spans more than a window's worth holds a stray time: the
    // whole file's search covers it.
    if (b > a && b - a <= kMaxWindowBins) {
      spans.push_back({first, end, a, b});
      widest = std::max(widest, b - a);
    }
    if (end == cues.size()) break;
  }
  std::vector<Window> windows;
  if (spans.empty()) return windows;
  std::size_t size = 1024;
  while (size < std::size_t(widest + 2 * maxLag + 1)) size *= 2;
  Transform transform(size);
  std::vector<double> speech(size), film(size), covered(size);
  for (const Span& span : spans) {
    // Sample i of the stretch is the film's bin span.From - maxLag + i.
    const int64_t origin = span.From - maxLag;
    std::fill(speech.begin(), speech.end(), 0.0);
    std::fill(film.begin(), film.end(), 0.0);
    for (int64_t i = std::max<int64_t>(0, -origin); i < int64_t(size) && origin + i < filmBins;
         ++i) {
      speech[std::size_t(i)] = x[std::size_t(origin + i)];
      film[std::size_t(i)] = 1.0;
    }
    std::fill(covered.begin(), covered.end(), 0.0);
    double total = 0.0;
    for (std::size_t c = span.First; c < span.End; ++c) {
      const double from = std::max(0.0, cues[c].Start * ratio / kBinSeconds) - double(span.From);
      const double to =
          std::min(cues[c].End * ratio / kBinSeconds, double(span.To)) - double(span.From);
      for (double k = std::max(0.0, std::floor(from)); k < to; k += 1.0) {
        const double part = std::min(to, k + 1.0) - std::max(from, k);
        covered[std::size_t(k)] += part;
        total += part;
      }
    }
    if (total <= 0.0) continue;
    const auto cueSpectrum = transform.Forward(covered);
    const std::vector<double> circular =
        transform.Correlate(transform.Forward(speech), cueSpectrum);
    const std::vector<double> inside = transform.Correlate(transform.Forward(film), cueSpectrum);
    std::vector<double> scores(std::size_t(2 * maxLag + 1));
    std::vector<uint8_t> usable(scores.size());
    for (std::size_t m = 0; m < scores.size(); ++m) {
      scores[m] = circular[m] / total;
      usable[m] = inside[m] >= kMinInside * total;
    }
    RatioResult result;
    Spread(scores, usable, result);
    std::vector<Peak> peaks = Peaks(scores, usable, int(maxLag));
    if (peaks.size() > kWindowPeaks) peaks.resize(kWindowPeaks);
    windows.push_back({span.First, span.End, std::move(peaks)});
  }
  return windows;
}

}  // namespace COARSESEARCH
