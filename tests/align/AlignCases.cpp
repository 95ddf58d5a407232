#include "align/AlignCases.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace aligncases {
namespace {

using variedfilms::BaseFilm;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
// People start a line up to a frame or so before the voice.
constexpr double kLead = 0.06;

const double kFrameRatePairs[] = {25.0 / 23.976, 24.0 / 23.976, 25.0 / 24.0,
                                  23.976 / 25.0, 23.976 / 24.0, 24.0 / 25.0};

// An edit between the two releases, on the film's clock.
struct Edit {
  bool Insert;  // the film has [At, At + Length) that the file lacks
  double At;    // in a gap between lines
  double Length;
  bool RunsAcross = false;  // a cut: the line before it runs on into the cut scene
};

class Drawer {
 public:
  explicit Drawer(uint32_t seed) : random_(seed) {}
  double Uniform(double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(random_);
  }
  int Int(int a, int b) { return std::uniform_int_distribution<int>(a, b)(random_); }
  bool Chance(double p) { return Uniform(0.0, 1.0) < p; }
  // Mostly a few seconds, sometimes minutes; either way.
  double Offset() {
    const double size = Chance(0.7) ? Uniform(0.3, 10.0) : Uniform(10.0, 300.0);
    return Chance(0.5) ? size : -size;
  }

 private:
  std::mt19937 random_;
};

// The middle of the gap before line i (i > 0).
double GapBefore(const BaseFilm& film, std::size_t i) {
  return 0.5 * (film.Cues[i - 1].End + film.Cues[i].Start);
}

std::size_t FirstLineAfter(const BaseFilm& film, double t) {
  std::size_t i = 0;
  while (i < film.Cues.size() && film.Cues[i].Start < t) ++i;
  return i;
}

// An insert: a passage with no dialogue, or a scene of 10 s to 3 min whose
// lines the file has not; either way from gap to gap.
Edit DrawInsert(const BaseFilm& film, Drawer& draw) {
  const std::size_t n = film.Cues.size();
  if (!film.Passages.empty() && draw.Chance(0.5)) {
    const auto& p = film.Passages[std::size_t(draw.Int(0, int(film.Passages.size()) - 1))];
    const std::size_t first = FirstLineAfter(film, p.Start);
    const std::size_t after = FirstLineAfter(film, p.Start + p.Length);
    if (first > 0 && after < n && first == after) {
      const double from = film.Cues[first - 1].End + 0.2, to = film.Cues[after].Start - 0.2;
      return {true, from, to - from};
    }
  }
  const std::size_t first = std::size_t(draw.Int(5, int(n) - 40));
  const double from = GapBefore(film, first);
  const std::size_t after = std::min(n - 5, FirstLineAfter(film, from + draw.Uniform(10.0, 180.0)));
  return {true, from, GapBefore(film, std::max(after, first + 1)) - from};
}

Edit DrawCut(const BaseFilm& film, Drawer& draw) {
  const std::size_t line = std::size_t(draw.Int(5, int(film.Cues.size()) - 5));
  return {false, GapBefore(film, line), draw.Uniform(10.0, 180.0), draw.Chance(0.5)};
}

// Two to five edits, in order, 40 s apart at least; the shifts they add up to
// stay within a few minutes.
std::vector<Edit> DrawEdits(const BaseFilm& film, Drawer& draw, int count) {
  std::vector<Edit> edits;
  for (int tries = 0; int(edits.size()) < count && tries < 200; ++tries) {
    const Edit e = draw.Chance(0.5) ? DrawInsert(film, draw) : DrawCut(film, draw);
    bool apart = true;
    double shift = 0.0;
    for (const Edit& o : edits) {
      apart = apart && (e.At > o.At + (o.Insert ? o.Length : 0.0) + 40.0 ||
                        o.At > e.At + (e.Insert ? e.Length : 0.0) + 40.0);
      shift += o.Insert ? -o.Length : o.Length;
    }
    shift += e.Insert ? -e.Length : e.Length;
    if (apart && std::fabs(shift) < 300.0) edits.push_back(e);
  }
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.At < b.At; });
  return edits;
}

// The file's lines under the edits, before the offset and ratio: the film's
// lines kept (those inside an insert dropped), moved by what comes before
// them, and the lines of each cut scene, which have none in the film.
void ApplyEdits(const BaseFilm& film, const std::vector<Edit>& edits, Drawer& draw,
                std::vector<ALIGNER::CueTime>& cues, std::vector<double>& truth) {
  std::size_t next = 0;
  double shift = 0.0;
  for (std::size_t i = 0; i < film.Cues.size(); ++i) {
    const auto& line = film.Cues[i];
    while (next < edits.size() && edits[next].At <= line.Start) {
      const Edit& e = edits[next++];
      if (e.Insert) {
        shift -= e.Length;
        continue;
      }
      if (e.RunsAcross && !cues.empty()) cues.back().End = e.At + shift + draw.Uniform(0.5, 2.5);
      for (double at = e.At + shift + draw.Uniform(0.5, 2.0); at < e.At + shift + e.Length - 4.5;
           at += draw.Uniform(0.4, 3.0)) {
        const double end = at + draw.Uniform(1.0, 4.0);
        cues.push_back({at, end});
        truth.push_back(kNone);
        at = end;
      }
      shift += e.Length;
    }
    bool dropped = false;
    for (const Edit& e : edits)
      dropped = dropped || (e.Insert && line.Start >= e.At && line.Start < e.At + e.Length);
    if (dropped) continue;
    cues.push_back({line.Start + shift, line.End + shift});
    truth.push_back(line.Start);
  }
}

std::string EditsText(const std::vector<Edit>& edits) {
  std::string text;
  for (const Edit& e : edits) {
    char part[96];
    std::snprintf(part, sizeof part, "%s %.0f s at %.0f s%s; ", e.Insert ? "insert" : "cut",
                  e.Length, e.At, e.RunsAcross ? " (a line runs across)" : "");
    text += part;
  }
  return text;
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Fits:
      return "fits already";
    case Kind::Offset:
      return "offset";
    case Kind::FrameRate:
      return "frame-rate pair";
    case Kind::Drift:
      return "drift";
    case Kind::Insert:
      return "one insert";
    case Kind::Cut:
      return "one cut";
    case Kind::Splits:
      return "2 to 5 splits";
    case Kind::OtherFilm:
      return "another film's";
  }
  return "";
}

Case MakeCase(const BaseFilm& film, const BaseFilm& other, Kind kind, uint32_t seed) {
  Drawer draw(seed * 40503u + uint32_t(kind) * 7919u);
  Case made;
  made.Of = kind;
  double offset = draw.Offset(), ratio = 1.0;  // film = ratio * file + offset
  std::vector<Edit> edits;
  switch (kind) {
    case Kind::Fits:
      // Within the 0.15 s that counts as fitting, with the lead below.
      offset = draw.Chance(0.3) ? 0.0 : draw.Uniform(0.0, 0.08);
      break;
    case Kind::Offset:
      break;
    case Kind::FrameRate:
      ratio = kFrameRatePairs[draw.Int(0, 5)];
      break;
    case Kind::Drift:
      ratio = 1.0 + (draw.Chance(0.5) ? 1 : -1) * draw.Uniform(0.0003, 0.002);
      break;
    case Kind::Insert:
      edits = {DrawInsert(film, draw)};
      break;
    case Kind::Cut:
      edits = {DrawCut(film, draw)};
      break;
    case Kind::Splits:
      edits = DrawEdits(film, draw, draw.Int(2, 5));
      break;
    case Kind::OtherFilm:
      break;
  }
  std::vector<ALIGNER::CueTime> cues;
  if (kind == Kind::OtherFilm) {
    for (const auto& line : other.Cues) {
      cues.push_back({line.Start, line.End});
      made.Truth.push_back(kNone);
    }
  } else {
    ApplyEdits(film, edits, draw, cues, made.Truth);
  }
  // A file begins at nought: lines before it are not in the file.
  std::vector<double> truth;
  for (std::size_t i = 0; i < cues.size(); ++i) {
    const double lead = kind == Kind::OtherFilm ? 0.0 : draw.Uniform(0.0, kLead);
    const double start = (cues[i].Start - lead - offset) / ratio;
    if (start < 0.0) continue;
    made.FileCues.push_back({start, (cues[i].End - offset) / ratio});
    truth.push_back(made.Truth[i]);
  }
  made.Truth = truth;
  char text[160];
  std::snprintf(text, sizeof text, "%s, case %u: offset %+.2f s, ratio %.6f; ", KindName(kind),
                seed, offset, ratio);
  made.Description = text + EditsText(edits);
  return made;
}

Outcome Run(const BaseFilm& film, const Case& aCase) {
  const ALIGNER::Finding finding = ALIGNER::Align(film.Track, aCase.FileCues);
  Outcome outcome;
  outcome.Trusted = finding.Trusted;
  for (std::size_t i = 0; i < aCase.FileCues.size(); ++i) {
    const double found = finding.Map.Apply(aCase.FileCues[i].Start);
    if (finding.Trusted)
      outcome.LargestMove =
          std::max(outcome.LargestMove, std::fabs(found - aCase.FileCues[i].Start));
    if (std::isnan(aCase.Truth[i])) continue;
    outcome.Errors.push_back(finding.Trusted ? std::fabs(found - aCase.Truth[i])
                                             : std::numeric_limits<double>::infinity());
  }
  char text[96];
  std::snprintf(text, sizeof text, "%s ratio %.6f, offset %+.3f",
                finding.Trusted ? "" : "(refused)", finding.Map.Ratio,
                finding.Map.Stretches[0].Offset);
  outcome.Found = text;
  for (std::size_t k = 1; k < finding.Map.Stretches.size(); ++k) {
    std::snprintf(text, sizeof text, ", from cue %zu %+.3f", finding.Map.Stretches[k].FirstCue,
                  finding.Map.Stretches[k].Offset);
    outcome.Found += text;
  }
  for (std::size_t k = 0; k < finding.Map.Stretches.size(); ++k) {
    const std::size_t first = finding.Map.Stretches[k].FirstCue;
    const std::size_t end = k + 1 < finding.Map.Stretches.size()
                                ? finding.Map.Stretches[k + 1].FirstCue
                                : aCase.FileCues.size();
    std::size_t right = 0, lines = 0;
    for (std::size_t i = first; i < end; ++i) {
      if (std::isnan(aCase.Truth[i])) continue;
      ++lines;
      right += std::fabs(finding.Map.Apply(aCase.FileCues[i].Start) - aCase.Truth[i]) < 0.2;
    }
    std::snprintf(text, sizeof text, " [%zu-%zu right %zu/%zu]", first, end, right, lines);
    outcome.Found += text;
  }
  for (const double confidence : finding.StretchConfidence) {
    std::snprintf(text, sizeof text, " %.2f", confidence);
    outcome.Found += text;
  }
  for (const auto& unplaced : finding.NotPlaced) {
    std::snprintf(text, sizeof text, "; not placed %zu-%zu", unplaced.FirstCue, unplaced.EndCue);
    outcome.Found += text;
  }
  std::snprintf(
      text, sizeof text, "; peak %.1f, cover %.1f x chance, onsets 1e%.0f, confidence %.2f",
      finding.PeakOverChance, finding.CoverOverChance, finding.OnsetChance, finding.Confidence);
  outcome.Found += text;
  if (!finding.Trusted) outcome.Found += " (" + finding.Reason + ")";
  return outcome;
}

Figures Summarise(const std::vector<Outcome>& outcomes) {
  Figures figures;
  std::vector<double> errors;
  for (const Outcome& outcome : outcomes) {
    ++figures.Files;
    figures.Refused += !outcome.Trusted;
    figures.WorstLargestMove = std::max(figures.WorstLargestMove, outcome.LargestMove);
    errors.insert(errors.end(), outcome.Errors.begin(), outcome.Errors.end());
  }
  figures.Cues = errors.size();
  if (errors.empty()) return figures;
  std::sort(errors.begin(), errors.end());
  figures.Median = errors[errors.size() / 2];
  figures.P95 = errors[std::min(errors.size() - 1, errors.size() * 95 / 100)];
  figures.Within200 =
      double(std::count_if(errors.begin(), errors.end(), [](double e) { return e <= 0.2; })) /
      double(errors.size());
  return figures;
}

bool MeetsGoal(Kind kind, const Figures& figures) {
  if (kind == Kind::OtherFilm) return figures.Refused == figures.Files;
  if (kind == Kind::Fits) return figures.Refused == 0 && figures.WorstLargestMove <= 0.02;
  return figures.Median <= 0.04 && figures.P95 <= 0.2 && figures.Within200 >= 0.9;
}

std::string FiguresLine(Kind kind, const Figures& figures) {
  char text[256];
  if (kind == Kind::OtherFilm) {
    std::snprintf(text, sizeof text, "%-16s %3zu files: %zu refused", KindName(kind), figures.Files,
                  figures.Refused);
  } else {
    std::snprintf(text, sizeof text,
                  "%-16s %3zu files, %5zu cues: median %3.0f ms, 95th percentile %5.0f ms, "
                  "%5.1f%% within 200 ms, %zu refused, largest move of a kept file %.3f s",
                  KindName(kind), figures.Files, figures.Cues, 1000.0 * figures.Median,
                  std::min(1000.0 * figures.P95, 99999.0), 100.0 * figures.Within200,
                  figures.Refused, figures.WorstLargestMove);
  }
  return text + std::string(MeetsGoal(kind, figures) ? "" : "  (goal missed)");
}

}  // namespace aligncases
