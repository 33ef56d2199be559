// Zoom and pan by every path, with their limits, and the canvas keys.

#include "app/canvas_input.h"
#include "app/reset_state.h"
#include "canvas/display_bitmap.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "panel/panel_buttons.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

void KeyUp(int16_t code, int16_t shift) { Form1::Form_KeyUp(code, shift); }
void KeyDown(int16_t code, int16_t shift) { Form1::Form_KeyDown(code, shift); }
void Type(char c) {
  int16_t ascii = c;
  Form1::Form_KeyPress(ascii);
}

// A Shift+Ctrl drag reference as a press records it.
void PressAt(float x, float y) {
  DragStartX = x;
  DragStartY = y;
  DragStartZoom = Zoom;
  DragStartPanX = float(PanX);
  DragStartPanY = float(PanY);
}

TEST_F(AppTest, CtrlPlusAndMinusStepByAQuarterWithinTheirLimits) {
  Start(40, 20);
  for (int i = 0; i < 4; ++i) KeyUp(187, 2);
  EXPECT_EQ(Zoom, 2.0f);
  EXPECT_EQ(Dibs::DibWidth, 80);
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 200");

  KeyUp(187, 3);  // Ctrl+Shift+plus: Shift must be Ctrl alone
  KeyUp(187, 0);
  EXPECT_EQ(Zoom, 2.0f);

  Zoom = 0.25f;
  KeyUp(189, 2);
  EXPECT_EQ(Zoom, 0.25f);
  Zoom = 0.3f;  // as a fit may leave it: one step below 0.25, then no further
  KeyUp(189, 2);
  EXPECT_NEAR(Zoom, 0.05f, 1e-6);
  KeyUp(189, 2);
  EXPECT_NEAR(Zoom, 0.05f, 1e-6);
}

TEST_F(AppTest, RightDragZoomsAboutTheCentreWithinPointTwoAndSix) {
  Start(200, 100);
  PressAt(500, 50);
  canvas::ViewDrag(Form1Window(), 2, 320, 50);  // 180 to the left
  EXPECT_EQ(Zoom, 0.2f);
  canvas::ViewDrag(Form1Window(), 2, 350, 50);  // 150 to the left
  EXPECT_EQ(Zoom, 0.25f);
  // Half the shrink of the image moves the pan, keeping the centre in place.
  EXPECT_EQ(PanX, 75);
  EXPECT_EQ(PanY, 38);  // 37.5 goes to the even neighbour
  canvas::ViewDrag(Form1Window(), 2, 1600, 0);  // 1100 to the right
  EXPECT_EQ(Zoom, 6.0f);
  canvas::ViewDrag(Form1Window(), 4, 100, 0);  // another button: no change
  EXPECT_EQ(Zoom, 6.0f);
}

TEST_F(AppTest, LeftDragPans) {
  Start(20, 20);
  PanX = 3;
  PressAt(10, 10);
  canvas::ViewDrag(Form1Window(), 1, 25.5f, 4);
  EXPECT_EQ(PanX, 18);  // 18.5 goes to the even neighbour
  EXPECT_EQ(PanY, -6);
}

TEST_F(AppTest, FitCentresTheImageAtTheLargestZoomThatShowsIt) {
  Start(200, 100);
  Form1Window().SetClientSize(400, 400);
  canvas::FitToWindow(Form1Window());
  EXPECT_EQ(Zoom, 2.0f);
  EXPECT_EQ(PanX, 0);
  EXPECT_EQ(PanY, 100);
  EXPECT_EQ(Form1Window().clientWidth(), 400);  // the window keeps its size

  Form1Window().SetClientSize(10, 10);
  canvas::FitToWindow(Form1Window());
  EXPECT_EQ(Zoom, 0.25f);

  canvas::ShowAtActualSize(Form1Window());
  EXPECT_EQ(Zoom, 1.0f);
  EXPECT_EQ(PanY, 0);
  EXPECT_EQ(Form1Window().clientHeight(), 100);  // the width is the menu bar's at least: see below
}

TEST_F(AppTest, AZoomWhoseBitmapCannotBeMadeKeepsThePreviousView) {
  Start(100, 100);
  KeyUp(187, 2);
  ASSERT_EQ(Zoom, 1.25f);
  platform::SetBitmapSizeLimit(uint64_t(128) * 128 * 4);  // room for 1.25, not for 1.5
  KeyUp(187, 2);
  EXPECT_EQ(Zoom, 1.25f);
  EXPECT_EQ(Dibs::DibWidth, 128);
  EXPECT_TRUE(Dibs::DibBitmap.exists());
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 125");

  PressAt(0, 0);
  canvas::ViewDrag(Form1Window(), 2, 400, 0);  // towards zoom 3: refused, pan untouched
  EXPECT_EQ(Zoom, 1.25f);
  EXPECT_EQ(PanX, 0);
  // Told in one line, once for the key and the drag that kept asking.
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("zoom 150 %: the view stays at 125 %"), std::string::npos) << messages[0];
}

TEST_F(AppTest, CommaHeldPicksAndLowerCaseUUndoes) {
  Start(10, 10);
  KeyDown(188, 0);
  EXPECT_TRUE(PickMode);
  EXPECT_EQ(Form1Window().mousePointer(), platform::MousePointer::Arrow);
  KeyUp(188, 0);
  EXPECT_FALSE(PickMode);
  EXPECT_EQ(Form1Window().mousePointer(), platform::MousePointer::Crosshair);

  const uint8_t before = PlaneR(1, 1);
  ASSERT_TRUE(canvas::TheHistory().Save({0, 0, 4, 4}));
  PlaneR(1, 1) = uint8_t(before + 1);
  Type('U');
  EXPECT_EQ(PlaneR(1, 1), before + 1);
  Type('u');
  EXPECT_EQ(PlaneR(1, 1), before);
}

}  // namespace
}  // namespace brisel::testing

#include <QTest>

#include "platform/qt/form_impl.h"
#include "platform/qt/screen_qt.h"

namespace brisel::testing {
namespace {

// The keys as the window system delivers them, through the canvas window.
TEST_F(AppTest, ZoomAndUndoKeysArriveThroughTheWindow) {
  Start(40, 20);
  QWidget* window = Form1Window().impl().window;
  QTest::keyClick(window, Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(Zoom, 1.25f);
  QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);  // the keypad's plus
  EXPECT_EQ(Zoom, 1.5f);
  QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(Zoom, 1.25f);
  QTest::keyPress(window, Qt::Key_Comma);
  EXPECT_TRUE(PickMode);
  QTest::keyRelease(window, Qt::Key_Comma);
  EXPECT_FALSE(PickMode);
}

// A desktop's fractional scale becomes a whole one, so that a picture pixel at 100 % covers whole device
// pixels: 125 % shows the picture pixel for pixel, 150 % and 175 % at twice the size.
TEST(ScaleFactors, AreRoundedToWholeOnes) {
  const std::pair<std::string, std::string> cases[] = {
      {"1.5", "2"},   {"1.25", "1"},      {"1.75", "2"},   {"2", "2"},     {"0.5", "1"},
      {"1.25;2.5", "1;3"}, {"DP-1=1.5;HDMI-1=1", "DP-1=2;HDMI-1=1"}, {"abc", "abc"}, {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(platform::WholeScaleFactors(in), out) << in;
}

// The canvas at load and at 100 %: the picture's size where the screen holds it, as much as it holds of
// a larger one (its caption stays on the screen), and never narrower than its menu bar and caption.
TEST_F(AppTest, TheCanvasOpensAtThePicturesSizeWithinTheScreen) {
  struct Case {
    int32_t width, height;
  };
  for (const Case c : {Case{1, 1}, Case{600, 300}, Case{3000, 2000}, Case{300, 2000}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    app::ResetProgramState();
    DestroyWindows();
    Start(c.width, c.height);
    platform::Form& canvas = Form1Window();
    QMainWindow* window = canvas.impl().window;
    const QRect screen = window->screen()->availableGeometry();
    const int menuHeight = window->menuWidget()->sizeHint().height();
    const int least = std::max(window->menuWidget()->sizeHint().width(),
                               window->fontMetrics().horizontalAdvance(window->windowTitle()));
    // Before the window is first shown its frame is not known: a usual title bar and border are allowed.
    const QSize frame(16, 48);
    for (int pass = 0; pass < 2; ++pass) {  // at load, then after the 100 % button
      const int32_t w = canvas.clientWidth(), h = canvas.clientHeight();
      if (c.width < least) {
        EXPECT_GE(w, least);
      } else if (c.width <= screen.width() - frame.width()) {
        EXPECT_EQ(w, c.width);
      } else {
        EXPECT_GE(w, screen.width() - frame.width());
      }
      EXPECT_LE(w, std::max(screen.width(), c.width < least ? 0 : c.width));
      EXPECT_LE(w, screen.width());
      if (c.height <= screen.height() - frame.height() - menuHeight) {
        EXPECT_EQ(h, c.height);
      } else {
        EXPECT_GE(h, screen.height() - frame.height() - menuHeight);
        EXPECT_LE(h, screen.height() - menuHeight);
      }
      canvas.SetClientSize(10, 10);
      canvas::FitToWindow(Form1Window());
      canvas::ShowAtActualSize(Form1Window());
    }
    EXPECT_EQ(Zoom, 1.0f);
  }
}

}  // namespace
}  // namespace brisel::testing

#include "panel/tool_panel.h"

namespace brisel::testing {
namespace {

TEST_F(AppTest, DraggingOnThePanAndZoomButtonsMovesTheViewAndHoveringDoesNot) {
  Start(200, 100);
  Form2::vx_button14_MouseDown(1, 0, 14, 14);
  Form2::vx_button14_MouseMove(1, 0, -106, 14);  // 120 pixels to the left zooms to 0.4
  EXPECT_FLOAT_EQ(Zoom, 0.4f);
  Form2::vx_button14_MouseUp(1, 0, -106, 14);
  // The press still counts as active, but a pointer passing over the buttons with no button held
  // changes nothing.
  Form2::vx_button14_MouseMove(0, 0, 500, 3);
  Form2::vx_button13_MouseMove(0, 0, 500, 3);
  EXPECT_FLOAT_EQ(Zoom, 0.4f);
  Form2::vx_button13_MouseDown(1, 0, 10, 10);
  Form2::vx_button13_MouseMove(1, 0, 30, 5);
  EXPECT_EQ(PanX, 60 + 20);  // the zoom left the pan at (60, 30)
  EXPECT_EQ(PanY, 30 - 5);
}

}  // namespace
}  // namespace brisel::testing
