#include "ocr/SetReader.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <algorithm>

#include "ocr/InkLines.h"

namespace SETREADER {
namespace {

std::string Trimmed(std::string text) {
  const auto blank = [](char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
  };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  text.erase(0, first);
  std::replace(text.begin(), text.end(), '\n', ' ');
  // Subtitles have no bars; a sans-serif capital I reads as one.
  std::replace(text.begin(), text.end(), '|', 'I');
  return text;
}

}  // namespace

SetReader::SetReader() = default;
SetReader::~SetReader() {
  if (api_) api_->End();
}

std::string SetReader::Open(const std::string& languages) {
  // The sets are parted among readers, one a core. Tesseract's loops would
  // each start a team of OpenMP threads of their own, several a reader,
  // that fight the readers for the cores and spend more time waiting than
  // reading: its loops run on the reader's thread alone.
  omp_set_max_active_levels(0);
  api_ = std::make_unique<tesseract::TessBaseAPI>();
  if (api_->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    api_.reset();
    return "Tesseract has no data for '" + languages + "' on this machine (tesseract-ocr-" +
           languages.substr(0, languages.find('+')) + ")";
  }
  // One line at a time, as the lines are split beforehand.
  api_->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  api_->SetVariable("debug_file", "/dev/null");
  return {};
}

std::vector<std::string> SetReader::Installed() {
  tesseract::TessBaseAPI api;
  std::vector<std::string> languages;
  if (api.Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) return languages;
  api.GetAvailableLanguagesAsVector(&languages);
  api.End();
  return languages;
}

std::string SetReader::ReadLine(const std::vector<uint8_t>& gray, int width, int height) {
  api_->SetImage(gray.data(), width, height, 1, width);
  std::unique_ptr<char[]> text(api_->GetUTF8Text());
  return text ? Trimmed(text.get()) : std::string();
}

std::string SetReader::Read(const SUBTITLEBITMAPS::DisplaySet& set) {
  if (!api_) return {};
  struct Read {
    int32_t top;
    std::string text;
  };
  std::vector<Read> lines;
  for (const SUBTITLEBITMAPS::Bitmap& bitmap : set.Bitmaps)
    for (const INKLINES::InkLine& line : INKLINES::LinesOf(bitmap)) {
      std::string text = ReadLine(line.Gray, line.Width, line.Height);
      if (text.empty()) continue;
      if (line.Leaning) text = "<i>" + text + "</i>";
      lines.push_back({line.CanvasTop, std::move(text)});
    }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Read& a, const Read& b) { return a.top < b.top; });
  std::string text;
  for (const Read& line : lines) text += (text.empty() ? "" : "\n") + line.text;
  // A set in the upper third of its canvas is a top subtitle.
  if (!lines.empty() && set.CanvasHeight > 0 && lines.back().top < set.CanvasHeight / 3)
    text = "{\\an8}" + text;
  return text;
}

}  // namespace SETREADER
