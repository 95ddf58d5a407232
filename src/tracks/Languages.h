#pragma once

// Language codes as files and streams give them: "fr", "fre" and "fra" are
// the same language, and so are "en" and "eng". What a code names is asked
// of Qt's tables of ISO 639 (parts 1, 2/B, 2/T and 3), case ignored.
#include <string>
#include <vector>

namespace LANGUAGES {

// True when both codes name the same known language; an unknown code
// matches only itself (case ignored), and an empty or "und" code nothing.
bool SameLanguage(const std::string& a, const std::string& b);

// A comma-separated list as the user gives it ("fre,eng"): its codes in
// order, or empty with `error` set when one is not a language code.
std::vector<std::string> ParseLanguages(const std::string& text, std::string& error);

}  // namespace LANGUAGES
