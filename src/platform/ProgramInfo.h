#pragma once

// The program's name and the maker's addresses, in one place: the window's
// link lines, the help and donation links and the software text written into
// every output file all take them from here.
#include <string>

namespace PROGRAMINFO {

constexpr const char* kProgramTitle = "Tolvane v2.02";
constexpr const char* kProgramDescription = "Subtitle tool for video files ";
constexpr const char* kWebSite = "https://tolvane.example";
constexpr const char* kDonationPath = "/index.php?p=1_4_Donations";
constexpr const char* kContactAddress1 = "dev@tolvane.example";
constexpr const char* kContactAddress2 = "qa@tolvane.example";

// The program, its web site and its makers, as every output file names them.
inline std::string SoftwareText() {
  return std::string(kProgramTitle) + " | " + kWebSite + " | " + kContactAddress1 + " & " +
         kContactAddress2;
}

}  // namespace PROGRAMINFO
