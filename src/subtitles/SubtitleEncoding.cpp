#include "subtitles/SubtitleEncoding.h"

#include <iconv.h>
#include <uchardet.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace SUBTITLEFILE {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

struct MarkForm {
  std::string_view bytes;
  const char* encoding;
  std::size_t unit;
};

// Longest marks first: FF FE 00 00 also starts like UTF-16 LE.
constexpr MarkForm kMarks[] = {
    {std::string_view("\xFF\xFE\0\0", 4), "UTF-32LE", 4},
    {std::string_view("\0\0\xFE\xFF", 4), "UTF-32BE", 4},
    {"\xEF\xBB\xBF", "UTF-8", 1},
    {"\xFF\xFE", "UTF-16LE", 2},
    {"\xFE\xFF", "UTF-16BE", 2},
};

const MarkForm* FindMarkForm(std::string_view bytes) {
  for (const MarkForm& form : kMarks)
    if (bytes.substr(0, form.bytes.size()) == form.bytes) return &form;
  return nullptr;
}

// Latin-1 and Latin-5 as detectors name them are in practice their Windows
// supersets, whose 0x80 to 0x9F are letters and signs rather than controls.
std::string ReadableEncoding(std::string name) {
  if (name == "ISO-8859-1") return "WINDOWS-1252";
  if (name == "ISO-8859-9") return "WINDOWS-1254";
  return name;
}

class Converter {
 public:
  explicit Converter(const char* from) : cd_(iconv_open("UTF-8", from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  void Run(std::string_view bytes, std::size_t unit, std::string& out) {
    out.assign(bytes.size() + bytes.size() / 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t used = 0;
    for (;;) {
      char* at = out.data() + used;
      std::size_t outLeft = out.size() - used;
      const std::size_t result = inLeft == 0 ? iconv(cd_, nullptr, nullptr, &at, &outLeft)
                                             : iconv(cd_, &in, &inLeft, &at, &outLeft);
      used = std::size_t(at - out.data());
      if (result != std::size_t(-1) && inLeft == 0) break;
      if (result != std::size_t(-1)) continue;
      if (errno == E2BIG || out.size() - used < sizeof kReplacement) {
        out.resize(out.size() * 2);
        continue;
      }
      // A byte sequence that is invalid, or cut off at the end.
      out.replace(used, sizeof kReplacement - 1, kReplacement);
      used += sizeof kReplacement - 1;
      const std::size_t skipped = std::min(unit, inLeft);
      in += skipped;
      inLeft -= skipped;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

namespace {

// Bytes of the well-formed UTF-8 sequence at bytes[i], or 0.
std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  if (lead < 0x80) return 1;
  std::size_t length;
  uint32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) return 0;
  if (length == 4 && (value < 0x10000 || value > 0x10FFFF)) return 0;
  return length;
}

// The converter lets through what it takes for UTF-8 beyond the standard
// (leads F5 to FD, values past U+10FFFF): each such byte becomes U+FFFD.
void ReplaceMalformedUtf8(std::string& text) {
  if (IsUtf8(text)) return;
  std::string clean;
  clean.reserve(text.size() + text.size() / 2);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceLength(text, i);
    if (length == 0) {
      clean += kReplacement;
      ++i;
    } else {
      clean.append(text, i, length);
      i += length;
    }
  }
  text.swap(clean);
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool ConvertToUtf8(std::string_view bytes, const char* from, std::size_t unit, std::string& out) {
  Converter converter(from);
  if (!converter.Valid()) return false;
  converter.Run(bytes, std::max<std::size_t>(unit, 1), out);
  ReplaceMalformedUtf8(out);
  return true;
}

std::string DetectEncoding(std::string_view bytes) {
  std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
      uchardet_new(), uchardet_delete);
  if (!detector) return {};
  if (uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) return {};
  uchardet_data_end(detector.get());
  const char* name = uchardet_get_charset(detector.get());
  return name ? ReadableEncoding(name) : std::string();
}

DecodedText DecodeFileText(std::string bytes, const ReadingOptions& options) {
  DecodedText decoded;
  const MarkForm* mark = options.Unicode ? FindMarkForm(bytes) : nullptr;
  if (mark != nullptr) {
    const std::string_view body = std::string_view(bytes).substr(mark->bytes.size());
    ConvertToUtf8(body, mark->encoding, mark->unit, decoded.Text);
    decoded.Utf8 = true;
    decoded.Encoding = mark->encoding;
    return decoded;
  }
  const bool reading = options.Unicode || options.DetectCodePage;
  if (IsUtf8(bytes)) {
    // ASCII is the same text whichever way it is read.
    decoded.Encoding = IsAscii(bytes) ? "ASCII" : "UTF-8";
    decoded.Utf8 = reading && decoded.Encoding == "UTF-8";
    decoded.Text = std::move(bytes);
    return decoded;
  }
  if (options.DetectCodePage) {
    const std::string found = DetectEncoding(bytes);
    if (!found.empty() && found != "ASCII" &&
        ConvertToUtf8(bytes, found.c_str(), 1, decoded.Text)) {
      decoded.Utf8 = true;
      decoded.Encoding = found;
      return decoded;
    }
  }
  decoded.Text = std::move(bytes);
  return decoded;
}

}  // namespace SUBTITLEFILE
