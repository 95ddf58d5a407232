// The jobs "Add folder" and dropped folders make.
#include "shell/FolderJobs.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using FOLDERJOBS::FindFolderJobs;
using FOLDERJOBS::SubtitledName;
using namespace testsupport;

TEST(FolderJobs, OutputsAreNamedAfterTheVideoInTheCurrentOutputsContainer) {
  EXPECT_EQ(SubtitledName("/films/ep 1.mp4", "/out/last.mkv"), "/films/ep 1-subtitled.mkv");
  EXPECT_EQ(SubtitledName("/films/talk.v2.MOV", "x.AVI"), "/films/talk.v2-subtitled.AVI");
  EXPECT_EQ(SubtitledName("/films/talk.webm", ""), "/films/talk-subtitled.avi");
  EXPECT_EQ(SubtitledName("clip", "o.mp4"), "clip-subtitled.mp4");
}

TEST(FolderJobs, EveryVideoWithASubtitleFileOfItsNameBecomesAJob) {
  TempDir dir;
  for (const char* name : {"b.mkv", "b.srt", "a.MP4", "a.SUB", "c.avi", "notes.txt", "d.srt",
                           "e.mov", "e.sub", "e.srt", "E.srt", "b-subtitled.avi"})
    WriteFile(dir / name, "x");
  std::filesystem::create_directory(dir / "f.mkv");  // a folder is no video
  WriteFile(dir / "f.srt", "x");
  const auto jobs = FindFolderJobs(dir.path().string(), "/somewhere/out.mp4");
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0].Source, (dir / "a.MP4").string());
  EXPECT_EQ(jobs[0].Subtitle, (dir / "a.SUB").string());
  EXPECT_EQ(jobs[0].Output, (dir / "a-subtitled.mp4").string());
  EXPECT_EQ(jobs[1].Source, (dir / "b.mkv").string());
  EXPECT_EQ(jobs[1].Subtitle, (dir / "b.srt").string());
  // SubRip is preferred; the base name must match exactly.
  EXPECT_EQ(jobs[2].Source, (dir / "e.mov").string());
  EXPECT_EQ(jobs[2].Subtitle, (dir / "e.srt").string());
}

TEST(FolderJobs, AFolderThatCannotBeReadGivesNoJobs) {
  EXPECT_TRUE(FindFolderJobs("/no/such/folder", "out.avi").empty());
  TempDir dir;
  WriteFile(dir / "file.mkv", "x");
  EXPECT_TRUE(FindFolderJobs((dir / "file.mkv").string(), "out.avi").empty());
}
