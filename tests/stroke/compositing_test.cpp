// RenderSegment: the compositing arithmetic's corner cases, the box and the refresh, and the fast path
// against the plain reference over random states.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "blend/blend_tables.h"
#include "state/shared_state.h"
#include "stroke/compositing.h"
#include "stroke_fixture.h"

namespace brisel::testing {
namespace {

class CompositingTest : public StrokeTest {
 protected:
  void SetUp() override {
    StrokeTest::SetUp();
    MakeImage(16, 12, 100);
    blend::BuildBlendTable();
    blend::BuildCoverageCurves();
    brush.blendTable = BlendTable.data();
    brush.coverageCurves = CoverageCurves.data();
  }
  // Commits a mask of coverage c over the whole image.
  void CommitCoverage(uint8_t c) {
    mask.fill(c);
    stroke::RenderSegment(surface, brush, 2, 0, 0, float(surface.width - 1), float(surface.height - 1));
  }
  std::string Rgb(int32_t x, int32_t y, const BytePlane& r, const BytePlane& g, const BytePlane& b) {
    return std::to_string(r(x, y)) + "," + std::to_string(g(x, y)) + "," + std::to_string(b(x, y));
  }
  std::string Image(int32_t x, int32_t y) { return Rgb(x, y, planeR, planeG, planeB); }
  std::string View(int32_t x, int32_t y) { return Rgb(x, y, viewR, viewG, viewB); }
};

TEST_F(CompositingTest, FullCoverageAtFullOpacityWritesThePaintColourExactly) {
  brush.paintRed = 10.5f;  // halves go to the even neighbour: 10
  brush.paintGreen = 200.4f;
  brush.paintBlue = 254.5f;
  CommitCoverage(255);
  EXPECT_EQ(Image(3, 4), "10,200,254");
}

TEST_F(CompositingTest, NoCoverageWritesNothing) {
  viewR.fill(7);  // a display copy that differs from the image shows any write
  mask.fill(0);
  stroke::RenderSegment(surface, brush, 3, 0, 0, 15, 11);
  EXPECT_EQ(viewR(5, 5), 7);
  EXPECT_EQ(Image(5, 5), "100,100,100");
}

TEST_F(CompositingTest, OpacityOneLetsOnlyFullCoverageThroughAsOneStep) {
  brush.opacity = 1;
  brush.paintRed = brush.paintGreen = brush.paintBlue = 255;
  mask.fill(254);
  mask(2, 2) = 255;
  viewR.fill(7);
  stroke::RenderSegment(surface, brush, 1, 0, 0, 15, 11);
  EXPECT_EQ(viewR(2, 2), (254 * 100 + 255) / 255);  // a = 1
  EXPECT_EQ(viewR(3, 2), 7) << "a = 254 div 255 = 0 leaves the pixel alone";
}

TEST_F(CompositingTest, OpacityRoundsHalvesToEvenBeforeTheDivision) {
  brush.paintRed = brush.paintGreen = brush.paintBlue = 255;
  planeR.fill(0);
  mask.fill(0);
  mask(0, 0) = 1;  // 1 * 254.5 = 254.5 -> 254 (even) -> a = 0: untouched
  mask(1, 1) = 2;  // 509 -> a = 1
  brush.opacity = 254.5f;
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  EXPECT_EQ(planeR(0, 0), 0);
  EXPECT_EQ(planeR(1, 1), 1);
  planeR.fill(0);
  brush.opacity = 254.75f;  // 2 * 254.75 = 509.5 -> 510 (even) -> a = 2, where truncation would give 1
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  EXPECT_EQ(planeR(1, 1), 2);
}

TEST_F(CompositingTest, FullPaperStrengthOverAFullTexelRemovesAllCoverage) {
  surface.paperWidth = 2;
  surface.paperHeight = 1;
  paper = BytePlane(2, 1);
  paper(0, 0) = 255;  // even columns: grain
  paper(1, 0) = 0;    // odd columns: none
  brush.paperStrength = 255;
  CommitCoverage(255);
  EXPECT_EQ(Image(4, 3), "100,100,100");
  EXPECT_EQ(Image(5, 3), "0,0,0");
  // Half the strength over the full texel takes 255 * 128 div 255 = 128 from 255, leaving 127.
  brush.paperStrength = 128;
  planeR.fill(100);
  brush.paintRed = 255;
  CommitCoverage(255);
  EXPECT_EQ(planeR(4, 3), (128 * 100 + 255 * 127) / 255);
}

TEST_F(CompositingTest, PaperIsSkippedWithoutATexture) {
  brush.paperStrength = 255;  // no paper: surface.paperWidth = surface.paperHeight = 0
  CommitCoverage(255);
  EXPECT_EQ(Image(4, 3), "0,0,0");
}

TEST_F(CompositingTest, AddOverBlackGivesThePaintColour) {
  for (BytePlane* p : {&planeR, &planeG, &planeB}) p->fill(0);
  brush.mode = 1;
  brush.paintRed = 10;
  brush.paintGreen = 20;
  brush.paintBlue = 30;
  CommitCoverage(255);
  EXPECT_EQ(Image(7, 7), "10,20,30");
}

TEST_F(CompositingTest, ABlendModeMixesTheTablesResultByCoverage) {
  brush.mode = 2;  // subtract: canvas minus brush
  brush.paintRed = brush.paintGreen = brush.paintBlue = 40;
  CommitCoverage(128);  // a = 128
  EXPECT_EQ(planeR(0, 0), (60 * 128 + 127 * 100) / 255);
}

TEST_F(CompositingTest, TheCoverageCurveReshapesCoverageBeforeOpacity) {
  brush.curve = 1;
  brush.paintRed = 0;
  CommitCoverage(55);  // curve 1 lifts 55 to 250
  EXPECT_EQ(planeR(0, 0), (5 * 100) / 255);
}

TEST_F(CompositingTest, AnOverturnedPenPaintsWhite) {
  brush.turnedOver = true;
  brush.paintRed = 10;
  CommitCoverage(255);
  EXPECT_EQ(Image(1, 1), "255,255,255");
}

TEST_F(CompositingTest, ReliefLeavesAFlatMaskAloneAndSkipsTheBorder) {
  brush.relief = true;
  brush.paintRed = brush.paintGreen = brush.paintBlue = 0;
  CommitCoverage(128);
  const int flat = (127 * 100) / 255;
  for (int32_t y = 0; y < surface.height; ++y)
    for (int32_t x = 0; x < surface.width; ++x) ASSERT_EQ(planeR(x, y), flat) << x << "," << y;
}

TEST_F(CompositingTest, ReliefAddsTheMasksSlopeInsideTheBorderOnly) {
  brush.relief = true;
  brush.paintRed = brush.paintGreen = brush.paintBlue = 0;
  // Coverage rising to the lower right: mask(x, y) = 9 (x + y), so mask(x+1, y+1) - mask(x-1, y-1) = 36.
  for (int32_t y = 0; y < surface.height; ++y)
    for (int32_t x = 0; x < surface.width; ++x) mask(x, y) = uint8_t(9 * (x + y));
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  const auto mixed = [](int32_t x, int32_t y) { return ((255 - 9 * (x + y)) * 100) / 255; };
  EXPECT_EQ(planeR(5, 5), mixed(5, 5) + 36);
  EXPECT_EQ(planeR(2, 2), mixed(2, 2) + 36);
  EXPECT_EQ(planeR(13, 9), mixed(13, 9) + 36);
  for (int32_t x : {0, 1, 14, 15}) EXPECT_EQ(planeR(x, 5), mixed(x, 5)) << "column " << x;
  for (int32_t y : {0, 1, 10, 11}) EXPECT_EQ(planeR(5, y), mixed(5, y)) << "row " << y;
}

TEST_F(CompositingTest, ReliefIsHeldToAByte) {
  brush.relief = true;
  mask.fill(255);
  mask(6, 6) = 0;  // (7, 7) sees a slope of +255, (5, 5) one of -255
  brush.paintRed = brush.paintGreen = brush.paintBlue = 255;
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  EXPECT_EQ(planeR(7, 7), 255);
  EXPECT_EQ(planeR(6, 6), 100) << "no coverage: untouched";
  brush.paintRed = brush.paintGreen = brush.paintBlue = 0;
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  EXPECT_EQ(planeR(5, 5), 0);
}

TEST_F(CompositingTest, TheBoxIsTheCornersWidenedByTheBrushWithFloorAtBothEnds) {
  mask.fill(255);
  brush.size = 2;
  stroke::RenderSegment(surface, brush, 2, 7.3f, 5.9f, 7.3f, 5.9f);  // columns 5..9, rows 3..7
  for (int32_t y = 0; y < surface.height; ++y)
    for (int32_t x = 0; x < surface.width; ++x) {
      const bool inside = x >= 5 && x <= 9 && y >= 3 && y <= 7;
      ASSERT_EQ(planeR(x, y), inside ? 0 : 100) << x << "," << y;
    }
  // Corners in either order give the same box.
  for (BytePlane* p : {&planeR, &planeG, &planeB}) p->fill(100);
  stroke::RenderSegment(surface, brush, 2, 10.5f, 8, 4.2f, 2.5f);  // columns 2..12, rows 0..10
  EXPECT_EQ(planeR(2, 0), 0);
  EXPECT_EQ(planeR(12, 10), 0);
  EXPECT_EQ(planeR(1, 5), 100);
  EXPECT_EQ(planeR(13, 5), 100);
  EXPECT_EQ(planeR(5, 11), 100);
}

TEST_F(CompositingTest, ABoxReachingPastTheImageIsClipped) {
  mask.fill(255);
  stroke::RenderSegment(surface, brush, 2, -100, -100, 1e30f, 1e30f);
  EXPECT_EQ(planeR(0, 0), 0);
  EXPECT_EQ(planeR(15, 11), 0);
  stroke::RenderSegment(surface, brush, 2, std::nanf(""), 0, 3, 3);  // no crash, nothing sensible to do
}

TEST_F(CompositingTest, MissingPlanesAreNeverWritten) {
  viewR = BytePlane(3, 3);
  mask.fill(255);
  stroke::RenderSegment(surface, brush, 1, 0, 0, 15, 11);  // the display copy is not the image's: nothing to preview into
  EXPECT_EQ(CountNonZero(viewR), 0);
  stroke::RenderSegment(surface, brush, 2, 0, 0, 15, 11);
  EXPECT_EQ(planeR(0, 0), 0);
}

// The fast path against the reference: random image, mask, paper and view, every mode, curve and relief,
// opacities and paper strengths, boxes inside, across and outside the image, each flag.
TEST_F(CompositingTest, FastPathEqualsTheReference) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int trial = 0; trial < 600; ++trial) {
    const int32_t w = 1 + int32_t(unit(rng) * 300), h = 1 + int32_t(unit(rng) * 40);
    MakeImage(w, h);
    for (BytePlane* p : {&planeR, &planeG, &planeB, &viewR, &viewG, &viewB, &mask}) Randomise(*p, rng);
    if (trial % 4 == 1)
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) mask(x, y) = (x / 7 + y / 5) % 3 ? 0 : mask(x, y);
    surface.paperWidth = 1 + int32_t(unit(rng) * 17);
    surface.paperHeight = 1 + int32_t(unit(rng) * 9);
    paper = BytePlane(surface.paperWidth, surface.paperHeight);
    Randomise(paper, rng);
    brush.paperStrength = trial % 3 == 0 ? 0 : int32_t(unit(rng) * 300);
    brush.mode = trial % 11;
    brush.curve = trial % 3;
    brush.relief = trial % 2 == 1;
    brush.opacity = trial % 5 == 0 ? 255 : 1 + unit(rng) * 254;
    brush.size = unit(rng) * 40;
    brush.paintRed = unit(rng) * 255;
    brush.paintGreen = unit(rng) * 255;
    brush.paintBlue = unit(rng) * 255;
    brush.turnedOver = trial % 7 == 0;
    const float x1 = -30 + unit(rng) * (w + 60), y1 = -30 + unit(rng) * (h + 60);
    const float x2 = -30 + unit(rng) * (w + 60), y2 = -30 + unit(rng) * (h + 60);
    const int32_t flags = 1 + trial % 3;

    const BytePlane planes[3] = {planeR, planeG, planeB}, views[3] = {viewR, viewG, viewB};
    stroke::RenderSegmentReference(surface, brush, flags, x1, y1, x2, y2);
    const BytePlane expected[6] = {planeR, planeG, planeB, viewR, viewG, viewB};
    planeR = planes[0], planeG = planes[1], planeB = planes[2];
    viewR = views[0], viewG = views[1], viewB = views[2];
    stroke::RenderSegment(surface, brush, flags, x1, y1, x2, y2);
    const BytePlane* got[6] = {&planeR, &planeG, &planeB, &viewR, &viewG, &viewB};
    for (int i = 0; i < 6; ++i)
      ASSERT_TRUE(*got[i] == expected[i]) << "plane " << i << " trial " << trial << ": " << w << "x" << h << " mode "
                                          << brush.mode << " curve " << brush.curve << " relief " << brush.relief
                                          << " paper " << brush.paperStrength << " opacity " << brush.opacity << " flags "
                                          << flags;
  }
}

}  // namespace
}  // namespace brisel::testing
