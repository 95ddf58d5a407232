#include "align/OtherCases.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace othercases {
namespace {

using aligncases::Kind;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

const double kPairs[] = {25.0 / 23.976, 24.0 / 23.976, 25.0 / 24.0,
                         23.976 / 25.0, 23.976 / 24.0, 24.0 / 25.0};

struct Draw {
  explicit Draw(uint32_t seed) : engine(seed * 0x9e3779b9u + 0x7f4a7c15u) {}
  double Real(double a, double b) { return std::uniform_real_distribution<double>(a, b)(engine); }
  int Whole(int a, int b) { return std::uniform_int_distribution<int>(a, b)(engine); }
  bool Odds(double p) { return Real(0.0, 1.0) < p; }
  std::mt19937 engine;
};

// The gap before line i, on the film's clock.
double Gap(const otherfilms::Film& film, std::size_t i) {
  return 0.5 * (film.Lines[i - 1].End + film.Lines[i].Start);
}

std::size_t LineAfter(const otherfilms::Film& film, double t) {
  std::size_t i = 0;
  while (i < film.Lines.size() && film.Lines[i].Start < t) ++i;
  return i;
}

// From a gap near `near`, an insert (a passage of the film's, or a scene of
// lines the file lacks) or a cut of a scene the film lacks.
Edit DrawEdit(const otherfilms::Film& film, Draw& draw, double near, bool insert) {
  const std::size_t n = film.Lines.size();
  const std::size_t line = std::clamp<std::size_t>(LineAfter(film, near), 2, n - 3);
  if (insert && !film.Passages.empty() && draw.Odds(0.5)) {
    const otherfilms::Passage& p =
        film.Passages[std::size_t(draw.Whole(0, int(film.Passages.size()) - 1))];
    return {true, p.Start, p.Length};
  }
  if (!insert) return {false, Gap(film, line), draw.Real(10.0, 60.0)};
  const std::size_t end = std::min(n - 2, LineAfter(film, Gap(film, line) + draw.Real(10.0, 45.0)));
  return {true, Gap(film, line), Gap(film, std::max(end, line + 1)) - Gap(film, line)};
}

}  // namespace

aligncases::Case MakeCase(const otherfilms::Film& film, const otherfilms::Film& other, Kind kind,
                          uint32_t seed) {
  Draw draw(seed * 31u + uint32_t(kind));
  Timing timing;
  const double size = draw.Odds(0.75) ? draw.Real(0.3, 10.0) : draw.Real(10.0, 120.0);
  timing.Offset = draw.Odds(0.5) ? size : -size;
  const double end = film.Lines.back().Start;
  switch (kind) {
    case Kind::Fits:
      timing.Offset = draw.Odds(0.3) ? 0.0 : draw.Real(-0.05, 0.05);
      break;
    case Kind::FrameRate:
      timing.Ratio = kPairs[draw.Whole(0, 5)];
      break;
    case Kind::Drift:
      timing.Ratio = 1.0 + (draw.Odds(0.5) ? 1 : -1) * draw.Real(0.0003, 0.002);
      break;
    case Kind::Insert:
    case Kind::Cut:
      // Anywhere, near the start and the end too.
      timing.Edits = {DrawEdit(film, draw, draw.Real(8.0, end - 8.0), kind == Kind::Insert)};
      break;
    case Kind::Splits: {
      // Two close together (30 s apart), and now and then a third.
      const double at = draw.Real(10.0, std::max(11.0, end - 100.0));
      timing.Edits.push_back(DrawEdit(film, draw, at, draw.Odds(0.5)));
      const Edit& e = timing.Edits.back();
      timing.Edits.push_back(
          DrawEdit(film, draw, e.At + (e.Insert ? e.Length : 0.0) + 30.0, draw.Odds(0.5)));
      const Edit& f = timing.Edits.back();
      const double after = f.At + (f.Insert ? f.Length : 0.0) + 40.0;
      if (after < end - 10.0 && draw.Odds(0.5))
        timing.Edits.push_back(DrawEdit(film, draw, draw.Real(after, end - 5.0), draw.Odds(0.5)));
      // Two edits drawn onto one gap, or one inside the other, are one.
      for (std::size_t k = 1; k < timing.Edits.size();) {
        const Edit& before = timing.Edits[k - 1];
        if (timing.Edits[k].At <= before.At + (before.Insert ? before.Length : 0.0) + 5.0)
          timing.Edits.erase(timing.Edits.begin() + std::ptrdiff_t(k));
        else
          ++k;
      }
      break;
    }
    default:
      break;
  }
  return MakeCase(film, other, kind, timing);
}

aligncases::Case MakeCase(const otherfilms::Film& film, const otherfilms::Film& other, Kind kind,
                          const Timing& timing) {
  aligncases::Case made;
  made.Of = kind;
  struct Placed {
    double Start, End, Truth;  // on the file's clock before offset and ratio
  };
  std::vector<Placed> placed;
  if (kind == Kind::OtherFilm) {
    for (const auto& line : other.Lines) placed.push_back({line.Start, line.End, kNone});
  } else {
    std::size_t next = 0;
    double shift = 0.0;
    for (const auto& line : film.Lines) {
      while (next < timing.Edits.size() && timing.Edits[next].At <= line.Start) {
        const Edit& e = timing.Edits[next++];
        if (e.Insert) {
          shift -= e.Length;
          continue;
        }
        // The cut scene's lines, in the other film's rhythm.
        const double from = other.Lines.front().Start;
        for (const auto& o : other.Lines) {
          const double at = o.Start - from + 1.0;
          if (o.End - from + 1.5 > e.Length) break;
          placed.push_back({e.At + shift + at, e.At + shift + at + (o.End - o.Start), kNone});
        }
        shift += e.Length;
      }
      bool dropped = false;
      for (const Edit& e : timing.Edits)
        dropped = dropped || (e.Insert && line.Start >= e.At && line.Start < e.At + e.Length);
      if (!dropped) placed.push_back({line.Start + shift, line.End + shift, line.Start});
    }
  }
  for (const Placed& p : placed) {
    const double start = (p.Start - timing.Offset) / timing.Ratio;
    if (start < 0.0) continue;
    made.FileCues.push_back({start, (p.End - timing.Offset) / timing.Ratio});
    made.Truth.push_back(p.Truth);
  }
  char text[160];
  std::snprintf(text, sizeof text, "%s: offset %+.2f s, ratio %.6f; ", aligncases::KindName(kind),
                timing.Offset, timing.Ratio);
  made.Description = text;
  for (const Edit& e : timing.Edits) {
    std::snprintf(text, sizeof text, "%s %.0f s at %.0f s; ", e.Insert ? "insert" : "cut", e.Length,
                  e.At);
    made.Description += text;
  }
  return made;
}

Result Run(const otherfilms::Film& film, const aligncases::Case& made) {
  variedfilms::BaseFilm base;
  base.Seed = film.Seed;
  base.Track = film.Track;
  Result result;
  result.Outcome = aligncases::Run(base, made);
  result.Cues = made.FileCues.size();
  // The finding's own count, as the report names them.
  const std::string& found = result.Outcome.Found;
  for (std::size_t at = found.find("not placed "); at != std::string::npos;
       at = found.find("not placed ", at + 1)) {
    std::size_t first = 0, end = 0;
    if (std::sscanf(found.c_str() + at, "not placed %zu-%zu", &first, &end) == 2 && end > first)
      result.NotPlaced += end - first;
  }
  return result;
}

namespace {

struct Totals {
  aligncases::Figures Figures;
  std::size_t NotPlaced = 0, Cues = 0;
};

Totals Add(const std::vector<Result>& results) {
  std::vector<aligncases::Outcome> outcomes;
  Totals totals;
  for (const Result& r : results) {
    outcomes.push_back(r.Outcome);
    totals.NotPlaced += r.NotPlaced;
    totals.Cues += r.Cues;
  }
  totals.Figures = aligncases::Summarise(outcomes);
  return totals;
}

}  // namespace

std::string FiguresLine(Kind kind, const std::vector<Result>& results) {
  const Totals totals = Add(results);
  char text[96];
  std::snprintf(text, sizeof text, ", %zu of %zu cues not placed", totals.NotPlaced, totals.Cues);
  return aligncases::FiguresLine(kind, totals.Figures) + text +
         (MeetsGoal(kind, results) ? "" : "  (goal missed)");
}

bool MeetsGoal(Kind kind, const std::vector<Result>& results) {
  const Totals totals = Add(results);
  if (!aligncases::MeetsGoal(kind, totals.Figures)) return false;
  if (kind == Kind::OtherFilm) return true;
  return totals.Figures.Refused == 0 && totals.Figures.Within200 >= 0.95 &&
         totals.NotPlaced * 200 <= totals.Cues;
}

}  // namespace othercases
