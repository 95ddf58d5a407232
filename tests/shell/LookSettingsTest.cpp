// The [LOOK] section of the settings file.
#include <gtest/gtest.h>

#include "shell/JobSettings.h"
#include "shell/Settings.h"
#include "support/TestSupport.h"

using SETTINGS::LoadSettings;
using SETTINGS::Settings;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class LookSettingsTest : public ::testing::Test {
 protected:
  void Save(const Settings& settings) {
    std::string error;
    ASSERT_TRUE(SETTINGS::SaveSettings(path, settings, error)) << error;
  }
  TempDir dir;
  std::string path = (dir / "Tolvane.ini").string();
};

}  // namespace

TEST_F(LookSettingsTest, PlainLookAddsNoSection) {
  EXPECT_EQ(LoadSettings(path).Look, SUBTITLELOOK::SubtitleLook{});
  Save(Settings{});
  EXPECT_EQ(ReadFile(path).find("[LOOK]"), std::string::npos);
}

TEST_F(LookSettingsTest, EveryKeyRoundTripsAndGoesToTheJob) {
  Settings settings;
  settings.Look = {3, 0x0000FF, 2, 0x112233, 45, 0xABCDEF, true, 24};
  Save(settings);
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("[LOOK]\r\nOutline=3\r\nOutlineColor=0x0000FF\r\nShadow=2\r\n"
                      "ShadowColor=0x112233\r\nBoxOpacity=45\r\nBoxColor=0xABCDEF\r\n"
                      "Antialias=1\r\nMargin=24\r\n"),
            std::string::npos)
      << text;
  const Settings read = LoadSettings(path);
  EXPECT_EQ(read.Look, settings.Look);
  EXPECT_EQ(SETTINGS::JobOptionsFromSettings(read).Look, settings.Look);
}

TEST_F(LookSettingsTest, ValuesAreHeldToTheCommandLinesRanges) {
  WriteFile(path,
            "[LOOK]\nOutline=99\nOutlineColor=red\nShadow=-3\nShadowColor=$FF\n"
            "BoxOpacity=250\nBoxColor=0x10\nAntialias=yes\nMargin=5000\n");
  const SUBTITLELOOK::SubtitleLook look = LoadSettings(path).Look;
  EXPECT_EQ(look.Outline, 8);
  EXPECT_EQ(look.OutlineColor, 0u);  // no number: black
  EXPECT_EQ(look.Shadow, 0);
  EXPECT_EQ(look.ShadowColor, 0xFFu);
  EXPECT_EQ(look.BoxOpacity, 100);
  EXPECT_EQ(look.BoxColor, 0x10u);
  EXPECT_FALSE(look.Antialias);  // no number: the default
  EXPECT_EQ(look.Margin, 1000);
}

TEST_F(LookSettingsTest, SwitchingOffIsKeptAndAutosaveOffWritesNothing) {
  WriteFile(path, "[LOOK]\r\nOutline=3\r\nAntialias=1\r\n");
  Settings settings = LoadSettings(path);
  ASSERT_EQ(settings.Look.Outline, 3);
  settings.Look = {};
  settings.SaveOnExit = false;
  Save(settings);
  EXPECT_EQ(LoadSettings(path).Look.Outline, 3);
  settings.SaveOnExit = true;
  Save(settings);
  EXPECT_EQ(LoadSettings(path).Look, SUBTITLELOOK::SubtitleLook{});
}
