// Where a drawing moves: even rows, inside the picture, into the bar when
// it fits, and a sign in the upper half left alone.
#include "drawing/PlacedDrawer.h"

#include <gtest/gtest.h>

using namespace PLACEDDRAWER;

TEST(PlacedDrawerTest, TheShiftKeepsTheDrawingWholeAndOnEvenRows) {
  Placement bars{Where::Bars, 240, 210, 30, 0, false};
  // 16 rows at 200..215 go to the bar's middle (217, made even: 216).
  EXPECT_EQ(ShiftFor(bars, 200, 216), 16);
  // Taller than the bar: on the picture's bottom edge, letters whole.
  EXPECT_EQ(ShiftFor(bars, 150, 190), 50);
  // A sign at the top stays; plain text moves from anywhere.
  EXPECT_EQ(ShiftFor(bars, 20, 36), 0);
  bars.AnyRows = true;
  EXPECT_EQ(ShiftFor(bars, 20, 36), 196);
  // No bar: the bottom stays, the raise still holds.
  Placement none{Where::Bars, 240, 0, 0, 60, false};
  EXPECT_EQ(ShiftFor(none, 200, 216), -60);
  // Raised past the top: held at the top.
  Placement high{Where::Bottom, 240, 0, 0, 230, false};
  EXPECT_EQ(ShiftFor(high, 200, 216), -200);
  // The top mirrors the bottom's margin; odd rows land on even shifts.
  Placement top{Where::Top, 241, 0, 0, 0, false};
  const int32_t shift = ShiftFor(top, 201, 231);
  EXPECT_EQ(shift % 2, 0);
  EXPECT_GE(201 + shift, 0);
  EXPECT_NEAR(201 + shift, 241 - 231, 1);
  EXPECT_EQ(ShiftFor(top, 201, 201), 0);
}
