#pragma once

// What the watched folder's tests share: the folders a watcher reads and
// writes, and two films made once for a whole suite.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace watchfolders {

using path = testsupport::fs::path;

class WatchFolders : public ::testing::Test {
 protected:
  // short.mkv: 2 s at 160x120; long.mkv: `seconds` at `size`, MPEG-4 with
  // `quality` (its encoder options, may be empty).
  static void MakeMedia(const std::string& size, int seconds, const std::string& quality) {
    media_ = new testsupport::TempDir;
    testsupport::Ffmpeg(
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=duration=2 "
        "-c:v mpeg4 -c:a aac " +
        (media_->path() / "short.mkv").string());
    const std::string length = std::to_string(seconds);
    testsupport::Ffmpeg("-f lavfi -i testsrc=size=" + size + ":rate=25:duration=" + length +
                        " -f lavfi -i sine=duration=" + length + " -c:v mpeg4 " + quality +
                        " -c:a aac " + (media_->path() / "long.mkv").string());
  }
  static void DropMedia() {
    delete media_;
    media_ = nullptr;
  }
  void SetUp() override {
    testsupport::fs::create_directories(in());
    testsupport::fs::create_directories(out());
  }
  path in() const { return dir / "in"; }
  path out() const { return dir / "out"; }
  static path Media(const char* name) { return media_->path() / name; }

  inline static testsupport::TempDir* media_ = nullptr;
  testsupport::TempDir dir;
};

}  // namespace watchfolders
