// The tablet: packets into the pen state, proximity, and pen strokes injected as the platform delivers them.

#include <QGuiApplication>
#include <QPixmap>
#include <QPointingDevice>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <private/qhighdpiscaling_p.h>
#include <qpa/qwindowsysteminterface.h>
#include <qpa/qwindowsysteminterface_p.h>

#include <algorithm>
#include <cmath>

#include "app/canvas_stroke.h"
#include "app/canvas_tablet.h"
#include "app/pressure_window.h"
#include "panel/tool_panel.h"
#include "platform/qt/form_impl.h"
#include "stroke/pressure_curve.h"
#include "support/app_fixture.h"
#include "support/scoped_env.h"

namespace brisel::testing {
namespace {

class TabletTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // As on X11: a tablet event the canvas ignores would come back as a mouse event.
    QWindowSystemInterfacePrivate::TabletEvent::setPlatformSynthesizesMouse(false);
  }
  void TearDown() override {
    AppTest::TearDown();
    delete pen;
    delete eraser;
  }

  void PlugInTablet() {
    const auto caps = QInputDevice::Capability::Position | QInputDevice::Capability::Pressure;
    pen = new QPointingDevice("test pen", 4711, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
                              caps, 1, 3, QString(), QPointingDeviceUniqueId::fromNumericId(4711));
    eraser = new QPointingDevice("test eraser", 4712, QInputDevice::DeviceType::Stylus,
                                 QPointingDevice::PointerType::Eraser, caps, 1, 3, QString(),
                                 QPointingDeviceUniqueId::fromNumericId(4711));
    QWindowSystemInterface::registerInputDevice(pen);
    QWindowSystemInterface::registerInputDevice(eraser);
  }

  // One tablet event at client position (x, y) of the canvas; buttons none is the release. The platform
  // speaks in its own pixels: toNative of Qt's each (the screen's scale factor).
  void Tablet(const QPointingDevice* device, double x, double y, double pressure, Qt::MouseButtons buttons,
              double toNative = 1) {
    QWindow* window = Form1Window().impl().window->windowHandle();
    const QPointF local = Form1Window().impl().client->mapTo(Form1Window().impl().window, QPointF(x, y));
    const QPointF global = Form1Window().impl().window->mapToGlobal(local);
    QWindowSystemInterface::handleTabletEvent(window, ++time, device, local * toNative, global * toNative, buttons,
                                              pressure, 0, 0, 0, 0, 0);
    QWindowSystemInterface::flushWindowSystemEvents();
  }

  // A horizontal pen stroke along row y at the given pressure; returns the pixels it changed.
  int PenStroke(const QPointingDevice* device, double y, double pressure) {
    const BytePlane before = PlaneR;
    for (int i = 0; i <= 12; ++i) Tablet(device, 10 + 5 * i, y, pressure, Qt::LeftButton);
    Tablet(device, 70, y, pressure, Qt::NoButton);
    int changed = 0;
    for (int yy = 0; yy < ImageHeight; ++yy)
      for (int x = 0; x < ImageWidth; ++x) changed += PlaneR(x, yy) != before(x, yy);
    return changed;
  }

  // Starts the program with the canvas on top of the tool panel (which, on an X server without a window
  // manager, lies over it) and on the screen.
  void StartOnScreen(int32_t width, int32_t height) {
    Start(width, height);
    Form1Window().impl().window->raise();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1Window().impl().window->windowHandle()));
  }

  // How many of the canvas's client pixels the screen shows otherwise than its surface holds them.
  int PixelsNotOnScreen() {
    const platform::Form::Impl& canvas = Form1Window().impl();
    const QPoint corner = canvas.client->mapTo(canvas.window, QPoint(0, 0));
    const int width = canvas.client->width(), height = canvas.client->height();
    const QImage screen = QGuiApplication::primaryScreen()
                              ->grabWindow(canvas.window->winId(), corner.x(), corner.y(), width, height)
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    if (screen.size() != QSize(width, height)) return width * height;
    int differ = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) differ += (screen.pixel(x, y) ^ canvas.surface.pixel(x, y)) & 0xFFFFFF ? 1 : 0;
    return differ;
  }

  QPointingDevice* pen = nullptr;
  QPointingDevice* eraser = nullptr;
  ulong time = 0;
};

TEST_F(TabletTest, WithoutATabletTheMouseAloneWithPressureOne) {
  Start(20, 20);
  EXPECT_FALSE(TabletPresent);
  EXPECT_EQ(PenPressure, 1.0f);
  EXPECT_EQ(app::Tablet, nullptr);
}

TEST_F(TabletTest, PacketsGiveThePenPositionPressureAndEnd) {
  PlugInTablet();
  Start(20, 20);
  ASSERT_TRUE(TabletPresent);
  int32_t ox = 0, oy = 0;
  platform::ClientToScreen(Form1Window(), ox, oy);
  int32_t n = 0, X = TabletExtentX, Y = 0, pressure = 1023, altitude = 900;
  Form1::Tablet_PacketArrival(n, n, X, Y, n, n, pressure, n, n, altitude, n, n, n, n, n, n);
  // The right edge of the screen, at its bottom edge, less the window's origin and half a pixel.
  EXPECT_FLOAT_EQ(PenWindowX, float(platform::ScreenWidth() - ox - 0.5));
  EXPECT_FLOAT_EQ(PenWindowY, float(platform::ScreenHeight() - oy - 0.5));
  EXPECT_EQ(PenPressure, 1.0f);
  pressure = 1023 / 2;
  altitude = -900;
  Form1::Tablet_PacketArrival(n, n, X, Y, n, n, pressure, n, n, altitude, n, n, n, n, n, n);
  EXPECT_NEAR(PenPressure, 0.5f, 0.001f);
  EXPECT_LT(PenAltitude, 0);

  int16_t in = -1, physical = -1, odd = 5;
  int32_t handle = 1;
  std::string name = "FirstContext";
  Form1::Tablet_ProximityChange(in, physical, handle, name);
  EXPECT_EQ(PenInProximity, -1);
  Form1::Tablet_ProximityChange(odd, physical, handle, name);
  EXPECT_EQ(PenInProximity, -1);
  in = 0;
  Form1::Tablet_ProximityChange(in, physical, handle, name);
  EXPECT_EQ(PenInProximity, 0);
}

TEST_F(TabletTest, PenEventsReachTheCanvasOnceAtThePensPlace) {
  PlugInTablet();
  Start(80, 40);
  Tablet(pen, 10.25, 20.5, 0.5, Qt::LeftButton);
  EXPECT_TRUE(StrokeActive);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 0);
  EXPECT_EQ(PenInProximity, -1);
  EXPECT_NEAR(app::CanvasStroke().StrokePoints[0][0], 10.25f, 0.01f);
  EXPECT_NEAR(app::CanvasStroke().StrokePoints[0][1], 20.5f, 0.01f);
  EXPECT_NEAR(app::CanvasStroke().StrokePoints[0][2], 0.5f, 0.001f);
  Tablet(pen, 12, 20, 0.5, Qt::LeftButton);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, 1);  // one point per event: nothing arrived a second time as the mouse
  Tablet(pen, 12, 20, 0.5, Qt::NoButton);
  EXPECT_FALSE(StrokeActive);
}

// Reports queued faster than the canvas handles them, as a pen or a mouse at 1,000 a second outpaces a busy
// canvas: each reaches the stroke as a point of its own, none merged into a later one.
class ReportBurst : public TabletTest, public ::testing::WithParamInterface<bool> {
 protected:
  static constexpr int kMoves = 40;
};
INSTANTIATE_TEST_SUITE_P(Tablet, ReportBurst, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "OfThePen" : "OfTheMouse"; });

TEST_P(ReportBurst, EveryReportIsAPointOfTheStroke) {
  const bool byPen = GetParam();
  PlugInTablet();
  StartOnScreen(200, 60);
  PlaneR.fill(255);
  QWindow* window = Form1Window().impl().window->windowHandle();
  QWindowSystemInterface::flushWindowSystemEvents();  // what opening the canvas queued
  // The press, the moves, and the release where the last move left the pointer (elsewhere, Qt would make
  // a move of it first).
  const auto xOf = [](int i) { return 10 + 4 * std::min(i, kMoves); };
  const auto queue = [&](int i) {
    const QPointF local = Form1Window().impl().client->mapTo(Form1Window().impl().window, QPointF(xOf(i), 30));
    const Qt::MouseButtons held = i <= kMoves ? Qt::LeftButton : Qt::NoButton;
    if (byPen) {
      QWindowSystemInterface::handleTabletEvent(window, ++time, pen, local, window->mapToGlobal(local), held, 0.5, 0,
                                                0, 0, 0, 0);
    } else {
      const QEvent::Type type =
          i == 0 ? QEvent::MouseButtonPress : i <= kMoves ? QEvent::MouseMove : QEvent::MouseButtonRelease;
      QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
          window, local, window->mapToGlobal(local), held, Qt::LeftButton, type);
    }
  };
  for (int i = 0; i <= kMoves; ++i) queue(i);
  EXPECT_EQ(QWindowSystemInterface::windowSystemEventsQueued(), kMoves + 1);  // none handled yet
  QWindowSystemInterface::flushWindowSystemEvents();
  EXPECT_EQ(PixelsNotOnScreen(), 0);  // the last move presented what the whole burst painted
  queue(kMoves + 1);
  QWindowSystemInterface::flushWindowSystemEvents();
  EXPECT_FALSE(StrokeActive);
  EXPECT_EQ(app::CanvasStroke().StrokeCount, kMoves + 1);  // every move, and the release
  for (int i = 0; i <= kMoves + 1; ++i) EXPECT_NEAR(app::CanvasStroke().StrokePoints[size_t(i)][0], xOf(i), 0.01f) << "point " << i;
}

// What a pen's event painted is on the screen when the event returns: it does not wait for an idle moment of
// the event loop, which reports coming 1,000 times a second never leave. The screen shows the canvas's
// pixels exactly, after every move, and after another window covered part of the canvas and went (on X11 the
// moves' pixels reach the screen by PutImage, around the backing store that an exposure shows).
TEST_F(TabletTest, APensPixelsAreOnTheScreenWhenItsEventReturns) {
  PlugInTablet();
  StartOnScreen(80, 60);
  PlaneR.fill(255);
  panel::HProp1().SetValue(6);
  for (int i = 0; i <= 12; ++i) {
    Tablet(pen, 10 + 5 * i, 30, 1.0, Qt::LeftButton);  // delivers the event, and nothing the loop has queued
    ASSERT_EQ(PixelsNotOnScreen(), 0) << "move " << i;
  }
  int painted = 0;
  for (int x = 0; x < 80; ++x) painted += qRed(Form1Window().impl().surface.pixel(x, 30)) < 128;
  EXPECT_GT(painted, 30);  // the stroke is there to be seen

  // The backing store is not brought up to date meanwhile: the exposure alone must show the stroke.
  if (QTimer* catchUp = Form1Window().impl().catchUp) catchUp->stop();
  QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  const QPoint corner = Form1Window().impl().client->mapToGlobal(QPoint(0, 0));
  cover.setGeometry(QRect(corner, QSize(80, 60)));
  cover.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  cover.hide();
  QTest::qWait(200);
  EXPECT_EQ(PixelsNotOnScreen(), 0);
  Tablet(pen, 70, 30, 1.0, Qt::NoButton);
}

// Whether the pen was known when the canvas opened (X11) or only arrives with its first event, as Qt's
// Wayland plug-in announces it.
class PenArrival : public TabletTest, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(Tablet, PenArrival, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithItsFirstEvent" : "AtLoad"; });

TEST_P(PenArrival, PressureSetsTheWidthAndTheEraserEndPaintsWhite) {
  const bool late = GetParam();
  if (!late) PlugInTablet();
  Start(80, 60);
  EXPECT_EQ(TabletPresent, !late);
  if (late) PlugInTablet();
  PlaneR.fill(255);  // a white picture: the black pen shows
  panel::HProp1().SetValue(6);
  const int light = PenStroke(pen, 15, 0.2);
  const int firm = PenStroke(pen, 40, 1.0);
  EXPECT_GT(light, 0);
  EXPECT_GT(firm, light * 2);  // a firm stroke is much wider than a light one
  EXPECT_EQ(PlaneR(40, 40), 0);

  // Through a firm pressure curve the same light stroke paints wider, and the curve's window shows the
  // pen's pressure as it comes.
  QTemporaryDir config;
  ScopedEnv home("XDG_CONFIG_HOME", config.path().toStdString());
  app::ShowPressureWindow();
  PlaneR.fill(255);
  const int linearLight = PenStroke(pen, 25, 0.2);
  PlaneR.fill(255);
  stroke::SetPenCurve(stroke::FirmCurve());
  EXPECT_GT(PenStroke(pen, 25, 0.2), linearLight * 3 / 2);
  Tablet(pen, 20, 20, 0.2, Qt::LeftButton);
  EXPECT_NEAR(PenPressure, 0.48f, 0.002f);
  EXPECT_EQ(app::PressureReading().rfind("Pen 20 % paints 48 %, ", 0), 0u) << app::PressureReading();
  Tablet(pen, 20, 20, 0.2, Qt::NoButton);
  stroke::SetPenCurve(stroke::LinearCurve());
  app::DestroyPressureWindow();

  // One stroke whose pressure grows from light to firm grows from thin to wide.
  PlaneR.fill(255);
  for (int i = 0; i <= 12; ++i) Tablet(pen, 10 + 5 * i, 30, 0.1 + 0.075 * i, Qt::LeftButton);
  Tablet(pen, 70, 30, 1.0, Qt::NoButton);
  const auto thickness = [](int x) {
    int n = 0;
    for (int y = 0; y < ImageHeight; ++y) n += PlaneR(x, y) < 128;
    return n;
  };
  EXPECT_GE(thickness(20), 1);
  EXPECT_GT(thickness(60), thickness(20) + 4);

  PlaneR.fill(0);
  PlaneG.fill(0);
  PlaneB.fill(0);
  PenStroke(eraser, 30, 1.0);
  EXPECT_EQ(PlaneR(40, 30), 255);
  EXPECT_EQ(PlaneG(40, 30), 255);
  EXPECT_EQ(PlaneB(40, 30), 255);
}

// The canvas at a screen scale of 125 %, 150 % (fractional: it counts screen pixels) and 200 % (whole: it
// counts the toolkit's): the mouse, the pen's packets and its size all take the same scale.
class CanvasScale : public TabletTest, public ::testing::WithParamInterface<double> {
 protected:
  void TearDown() override {
    QHighDpiScaling::setScreenFactor(QGuiApplication::primaryScreen(), 1);
    TabletTest::TearDown();
  }
  // Where a press at client point (x, y) starts the stroke, in picture pixels.
  QPointF StrokeStart(const QPointingDevice* device, double x, double y) {
    const double toNative = GetParam();
    if (device) {
      Tablet(device, x, y, 1.0, Qt::LeftButton, toNative);
      Tablet(device, x, y, 1.0, Qt::NoButton, toNative);
    } else {
      QWindow* window = Form1Window().impl().window->windowHandle();
      const QPointF local = Form1Window().impl().client->mapTo(Form1Window().impl().window, QPointF(x, y));
      for (const auto& [held, type] : {std::pair{Qt::LeftButton, QEvent::MouseButtonPress},
                                       std::pair{Qt::NoButton, QEvent::MouseButtonRelease}})
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::SynchronousDelivery>(
            window, local * toNative, window->mapToGlobal(local) * toNative, held, Qt::LeftButton, type);
    }
    return {app::CanvasStroke().StrokePoints[0][0], app::CanvasStroke().StrokePoints[0][1]};
  }
};
INSTANTIATE_TEST_SUITE_P(Tablet, CanvasScale, ::testing::Values(1.25, 1.5, 2.0),
                         [](const auto& info) { return "Percent" + std::to_string(int(info.param * 100)); });

TEST_P(CanvasScale, MouseAndPenCountTheSamePixels) {
  QHighDpiScaling::setScreenFactor(QGuiApplication::primaryScreen(), GetParam());
  const double scale = GetParam() == std::floor(GetParam()) ? 1 : GetParam();
  PlugInTablet();
  Start(300, 200);
  EXPECT_NEAR(Form1Window().clientWidth(), Form1Window().impl().client->width() * scale, 1);
  EXPECT_NEAR(Form1Window().clientHeight(), Form1Window().impl().client->height() * scale, 1);
  // The mouse first: once the pen has been near, the mouse takes the pen's place.
  std::vector<QPointF> starts;
  for (const QPointingDevice* device : {static_cast<QPointingDevice*>(nullptr), pen})
    for (const QPointF at : {QPointF(40, 30), QPointF(60, 50)}) starts.push_back(StrokeStart(device, at.x(), at.y()));
  for (size_t i = 0; i < starts.size(); i += 2) {
    const QPointF step = starts[i + 1] - starts[i];
    EXPECT_NEAR(step.x() * Zoom, 20 * scale, 0.6) << (i ? "pen" : "mouse") << " at zoom " << Zoom;
    EXPECT_NEAR(step.y() * Zoom, 20 * scale, 0.6) << (i ? "pen" : "mouse") << " at zoom " << Zoom;
  }
  // The pen's packets come back through whole screen pixels: within half of one.
  EXPECT_NEAR((starts[2].x() - starts[0].x()) * Zoom, 0, 0.6);
  EXPECT_NEAR((starts[2].y() - starts[0].y()) * Zoom, 0, 0.6);
}

}  // namespace
}  // namespace brisel::testing
