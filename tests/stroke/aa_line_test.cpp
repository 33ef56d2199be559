// AALine's walk and spacing, and the Distance it measures with.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "stroke/aa_line.h"
#include "stroke_fixture.h"

namespace brisel::testing {
namespace {

TEST(Distance, RoundsTheFirstSquareToFloatBeforeTheSum) {
  EXPECT_EQ(stroke::Distance(3, 0, 0, 4), 5.0f);
  EXPECT_EQ(stroke::Distance(0, 4, 3, 0), 5.0f);
  EXPECT_EQ(stroke::Distance(1, 1, 1, 1), 0.0f);
  // Here the three readings part: rounding the x square to float before the sum gives 0x1.aafc44p+1,
  // keeping it whole (or doing everything in float) gives 0x1.aafc46p+1.
  const float dx = 0x1.32bp+0f, dy = 0x1.8e8p+1f;  // 1.19799805, 3.11328125
  EXPECT_EQ(stroke::Distance(dx, 0, 0, dy), 0x1.aafc44p+1f);
  EXPECT_EQ(stroke::Distance(0, dy, dx, 0), 0x1.aafc44p+1f);
  // Only the x square is rounded: with the axes swapped the rounding falls on the other square.
  EXPECT_EQ(stroke::Distance(0, dx, dy, 0), 0x1.aafc46p+1f);
}

// Dabs of size 0.1 centred on pixel centres mark exactly one pixel each (a cone of radius one pixel, its
// neighbours' centres on its rim), so the positions that got a dab can be counted. The spacing is set
// through brush.step: spacing = brush.step / 100 * 0.1.
class AALineTest : public StrokeTest {
 protected:
  void SetUp() override {
    StrokeTest::SetUp();
    MakeImage(40, 8);
  }
  std::vector<int> DabbedColumns(int32_t row) {
    std::vector<int> columns;
    for (int32_t x = 0; x < surface.width; ++x)
      if (mask(x, row) != 0) columns.push_back(x);
    return columns;
  }
  void Line(float x0, float x1, float spacing) {
    brush.step = spacing / 0.1f * 100;
    stroke::AALine(s, surface, brush, x0, 3.5f, x1, 3.5f, 0.1f, 0.1f);
  }
};

TEST_F(AALineTest, SpacingOfBrushSizeTwoDabsEveryPixel) {
  Line(2.5f, 5.5f, 0.3f);  // a piece of length 3 with spacing 0.3 (size 2 at step 15)
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(s.StepDistance, 0);
}

TEST_F(AALineTest, SpacingOfBrushSizeThirtyTwoDabsEveryFifthStep) {
  Line(0.5f, 20.5f, 4.8f);  // 21 positions; spacing 4.8 (size 32 at step 15)
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{4, 9, 14, 19}));
  EXPECT_NEAR(s.StepDistance, 1, 1e-5);
}

TEST_F(AALineTest, WalkedDistanceCarriesOverFromPieceToPiece) {
  Line(0.5f, 3.5f, 4.8f);   // four positions: 4 walked, no dab
  EXPECT_TRUE(DabbedColumns(3).empty());
  Line(3.5f, 10.5f, 4.8f);  // its start (visited again) is the fifth step
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{3, 8}));
}

TEST_F(AALineTest, ZeroLengthPieceWalksNothingAndDabsOnlyIfTheSpacingIsReached) {
  s.StepDistance = 2;
  Line(6.5f, 6.5f, 4.8f);
  EXPECT_EQ(s.StepDistance, 2);
  EXPECT_TRUE(DabbedColumns(3).empty());
  s.StepDistance = 5;
  Line(6.5f, 6.5f, 4.8f);
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{6}));
  Line(9.5f, 9.5f, 0);  // spacing 0: every position gets a dab
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{6, 9}));
}

// Coordinates gone wild (a length that is NaN or infinite) walk nothing, as a zero-length piece: the count
// stays what it was and the next piece dabs as ever.
TEST_F(AALineTest, APieceOfWildCoordinatesCountsNothingAndLaterPiecesDabAsEver) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& [x0, x1] : {std::pair{6.5f, nan}, {nan, 6.5f}, {6.5f, inf}, {inf, inf}, {-inf, 6.5f}, {3e38f, -3e38f}}) {
    SCOPED_TRACE(::testing::Message() << x0 << " to " << x1);
    mask.fill(0);
    s.StepDistance = 2;
    Line(x0, x1, 4.8f);
    EXPECT_EQ(s.StepDistance, 2);
    Line(10.5f, 20.5f, 4.8f);  // its third position completes the spacing
    EXPECT_EQ(DabbedColumns(3), (std::vector<int>{12, 17}));
  }
}

// The spacing is brush.step percent of the start size, whichever way the size slides: sizes 0.1 to 0.5 each
// mark one pixel, and at step 300 they space the dabs 0.3 and 1.5 apart.
TEST_F(AALineTest, SpacingIsTakenFromTheStartSize) {
  brush.step = 300;
  stroke::AALine(s, surface, brush, 2.5f, 3.5f, 8.5f, 3.5f, 0.1f, 0.5f);
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
  s.StepDistance = 0;
  stroke::AALine(s, surface, brush, 2.5f, 5.5f, 8.5f, 5.5f, 0.5f, 0.1f);
  EXPECT_EQ(DabbedColumns(5), (std::vector<int>{3, 5, 7}));
}

TEST_F(AALineTest, PieceShorterThanHalfAPixelVisitsItsStartOnceAndWalksOne) {
  s.StepDistance = 0;
  Line(6.5f, 6.9f, 4.8f);
  EXPECT_NEAR(s.StepDistance, 1, 1e-6);
  EXPECT_TRUE(DabbedColumns(3).empty());
  s.StepDistance = 4;
  Line(6.5f, 6.9f, 4.8f);
  EXPECT_EQ(DabbedColumns(3), (std::vector<int>{6}));
}

TEST_F(AALineTest, StepZeroDabsEveryPosition) {
  Line(1.5f, 12.5f, 0);
  EXPECT_EQ(DabbedColumns(3).size(), 12u);
}

TEST_F(AALineTest, DabSizeSlidesFromStartToEnd) {
  brush.step = 0;
  stroke::AALine(s, surface, brush, 5.5f, 3.5f, 35.5f, 3.5f, 0.5f, 3.0f);
  // Thin at the start, three pixels of radius at the end.
  EXPECT_EQ(mask(5, 1), 0);
  EXPECT_EQ(mask(35, 1), 255);
  EXPECT_EQ(mask(35, 5), 255);
}

TEST_F(AALineTest, StrengthIsThePressSliderOverFull) {
  brush.step = 0;
  brush.press = 128;
  stroke::AALine(s, surface, brush, 5.5f, 3.5f, 10.5f, 3.5f, 3, 3);
  EXPECT_EQ(mask(7, 3), 128);
}

TEST_F(AALineTest, WithoutAMaskOfTheImagesSizeNothingIsStampedButTheWalkCounts) {
  mask = BytePlane(10, 10);
  brush.step = 0;
  stroke::AALine(s, surface, brush, 1.5f, 1.5f, 30.5f, 1.5f, 2, 2);
  EXPECT_EQ(CountNonZero(mask), 0);
  mask = BytePlane();
  brush.step = 1e6f;
  s.StepDistance = 0;
  stroke::AALine(s, surface, brush, 1.5f, 1.5f, 4.5f, 1.5f, 2, 2);
  EXPECT_NEAR(s.StepDistance, 4, 1e-5);
}

}  // namespace
}  // namespace brisel::testing
