// tolvane --list-compressors, and finding a compressor by the code it prints.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CommandLine.h"
#include "compressors/CompressorCatalog.h"

namespace {

using COMPRESSORCATALOG::FindCompressorByCode;

TEST(ListCompressorsCommand, PrintsCodeTabNameForEachInstalledCompressor) {
  std::ostringstream out, err;
  EXPECT_EQ(COMMANDLINE::RunCommandLine({"--list-compressors"}, out, err), COMMANDLINE::ExitOk);
  EXPECT_EQ(err.str(), "");
  std::istringstream lines(out.str());
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "DIB\tFull Frames (Uncompressed)");
  size_t count = 1;
  for (; std::getline(lines, line); ++count) {
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    EXPECT_EQ(line.find(' '), line.find(' ', tab)) << "a blank before the tab: " << line;
    // Every printed code names its compressor again.
    const auto* info = FindCompressorByCode(line.substr(0, tab));
    ASSERT_NE(info, nullptr) << line;
    EXPECT_EQ(info->name, line.substr(tab + 1));
  }
  EXPECT_EQ(count, COMPRESSORCATALOG::InstalledCompressors().size());

  std::ostringstream none, complaint;
  EXPECT_EQ(COMMANDLINE::RunCommandLine({"--list-compressors", "extra"}, none, complaint),
            COMMANDLINE::ExitBadArguments);
}

TEST(ListCompressorsCommand, CodesMatchWithoutRegardToCaseOrTrailingBlanks) {
  for (const char* code : {"DIB", "dib", "DIB ", "Dib  "}) {
    const auto* info = FindCompressorByCode(code);
    ASSERT_NE(info, nullptr) << code;
    EXPECT_EQ(info->code, COMPRESSORCATALOG::kFullFrames);
  }
  if (COMPRESSORCATALOG::FindCompressor(ENCODERCHOICE::FourCC('H', '2', '6', '4')))
    EXPECT_NE(FindCompressorByCode("h264"), nullptr);
  for (const char* code : {"", "   ", " DIB", "DIBX", "DIB X", "NONE"})
    EXPECT_EQ(FindCompressorByCode(code), nullptr) << '"' << code << '"';
}

}  // namespace
