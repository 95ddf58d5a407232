#include "tracks/Languages.h"

#include <QLocale>
#include <QString>

namespace LANGUAGES {
namespace {

QLocale::Language LanguageOf(const std::string& code) {
  if (code.size() < 2 || code.size() > 3) return QLocale::AnyLanguage;
  const QString text = QString::fromStdString(code).toLower();
  return QLocale::codeToLanguage(text, QLocale::AnyLanguageCode);
}

bool Unnamed(const std::string& code) {
  return code.empty() || QString::fromStdString(code).compare("und", Qt::CaseInsensitive) == 0;
}

}  // namespace

bool SameLanguage(const std::string& a, const std::string& b) {
  if (Unnamed(a) || Unnamed(b)) return false;
  const QLocale::Language first = LanguageOf(a), second = LanguageOf(b);
  if (first != QLocale::AnyLanguage && second != QLocale::AnyLanguage) return first == second;
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::vector<std::string> ParseLanguages(const std::string& text, std::string& error) {
  std::vector<std::string> languages;
  error.clear();
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    const std::string code = text.substr(from, comma == std::string::npos ? comma : comma - from);
    if (LanguageOf(code) == QLocale::AnyLanguage) {
      error = "'" + code + "' is not a language code (such as eng, fre or de)";
      return {};
    }
    languages.push_back(code);
    if (comma == std::string::npos) return languages;
    from = comma + 1;
  }
}

}  // namespace LANGUAGES
