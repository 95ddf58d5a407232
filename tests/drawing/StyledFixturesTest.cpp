// Real styled scripts (effects, karaoke, drawings, every WebVTT setting)
// keep every event within the bounds put on hostile scripts: the bounds
// hold back only what no real script asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "drawing/StyledRenderer.h"
#include "styled/StyledScript.h"
#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

fs::path StyledFixturesDir() {
  const fs::path plain = testsupport::SubtitleFixturesDir();
  if (plain.empty()) return {};
  const fs::path styled = plain.parent_path() / "subtitles-styled";
  return fs::is_directory(styled) ? styled : fs::path();
}

// The largest ink of the events shown at any one time, in pictures' areas.
double PeakInkAtOnce(const STYLEDSCRIPT::StyledScript& script) {
  std::map<int64_t, double> changes;
  for (const STYLEDSCRIPT::StyledEvent& event : script.Events) {
    changes[event.StartMs] += event.Ink;
    changes[event.EndMs] -= event.Ink;
  }
  double now = 0, peak = 0;
  for (const auto& [ms, change] : changes) peak = std::max(peak, now += change);
  return peak;
}

TEST(StyledFixtures, RealScriptsKeepEveryEventWithinTheBounds) {
  const fs::path dir = StyledFixturesDir();
  if (dir.empty()) GTEST_SKIP() << "shared styled subtitle fixtures are absent";
  int scripts = 0;
  double largestEvent = 0, largestAtOnce = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename() == "README.md") continue;
    SUBTITLEFILE::SubtitleFile file;
    file.Reading.Styled = file.Reading.Unicode = true;
    if (!file.Open(entry.path().string())) continue;
    file.SetFrameRate(25.0);
    ++scripts;
    for (const auto& [width, height] : {std::pair{1280, 720}, {640, 360}}) {
      const STYLEDSCRIPT::StyledScript script =
          STYLEDSCRIPT::BuildScript(file, STYLEDSCRIPT::BaseStyle{}, width, height);
      for (const STYLEDSCRIPT::StyledEvent& event : script.Events) {
        EXPECT_FALSE(event.Cut) << entry.path().filename() << ": " << event.Fields.substr(0, 80);
        largestEvent = std::max(largestEvent, event.Ink);
      }
      largestAtOnce = std::max(largestAtOnce, PeakInkAtOnce(script));
      STYLEDRENDERER::StyledRenderer renderer;
      ASSERT_EQ(renderer.Setup(script, width, height), "");
      for (const std::string& note : renderer.TakeNotes())
        EXPECT_EQ(note.find("left out"), std::string::npos) << entry.path().filename() << note;
    }
  }
  EXPECT_GT(scripts, 20);
  // Real scripts stay inside the bounds with room to spare.
  EXPECT_LT(largestEvent, 0.75 * STYLEDLIMITS::kMaximumEventInk);
  EXPECT_LT(largestAtOnce, 0.75 * STYLEDLIMITS::kMaximumInkAtOnce);
  std::printf("largest event ink %.3f, largest at once %.3f pictures\n", largestEvent,
              largestAtOnce);
}

}  // namespace
