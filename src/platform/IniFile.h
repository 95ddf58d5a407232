#pragma once

// A profile (INI) file as the original platform's profile service handles it:
// section and key names compared without regard to case, the first match
// read, a written key replaced in place with every other line kept, a missing
// section or key appended. The whole file is held in memory between the
// reads and writes and reaches the disk with UpdateFile.
#include <cstdint>
#include <string>
#include <vector>

namespace INIFILE {

// Longest value a read returns (the profile service's 2048-byte buffer).
constexpr size_t kMaxValueLength = 2047;
// A larger file is no settings file: it is neither read nor written over.
constexpr size_t kMaxFileSize = 1 << 20;

// Decimal, or hexadecimal after "0x", "0X" or "$"; leading blanks and a sign
// allowed, nothing after the digits. Hexadecimal takes up to 32 bits and
// wraps into the signed range; decimal must fit it.
bool ParseInteger(const std::string& text, int32_t& value);

class IniFile {
 public:
  // Reads the file when it exists; a missing file reads as empty, and so do
  // a file that is not a regular one and one larger than kMaxFileSize, which
  // UpdateFile then refuses to write over.
  explicit IniFile(std::string path);

  const std::string& Path() const { return path_; }

  // The value of the first matching key in the first matching section,
  // blanks and one pair of enclosing quotes removed; fallback when missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // fallback when the key is missing, empty or not a number.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
  // An integer: non-zero is true.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  // Writes value up to its first line break.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // Writes the lines to the file; false when it cannot be written.
  bool UpdateFile() const;

 private:
  struct Position {
    size_t sectionLine;  // npos when the section is missing
    size_t keyLine;      // npos when the key is missing
    size_t insertLine;   // where a missing key goes: after the section's last entry
  };
  Position Find(const std::string& section, const std::string& key) const;
  std::string ReadText();

  std::string path_;
  std::vector<std::string> lines_;
  std::string lineEnd_ = "\r\n";
  bool usable_ = true;
};

}  // namespace INIFILE
