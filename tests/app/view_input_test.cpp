// Moving the view as painters do: wheel, Shift+wheel, a touchpad's pixels, Ctrl+wheel and a pinch about the
// pointer, Space+drag. Every input goes through the canvas window as the window system delivers it, and none
// may touch the image or the undo history.

#include <QApplication>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <string>
#include <vector>

#include "canvas/navigation.h"
#include "platform/qt/form_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

struct Input {
  enum Kind { Wheel, Pinch, SpaceDown, SpaceUp, Press, Move, Release, Away } kind;
  QPointF at;
  QPoint angle{}, pixels{};  // a wheel's turn (120 a notch) and a touchpad's pixels
  Qt::KeyboardModifiers mods = Qt::NoModifier;
  double pinch = 0;  // growth of a pinch step: 0.5 is 50 % larger
};

Input Wheel(QPointF at, QPoint angle, Qt::KeyboardModifiers mods = Qt::NoModifier, QPoint pixels = {}) {
  return {Input::Wheel, at, angle, pixels, mods};
}

void Deliver(const Input& in) {
  QWidget* client = Form1Window().impl().client;
  QWidget* window = Form1Window().impl().window;
  const QPointF global = client->mapToGlobal(in.at);
  switch (in.kind) {
    case Input::Wheel: {
      QWheelEvent e(in.at, global, in.pixels, in.angle, Qt::NoButton, in.mods, Qt::NoScrollPhase, false);
      QApplication::sendEvent(client, &e);
      break;
    }
    case Input::Pinch: {
      QNativeGestureEvent e(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, in.at, in.at, global,
                            in.pinch, QPointF(), 0);
      QApplication::sendEvent(client, &e);
      break;
    }
    case Input::SpaceDown: QTest::keyPress(window, Qt::Key_Space); break;
    case Input::SpaceUp: QTest::keyRelease(window, Qt::Key_Space); break;
    case Input::Away: {  // another window takes the keyboard
      QEvent e(QEvent::ActivationChange);
      QApplication::sendEvent(window, &e);
      break;
    }
    case Input::Press:
    case Input::Move:
    case Input::Release: {
      const QEvent::Type type = in.kind == Input::Press  ? QEvent::MouseButtonPress
                                : in.kind == Input::Move ? QEvent::MouseMove
                                                         : QEvent::MouseButtonRelease;
      const Qt::MouseButton button = in.kind == Input::Move ? Qt::NoButton : Qt::LeftButton;
      const Qt::MouseButtons held = in.kind == Input::Release ? Qt::NoButton : Qt::LeftButton;
      QMouseEvent e(type, in.at, global, button, held, in.mods);
      QApplication::sendEvent(client, &e);
      break;
    }
  }
}

// The image point under canvas point p.
QPointF ImageAt(QPointF p) { return {(p.x() - PanX) / Zoom, (p.y() - PanY) / Zoom}; }

TEST_F(AppTest, TheWheelATouchpadAndSpaceMoveTheViewAndNothingElse) {
  // A 200 x 300 picture in a 100 x 80 window: larger than it both ways at zoom 1, so it scrolls between
  // its edges at the window's: pan x in -100..0 and y in -220..0 (-300..0 and -520..0 at zoom 2).
  struct Case {
    const char* name;
    float zoom;
    int32_t panX, panY;
    std::vector<Input> inputs;
    float wantZoom;
    int32_t wantPanX, wantPanY;  // ignored where zoomAbout is set
    QPointF zoomAbout{-1, -1};   // the pointer of a zoom: the image point under it must stay
  };
  const QPointF mid(50, 40);
  const Case cases[] = {
      {"wheel down a notch", 1, 0, -100, {Wheel(mid, {0, -120})}, 1, 0, -160},
      {"wheel up at the top", 1, -30, 0, {Wheel(mid, {0, 120})}, 1, -30, 0},
      {"wheel down stops at the bottom edge", 1, 0, -200, {Wheel(mid, {0, -120})}, 1, 0, -220},
      {"half a notch of a fine wheel", 1, 0, 0, {Wheel(mid, {0, -60})}, 1, 0, -30},
      {"Shift+wheel scrolls sideways", 1, -10, -10, {Wheel(mid, {0, -120}, Qt::ShiftModifier)}, 1, -70, -10},
      {"Shift+wheel stops at the left edge", 1, -10, 0, {Wheel(mid, {0, 120}, Qt::ShiftModifier)}, 1, 0, 0},
      {"a sideways wheel", 1, -50, 0, {Wheel(mid, {120, 0})}, 1, 0, 0},
      {"touchpad pixels both ways", 1, -50, -50, {Wheel(mid, {-16, -24}, Qt::NoModifier, {-7, -13})}, 1, -57, -63},
      {"a view beyond the edge only comes back", 1, 40, 0,
       {Wheel(mid, {16, 0}, Qt::NoModifier, {10, 0}), Wheel(mid, {-16, 0}, Qt::NoModifier, {-15, 0})}, 1, 25, 0},
      {"a picture narrower than the window stays inside", 0.25f, 40, 0, {Wheel(mid, {0, 120}, Qt::ShiftModifier)},
       0.25f, 50, 0},
      {"Ctrl+wheel in near the corner", 1, 0, 0, {Wheel({10, 10}, {0, 120}, Qt::ControlModifier)}, 1.25f, 0, 0,
       {10, 10}},
      {"Ctrl+wheel out at 200 %", 2, -50, -30, {Wheel({90, 70}, {0, -120}, Qt::ControlModifier)}, 1.6f, 0, 0,
       {90, 70}},
      {"Ctrl+wheel two notches in at 50 %", 0.5f, 20, 10, {Wheel({50, 40}, {0, 240}, Qt::ControlModifier)},
       0.78125f, 0, 0, {50, 40}},
      {"Ctrl+wheel out stops at 25 %", 0.3f, 0, 0, {Wheel({50, 40}, {0, -240}, Qt::ControlModifier)}, 0.25f, 0, 0,
       {50, 40}},
      {"Ctrl+wheel in stops at 3200 %", 30, -900, -900, {Wheel({50, 40}, {0, 120}, Qt::ControlModifier)}, 32, 0, 0,
       {50, 40}},
      {"a pinch", 1, -20, -20, {{Input::Pinch, {30, 60}, {}, {}, Qt::NoModifier, 0.5}}, 1.5f, 0, 0, {30, 60}},
      {"Space+drag pans",
       1,
       -50,
       -50,
       {{Input::SpaceDown, mid}, {Input::Press, mid}, {Input::Move, {40, 30}}, {Input::Move, {30, 25}},
        {Input::Release, {30, 25}}, {Input::SpaceUp, mid}},
       1,
       -70,
       -65},
      {"Space+drag stops at the edge",
       1,
       -10,
       -50,
       {{Input::SpaceDown, mid}, {Input::Press, mid}, {Input::Move, {80, 45}}, {Input::Release, {80, 45}},
        {Input::SpaceUp, mid}},
       1,
       0,
       -45},
      {"Space let go first: the drag pans to its end",
       1,
       -50,
       -50,
       {{Input::SpaceDown, mid}, {Input::Press, mid}, {Input::SpaceUp, mid}, {Input::Move, {45, 40}},
        {Input::Release, {45, 40}}},
       1,
       -55,
       -50},
      {"Space let go in another window", 1, -50, -50, {{Input::SpaceDown, mid}, {Input::Away, mid}}, 1, -50, -50},
  };
  Start(200, 300);
  Form1Window().SetClientSize(100, 80);
  const BytePlane red = PlaneR, green = PlaneG, blue = PlaneB;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(canvas::SetView(Form1Window(), c.zoom, c.panX, c.panY));
    const QPointF before = ImageAt(c.zoomAbout);
    for (const Input& in : c.inputs) Deliver(in);
    EXPECT_FLOAT_EQ(Zoom, c.wantZoom);
    if (c.zoomAbout.x() < 0) {
      EXPECT_EQ(PanX, c.wantPanX);
      EXPECT_EQ(PanY, c.wantPanY);
    } else {
      // Within half a window pixel, the rounding of the pan.
      const QPointF after = ImageAt(c.zoomAbout);
      EXPECT_LE(std::abs(after.x() - before.x()) * Zoom, 0.5001) << after.x() << " was " << before.x();
      EXPECT_LE(std::abs(after.y() - before.y()) * Zoom, 0.5001) << after.y() << " was " << before.y();
    }
    EXPECT_TRUE(PlaneR == red && PlaneG == green && PlaneB == blue) << "the image changed";
    EXPECT_EQ(FXbuffer, BytePlane(200, 300, 0)) << "something was painted";
    EXPECT_TRUE(canvas::TheHistory().undoStack().empty() && canvas::TheHistory().redoStack().empty())
        << "the history changed";
    EXPECT_FALSE(SpaceHeld || SpacePan || StrokeActive);
  }
}

}  // namespace
}  // namespace brisel::testing
