// The canvas's mouse handlers driven directly: which events draw, the release's commit, the point list's
// wrap, the view drag's press, the pen's position and pressure, and the colour pick.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/canvas_input.h"
#include "app/canvas_stroke.h"
#include "app/reset_state.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/undo.h"
#include "panel/tool_panel.h"
#include "platform/native.h"
#include "state/windows.h"
#include "stroke/compositing.h"
#include "support/canvas_stroke_fixture.h"

namespace brisel::testing {
namespace {

using Form1::Form_MouseDown;
using Form1::Form_MouseMove;
using Form1::Form_MouseUp;

constexpr int16_t kLeft = 1, kNone = 0, kShiftCtrl = 3;

class CaptureTest : public CanvasStrokeTest {
 protected:
  void SetUp() override {
    CanvasStrokeTest::SetUp();
    MakeImage(64, 24);
  }
  static bool Painted(int32_t x, int32_t y) { return PlaneR(x, y) != 255; }
};

TEST_F(CaptureTest, FourEventsDrawOnePieceAfterTheStraightJoin) {
  Form_MouseDown(kLeft, 0, 8, 12);
  Form_MouseMove(kLeft, 0, 20, 12);
  Form_MouseMove(kLeft, 0, 32, 12);
  EXPECT_EQ(CountNonZero(FXbuffer), 0) << "nothing is drawn before the fourth point";
  Form_MouseUp(kLeft, 0, 44, 12);

  // The join from the press to point 1, then the piece to point 2; the last piece, to the release, never.
  for (int32_t x = 8; x <= 32; ++x) EXPECT_TRUE(Painted(x, 12)) << x;
  for (int32_t x = 36; x < 64; ++x) EXPECT_FALSE(Painted(x, 12)) << x;
  EXPECT_FALSE(Painted(20, 16));
  // Committed once, the mask cleared, and the preview agrees with the commit.
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
  EXPECT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB);
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  const canvas::UndoStep& step = canvas::TheHistory().undoStack().back();
  EXPECT_EQ(step.left, 5);  // floor(8 - 2 - 0.5)
  EXPECT_EQ(step.top, 9);
  EXPECT_EQ(step.red.width(), 47 - 5);  // up to floor(44 + 2 + 0.5 + 1), exclusive
  EXPECT_EQ(step.red(12 - 5, 12 - 9), 255) << "the step holds the image from before the stroke";
  EXPECT_FALSE(StrokeActive);
}

// A second button going down mid-stroke starts afresh, but the dabs already laid down are committed and
// cleared with the new stroke instead of lingering in the mask; so is a dab wider than the rectangle's
// BrushSize margin (the Size slider raised mid-stroke).
TEST_F(CaptureTest, ASecondPressOrABiggerSizeMidStrokeLeavesNoDabsInTheMask) {
  Form_MouseDown(kLeft, 0, 4, 6);
  for (float x = 8; x <= 24; x += 4) Form_MouseMove(kLeft, 0, x, 6);
  ASSERT_GT(CountNonZero(FXbuffer), 0);
  Form_MouseDown(2, 0, 50, 18);
  BrushSize = 6;
  for (float x = 54; x <= 62; x += 4) Form_MouseMove(kLeft | 2, 0, x, 18);
  Form_MouseUp(2, 0, 62, 18);
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
  EXPECT_TRUE(Painted(12, 6)) << "the first dabs were committed with the second stroke";
  EXPECT_TRUE(ViewR == PlaneR);
}

// A click lays the dab the stroke path stamps, at the press point with its pressure, however far the last
// stroke had walked towards its next dab; the release commits it as one step, clears the mask around it and
// shows it. A release that no press of its own began lays nothing.
TEST_F(CaptureTest, AClickLaysTheDabOfItsPressPoint) {
  struct Case {
    float pressure, leftoverStep;
  };
  for (const Case c : {Case{1.0f, 0}, Case{0.6f, 0.2f}}) {
    SCOPED_TRACE(c.pressure);
    MakeImage(64, 24);
    canvas::TheHistory().Reset();
    FXbuffer(30, 8) = 255;  // coverage left in the mask far from the click
    PenPressure = c.pressure;
    app::CanvasStroke().StepDistance = c.leftoverStep;
    const BytePlane before = PlaneR;
    Form_MouseDown(kLeft, 0, 10.5f, 8.5f);
    Form_MouseUp(kLeft, 0, 10.5f, 8.5f);
    EXPECT_EQ(app::CanvasStroke().StrokeCount, 1);
    ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
    EXPECT_EQ(canvas::TheHistory().undoStack().back().left, 8);  // floor(10.5 - 2 - 0.5)
    EXPECT_EQ(canvas::TheHistory().undoStack().back().red.width(), 6);  // columns 8 .. 13
    EXPECT_EQ(FXbuffer(30, 8), 255) << "outside the rectangle the mask stays";
    EXPECT_EQ(CountNonZero(FXbuffer), 1);
    EXPECT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB);
    EXPECT_TRUE(Painted(10, 8));
    const BytePlane clicked = PlaneR;

    canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    Form_MouseUp(kLeft, 0, 10.5f, 8.5f);
    EXPECT_EQ(PlaneR, before) << "a release with no press of its own lays nothing";

    // The reference: one dab stamped as AALine stamps it, committed over the click's rectangle.
    PlaneR = PlaneG = PlaneB = before;
    FXbuffer.fill(0);
    native::AAcpen(FXbuffer.data(), 10.5f, 8.5f, BrushSize * c.pressure, 255, BrushPress / 255, 64, 24);
    stroke::Surface surface = app::CanvasSurface();
    stroke::RenderSegment(surface, app::CanvasBrush(), 2, 8, 6, 13, 11);  // the release's rectangle
    EXPECT_EQ(clicked, PlaneR);
  }
}

// A press with a single movement lays the straight piece from the press to the movement, beginning with the
// click's dab at the press; the release point, as in any stroke, only ends it.
TEST_F(CaptureTest, OneMovementLaysTheStraightPieceFromThePress) {
  const BytePlane before = PlaneR;
  Form_MouseDown(kLeft, 0, 8, 12);
  Form_MouseUp(kLeft, 0, 8, 12);
  const BytePlane click = PlaneR;
  PlaneR = PlaneG = PlaneB = ViewR = ViewG = ViewB = before;

  Form_MouseDown(kLeft, 0, 8, 12);
  Form_MouseMove(kLeft, 0, 20, 12);
  Form_MouseUp(kLeft, 0, 32, 12);
  for (int32_t x = 8; x <= 20; ++x) EXPECT_TRUE(Painted(x, 12)) << x;
  for (int32_t x = 24; x < 64; ++x) EXPECT_FALSE(Painted(x, 12)) << x;
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 8; ++x)
      ASSERT_EQ(PlaneR(x, y), click(x, y)) << "behind the press, the click's dab: " << x << "," << y;
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 2u);
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
  EXPECT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB);
}

// The dab spacing runs on from one stroke into the next: the second stroke's first dab comes where the count
// the first one left completes the spacing. Dabs of size 0.5 mark one pixel each; at step 600 they are 3 apart.
TEST_F(CaptureTest, TheDabSpacingRunsOnFromStrokeToStroke) {
  BrushSize = 0.5f;
  BrushStep = 600;
  std::vector<float> left;  // the count each stroke begins with
  std::vector<int32_t> first;  // the column of each stroke's first dab; the press is at column 4
  for (const float y : {6.5f, 16.5f}) {
    left.push_back(app::CanvasStroke().StepDistance);
    Form_MouseDown(kLeft, 0, 4.5f, y);
    for (const float x : {14.5f, 24.5f, 34.5f}) Form_MouseMove(kLeft, 0, x, y);
    Form_MouseUp(kLeft, 0, 44.5f, y);
    int32_t x = 0;
    while (x < 64 && !Painted(x, int32_t(y))) ++x;
    first.push_back(x);
  }
  ASSERT_NE(left[1], 0) << "the first stroke ends between two dabs";
  for (size_t k = 0; k < 2; ++k) EXPECT_EQ(first[k], 4 + int32_t(std::ceil(3 - left[k])) - 1) << k;
}

TEST_F(CaptureTest, TheListWrapsSoThe10002ndEventLandsAtIndexZero) {
  Form_MouseDown(kLeft, 0, 1, 1);
  for (int i = 1; i <= 10000; ++i) Form_MouseMove(kNone, 0, float(i % 50), 2);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 10000);
  Form_MouseMove(kNone, 0, 7.25f, 3.5f);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 0);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[0], (stroke::StrokePoint{7.25f, 3.5f, 1.0f}));
  EXPECT_EQ(CountNonZero(FXbuffer), 0) << "moves without a button record but never draw";
  // With a button, drawing waits for the new count to reach 3 and then goes on from the last sample.
  Form_MouseMove(kLeft, 0, 12, 3.5f);
  Form_MouseMove(kLeft, 0, 18, 3.5f);
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
  Form_MouseMove(kLeft, 0, 24, 3.5f);
  EXPECT_GT(CountNonZero(FXbuffer), 0);
}

TEST_F(CaptureTest, AShiftCtrlPressRecordsNoPointAndItsReleaseLeavesTheImage) {
  app::CanvasStroke().StrokeCount = 17;
  app::CanvasStroke().StrokePoints[0] = {-1, -2, -3};
  Zoom = 1.5f;
  PanX = 4;
  PanY = -6;
  Form_MouseDown(kLeft, kShiftCtrl, 5, 7);
  EXPECT_TRUE(StrokeActive);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 17);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[0], (stroke::StrokePoint{-1, -2, -3}));
  EXPECT_EQ(DragStartX, 5);
  EXPECT_EQ(DragStartY, 7);
  EXPECT_EQ(DragStartPanX, 4);
  EXPECT_EQ(DragStartPanY, -6);
  EXPECT_EQ(DragStartZoom, 1.5f);
  Form_MouseUp(kLeft, kShiftCtrl, 9, 9);
  EXPECT_TRUE(StrokeActive) << "a view drag's release leaves the press active";
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
  for (int32_t x = 0; x < 64; ++x) ASSERT_FALSE(Painted(x, 7));
}

// A stroke ends with its button: released while the comma is held or Shift+Ctrl is down, its dabs are
// committed at that release as their own undo step, and the next stroke is a step of its own.
TEST_F(CaptureTest, AStrokeReleasedInPickModeOrWithShiftCtrlIsCommittedAtThatRelease) {
  for (const bool pick : {true, false}) {
    SCOPED_TRACE(pick ? "comma held" : "Shift+Ctrl");
    MakeImage(64, 24);
    canvas::TheHistory().Reset();
    Form_MouseDown(kLeft, 0, 4, 6);
    for (float x = 8; x <= 24; x += 4) Form_MouseMove(kLeft, 0, x, 6);
    PickMode = pick;
    Form_MouseUp(kLeft, pick ? 0 : kShiftCtrl, 24, 6);
    PickMode = false;
    EXPECT_EQ(CountNonZero(FXbuffer), 0);
    EXPECT_TRUE(Painted(12, 6));
    EXPECT_TRUE(ViewR == PlaneR);
    ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
    // Hovering far away, then another stroke: its step holds its own rectangle only.
    for (float x = 60; x >= 50; x -= 5) Form_MouseMove(kNone, 0, x, 20);
    Form_MouseDown(kLeft, 0, 40, 18);
    Form_MouseUp(kLeft, 0, 40, 18);
    ASSERT_EQ(canvas::TheHistory().undoStack().size(), 2u);
    EXPECT_EQ(canvas::TheHistory().undoStack().back().left, 37);  // floor(40 - 2 - 0.5)
    EXPECT_EQ(canvas::TheHistory().undoStack().back().red.width(), 43 - 37);
    canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    EXPECT_FALSE(Painted(12, 6));
  }
}

// Released in pick mode, the stroke's release picks the image as it was under the pointer, then commits the
// stroke: the colour picked is the picture's, not the stroke's blended over it.
TEST_F(CaptureTest, AReleaseInPickModePicksBeforeTheCommit) {
  PlaneR(12, 6) = 11, PlaneG(12, 6) = 22, PlaneB(12, 6) = 33;
  ViewR(12, 6) = 11, ViewG(12, 6) = 22, ViewB(12, 6) = 33;
  Form_MouseDown(kLeft, 0, 4, 6);
  for (float x = 8; x <= 24; x += 4) Form_MouseMove(kLeft, 0, x, 6);
  ASSERT_NE(ViewR(12, 6), 11) << "the stroke's preview covers the pixel picked";
  PickMode = true;
  Form_MouseUp(kLeft, 0, 12, 6);
  PickMode = false;
  EXPECT_EQ(int(panel::HProp2().value()), 11);
  EXPECT_EQ(int(panel::HProp3().value()), 22);
  EXPECT_EQ(int(panel::HProp4().value()), 33);
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u) << "the stroke is committed all the same";
  EXPECT_EQ(CountNonZero(FXbuffer), 0);
}

// A pointer event whose spline piece takes ten samples or more composites each, and the canvas is redrawn
// once for the event, over all of them: the window then shows exactly what a redraw of the whole picture
// from the display copy shows.
TEST_F(CaptureTest, AMoveOfTenSamplesRedrawsTheCanvasOnce) {
  for (const float zoom : {1.0f, 3.0f}) {
    SCOPED_TRACE(zoom);
    MakeImage(64, 24);
    Zoom = zoom;
    platform::Form& canvas = Form1Window();
    canvas.SetClientSize(int32_t(64 * zoom), int32_t(24 * zoom));
    Dibs::CreateDib(Form1Window());
    canvas::displaybuffers(Form1Window());
    const auto window = [&] {
      std::vector<platform::Color> pixels;
      for (int32_t y = 0; y < canvas.clientHeight(); ++y)
        for (int32_t x = 0; x < canvas.clientWidth(); ++x) pixels.push_back(canvas.SurfacePixel(x, y));
      return pixels;
    };
    Form_MouseDown(kLeft, 0, 4 * zoom, 12 * zoom);
    Form_MouseMove(kLeft, 0, 14 * zoom, 12 * zoom);
    Form_MouseMove(kLeft, 0, 30 * zoom, 8 * zoom);
    const uint64_t blits = Dibs::BlitsToWindow();
    // More than ten window pixels from the last dab: the piece from point 1 to point 2 takes t in steps of 0.1.
    Form_MouseMove(kLeft, 0, 56 * zoom, 16 * zoom);
    EXPECT_EQ(Dibs::BlitsToWindow(), blits + 1);
    // Ten samples, t = 0 to 0.9 (the float sum falls short of 1), from point 1 at x = 14 towards point 2 at 30.
    EXPECT_NEAR(app::CanvasStroke().LastDabX, 27.97f, 0.01f);
    const std::vector<platform::Color> shown = window();
    canvas::RedrawRect(Form1Window(), {0, 0, ImageWidth, ImageHeight});
    EXPECT_TRUE(shown == window());
    Form_MouseUp(kLeft, 0, 56 * zoom, 16 * zoom);
    Zoom = 1;
  }
}

TEST_F(CaptureTest, HoveringDoesNothing) {
  app::CanvasStroke().StrokeMinX = app::CanvasStroke().StrokeMaxX = 3;
  Form_MouseMove(kNone, 0, 40, 10);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 0);
  EXPECT_EQ(app::CanvasStroke().StrokeMaxX, 3);
}

TEST_F(CaptureTest, AMoveGrowsTheRectangleWhateverItDoes) {
  Form_MouseDown(kLeft, kShiftCtrl, 10, 10);
  app::CanvasStroke().StrokeMinX = app::CanvasStroke().StrokeMaxX = 10;
  app::CanvasStroke().StrokeMinY = app::CanvasStroke().StrokeMaxY = 10;
  Form_MouseMove(kLeft, kShiftCtrl, 30, 4);  // a view drag: no point, but the rectangle grows
  EXPECT_EQ(app::CanvasStroke().StrokeMaxX, 32);
  EXPECT_EQ(app::CanvasStroke().StrokeMinY, 2);
  EXPECT_EQ(app::CanvasStroke().StrokeMinX, 10);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 0);
}

TEST_F(CaptureTest, APenInProximityReplacesTheMousePosition) {
  TabletPresent = true;
  PenInProximity = -1;
  PenWindowX = 30;
  PenWindowY = 10;
  PenPressure = 0.5f;
  Zoom = 2;
  PanX = 10;
  PanY = 4;  // image x = 30 / 2 - 10 / 2 = 10, y = 10 / 2 - 4 / 2 = 3
  Form_MouseDown(kLeft, 0, 3, 3);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[0], (stroke::StrokePoint{10, 3, 0.5f}));
  EXPECT_EQ(DragStartX, 30);
  EXPECT_EQ(PenPressure, 0.5f) << "a pen in proximity keeps its pressure";
  Form_MouseMove(kLeft, 0, 50, 50);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[1], (stroke::StrokePoint{10, 3, 0.5f}));
  Form_MouseUp(kLeft, 0, 60, 60);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[2], (stroke::StrokePoint{10, 3, 0.5f}));
}

TEST_F(CaptureTest, APressSetsFullPressureOnlyWhileTheTabletsPenIsAway) {
  PenPressure = 0.25f;
  Form_MouseDown(kLeft, 0, 3, 3);  // no tablet: the pressure is left alone
  EXPECT_EQ(PenPressure, 0.25f);
  TabletPresent = true;
  PenInProximity = 0;
  Form_MouseDown(kNone, 0, 3, 3);  // even a press without a button
  EXPECT_EQ(PenPressure, 1.0f);
  EXPECT_EQ(app::CanvasStroke().StrokePoints[0][2], 0.25f) << "a press without a button starts nothing";
}

TEST_F(CaptureTest, PickModePicksOnPressDragAndReleaseInsideTheImageOnly) {
  PlaneR(3, 2) = 11, PlaneG(3, 2) = 22, PlaneB(3, 2) = 33;
  PlaneR(4, 5) = 44, PlaneG(4, 5) = 55, PlaneB(4, 5) = 66;
  PlaneR(8, 8) = 77, PlaneG(8, 8) = 88, PlaneB(8, 8) = 99;
  PickMode = true;
  const auto picked = [] {
    return std::to_string(int(panel::HProp2().value())) + "," + std::to_string(int(panel::HProp3().value())) + "," +
           std::to_string(int(panel::HProp4().value()));
  };
  Form_MouseDown(kLeft, 0, 3.4f, 2.5f);  // nearest pixel, halves to even: (3, 2)
  EXPECT_EQ(picked(), "11,22,33");
  EXPECT_EQ(PaintRed, 11) << "the slider's change sets the paint colour";
  Form_MouseMove(kLeft, 0, 3.5f, 5);  // (4, 5)
  EXPECT_EQ(picked(), "44,55,66");
  Form_MouseMove(kNone, 0, 8, 8);  // no button: no pick
  EXPECT_EQ(picked(), "44,55,66");
  Form_MouseMove(kLeft, 0, -3, 8);  // outside: ignored
  EXPECT_EQ(picked(), "44,55,66");
  Form_MouseUp(kNone, 0, 8, 8);  // the release picks whatever the button
  EXPECT_EQ(picked(), "77,88,99");
  EXPECT_TRUE(StrokeActive);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 0);
}

TEST_F(CaptureTest, AReleaseWithoutAnyPressOrPointListIsSafe) {
  app::CanvasStroke().StrokePoints.clear();  // as before the canvas's load
  Form_MouseUp(kLeft, 0, 5, 5);
  EXPECT_EQ(app::CanvasStroke().StrokePoints.size(), size_t(stroke::kStrokePointsLast + 1));
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 1);
  EXPECT_FALSE(StrokeActive);
  app::ResetProgramState();  // no image either
  Form_MouseMove(kLeft, 0, 5, 5);
  Form_MouseUp(kLeft, 0, 5, 5);
  Form_MouseDown(kLeft, 0, 5, 5);
  Form_MouseMove(kLeft, 0, 6, 5);
  Form_MouseMove(kLeft, 0, 7, 5);
  Form_MouseMove(kLeft, 0, 8, 5);
  Form_MouseUp(kLeft, 0, 9, 5);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
}

}  // namespace
}  // namespace brisel::testing
