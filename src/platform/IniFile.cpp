#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <limits>

#include "text/AsciiText.h"

namespace INIFILE {
namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// The name of a "[name]" line, or false when the line is not a section head.
bool SectionName(const std::string& line, std::string& name) {
  std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  size_t close = trimmed.find(']');
  name = Trim(trimmed.substr(1, close == npos ? npos : close - 1));
  return true;
}

// The key of a "key=value" line, or false when the line holds no entry.
bool KeyName(const std::string& line, std::string& key) {
  size_t equals = line.find('=');
  if (equals == npos) return false;
  key = Trim(line.substr(0, equals));
  return !key.empty() && key.front() != ';';
}

std::string ValueOf(const std::string& line) {
  std::string value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
  return value;
}

int DigitValue(char c, int base) {
  int digit = -1;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

}  // namespace

bool ParseInteger(const std::string& text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  const uint64_t limit =
      base == 16 ? 0xFFFFFFFFull : uint64_t(std::numeric_limits<int32_t>::max()) + 1;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  if (base == 10 && !negative && magnitude > uint64_t(std::numeric_limits<int32_t>::max()))
    return false;
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

// The file's text; empty when it is missing. Only a regular file of sane size
// is read: a FIFO or a device would block or never end, a huge file would
// only cost memory. Either makes the file unusable, so nothing writes over it.
std::string IniFile::ReadText() {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A path that exists but cannot be opened is no settings file either.
    struct stat info {};
    usable_ = ::stat(path_.c_str(), &info) != 0 || S_ISREG(info.st_mode);
    return {};
  }
  std::string text;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > off_t(kMaxFileSize)) {
    usable_ = false;
  } else {
    text.resize(size_t(info.st_size));
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += size_t(n);
    }
    text.resize(done);
  }
  ::close(fd);
  return text;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  const std::string text = ReadText();
  if (text.find('\n') != npos && text.find("\r\n") == npos) lineEnd_ = "\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

IniFile::Position IniFile::Find(const std::string& section, const std::string& key) const {
  Position position{npos, npos, npos};
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string name;
    if (SectionName(lines_[i], name)) {
      if (inSection) break;
      inSection = ASCIITEXT::EqualsIgnoringCase(name, section);
      if (inSection) position.sectionLine = position.insertLine = i;
      continue;
    }
    if (!inSection) continue;
    if (!Trim(lines_[i]).empty()) position.insertLine = i;
    if (KeyName(lines_[i], name) && ASCIITEXT::EqualsIgnoringCase(name, key)) {
      position.keyLine = i;
      break;
    }
  }
  return position;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  Position position = Find(section, key);
  return position.keyLine == npos ? fallback : ValueOf(lines_[position.keyLine]);
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                             int32_t fallback) const {
  int32_t value;
  return ParseInteger(ReadString(section, key, ""), value) ? value : fallback;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  // A value ends at its line: what follows a line break would be read back
  // as keys of their own (a file name could name the decoder libraries).
  const std::string entry = key + "=" + value.substr(0, value.find_first_of("\r\n"));
  Position position = Find(section, key);
  if (position.keyLine != npos) {
    lines_[position.keyLine] = entry;
  } else if (position.sectionLine != npos) {
    lines_.insert(lines_.begin() + std::ptrdiff_t(position.insertLine + 1), entry);
  } else {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
    lines_.push_back("[" + section + "]");
    lines_.push_back(entry);
  }
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::UpdateFile() const {
  struct stat info {};
  if (!usable_ || (::stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode))) return false;
  std::ofstream file(path_, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  for (const std::string& line : lines_) file << line << lineEnd_;
  file.close();
  return !file.fail();
}

}  // namespace INIFILE
