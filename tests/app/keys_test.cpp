// The painter's keys through either window, and a tool panel that its close button cannot lose.

#include <QApplication>
#include <QCloseEvent>
#include <QTest>

#include <algorithm>
#include <string>

#include "app/canvas_window.h"
#include "app/keys.h"
#include "canvas/navigation.h"
#include "panel/tool_panel.h"
#include "platform/qt/form_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

QWidget* WindowOf(platform::Form& form) { return form.impl().window; }

TEST_F(AppTest, TheKeysDoWhatTheirButtonsDoFromTheCanvasAndFromThePanel) {
  Start(200, 100);
  for (platform::Form* form : {&Form1Window(), &Form2Window()}) {
    SCOPED_TRACE(form == &Form1Window() ? "canvas" : "panel");
    Form1Window().SetClientSize(400, 400);  // as the user left it; 100 % fits it to the picture again
    QWidget* window = WindowOf(*form);
    const double size = panel::HProp1().value();
    QTest::keyClick(window, Qt::Key_BracketRight);
    QTest::keyClick(window, Qt::Key_BracketRight);
    EXPECT_EQ(panel::HProp1().value(), size + 2) << "the Size slider shows the brush";
    QTest::keyClick(window, Qt::Key_BracketLeft);
    EXPECT_EQ(BrushSize, float(size + 1));

    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Zoom, 2.0f) << "fit: 400 x 400 holds 200 x 100 twice";
    EXPECT_EQ(PanY, 100);
    QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Zoom, 1.0f);
    EXPECT_EQ(PanY, 0);

    // The turn keys, on the main row and on the keypad (num lock on).
    for (const Qt::KeyboardModifiers row : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
      QTest::keyClick(window, Qt::Key_6, row);
      QTest::keyClick(window, Qt::Key_6, row);
      QTest::keyClick(window, Qt::Key_4, row);
      EXPECT_EQ(ViewAngle, 15) << "keypad " << (row != 0);
      QTest::keyClick(window, Qt::Key_5, row);
      EXPECT_EQ(ViewAngle, 0) << "keypad " << (row != 0);
    }

    Paint(PlaneR, 5, 5, uint8_t(PlaneR(5, 5) + 1));
    const uint8_t painted = PlaneR(5, 5);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(PlaneR(5, 5), painted);
    QTest::keyClick(window, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(PlaneR(5, 5), painted);
    host->ClearCalls();
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_NE(std::find(host->calls.begin(), host->calls.end(), "Tarn_SetRbuffer"), host->calls.end()) << "no send";
    // The redo history outlives a send.
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(PlaneR(5, 5), painted);
  }
  // Every key that acts is named for the Keys and mouse window, and no two act alike.
  for (const Keys::Key& a : Keys::All()) {
    for (const Keys::Key& b : Keys::All()) {
      if (&a != &b && a.code != 0) {
        EXPECT_FALSE(a.code == b.code && a.shift == b.shift) << a.name << " " << b.name;
      }
    }
  }
}

TEST_F(AppTest, ThePanelsCloseButtonHidesItAndTabOrTheMenuBringsItBackWhereItWas) {
  Start(60, 40);
  platform::Form& panel = Form2Window();
  QWidget* window = WindowOf(panel);
  ASSERT_TRUE(panel.visible());
  window->move(123, 45);
  const QPoint where = window->pos();

  QCloseEvent close;  // the window manager's close button
  QApplication::sendEvent(window, &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_FALSE(panel.visible());
  EXPECT_TRUE(panel.loaded());
  QTest::keyClick(WindowOf(Form1Window()), Qt::Key_Tab);
  EXPECT_TRUE(panel.visible());
  EXPECT_EQ(window->pos(), where);
  QTest::keyClick(window, Qt::Key_Tab);  // from the panel itself
  EXPECT_FALSE(panel.visible());
  Form1::ToolPanelMenu_Click();
  EXPECT_TRUE(panel.visible());
  EXPECT_EQ(window->pos(), where);

  // The program's own close, as the canvas closes, unloads it for good.
  panel.Close();
  EXPECT_FALSE(panel.loaded());
}

}  // namespace
}  // namespace brisel::testing
