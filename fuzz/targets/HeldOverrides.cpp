#include "HeldOverrides.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"

namespace FUZZTARGETS {
namespace {

using STYLEDLIMITS::Resolution;

// Values are written with two decimals after they are held.
constexpr double kRounding = 0.006;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where an override's value begins, as the drawing reads one: a digit or a
// point, or a sign before either.
bool NumberAt(std::string_view text, std::size_t at) {
  if (at >= text.size()) return false;
  if (IsDigit(text[at]) || text[at] == '.') return true;
  return (text[at] == '-' || text[at] == '+') && at + 1 < text.size() &&
         (IsDigit(text[at + 1]) || text[at + 1] == '.');
}

struct Bound {
  double Low, High;
};

// What an override may ask at this resolution at most.
bool BoundOf(const std::string& name, const Resolution& resolution, Bound& bound) {
  const double rim = std::max(4.0, resolution.Height / 40.0);
  if (name == "fs")
    bound = {1, std::max(1.0, resolution.Height / 2.0)};
  else if (name == "fscx" || name == "fscy")
    bound = {0, 400};
  else if (name == "fsp")
    bound = {-resolution.Width / 10.0, resolution.Width / 10.0};
  else if (name == "bord" || name == "xbord" || name == "ybord" || name == "shad" ||
           name == "xshad" || name == "yshad")
    bound = {0, rim};
  else if (name == "blur" || name == "be")
    bound = {0, 10};
  else if (name == "p")
    bound = {0, 8};
  else
    return false;
  return true;
}

// Every sized override in the limited text's blocks is within its bound.
// Coordinates (positions, clips) have a range of their own that is wider
// than any of these, so their brackets are passed over.
}  // namespace

void CheckHeldOverrides(std::string_view limited, const Resolution& resolution) {
  // A block runs from its brace to the first closing one, braces opened in
  // it included.
  for (std::size_t open = limited.find('{'); open != std::string_view::npos;
       open = limited.find('{', open)) {
    std::size_t close = limited.find('}', open);
    if (close == std::string_view::npos) close = limited.size();
    const std::string_view block = limited.substr(open + 1, close - open - 1);
    for (std::size_t i = 0; i < block.size();) {
      if (block[i] != '\\') {
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < block.size() && std::isalpha(static_cast<unsigned char>(block[end]))) ++end;
      const std::string name(block.substr(i + 1, end - i - 1));
      // The drawing passes over blanks before a value, as strtod does.
      i = end;
      while (i < block.size() && (block[i] == ' ' || (block[i] >= '\t' && block[i] <= '\r'))) ++i;
      Bound bound;
      if (BoundOf(name, resolution, bound) && NumberAt(block, i)) {
        // The held value is written plainly: a sign, digits and a point.
        std::size_t numberEnd = i + 1;
        while (numberEnd < block.size() && (IsDigit(block[numberEnd]) || block[numberEnd] == '.'))
          ++numberEnd;
        const double value =
            std::strtod(std::string(block.substr(i, numberEnd - i)).c_str(), nullptr);
        const bool held = value >= bound.Low - kRounding && value <= bound.High + kRounding;
        if (!held)
          std::fprintf(stderr, "\\%s%g is outside [%g, %g] at %dx%d\n", name.c_str(), value,
                       bound.Low, bound.High, resolution.Width, resolution.Height);
        FUZZ_REQUIRE(held);
        i = numberEnd;
      } else if ((name == "pos" || name == "move" || name == "org" || name == "clip" ||
                  name == "iclip") &&
                 i < block.size() && block[i] == '(') {
        i = std::min(block.find(')', i), block.size());
      }
    }
    open = close;
  }
}

}  // namespace FUZZTARGETS
