// A file of a few huge lines costs memory in proportion to its size, once:
// loading it and reading its entries allocate a small multiple of the file,
// never a copy of it per call or per line. Counted by replacing the global
// allocation functions of this test program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "subtitles/SubtitleUnit.h"
#include "support/TestSupport.h"

namespace {

struct Counter {
  std::size_t allocated = 0;  // every byte handed out
  std::size_t live = 0;
  std::size_t peak = 0;
};
Counter counter;

// Each block carries its size in front, so that delete can count it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  counter.allocated += size;
  counter.live += size;
  if (counter.live > counter.peak) counter.peak = counter.live;
  return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  counter.live -= *static_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Release(pointer); }

namespace {

using SUBTITLEFILE::ReadingOptions;
using SUBTITLEFILE::SubtitleFile;

constexpr std::size_t kLineBytes = 10 * 1000 * 1000;

// Words with a little markup and an entity among them, no "|".
std::string HugeText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 64);
  while (text.size() < bytes) text += "<i>word</i> and {\\an8}more &amp; ";
  return text;
}

std::string HugeLines(bool subRip, int count, std::size_t bytes = kLineBytes) {
  const std::string text = HugeText(bytes);
  std::string file;
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    if (subRip)
      file += n + "\n00:00:0" + n + ",000 --> 00:00:0" + n + ",900\n" + text + "\n\n";
    else
      file += "{" + n + "0}{" + n + "9}" + text + "\n";
  }
  return file;
}

struct Cost {
  std::size_t openAllocated;
  std::size_t walkAllocated;
  std::size_t peak;  // above what was live before Open
  int entries;
};

Cost LoadAndWalk(const std::string& path, const ReadingOptions& options) {
  SubtitleFile file;
  file.Reading = options;
  const std::size_t liveBefore = counter.live;
  counter.peak = counter.live;
  const std::size_t before = counter.allocated;
  EXPECT_TRUE(file.Open(path)) << file.ErrorText;
  Cost cost{counter.allocated - before, 0, 0, 0};
  file.SetFrameRate(25.0);
  const std::size_t walkBefore = counter.allocated;
  file.ForEachEntry([&](const SUBTITLEFILE::SubtitleEntry& entry) {
    if (entry.Start == -1 && entry.End == -1) return;
    ++cost.entries;
    EXPECT_FALSE(entry.Lines.empty());
  });
  cost.walkAllocated = counter.allocated - walkBefore;
  cost.peak = counter.peak - liveBefore;
  return cost;
}

}  // namespace

TEST(SubtitleCost, ThreeTenMegabyteLinesCostTheirSizeOnce) {
  testsupport::TempDir dir;
  for (const bool subRip : {false, true}) {
    const std::string path = (dir / (subRip ? "huge.srt" : "huge.sub")).string();
    const std::string bytes = HugeLines(subRip, 3);
    testsupport::WriteFile(path, bytes);
    const double size = double(bytes.size());
    for (const ReadingOptions& options :
         {ReadingOptions{}, ReadingOptions{true, true, true, true}}) {
      SCOPED_TRACE(std::string(subRip ? "SubRip" : "MicroDVD") +
                   (options.CleanMarkup ? ", every option" : ", no option"));
      const Cost cost = LoadAndWalk(path, options);
      EXPECT_EQ(cost.entries, 3);
      // The file is read into room made for it, then held once.
      EXPECT_LT(cost.openAllocated, 1.5 * size) << cost.openAllocated;
      // A few working copies of each line, each made once.
      EXPECT_LT(cost.walkAllocated, 8.0 * size) << cost.walkAllocated;
      EXPECT_LT(cost.peak, 2.5 * size) << cost.peak;
    }
  }
}

TEST(SubtitleCost, TwiceTheLinesCostTwiceAsMuch) {
  testsupport::TempDir dir;
  const ReadingOptions every{true, true, true, true};
  for (const bool subRip : {false, true}) {
    for (const ReadingOptions& options : {ReadingOptions{}, every}) {
      SCOPED_TRACE(std::string(subRip ? "SubRip" : "MicroDVD") +
                   (options.CleanMarkup ? ", every option" : ", no option"));
      Cost costs[2];
      for (int twice = 0; twice < 2; ++twice) {
        const std::string path = (dir / ("file" + std::to_string(twice))).string();
        testsupport::WriteFile(path, HugeLines(subRip, 4 << twice, 1000 * 1000));
        costs[twice] = LoadAndWalk(path, options);
        EXPECT_EQ(costs[twice].entries, 4 << twice);
      }
      EXPECT_LT(double(costs[1].openAllocated), 2.2 * double(costs[0].openAllocated));
      EXPECT_LT(double(costs[1].walkAllocated), 2.2 * double(costs[0].walkAllocated));
    }
  }
}
