// A whole stroke through the toolkit: Qt mouse events on the canvas of a running program, then the image
// planes, the canvas's client surface, the undo step and the mask.

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "app/canvas_stroke.h"
#include "app/canvas_window.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/undo.h"
#include "platform/qt/form_impl.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "stroke/compositing.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

class StrokeEndToEndTest : public AppTest {
 protected:
  // Delivers a mouse event to the canvas's client area as the window system would hand it over.
  static void Send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* client = Form1Window().impl().client;
    QMouseEvent event(type, at, client->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(client, &event);
  }
  static platform::Color Shown(int32_t x, int32_t y) { return Form1Window().SurfacePixel(x, y); }
};

TEST_F(StrokeEndToEndTest, AStrokeOfMouseEventsPaintsCommitsAndCanBeUndone) {
  Start(64, 48);
  ASSERT_TRUE(Form1Window().loaded());
  BrushSize = 3;
  BrushOpacity = 255;
  BrushPress = 255;
  BrushStep = 15;
  BlendMode = CoverageCurve = ReliefEffect = 0;
  PaperStrength = 0;
  PaintRed = 250;
  PaintGreen = 20;
  PaintBlue = 40;
  const platform::Color paint = platform::RGB(250, 20, 40);
  const BytePlane before = PlaneR;

  Send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  for (float x : {16.0f, 22.0f, 28.0f, 34.0f, 40.0f})
    Send(QEvent::MouseMove, {x, 20.5}, Qt::NoButton, Qt::LeftButton);
  // A side button clicked mid-drag is not the stroke's: it neither ends nor restarts it.
  Send(QEvent::MouseButtonPress, {40, 20.5}, Qt::BackButton, Qt::LeftButton | Qt::BackButton);
  Send(QEvent::MouseButtonRelease, {40, 20.5}, Qt::BackButton, Qt::LeftButton);
  // The preview is in the client surface already; the image itself has not changed.
  EXPECT_EQ(Shown(20, 20), paint);
  EXPECT_EQ(PlaneR, before);
  Send(QEvent::MouseButtonRelease, {46, 21}, Qt::LeftButton, Qt::NoButton);

  for (int32_t x = 10; x <= 34; ++x) {
    EXPECT_EQ(platform::RGB(PlaneR(x, 20), PlaneG(x, 20), PlaneB(x, 20)), paint) << x;
    EXPECT_EQ(Shown(x, 20), paint) << x;
  }
  EXPECT_EQ(PlaneR(20, 30), before(20, 30)) << "far from the stroke the image is as it was";
  for (int32_t y = 0; y < ImageHeight; ++y)
    for (int32_t x = 0; x < ImageWidth; ++x) ASSERT_EQ(FXbuffer(x, y), 0) << "mask left at " << x << "," << y;

  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  canvas::RedrawRect(Form1Window(), canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted));
  EXPECT_EQ(PlaneR, host->red);
  EXPECT_EQ(PlaneG, host->green);
  EXPECT_EQ(PlaneB, host->blue);
  EXPECT_EQ(Shown(20, 20), platform::RGB(host->red(20, 20), host->green(20, 20), host->blue(20, 20)));
}

// Through the toolkit too, a click and a drag of one movement paint where they were pressed, and the canvas
// shows it at once; each is one undo step.
TEST_F(StrokeEndToEndTest, AClickAndAOneMovementDragPaintWhereThePointerWent) {
  Start(64, 48);
  PaintRed = 250;
  PaintGreen = 20;
  PaintBlue = 40;
  BrushOpacity = BrushPress = 255;
  const platform::Color paint = platform::RGB(250, 20, 40);
  Send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
  Send(QEvent::MouseButtonPress, {30, 8}, Qt::LeftButton, Qt::LeftButton);
  Send(QEvent::MouseMove, {44, 8}, Qt::NoButton, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, {44, 8}, Qt::LeftButton, Qt::NoButton);
  for (const auto& [x, y] : {std::pair{10, 20}, {30, 8}, {37, 8}, {44, 8}}) {
    EXPECT_EQ(platform::RGB(PlaneR(x, y), PlaneG(x, y), PlaneB(x, y)), paint) << x << "," << y;
    EXPECT_EQ(Shown(x, y), paint) << x << "," << y;
  }
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 2u);
}

TEST_F(StrokeEndToEndTest, AShiftCtrlDragPaintsNothing) {
  Start(64, 48);
  const BytePlane before = PlaneR;
  const Qt::KeyboardModifiers shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
  Send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton, shiftCtrl);
  for (float x : {16.0f, 22.0f, 28.0f, 34.0f}) Send(QEvent::MouseMove, {x, 20}, Qt::NoButton, Qt::LeftButton, shiftCtrl);
  Send(QEvent::MouseButtonRelease, {40, 20}, Qt::LeftButton, Qt::NoButton, shiftCtrl);
  EXPECT_EQ(PlaneR, before);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
}

}  // namespace
}  // namespace brisel::testing

namespace brisel::testing {
namespace {

// Compositing shows nothing itself: the box its preview answers, redrawn, shows it with a pixel to spare.
TEST_F(StrokeEndToEndTest, ThePreviewsAnswerShownRefreshesTheCanvas) {
  Start(16, 12);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(ImageWidth, ImageHeight);
  Dibs::CreateDib(canvas);
  for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB, &ViewR, &ViewG, &ViewB}) p->fill(100);
  canvas.FillBox(0, 0, ImageWidth - 1, ImageHeight - 1, platform::RGB(1, 2, 3));
  FXbuffer.fill(255);
  BrushSize = 2, BrushOpacity = 255, PaintRed = 200, PaintGreen = PaintBlue = 0;
  stroke::Surface surface = app::CanvasSurface();
  stroke::RenderSegment(surface, app::CanvasBrush(), 2, 8, 6, 8, 6);
  const PixelRect box = stroke::RenderSegment(surface, app::CanvasBrush(), 1, 8, 6, 8, 6);
  EXPECT_EQ(box, (PixelRect{6, 4, 11, 9}));
  EXPECT_EQ(canvas.SurfacePixel(8, 6), platform::RGB(1, 2, 3)) << "compositing shows nothing itself";
  canvas::RedrawRect(canvas, box);  // refreshed with a pixel to spare at zoom 1
  EXPECT_EQ(canvas.SurfacePixel(8, 6), platform::RGB(200, 0, 0));
  EXPECT_EQ(canvas.SurfacePixel(5, 3), platform::RGB(100, 100, 100));
  EXPECT_EQ(canvas.SurfacePixel(11, 9), platform::RGB(100, 100, 100));
  EXPECT_EQ(canvas.SurfacePixel(4, 6), platform::RGB(1, 2, 3));
  EXPECT_EQ(canvas.SurfacePixel(12, 6), platform::RGB(1, 2, 3));
}

// However the preview cut a stroke into boxes, after the release the canvas shows exactly the committed
// image, rim pixels of the dabs included; at zoom 2 as well as at 1.
TEST_F(StrokeEndToEndTest, AfterTheReleaseTheCanvasShowsExactlyTheCommittedImage) {
  for (float zoom : {1.0f, 2.0f}) {
    Start(60, 40);
    Form1Window().SetClientSize(120, 80);
    Zoom = zoom;
    Dibs::CreateDib(Form1Window());
    for (BytePlane* p : {&PlaneR, &PlaneG, &PlaneB, &ViewR, &ViewG, &ViewB}) p->fill(255);
    canvas::displaybuffers(Form1Window());
    BrushSize = 4.5f;
    Send(QEvent::MouseButtonPress, QPointF(10 * zoom, 10 * zoom), Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 12; ++i)
      Send(QEvent::MouseMove, QPointF((10 + 3.3 * i) * zoom, (10 + 1.7 * i) * zoom), Qt::NoButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, QPointF(52 * zoom, 32 * zoom), Qt::LeftButton, Qt::NoButton);
    ASSERT_NE(PlaneR(30, 20), 255) << "the stroke was painted";
    EXPECT_TRUE(ViewR == PlaneR && ViewG == PlaneG && ViewB == PlaneB);
    const platform::Form& canvas = Form1Window();
    const platform::Color before = canvas.SurfacePixel(0, 0);
    // Redraw everything from the committed image: nothing on the canvas may change.
    std::vector<platform::Color> shown;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x) shown.push_back(canvas.SurfacePixel(x, y));
    Form1::Form_Paint();
    size_t k = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x, ++k)
        ASSERT_EQ(canvas.SurfacePixel(x, y), shown[k]) << "zoom " << zoom << " at " << x << "," << y;
    EXPECT_EQ(before, canvas.SurfacePixel(0, 0));
    TearDown();
    SetUp();
  }
}

}  // namespace
}  // namespace brisel::testing
