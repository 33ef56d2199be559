// Spline sampling: the pieces DrawBrush takes, their steps, and what drawing one leaves behind.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "platform/native.h"
#include "stroke/spline.h"
#include "stroke_fixture.h"

namespace brisel::testing {
namespace {

std::vector<std::array<float, 3>> gSamples;
void Record(float nx, float ny, float np) { gSamples.push_back({nx, ny, np}); }

class SplineTest : public StrokeTest {
 protected:
  void SetUp() override {
    StrokeTest::SetUp();
    MakeImage(64, 32);
    gSamples.clear();
  }
  // Points n - 3 .. n at x = 0, 10, 20, 30 on the row y = 5, pressure 1; the last sample at point n - 2.
  void CollinearPoints(int32_t n = 3) {
    for (int k = 0; k < 4; ++k) s.StrokePoints[size_t(n - 3 + k)] = {10.0f * k, 5, 1};
    s.StrokeCount = n;
    s.LastDabX = 10;
    s.LastDabY = 5;
    s.LastDabPressure = 1;
  }
  std::vector<float> SampleXs(float X, float Y) {
    gSamples.clear();
    stroke::SampleSpline(s, X, Y, Record);
    std::vector<float> xs;
    for (const auto& s : gSamples) xs.push_back(s[0]);
    return xs;
  }
};

TEST_F(SplineTest, CatmullPassesThroughTheInnerControlPoints) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-500, 500);
  for (int i = 0; i < 1000; ++i) {
    const float p1 = value(rng), p2 = value(rng), p3 = value(rng), p4 = value(rng);
    EXPECT_EQ(native::p_Catmull(0, p1, p2, p3, p4), p2);
    EXPECT_NEAR(native::p_Catmull(1, p1, p2, p3, p4), p3, 1e-4f * std::max(1.0f, std::abs(p3)));
  }
  // The midpoint of an even, straight run of points is the middle of the piece.
  EXPECT_EQ(native::p_Catmull(0.5f, 0, 10, 20, 30), 15.0f);
}

TEST_F(SplineTest, CollinearEvenlySpacedPointsGiveEvenlySpacedSamplesOnTheLine) {
  CollinearPoints();
  SampleXs(10 + 3, 5);  // d = 3: t = 0, 1/3, 2/3, 1
  ASSERT_EQ(gSamples.size(), 4u);
  for (size_t k = 0; k < gSamples.size(); ++k) {
    EXPECT_NEAR(gSamples[k][0], 10 + 10.0f * k / 3, 1e-4) << k;
    EXPECT_EQ(gSamples[k][1], 5) << k;
    EXPECT_EQ(gSamples[k][2], 1) << "pressure 1 throughout keeps the width at brush.size";
  }
}

TEST_F(SplineTest, StepFollowsTheDistanceFromTheLastSample) {
  CollinearPoints();
  // d = 0: s = 1, so t = 0 and 1: points n - 2 and n - 1.
  EXPECT_EQ(SampleXs(10, 5), (std::vector<float>{10, 20}));
  // d = 9: s = 1/9, ten samples up to t = 1 itself.
  std::vector<float> xs = SampleXs(19, 5);
  ASSERT_EQ(xs.size(), 10u);
  EXPECT_NEAR(xs.back(), 20, 1e-4);
  // d = 10: s = 0.1, and t summed in float passes 1 after 0.9: ten samples, the last at 0.9.
  xs = SampleXs(10, 15);
  ASSERT_EQ(xs.size(), 10u);
  EXPECT_NEAR(xs.back(), 19, 1e-4);
  // d = 10.5: capped at 0.1, the same ten.
  EXPECT_EQ(SampleXs(20.5f, 5), xs);
  // 0 < d < 1: s > 1, only t = 0.
  EXPECT_EQ(SampleXs(10.5f, 5), (std::vector<float>{10}));
  // The event's window position is compared as it is with the last sample's image position, whatever the
  // view (the engine knows none): at zoom 2 with a pan, window (32, 5) may be image (13, 5), 3 from the last
  // sample, yet d = 22: ten samples.
  EXPECT_EQ(SampleXs(32, 5).size(), 10u);
  EXPECT_EQ(SampleXs(10, 5).size(), 2u);  // d = 0, whatever image point the window's (10, 5) shows
}

TEST_F(SplineTest, NothingIsSampledBeforeTheFourthPoint) {
  CollinearPoints();
  s.StrokeCount = 2;
  EXPECT_TRUE(SampleXs(10, 5).empty());
}

TEST_F(SplineTest, TheFirstPiecesOfAWrappedListAreTakenFromTheNewPoints) {
  CollinearPoints(stroke::kStrokePointsLast);
  s.StrokePoints[0] = {100, 5, 1};
  s.StrokePoints[1] = {110, 5, 1};
  s.StrokePoints[2] = {120, 5, 1};
  s.StrokePoints[3] = {130, 5, 1};
  s.StrokeCount = 3;
  s.LastDabX = 110;
  EXPECT_EQ(SampleXs(110, 5), (std::vector<float>{110, 120}));
}

TEST_F(SplineTest, DrawBrushJoinsFromTheLastSampleAndPreviewsOnly) {
  CollinearPoints();
  s.LastDabX = 2;  // the press point, as on a stroke's first piece
  brush.step = 0;
  s.StrokeMinX = s.StrokeMaxX = 2;
  s.StrokeMinY = s.StrokeMaxY = 5;
  stroke::DrawBrush(s, surface, brush, 10, 5);  // d = 8
  // The straight join from x = 2 and the piece up to x = 20 are in the mask; nothing beyond.
  EXPECT_EQ(mask(3, 5), 255);
  EXPECT_EQ(mask(15, 5), 255);
  EXPECT_EQ(mask(19, 5), 255);
  EXPECT_EQ(mask(24, 5), 0);
  // Shown in the display copy, not in the image.
  EXPECT_EQ(viewR(15, 5), 0);
  EXPECT_EQ(planeR(15, 5), 255);
  // The last sample became the last dab and the rectangle grew around every sample.
  EXPECT_NEAR(s.LastDabX, 20, 1e-4);
  EXPECT_EQ(s.LastDabY, 5);
  EXPECT_NEAR(s.StrokeMaxX, 20 + brush.size, 1e-4);
  EXPECT_EQ(s.StrokeMinX, 2 - brush.size);  // the join's first dab, at the last sample, is inside too
  EXPECT_EQ(s.StrokeMinY, 5 - brush.size);
  EXPECT_EQ(s.StrokeMaxY, 5 + brush.size);
}

// The pressure is used unclamped: above 1 (a pen pressed hard, the spline overshooting) the dabs grow past
// brush.size.
TEST_F(SplineTest, PressureAboveOneWidensTheDabs) {
  CollinearPoints();
  for (int k = 0; k < 4; ++k) s.StrokePoints[size_t(k)][2] = 2;
  s.LastDabPressure = 2;
  brush.step = 0;
  stroke::DrawBrush(s, surface, brush, 10, 5);  // d = 0: samples at x = 10 and 20
  // Dabs of size 4 from end to end: full two and a half rows off the line, where size 2 reaches nothing;
  // nothing at four and a half.
  EXPECT_EQ(mask(10, 7), 255);
  EXPECT_EQ(mask(20, 7), 255);
  EXPECT_EQ(mask(15, 9), 0);
}

}  // namespace
}  // namespace brisel::testing
