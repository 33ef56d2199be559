// RenderSegment: the compositing arithmetic's corner cases, the box and the refresh, and the fast path
// against the plain reference over random states.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "blend/blend_tables.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "state/windows.h"
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
  }
  // Commits a mask of coverage c over the whole image.
  static void CommitCoverage(uint8_t c) {
    FXbuffer.fill(c);
    stroke::RenderSegment(2, 0, 0, float(ImageWidth - 1), float(ImageHeight - 1));
  }
  static std::string Rgb(int32_t x, int32_t y, const BytePlane& r, const BytePlane& g, const BytePlane& b) {
    return std::to_string(r(x, y)) + "," + std::to_string(g(x, y)) + "," + std::to_string(b(x, y));
  }
  static std::string Image(int32_t x, int32_t y) { return Rgb(x, y, PlaneR, PlaneG, PlaneB); }
  static std::string View(int32_t x, int32_t y) { return Rgb(x, y, ViewR, ViewG, ViewB); }
};

TEST_F(CompositingTest, FullCoverageAtFullOpacityWritesThePaintColourExactly) {
  PaintRed = 10.5f;  // halves go to the even neighbour: 10
  PaintGreen = 200.4f;
  PaintBlue = 254.5f;
  CommitCoverage(255);
  EXPECT_EQ(Image(3, 4), "10,200,254");
}

TEST_F(CompositingTest, NoCoverageWritesNothing) {
  ViewR.fill(7);  // a display copy that differs from the image shows any write
  FXbuffer.fill(0);
  stroke::RenderSegment(3, 0, 0, 15, 11);
  EXPECT_EQ(ViewR(5, 5), 7);
  EXPECT_EQ(Image(5, 5), "100,100,100");
}

TEST_F(CompositingTest, OpacityOneLetsOnlyFullCoverageThroughAsOneStep) {
  BrushOpacity = 1;
  PaintRed = PaintGreen = PaintBlue = 255;
  FXbuffer.fill(254);
  FXbuffer(2, 2) = 255;
  ViewR.fill(7);
  stroke::RenderSegment(1, 0, 0, 15, 11);
  EXPECT_EQ(ViewR(2, 2), (254 * 100 + 255) / 255);  // a = 1
  EXPECT_EQ(ViewR(3, 2), 7) << "a = 254 div 255 = 0 leaves the pixel alone";
}

TEST_F(CompositingTest, OpacityRoundsHalvesToEvenBeforeTheDivision) {
  PaintRed = PaintGreen = PaintBlue = 255;
  PlaneR.fill(0);
  FXbuffer.fill(0);
  FXbuffer(0, 0) = 1;  // 1 * 254.5 = 254.5 -> 254 (even) -> a = 0: untouched
  FXbuffer(1, 1) = 2;  // 509 -> a = 1
  BrushOpacity = 254.5f;
  stroke::RenderSegment(2, 0, 0, 15, 11);
  EXPECT_EQ(PlaneR(0, 0), 0);
  EXPECT_EQ(PlaneR(1, 1), 1);
  PlaneR.fill(0);
  BrushOpacity = 254.75f;  // 2 * 254.75 = 509.5 -> 510 (even) -> a = 2, where truncation would give 1
  stroke::RenderSegment(2, 0, 0, 15, 11);
  EXPECT_EQ(PlaneR(1, 1), 2);
}

TEST_F(CompositingTest, FullPaperStrengthOverAFullTexelRemovesAllCoverage) {
  PaperWidth = 2;
  PaperHeight = 1;
  PaperTexture = BytePlane(2, 1);
  PaperTexture(0, 0) = 255;  // even columns: grain
  PaperTexture(1, 0) = 0;    // odd columns: none
  PaperStrength = 255;
  CommitCoverage(255);
  EXPECT_EQ(Image(4, 3), "100,100,100");
  EXPECT_EQ(Image(5, 3), "0,0,0");
  // Half the strength over the full texel takes 255 * 128 div 255 = 128 from 255, leaving 127.
  PaperStrength = 128;
  PlaneR.fill(100);
  PaintRed = 255;
  CommitCoverage(255);
  EXPECT_EQ(PlaneR(4, 3), (128 * 100 + 255 * 127) / 255);
}

TEST_F(CompositingTest, PaperIsSkippedWithoutATexture) {
  PaperStrength = 255;  // no paper: PaperWidth = PaperHeight = 0
  CommitCoverage(255);
  EXPECT_EQ(Image(4, 3), "0,0,0");
}

TEST_F(CompositingTest, AddOverBlackGivesThePaintColour) {
  for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB}) p->fill(0);
  BlendMode = 1;
  PaintRed = 10;
  PaintGreen = 20;
  PaintBlue = 30;
  CommitCoverage(255);
  EXPECT_EQ(Image(7, 7), "10,20,30");
}

TEST_F(CompositingTest, ABlendModeMixesTheTablesResultByCoverage) {
  BlendMode = 2;  // subtract: canvas minus brush
  PaintRed = PaintGreen = PaintBlue = 40;
  CommitCoverage(128);  // a = 128
  EXPECT_EQ(PlaneR(0, 0), (60 * 128 + 127 * 100) / 255);
}

TEST_F(CompositingTest, TheCoverageCurveReshapesCoverageBeforeOpacity) {
  CoverageCurve = 1;
  PaintRed = 0;
  CommitCoverage(55);  // curve 1 lifts 55 to 250
  EXPECT_EQ(PlaneR(0, 0), (5 * 100) / 255);
}

TEST_F(CompositingTest, AnOverturnedPenPaintsWhite) {
  PenAltitude = -10;
  PaintRed = 10;
  CommitCoverage(255);
  EXPECT_EQ(Image(1, 1), "255,255,255");
}

TEST_F(CompositingTest, ReliefLeavesAFlatMaskAloneAndSkipsTheBorder) {
  ReliefEffect = 1;
  PaintRed = PaintGreen = PaintBlue = 0;
  CommitCoverage(128);
  const int flat = (127 * 100) / 255;
  for (int32_t y = 0; y < ImageHeight; ++y)
    for (int32_t x = 0; x < ImageWidth; ++x) ASSERT_EQ(PlaneR(x, y), flat) << x << "," << y;
}

TEST_F(CompositingTest, ReliefAddsTheMasksSlopeInsideTheBorderOnly) {
  ReliefEffect = 1;
  PaintRed = PaintGreen = PaintBlue = 0;
  // Coverage rising to the lower right: mask(x, y) = 9 (x + y), so mask(x+1, y+1) - mask(x-1, y-1) = 36.
  for (int32_t y = 0; y < ImageHeight; ++y)
    for (int32_t x = 0; x < ImageWidth; ++x) FXbuffer(x, y) = uint8_t(9 * (x + y));
  stroke::RenderSegment(2, 0, 0, 15, 11);
  const auto mixed = [](int32_t x, int32_t y) { return ((255 - 9 * (x + y)) * 100) / 255; };
  EXPECT_EQ(PlaneR(5, 5), mixed(5, 5) + 36);
  EXPECT_EQ(PlaneR(2, 2), mixed(2, 2) + 36);
  EXPECT_EQ(PlaneR(13, 9), mixed(13, 9) + 36);
  for (int32_t x : {0, 1, 14, 15}) EXPECT_EQ(PlaneR(x, 5), mixed(x, 5)) << "column " << x;
  for (int32_t y : {0, 1, 10, 11}) EXPECT_EQ(PlaneR(5, y), mixed(5, y)) << "row " << y;
}

TEST_F(CompositingTest, ReliefIsHeldToAByte) {
  ReliefEffect = 1;
  FXbuffer.fill(255);
  FXbuffer(6, 6) = 0;  // (7, 7) sees a slope of +255, (5, 5) one of -255
  PaintRed = PaintGreen = PaintBlue = 255;
  stroke::RenderSegment(2, 0, 0, 15, 11);
  EXPECT_EQ(PlaneR(7, 7), 255);
  EXPECT_EQ(PlaneR(6, 6), 100) << "no coverage: untouched";
  PaintRed = PaintGreen = PaintBlue = 0;
  stroke::RenderSegment(2, 0, 0, 15, 11);
  EXPECT_EQ(PlaneR(5, 5), 0);
}

TEST_F(CompositingTest, TheBoxIsTheCornersWidenedByTheBrushWithFloorAtBothEnds) {
  FXbuffer.fill(255);
  BrushSize = 2;
  stroke::RenderSegment(2, 7.3f, 5.9f, 7.3f, 5.9f);  // columns 5..9, rows 3..7
  for (int32_t y = 0; y < ImageHeight; ++y)
    for (int32_t x = 0; x < ImageWidth; ++x) {
      const bool inside = x >= 5 && x <= 9 && y >= 3 && y <= 7;
      ASSERT_EQ(PlaneR(x, y), inside ? 0 : 100) << x << "," << y;
    }
  // Corners in either order give the same box.
  for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB}) p->fill(100);
  stroke::RenderSegment(2, 10.5f, 8, 4.2f, 2.5f);  // columns 2..12, rows 0..10
  EXPECT_EQ(PlaneR(2, 0), 0);
  EXPECT_EQ(PlaneR(12, 10), 0);
  EXPECT_EQ(PlaneR(1, 5), 100);
  EXPECT_EQ(PlaneR(13, 5), 100);
  EXPECT_EQ(PlaneR(5, 11), 100);
}

TEST_F(CompositingTest, ABoxReachingPastTheImageIsClipped) {
  FXbuffer.fill(255);
  stroke::RenderSegment(2, -100, -100, 1e30f, 1e30f);
  EXPECT_EQ(PlaneR(0, 0), 0);
  EXPECT_EQ(PlaneR(15, 11), 0);
  stroke::RenderSegment(2, std::nanf(""), 0, 3, 3);  // no crash, nothing sensible to do
}

TEST_F(CompositingTest, ThePreviewsAnswerShownRefreshesTheCanvas) {
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(ImageWidth, ImageHeight);
  Dibs::CreateDib(Form1Window());
  canvas.FillBox(0, 0, ImageWidth - 1, ImageHeight - 1, platform::RGB(1, 2, 3));
  FXbuffer.fill(255);
  PaintRed = 200;
  stroke::RenderSegment(2, 8, 6, 8, 6);
  const PixelRect box = stroke::RenderSegment(1, 8, 6, 8, 6);
  EXPECT_EQ(box, (PixelRect{6, 4, 11, 9}));
  EXPECT_EQ(canvas.SurfacePixel(8, 6), platform::RGB(1, 2, 3)) << "compositing shows nothing itself";
  canvas::RedrawRect(Form1Window(), box);  // refreshed with a pixel to spare at zoom 1
  EXPECT_EQ(canvas.SurfacePixel(8, 6), platform::RGB(200, 0, 0));
  EXPECT_EQ(canvas.SurfacePixel(5, 3), platform::RGB(100, 100, 100));
  EXPECT_EQ(canvas.SurfacePixel(11, 9), platform::RGB(100, 100, 100));
  EXPECT_EQ(canvas.SurfacePixel(4, 6), platform::RGB(1, 2, 3));
  EXPECT_EQ(canvas.SurfacePixel(12, 6), platform::RGB(1, 2, 3));
}

TEST_F(CompositingTest, MissingPlanesAreNeverWritten) {
  ViewR = BytePlane(3, 3);
  FXbuffer.fill(255);
  stroke::RenderSegment(1, 0, 0, 15, 11);  // the display copy is not the image's: nothing to preview into
  EXPECT_EQ(CountNonZero(ViewR), 0);
  stroke::RenderSegment(2, 0, 0, 15, 11);
  EXPECT_EQ(PlaneR(0, 0), 0);
}

// The fast path against the reference: random image, mask, paper and view, every mode, curve and relief,
// opacities and paper strengths, boxes inside, across and outside the image, each flag.
TEST_F(CompositingTest, FastPathEqualsTheReference) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int trial = 0; trial < 600; ++trial) {
    const int32_t w = 1 + int32_t(unit(rng) * 300), h = 1 + int32_t(unit(rng) * 40);
    MakeImage(w, h);
    for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB, &ViewR, &ViewG, &ViewB, &FXbuffer}) Randomise(*p, rng);
    if (trial % 4 == 1)
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) FXbuffer(x, y) = (x / 7 + y / 5) % 3 ? 0 : FXbuffer(x, y);
    PaperWidth = 1 + int32_t(unit(rng) * 17);
    PaperHeight = 1 + int32_t(unit(rng) * 9);
    PaperTexture = BytePlane(PaperWidth, PaperHeight);
    Randomise(PaperTexture, rng);
    PaperStrength = trial % 3 == 0 ? 0 : int32_t(unit(rng) * 300);
    BlendMode = trial % 11;
    CoverageCurve = trial % 3;
    ReliefEffect = trial % 2;
    BrushOpacity = trial % 5 == 0 ? 255 : 1 + unit(rng) * 254;
    BrushSize = unit(rng) * 40;
    PaintRed = unit(rng) * 255;
    PaintGreen = unit(rng) * 255;
    PaintBlue = unit(rng) * 255;
    PenAltitude = trial % 7 == 0 ? -1.0f : 0.0f;
    const float x1 = -30 + unit(rng) * (w + 60), y1 = -30 + unit(rng) * (h + 60);
    const float x2 = -30 + unit(rng) * (w + 60), y2 = -30 + unit(rng) * (h + 60);
    const int32_t flags = 1 + trial % 3;

    const BytePlane planes[3] = {PlaneR, PlaneG, PlaneB}, views[3] = {ViewR, ViewG, ViewB};
    stroke::RenderSegmentReference(flags, x1, y1, x2, y2);
    const BytePlane expected[6] = {PlaneR, PlaneG, PlaneB, ViewR, ViewG, ViewB};
    PlaneR = planes[0], PlaneG = planes[1], PlaneB = planes[2];
    ViewR = views[0], ViewG = views[1], ViewB = views[2];
    stroke::RenderSegment(flags, x1, y1, x2, y2);
    const BytePlane* got[6] = {&PlaneR, &PlaneG, &PlaneB, &ViewR, &ViewG, &ViewB};
    for (int i = 0; i < 6; ++i)
      ASSERT_TRUE(*got[i] == expected[i]) << "plane " << i << " trial " << trial << ": " << w << "x" << h << " mode "
                                          << BlendMode << " curve " << CoverageCurve << " relief " << ReliefEffect
                                          << " paper " << PaperStrength << " opacity " << BrushOpacity << " flags "
                                          << flags;
  }
}

}  // namespace
}  // namespace brisel::testing
