// The panel controls over Qt: the slider's change contract and user moves, the button's press, click and
// two-state behaviour, the plain controls' placement, and the icons; and the Yes/No question's default and
// the fatal report's text.

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/qt/controls_impl.h"
#include "platform/qt/dialogs_qt.h"
#include "platform/qt/form_impl.h"

namespace brisel::platform {
namespace {

void SendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QMouseEvent event(type, pos, w->mapToGlobal(pos), button, held, mods);
  QApplication::sendEvent(w, &event);
}

void SendWheel(QWidget* w, int angle) {
  QWheelEvent event(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &event);
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetClientSize(200, 120);
    form.Show();
    SetFatalErrorHook([](const Error& e) { throw e; });
  }
  void TearDown() override { SetFatalErrorHook(nullptr); }

  Form form;
};

// ---- slider ----------------------------------------------------------------------------------------

// A slider 80 pixels wide whose range is 0..77: the pointer at x stands for x - 1 exactly.
class SliderTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    slider.SetMax("77");
    slider.Change = [this] { changes.push_back(slider.value()); };
  }
  QWidget* widget() { return slider.impl().widget; }

  HProp slider{form, 10, 20, 80, 18};
  std::vector<double> changes;
};

TEST_F(SliderTest, DefaultsAndTheTextRange) {
  HProp plain(form, 0, 0, 80, 18);
  EXPECT_EQ(plain.min(), 0);
  EXPECT_EQ(plain.max(), 100);
  EXPECT_EQ(plain.value(), 0);
  plain.SetMin(" 1 ");
  plain.SetMax("not a number");  // text that is no number leaves the bound alone
  EXPECT_EQ(plain.min(), 1);
  EXPECT_EQ(plain.max(), 100);
  EXPECT_EQ(plain.impl().widget->geometry(), QRect(0, 0, 80, 18));
}

TEST_F(SliderTest, EverySetFromCodeRaisesChangeWithTheNewValueInPlace) {
  slider.SetValue(12);
  slider.SetValue(12);  // the same value again still runs the change behaviour
  slider.SetValue(12.75);
  EXPECT_EQ(changes, (std::vector<double>{12, 12, 12.75}));
  EXPECT_EQ(slider.value(), 12.75);  // code values are not rounded
}

TEST_F(SliderTest, ACodeValueOutsideTheRangeIsKeptAsSet) {
  slider.SetMin("1");
  slider.SetValue(0);
  EXPECT_EQ(slider.value(), 0);
  slider.SetValue(300);
  EXPECT_EQ(slider.value(), 300);
  EXPECT_EQ(changes, (std::vector<double>{0, 300}));
}

TEST_F(SliderTest, AClickJumpsToTheRoundedPositionAndADragStaysInRange) {
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(41.4, 9), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(slider.value(), 40);
  // Positions are rounded half to even: 40.5 -> 40 (no change), 41.5 -> 42.
  SendMouse(widget(), QEvent::MouseMove, QPointF(41.5, 9), Qt::NoButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseMove, QPointF(42.5, 9), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(slider.value(), 42);
  // Beyond either end the drag holds at the bound.
  SendMouse(widget(), QEvent::MouseMove, QPointF(-40, 9), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(slider.value(), 0);
  SendMouse(widget(), QEvent::MouseMove, QPointF(-80, 9), Qt::NoButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseMove, QPointF(500, 9), Qt::NoButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(500, 9), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(slider.value(), 77);
  // Change once per new value: a move that stays on the same value raises nothing.
  EXPECT_EQ(changes, (std::vector<double>{40, 42, 0, 77}));
  // Moves without the left button, and other buttons, leave the slider alone.
  SendMouse(widget(), QEvent::MouseMove, QPointF(20, 9), Qt::NoButton, Qt::NoButton);
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(20, 9), Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(slider.value(), 77);
}

TEST_F(SliderTest, WheelAndArrowKeysStepByOneInsideTheRange) {
  slider.SetMin("5");
  slider.SetMax("8");
  slider.SetValue(6.4);  // a code value with a fraction: a step starts from its rounded value
  changes.clear();
  SendWheel(widget(), 120);
  EXPECT_EQ(slider.value(), 7);
  SendWheel(widget(), 60);  // half a notch does nothing yet ...
  EXPECT_EQ(slider.value(), 7);
  SendWheel(widget(), 60);  // ... the other half makes the step
  SendWheel(widget(), 240);
  EXPECT_EQ(slider.value(), 8);
  QTest::keyClick(widget(), Qt::Key_Left);
  QTest::keyClick(widget(), Qt::Key_Down);
  EXPECT_EQ(slider.value(), 6);
  QTest::keyClick(widget(), Qt::Key_Right);
  QTest::keyClick(widget(), Qt::Key_Up);
  QTest::keyClick(widget(), Qt::Key_Up);
  EXPECT_EQ(slider.value(), 8);
  SendWheel(widget(), -120 * 10);
  EXPECT_EQ(slider.value(), 5);
  EXPECT_EQ(changes, (std::vector<double>{7, 8, 7, 6, 7, 8, 5}));
}

TEST_F(SliderTest, AUserStepFromAValueOutsideTheRangeLandsInside) {
  slider.SetMin("1");
  slider.SetMax("255");
  slider.SetValue(0);
  QTest::keyClick(widget(), Qt::Key_Down);
  EXPECT_EQ(slider.value(), 1);
  slider.SetValue(900);
  QTest::keyClick(widget(), Qt::Key_Up);
  EXPECT_EQ(slider.value(), 255);
}

TEST_F(SliderTest, OtherKeysGoToTheWindow) {
  int16_t seen = 0;
  form.KeyDown = [&](int16_t& KeyCode, int16_t&) { seen = KeyCode; };
  QTest::keyClick(widget(), Qt::Key_U);
  EXPECT_EQ(seen, 'U');
  EXPECT_TRUE(changes.empty());
}

TEST(SliderTextTest, WholeNumbersPlainFractionsWithOneDecimal) {
  EXPECT_EQ(SliderText(200).toStdString(), "200");
  EXPECT_EQ(SliderText(0).toStdString(), "0");
  EXPECT_EQ(SliderText(-0.0).toStdString(), "0");
  EXPECT_EQ(SliderText(127.5).toStdString(), "127.5");
  EXPECT_EQ(SliderText(-3.4).toStdString(), "-3.4");
  EXPECT_EQ(SliderText(2.96).toStdString(), "3.0");  // a fraction keeps its decimal even when it rounds away
}

// ---- button ----------------------------------------------------------------------------------------

// The bounding box of the clearly green pixels of a picture.
QRect GreenBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qGreen(p) > qRed(p) + 40 && qGreen(p) > qBlue(p) + 40) box |= QRect(x, y, 1, 1);
    }
  return box;
}

class ButtonTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    button.Click = [this] { log.push_back("Click"); };
    auto record = [this](const char* name) {
      return [this, name](int16_t Button, int16_t Shift, float X, float Y) {
        log.push_back(std::string(name) + " " + std::to_string(Button) + " " + std::to_string(Shift) + " " +
                      std::to_string(int(X)) + " " + std::to_string(int(Y)));
      };
    };
    button.MouseDown = record("Down");
    button.MouseUp = record("Up");
  }
  VxButtonWidget* widget() { return button.impl().widget; }

  VxButton button{form, 30, 40, 29, 29};
  std::vector<std::string> log;
};

TEST_F(ButtonTest, APlainButtonClicksOnAReleaseInsideAndLooksPressedOnlyWhileHeld) {
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(5, 6), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_TRUE(widget()->looksPressed());
  EXPECT_FALSE(button.value());  // a plain button has no lasting state
  SendMouse(widget(), QEvent::MouseMove, QPointF(40, 6), Qt::NoButton, Qt::LeftButton);
  EXPECT_FALSE(widget()->looksPressed());  // dragged off: shown up again
  SendMouse(widget(), QEvent::MouseMove, QPointF(10, 6), Qt::NoButton, Qt::LeftButton);
  EXPECT_TRUE(widget()->looksPressed());
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(10, 7), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(widget()->looksPressed());
  // Released outside: no click.
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(5, 6), Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(29, 7), Qt::LeftButton, Qt::NoButton);
  // A right click runs the mouse events but no Click.
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(3, 4), Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(3, 4), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(log, (std::vector<std::string>{"Down 1 1 5 6", "Up 1 0 10 7", "Click", "Down 1 0 5 6", "Up 1 0 29 7",
                                           "Down 2 2 3 4", "Up 2 0 3 4"}));
}

TEST_F(ButtonTest, MovesCarryTheHeldButtonsEvenOffTheButton) {
  std::vector<int16_t> held;
  button.MouseMove = [&](int16_t Button, int16_t, float X, float) {
    held.push_back(Button);
    EXPECT_EQ(X, 60.5f);
  };
  SendMouse(widget(), QEvent::MouseMove, QPointF(60.5, 3), Qt::NoButton, Qt::NoButton);
  SendMouse(widget(), QEvent::MouseMove, QPointF(60.5, 3), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
  EXPECT_EQ(held, (std::vector<int16_t>{0, 3}));
}

TEST_F(ButtonTest, ATwoStateButtonStaysDownUntilTheProgramLetsItUp) {
  button.SetButtonType(1);
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(button.value());
  EXPECT_TRUE(widget()->looksPressed());
  // A second press does not toggle it.
  SendMouse(widget(), QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget(), QEvent::MouseButtonRelease, QPointF(5, 5), Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(button.value());
  button.SetValue(false);
  EXPECT_FALSE(widget()->looksPressed());
  button.SetValue(true);
  EXPECT_TRUE(widget()->looksPressed());
}

TEST_F(ButtonTest, AQuickSecondPressIsStillAPress) {
  SendMouse(widget(), QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(log, (std::vector<std::string>{"Down 1 0 5 5"}));
}

TEST_F(ButtonTest, ThePressedLookDiffersFromTheRaisedOneAndMovesTheIcon) {
  button.SetPicture(Icon::LeftArrow);
  button.SetButtonType(1);
  const QImage raised = widget()->grab().toImage();
  button.SetValue(true);
  const QImage pressed = widget()->grab().toImage();
  ASSERT_EQ(raised.size(), QSize(29, 29));
  // The raised button has its highlight edge at the top left; the pressed one is darker there.
  EXPECT_EQ(QColor(raised.pixel(1, 1)), ToQColor(button.highlight()));
  EXPECT_LT(qGray(pressed.pixel(1, 1)), qGray(raised.pixel(1, 1)));
  // The icon sits one pixel lower and further right when pressed: compare where the arrow's green is.
  EXPECT_EQ(GreenBox(pressed), GreenBox(raised).translated(1, 1));
}

TEST_F(ButtonTest, PropertiesAreKeptAndTheBackColourDrawsTheFace) {
  button.SetBackColor(0xFF123456);  // only the colour's 24 bits count
  button.SetGradient(1.0);
  button.SetBorderless(true);
  button.SetTag("Setting");
  button.SetToolTip("tip");
  EXPECT_EQ(button.backColor(), 0x123456u);
  EXPECT_EQ(button.tag(), "Setting");
  EXPECT_EQ(widget()->toolTip().toStdString(), "tip");
  const QImage face = widget()->grab().toImage();
  // Borderless and flat: the whole face, edge included, is the back colour.
  EXPECT_EQ(FromQRgb(face.pixel(0, 0)), 0x123456u);
  EXPECT_EQ(FromQRgb(face.pixel(28, 28)), 0x123456u);
  button.SetMousePointer(MousePointer::SizeAll);
  EXPECT_EQ(widget()->cursor().shape(), Qt::SizeAllCursor);
  EXPECT_EQ(widget()->geometry(), QRect(30, 40, 29, 29));
}

TEST_F(ButtonTest, TheWidgetGoingWithItsWindowLeavesTheControlUsable) {
  auto other = std::make_unique<Form>();
  VxButton orphan(*other, 0, 0, 29, 29);
  other.reset();
  orphan.SetValue(true);
  orphan.SetCaption("still here");
  EXPECT_TRUE(orphan.value());
  EXPECT_EQ(orphan.caption(), "still here");
}

// ---- plain controls --------------------------------------------------------------------------------

TEST_F(ControlsTest, LabelsLinesAndPictureBoxesSitWhereTheyArePut) {
  Label label(form, 4, 118, 40, 19);
  label.SetCaption("Size");
  label.SetForeColor(0x202020);
  label.SetToolTip("the brush radius");
  auto* text = static_cast<QLabel*>(label.impl().widget.data());
  EXPECT_EQ(text->geometry(), QRect(4, 118, 40, 19));
  EXPECT_EQ(text->text().toStdString(), "Size");
  EXPECT_EQ(text->font().family().toStdString(), "Arial");
  EXPECT_EQ(text->toolTip().toStdString(), "the brush radius");

  Line line(form, 0, 106, 142, 106, 0x404040);
  EXPECT_EQ(form.impl().client->childAt(70, 106), nullptr);  // lines let the mouse through
  EXPECT_EQ(line.x2(), 142);

  PictureBox box(form, 50, 30, 81, 19);
  box.SetBackColor(0x808080);
  box.FillBox(-5, 2, 3, 100, 0x0000FF);  // clipped to the box
  EXPECT_EQ(box.Pixel(0, 18), 0x0000FFu);
  EXPECT_EQ(box.Pixel(3, 2), 0x0000FFu);
  EXPECT_EQ(box.Pixel(4, 2), 0x808080u);
  EXPECT_EQ(box.Pixel(81, 0), Color(-1));
  EXPECT_EQ(box.Pixel(0, -1), Color(-1));
  box.SetVisible(false);
  EXPECT_FALSE(box.impl().widget->isVisible());
  EXPECT_EQ(box.Pixel(0, 18), 0x0000FFu);  // a hidden box keeps its drawing
}

TEST_F(ControlsTest, AFixedSizeFormCannotBeResized) {
  SetFixedClientSize(form, 141, 490);
  EXPECT_EQ(form.clientWidth(), 141);
  EXPECT_EQ(form.clientHeight(), 490);
  EXPECT_EQ(form.impl().window->minimumSize(), form.impl().window->maximumSize());
}

// ---- icons -----------------------------------------------------------------------------------------

TEST(IconsTest, TwelveDistinctIconsDrawnInsideTheBevel) {
  EXPECT_TRUE(IconImage(Icon::None).isNull());
  std::set<QByteArray> seen;
  for (int i = int(Icon::Pen); i <= int(Icon::Cross); ++i) {
    const QImage icon = IconImage(Icon(i));
    ASSERT_EQ(icon.size(), QSize(29, 29)) << "icon " << i;
    int inked = 0;
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 29; ++x) {
        if (qAlpha(icon.pixel(x, y)) == 0) continue;
        ++inked;
        // Nothing on the two outer rings, where the bevel is drawn.
        EXPECT_TRUE(x >= 2 && y >= 2 && x <= 26 && y <= 26) << "icon " << i << " at " << x << "," << y;
      }
    EXPECT_GT(inked, 29 * 29 / 8) << "icon " << i;
    seen.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()), int(icon.sizeInBytes())));
  }
  EXPECT_EQ(seen.size(), 12u);
}

// The plug-in's loop: it ends when the window is unloaded for good, not when a close is cancelled.
TEST(RunUntilUnloadedTest, EndsWithTheUnloadButNotWithACancelledClose) {
  Form form;
  int unloads = 0;
  form.Unload = [&](int16_t& cancel) { cancel = ++unloads == 1 ? -1 : 0; };
  form.Show();
  QTimer::singleShot(0, [&] {
    form.Close();  // cancelled: the loop goes on
    QTimer::singleShot(0, [&] { form.Close(); });
  });
  QTimer guard;  // a loop that missed the unload would otherwise hang the suite
  QObject::connect(&guard, &QTimer::timeout, [] {
    std::fprintf(stderr, "RunUntilUnloaded did not return after the unload\n");
    std::_Exit(1);
  });
  guard.start(10000);
  RunUntilUnloaded(form);
  guard.stop();
  EXPECT_EQ(unloads, 2);
  EXPECT_FALSE(form.loaded());
  RunUntilUnloaded(form);  // a form already unloaded returns at once
}

}  // namespace
}  // namespace brisel::platform

namespace brisel::platform {
namespace {

// The Yes/No question: Enter and Escape both answer No, so the close-time "Loose all changes?" keeps the
// painting unless Yes is chosen; a click on Yes still answers Yes.
TEST(YesNoQuestionTest, EnterAndEscapeAnswerNo) {
  struct Case {
    const char* what;
    std::function<void(QMessageBox&)> answer;
    QMessageBox::StandardButton expected;
  };
  const Case cases[] = {
      {"Enter", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, QMessageBox::No},
      {"keypad Enter", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Enter); }, QMessageBox::No},
      {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, QMessageBox::No},
      {"Yes clicked", [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); }, QMessageBox::Yes},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<QMessageBox> box = MakeYesNoBox("Brisel", "Loose all changes?");
    QTimer::singleShot(0, box.get(), [&] { c.answer(*box); });
    EXPECT_EQ(box->exec(), c.expected) << c.what;
  }
}

// Texts with place markers of their own come through as they are.
TEST(FatalTextTest, TextsAreTakenAsTheyAre) {
  struct Case {
    int32_t number;
    const char* text;
    const char* lastWords;
    const char* expected;
  };
  const Case cases[] = {
      {7, "Out of memory", "", "Run-time error '7':\n\nOut of memory\n\n"},
      {53, "No file 100%1.png", "Kept in %3", "Run-time error '53':\n\nNo file 100%1.png\n\nKept in %3"},
      {51, "50%3 done", "copy at %2", "Run-time error '51':\n\n50%3 done\n\ncopy at %2"},
      {440, "h\xc3\xa9 said no", "", "Run-time error '440':\n\nh\xc3\xa9 said no\n\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FatalText(Error(c.number, c.text), c.lastWords).toStdString(), c.expected) << c.text;
}

}  // namespace
}  // namespace brisel::platform
