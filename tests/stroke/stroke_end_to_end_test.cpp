// A whole stroke through the toolkit: Qt mouse events on the canvas of a running program, then the image
// planes, the canvas's client surface, the undo step and the mask.

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "app/shared_state.h"
#include "app/windows.h"
#include "canvas/display_bitmap.h"
#include "canvas/undo.h"
#include "platform/qt/form_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

class StrokeEndToEndTest : public AppTest {
 protected:
  void TearDown() override {
    Dibs::FreeDib();
    AppTest::TearDown();
  }
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

  ASSERT_EQ(UndoStack.size(), 1u);
  UndoLastStep();
  EXPECT_EQ(PlaneR, host->red);
  EXPECT_EQ(PlaneG, host->green);
  EXPECT_EQ(PlaneB, host->blue);
  EXPECT_EQ(Shown(20, 20), platform::RGB(host->red(20, 20), host->green(20, 20), host->blue(20, 20)));
}

TEST_F(StrokeEndToEndTest, AShiftCtrlDragPaintsNothing) {
  Start(64, 48);
  const BytePlane before = PlaneR;
  const Qt::KeyboardModifiers shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
  Send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton, shiftCtrl);
  for (float x : {16.0f, 22.0f, 28.0f, 34.0f}) Send(QEvent::MouseMove, {x, 20}, Qt::NoButton, Qt::LeftButton, shiftCtrl);
  Send(QEvent::MouseButtonRelease, {40, 20}, Qt::LeftButton, Qt::NoButton, shiftCtrl);
  EXPECT_EQ(PlaneR, before);
  EXPECT_TRUE(UndoStack.empty());
}

}  // namespace
}  // namespace brisel::testing
