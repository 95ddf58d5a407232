// Where the second subtitle goes, and a pair of drawings laid over a
// picture: the first alone as it draws itself, both with the second moved.
#include "drawing/PairDrawer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "picture/BmpFrame.h"

using INKCAPTURE::RowSpan;
using PAIRDRAWER::SecondMove;
using PAIRDRAWER::SecondPlace;

namespace {

// Paints rows (from the bottom) of a BGR picture in one colour while shown.
class BarDrawer : public SUBTITLEDRAWER::SubtitleDrawer {
 public:
  BarDrawer(int32_t first, int32_t count, uint8_t value, bool* shown)
      : first_(first), count_(count), value_(value), shown_(shown) {}
  SUBTITLEDRAWER::Coverage Prepare(int32_t, int64_t, bool) override {
    SUBTITLEDRAWER::Coverage coverage;
    coverage.Shows = *shown_;
    coverage.InkRows = {first_, count_};
    return coverage;
  }
  void DrawOnto(uint8_t* bmp) override {
    const BMPFRAME::BmpView view(bmp);
    for (int32_t row = first_; row < first_ + count_; ++row)
      std::memset(view.Row(row) + 6, value_, 12);  // columns 2 to 5
  }

 private:
  int32_t first_, count_;
  uint8_t value_;
  bool* shown_;
};

}  // namespace

TEST(PairDrawerTest, TheSecondMovesToTheTopOrOntoTheFirst) {
  // Rows 90 to 99 of 100 go to rows 0 to 9 at the top; rows 80 to 89 to 0 to 9.
  EXPECT_EQ(SecondMove(SecondPlace::Top, {}, {90, 100}, 100), -90);
  EXPECT_EQ(SecondMove(SecondPlace::Top, {90, 100}, {80, 90}, 100), -70);
  // Drawn high already: it stays.
  EXPECT_EQ(SecondMove(SecondPlace::Top, {}, {10, 20}, 100), 0);
  // Above the first by the gap, or where it is without one.
  EXPECT_EQ(SecondMove(SecondPlace::Above, {90, 100}, {90, 100}, 200), -15);
  EXPECT_EQ(SecondMove(SecondPlace::Above, {}, {90, 100}, 200), 0);
  // Never moved down, never off the top.
  EXPECT_EQ(SecondMove(SecondPlace::Above, {90, 100}, {20, 30}, 200), 0);
  EXPECT_EQ(SecondMove(SecondPlace::Above, {10, 100}, {40, 90}, 100), -40);
  EXPECT_EQ(SecondMove(SecondPlace::Top, {}, {}, 100), 0);
  // The first moved to the top: the second goes just under it (a gap of 4),
  // and never past the bottom.
  EXPECT_EQ(SecondMove(SecondPlace::Top, {0, 10}, {90, 100}, 100), -76);
  EXPECT_EQ(SecondMove(SecondPlace::Top, {0, 95}, {90, 100}, 100), 0);
}

TEST(PairDrawerTest, BothAreLaidWithTheSecondMovedAndTheFirstAloneAsItDraws) {
  constexpr int32_t kWidth = 8, kHeight = 40;
  bool firstShown = true, secondShown = false;
  PAIRDRAWER::PairDrawer pair(std::make_unique<BarDrawer>(2, 4, 200, &firstShown),
                              std::make_unique<BarDrawer>(2, 4, 100, &secondShown),
                              SecondPlace::Top, kWidth, kHeight);
  BMPFRAME::BmpFrame picture;
  ASSERT_TRUE(picture.Allocate(kWidth, kHeight));
  const auto value = [&](int32_t rowFromBottom) { return picture.Row(rowFromBottom)[6]; };

  SUBTITLEDRAWER::Coverage coverage = pair.Prepare(0, 0, false);
  ASSERT_TRUE(coverage.Shows);
  EXPECT_EQ(coverage.InkRows, (std::pair<int32_t, int32_t>{2, 4}));
  pair.DrawOnto(picture.data());
  EXPECT_EQ(value(2), 200);
  EXPECT_EQ(value(kHeight - 3), 0);

  secondShown = true;
  coverage = pair.Prepare(1, 40, false);
  ASSERT_TRUE(coverage.Shows);
  // From the bottom: the first's rows 2 to 5, the second's mirrored at 34 to 37.
  EXPECT_EQ(coverage.InkRows, (std::pair<int32_t, int32_t>{2, 36}));
  pair.DrawOnto(picture.data());
  EXPECT_EQ(value(kHeight - 3), 100);
  EXPECT_EQ(value(kHeight - 6), 100);
  EXPECT_EQ(value(kHeight - 7), 0);
  EXPECT_EQ(value(2), 200);
  EXPECT_EQ(picture.Row(kHeight - 3)[0], 0);  // columns outside the bar untouched

  // Planar ink holds both, band from the top.
  firstShown = false;
  coverage = pair.Prepare(2, 80, true);
  ASSERT_TRUE(coverage.Shows);
  ASSERT_NE(coverage.PlanarInk, nullptr);
  EXPECT_EQ(coverage.PlanarInk->Band().Top, 2);
  EXPECT_EQ(coverage.PlanarInk->Band().Count, 4);
}
