// FFmpeg's messages as the log receives them, fed straight to the callback
// the libraries are given.
#include "media/LibraryLog.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

using Lines = std::vector<std::string>;

const char* DemuxerName(void*) { return "mov,mp4,m4a,3gp,3g2,mj2"; }
const char* NoName(void*) { return "NULL"; }

AVClass ClassOf(const char* className, const char* (*itemName)(void*)) {
  AVClass result{};
  result.class_name = className;
  result.item_name = itemName;
  return result;
}
const AVClass kDemuxer = ClassOf("AVFormatContext", DemuxerName);
const AVClass kEncoder = ClassOf("libx264", NoName);

// What FFmpeg's objects start with: the address of their class.
struct Reporter {
  const AVClass* avClass;
};
Reporter demuxer{&kDemuxer};
Reporter encoder{&kEncoder};

void Log(void* context, int level, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  LIBRARYLOG::LogCallback()(context, level, format, arguments);
  va_end(arguments);
}

class LibraryLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LIBRARYLOG::SetDetail(LIBRARYLOG::Detail::Errors);
    LIBRARYLOG::BeginRun();
  }
  void TearDown() override { LIBRARYLOG::SetDetail(LIBRARYLOG::Detail::Errors); }
};

TEST_F(LibraryLogTest, ErrorsInTheSystemsStyleTheRestOnlyInDetail) {
  Log(&demuxer, AV_LOG_ERROR, "moov atom not found\n");
  Log(&encoder, AV_LOG_INFO, "frame I:1     Avg QP:18.64  size:  3621\n");
  Log(&encoder, AV_LOG_WARNING, "no-fast-pskip\n");
  Log(nullptr, AV_LOG_FATAL, "out of memory.\n");
  EXPECT_EQ(LIBRARYLOG::TakeLines(),
            (Lines{"[FFmpeg::mov] moov atom not found...", "[FFmpeg] out of memory..."}));
  EXPECT_TRUE(LIBRARYLOG::TakeLines().empty());

  LIBRARYLOG::SetDetail(LIBRARYLOG::Detail::Everything);
  Log(&encoder, AV_LOG_INFO, "kb/s:55.31\n");
  Log(&encoder, AV_LOG_DEBUG, "a debugging note\n");
  // The colour hint above the level byte changes nothing.
  Log(&encoder, AV_LOG_WARNING | (3 << 8), "profile High, level 1.3:\n");
  EXPECT_EQ(LIBRARYLOG::TakeLines(),
            (Lines{"[FFmpeg::libx264] kb/s:55.31", "[FFmpeg::libx264] profile High, level 1.3"}));
}

TEST_F(LibraryLogTest, PiecesMakeOneLineAndEachTextShowsOncePerRun) {
  Log(&demuxer, AV_LOG_ERROR, "Invalid data ");
  Log(&demuxer, AV_LOG_ERROR, "at %d bytes", 512);
  EXPECT_TRUE(LIBRARYLOG::TakeLines().empty());
  // Another thread's line does not join this thread's unfinished one.
  std::thread([] { Log(&encoder, AV_LOG_ERROR, "broken\n"); }).join();
  Log(&demuxer, AV_LOG_ERROR, "\nsecond\n\n  \n");
  EXPECT_EQ(LIBRARYLOG::TakeLines(),
            (Lines{"[FFmpeg::libx264] broken...", "[FFmpeg::mov] Invalid data at 512 bytes...",
                   "[FFmpeg::mov] second..."}));

  Log(&demuxer, AV_LOG_ERROR, "second\n");
  EXPECT_TRUE(LIBRARYLOG::TakeLines().empty());
  LIBRARYLOG::BeginRun();
  Log(&demuxer, AV_LOG_ERROR, "second\n");
  EXPECT_EQ(LIBRARYLOG::TakeLines(), Lines{"[FFmpeg::mov] second..."});
}

TEST_F(LibraryLogTest, AFloodIsCutWithANoteAndWhatCameBeforeARunIsDropped) {
  Log(&demuxer, AV_LOG_ERROR, "before the job\n");
  LIBRARYLOG::BeginRun();
  for (int i = 0; i < 500; ++i) Log(&demuxer, AV_LOG_ERROR, "error in picture %d\n", i);
  const Lines lines = LIBRARYLOG::TakeLines();
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "[FFmpeg::mov] error in picture 0...");
  EXPECT_EQ(lines[98], "[FFmpeg::mov] error in picture 98...");
  EXPECT_EQ(lines.back(), "[FFmpeg] Further messages of this job are left out...");
}

TEST_F(LibraryLogTest, ALineThatNeverEndsIsKeptInPieces) {
  const std::string piece(600, 'x');
  Log(&demuxer, AV_LOG_ERROR, "%s", piece.c_str());
  EXPECT_TRUE(LIBRARYLOG::TakeLines().empty());
  Log(&demuxer, AV_LOG_ERROR, "%s", piece.c_str());
  const Lines lines = LIBRARYLOG::TakeLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "[FFmpeg::mov] " + piece + piece + "...");
}

}  // namespace
