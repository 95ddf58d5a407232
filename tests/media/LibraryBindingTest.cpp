#include <libavformat/version.h>

#include <cstring>
#include <string>

#include "media/VelAvCodec.h"
#include "support/TestSupport.h"

using VELAVCODEC::VelAvCodec;
using VELAVCODEC::VelException;

namespace {

const VelAvCodec::LibraryNames kDefaults = VelAvCodec::DefaultLibraryNames();

// The message of the exception the constructor throws, or "" when it binds.
std::string BindMessage(const std::string& avcodec, const std::string& avformat,
                        const std::string& avutil, const std::string& swscale) {
  try {
    VelAvCodec decoder(avcodec, avformat, avutil, swscale);
  } catch (const VelException& error) {
    return error.Message;
  }
  return "";
}

// Runs in a folder of its own, so the ./dll/ fall-back paths are under control.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const testsupport::fs::path& path)
      : previous_(testsupport::fs::current_path()) {
    testsupport::fs::current_path(path);
  }
  ~WorkingDirectory() { testsupport::fs::current_path(previous_); }

 private:
  testsupport::fs::path previous_;
};

TEST(LibraryBinding, DefaultNamesAreTheBuildSonamesAndBind) {
  EXPECT_EQ(kDefaults.AvCodec.rfind("libavcodec.so.", 0), 0u);
  EXPECT_EQ(kDefaults.AvFormat.rfind("libavformat.so.", 0), 0u);
  EXPECT_EQ(kDefaults.AvUtil.rfind("libavutil.so.", 0), 0u);
  EXPECT_EQ(kDefaults.SwScale.rfind("libswscale.so.", 0), 0u);
  EXPECT_EQ(BindMessage(kDefaults.AvCodec, kDefaults.AvFormat, kDefaults.AvUtil, kDefaults.SwScale),
            "");
}

TEST(LibraryBinding, FirstMissingLibraryIsNamedByItsShortName) {
  const std::string missing = "libnothing-here.so";
  const auto& d = kDefaults;
  EXPECT_EQ(BindMessage(missing, missing, missing, missing),
            "[VelAvCodec::VelAvCodec] avcodec.dll not found");
  EXPECT_EQ(BindMessage(d.AvCodec, missing, d.AvUtil, d.SwScale),
            "[VelAvCodec::VelAvCodec] avformat.dll not found");
  EXPECT_EQ(BindMessage(d.AvCodec, d.AvFormat, missing, d.SwScale),
            "[VelAvCodec::VelAvCodec] avutil.dll not found");
  EXPECT_EQ(BindMessage(d.AvCodec, d.AvFormat, d.AvUtil, missing),
            "[VelAvCodec::VelAvCodec] scale.dll not found");
}

TEST(LibraryBinding, AnyMissingEntryPointFailsTheBinding) {
  // The fake has the right versions but none of the other entry points.
  const auto& d = kDefaults;
  EXPECT_EQ(BindMessage(d.AvCodec, d.AvFormat, d.AvUtil, FAKE_CURRENT),
            "[VelAvCodec::VelAvCodec] Cant't load all library functions!");
}

TEST(LibraryBinding, LibraryOfAnotherMajorVersionIsRefused) {
  const auto& d = kDefaults;
  const std::string message = BindMessage(d.AvCodec, FAKE_OLD, d.AvUtil, d.SwScale);
  const int major = LIBAVFORMAT_VERSION_MAJOR;
  EXPECT_EQ(message, "[VelAvCodec::VelAvCodec] avformat.dll (" + std::string(FAKE_OLD) +
                         ") has version " + std::to_string(major - 1) + ", " +
                         std::to_string(major) + " needed");
}

TEST(LibraryBinding, EmptyNamesLoadTheFallbackPathsUnderDll) {
  testsupport::TempDir folder;
  WorkingDirectory inside(folder.path());
  const auto& d = kDefaults;
  EXPECT_EQ(BindMessage("", d.AvFormat, d.AvUtil, d.SwScale),
            "[VelAvCodec::VelAvCodec] avcodec.dll not found");

  testsupport::fs::create_directory("dll");
  testsupport::fs::create_symlink(FAKE_OLD, "dll/libswscale.so");
  const std::string message = BindMessage(d.AvCodec, d.AvFormat, d.AvUtil, "");
  EXPECT_EQ(
      message.rfind("[VelAvCodec::VelAvCodec] scale.dll (./dll/libswscale.so) has version ", 0), 0u)
      << message;
}

TEST(LibraryBinding, ExceptionHoldsATruncatedCopyOfItsText) {
  const std::string longText(2000, 'x');
  VelException error(longText.c_str());
  EXPECT_EQ(std::strlen(error.Message), sizeof(error.Message) - 1);
  VelException copy = error;
  EXPECT_EQ(std::string(copy.Message), std::string(1023, 'x'));
}

}  // namespace
