// The tool panel: its layout and design values, the sliders' change behaviour, the image buttons, and the
// canvas load's copy of the brush sliders.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "platform/qt/controls_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using ::testing::ElementsAre;
using panel::Panel;

struct Box {
  int32_t left, top, width, height;
  bool operator==(const Box&) const = default;
};
template <class Control>
Box BoxOf(const Control& c) {
  return {c.left(), c.top(), c.width(), c.height()};
}
void PrintTo(const Box& b, std::ostream* os) { *os << b.left << "," << b.top << " " << b.width << "x" << b.height; }

using ToolPanelTest = AppTest;

TEST_F(ToolPanelTest, TheWindowIsTheFixedSizeToolPanelInItsDesignColour) {
  panel::Panel();
  platform::Form& panel = Form2Window();
  EXPECT_EQ(panel.caption(), "Brisel Tools");
  EXPECT_EQ(panel.clientWidth(), 141);
  EXPECT_EQ(panel.clientHeight(), 490);
  EXPECT_EQ(panel.backColor(), 0x808080u);
  EXPECT_EQ(panel.SurfacePixel(0, 489), 0x808080u);
  EXPECT_EQ(panel.SurfacePixel(140, 300), 0x808080u);
}

TEST_F(ToolPanelTest, ControlsSitAtTheirDesignedPlaces) {
  panel::Controls& p = Panel();
  EXPECT_EQ(BoxOf(p.vx_button8), (Box{8, 8, 29, 29}));
  EXPECT_EQ(BoxOf(p.vx_button7), (Box{104, 8, 29, 29}));
  EXPECT_EQ(BoxOf(p.vx_button13), (Box{8, 40, 29, 29}));
  EXPECT_EQ(BoxOf(p.vx_button2), (Box{104, 72, 29, 29}));
  EXPECT_EQ(BoxOf(p.HProp1), (Box{50, 118, 80, 18}));
  EXPECT_EQ(BoxOf(p.HProp7), (Box{50, 206, 80, 18}));
  EXPECT_EQ(BoxOf(p.vx_pte_button15), (Box{50, 232, 83, 19}));
  EXPECT_EQ(BoxOf(p.vx_button5), (Box{50, 262, 33, 25}));
  EXPECT_EQ(BoxOf(p.vx_button10), (Box{96, 264, 33, 25}));
  EXPECT_EQ(BoxOf(p.Picker), (Box{50, 296, 81, 81}));
  EXPECT_EQ(BoxOf(p.Picture2), (Box{54, 300, 81, 81}));
  EXPECT_EQ(BoxOf(p.Picture1), (Box{50, 386, 81, 19}));
  EXPECT_EQ(BoxOf(p.HProp4), (Box{50, 466, 80, 18}));
  EXPECT_EQ(BoxOf(p.Label10), (Box{4, 324, 40, 35}));
  EXPECT_EQ(BoxOf(p.Label3), (Box{4, 446, 40, 19}));
  EXPECT_TRUE(p.Picker.visible());
  EXPECT_FALSE(p.Picture2.visible());
}

TEST_F(ToolPanelTest, TooltipsPicturesAndCaptionsAreTheDesignedOnes) {
  panel::Controls& p = Panel();
  const std::vector<std::pair<platform::VxButton*, std::string>> tips = {
      {&p.vx_button8, "Pen"},
      {&p.vx_button9, "Water brush"},
      {&p.vx_button6, "Ink"},
      {&p.vx_button7, "Gel brush"},
      {&p.vx_button13, "Pan around dynamically (kbd shortcut: ctrl-shift + Left mouse button)"},
      {&p.vx_button14, "Zoom in-out dynamically (kbd shortcut: ctrl-shift + right mouse button)"},
      {&p.vx_button11, "Show As Is, at 100% zoom (kbd shortcut: Ctrl+0)"},
      {&p.vx_button12, "Fit to Window: shrink or expand, but keep aspect ratio (kbd shortcut: Shift+Ctrl+F)"},
      {&p.vx_button3, "Get image from the host"},  // named after the host at the panel's load
      {&p.vx_button4, "Send image to the host (kbd shortcut: Ctrl+S)"},
      {&p.vx_button1, "Undo (restore prior step) (kbd shortcut: Ctrl+Z or u)"},
      {&p.vx_button2, "Clear"},
      {&p.vx_button5, "primary (paint) color"},
      {&p.vx_button10, "secondary (erase) color"},
  };
  for (const auto& [button, tip] : tips) {
    EXPECT_EQ(button->toolTip(), tip);
    // The twelve icon buttons show a picture; the swatches none.
    EXPECT_EQ(button->picture() != platform::Icon::None, button != &p.vx_button5 && button != &p.vx_button10) << tip;
  }
  EXPECT_EQ(p.vx_button13.picture(), platform::Icon::Hand);
  EXPECT_EQ(p.vx_button11.picture(), platform::Icon::Magnifier100);
  EXPECT_EQ(p.Label9.caption(), "Colors");
  EXPECT_EQ(p.Label9.toolTip(), "Brisel has 2 colors: one to draw with, another to clear with");
  EXPECT_EQ(p.Label10.caption(), "Color triangle");
  EXPECT_EQ(p.mode_label.caption(), "Mode");
  EXPECT_EQ(p.Label7.fontName(), "Arial");
  EXPECT_EQ(p.Label7.foreColor(), panel::kLabelColor);
  EXPECT_EQ(p.vx_pte_button15.caption(), "Mode");
  EXPECT_EQ(p.vx_pte_button15.tag(), "Setting");
  EXPECT_EQ(p.vx_button5.tag(), "");
  EXPECT_EQ(p.vx_button5.backColor(), 0x000000u);
  EXPECT_EQ(p.vx_button10.backColor(), 0xFFFFFFu);
  EXPECT_EQ(p.vx_button5.gradient(), 1.1);
  EXPECT_EQ(p.vx_button10.gradient(), 1.1);
}

TEST_F(ToolPanelTest, FourEtchedSeparators) {
  panel::Controls& p = Panel();
  // Each dark line has its light one two pixels below, all across the panel.
  const std::vector<std::pair<platform::Line*, platform::Line*>> pairs = {
      {&p.Line4, &p.Line3}, {&p.Line2, &p.Line1}, {&p.Line8, &p.Line7}, {&p.Line5, &p.Line6}};
  std::vector<int32_t> ys;
  for (const auto& [dark, light] : pairs) {
    ys.push_back(dark->y1());
    EXPECT_EQ(dark->color(), 0x404040u);
    EXPECT_EQ(light->color(), 0xC0C0C0u);
    EXPECT_EQ(light->y1(), dark->y1() + 2);
    EXPECT_EQ(std::make_tuple(dark->x1(), dark->x2(), light->x1(), light->x2(), dark->y2()),
              std::make_tuple(0, 142, 0, 142, dark->y1()));
  }
  EXPECT_THAT(ys, ElementsAre(0, 106, 254, 412));
}

TEST_F(ToolPanelTest, SliderDesignValues) {
  struct Design {
    platform::HProp& slider;
    double value, min, max;
  };
  panel::Controls& p = Panel();
  const std::vector<Design> table = {
      {p.HProp1, 2, 1, 32},   {p.HProp8, 255, 1, 255}, {p.HProp5, 255, 1, 255}, {p.HProp6, 15, 0, 100},
      {p.HProp7, 0, 0, 255},  {p.HProp2, 1, 1, 255},   {p.HProp3, 1, 1, 255},   {p.HProp4, 1, 1, 255},
  };
  for (const Design& d : table) {
    EXPECT_EQ(d.slider.value(), d.value) << "slider at y " << d.slider.top();
    EXPECT_EQ(d.slider.min(), d.min) << "slider at y " << d.slider.top();
    EXPECT_EQ(d.slider.max(), d.max) << "slider at y " << d.slider.top();
    EXPECT_EQ(d.slider.backColor(), 0x9E958Fu);
    EXPECT_EQ(d.slider.foreColor(), 0xE0E0E0u);
  }
  // The design values ran no change behaviour.
  EXPECT_EQ(BrushSize, 0.0f);
  EXPECT_EQ(PaintRed, 0.0f);
}

// ---- sliders -----------------------------------------------------------------------------------------

TEST_F(ToolPanelTest, EachBrushSliderWritesItsOwnVariable) {
  panel::HProp1().SetValue(7.25);
  panel::HProp8().SetValue(100.5);
  panel::HProp5().SetValue(3);
  panel::HProp6().SetValue(42.75);
  EXPECT_EQ(BrushSize, 7.25f);
  EXPECT_EQ(BrushPress, 100.5f);
  EXPECT_EQ(BrushOpacity, 3.0f);
  EXPECT_EQ(BrushStep, 42.75f);
  // A Single: the slider's double is rounded to the nearest float.
  panel::HProp1().SetValue(0.1);
  EXPECT_EQ(BrushSize, 0.1f);
  EXPECT_EQ(PaperStrength, 0);
  EXPECT_EQ(PaintRed + PaintGreen + PaintBlue, 0.0f);
}

TEST_F(ToolPanelTest, PaperRoundsHalvesToEven) {
  const std::vector<std::pair<double, int32_t>> cases = {{2.5, 2}, {3.5, 4}, {254.5, 254}, {0.49, 0}, {7.51, 8},
                                                         {-0.5, 0}, {255, 255}};
  for (const auto& [value, strength] : cases) {
    panel::HProp7().SetValue(value);
    EXPECT_EQ(PaperStrength, strength) << value;
  }
}

TEST_F(ToolPanelTest, ColourSlidersSetThePaintColourAndTheSwatch) {
  panel::HProp2().SetValue(200);
  EXPECT_EQ(PaintRed, 200.0f);
  EXPECT_EQ(Panel().vx_button5.backColor(), platform::RGB(200, 0, 0));
  panel::HProp3().SetValue(127.5);  // the swatch rounds half to even
  panel::HProp4().SetValue(128.5);
  EXPECT_EQ(PaintGreen, 127.5f);
  EXPECT_EQ(PaintBlue, 128.5f);
  EXPECT_EQ(Panel().vx_button5.backColor(), platform::RGB(200, 128, 128));
  // Setting the same value again runs the change behaviour again.
  PaintRed = 5;
  panel::HProp2().SetValue(200);
  EXPECT_EQ(PaintRed, 200.0f);
}

TEST_F(ToolPanelTest, AnOutOfRangeColourKeepsTheSwatchChannelsApart) {
  panel::HProp2().SetValue(300);
  panel::HProp3().SetValue(-4);
  EXPECT_EQ(PaintRed, 300.0f);  // the variable holds what the slider holds
  EXPECT_EQ(Panel().vx_button5.backColor(), platform::RGB(255, 0, 0));
}

TEST_F(ToolPanelTest, TheUsersMovesOnThePanelReachTheBrush) {
  Start(6, 6);
  QWidget* paper = Panel().HProp7.impl().widget;
  QTest::keyClick(paper, Qt::Key_Right);
  QTest::keyClick(paper, Qt::Key_Right);
  EXPECT_EQ(PaperStrength, 2);
  // A drag on Size far past its right end gives the largest brush.
  QWidget* size = Panel().HProp1.impl().widget;
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 9), size->mapToGlobal(QPointF(10, 9)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent drag(QEvent::MouseMove, QPointF(400, 9), size->mapToGlobal(QPointF(400, 9)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(size, &press);
  QApplication::sendEvent(size, &drag);
  EXPECT_EQ(BrushSize, 32.0f);
}

// ---- load and buttons --------------------------------------------------------------------------------

TEST_F(ToolPanelTest, TheCanvasLoadShowsThePanelAndCopiesFourSliders) {
  Start(12, 9);
  EXPECT_TRUE(Form2Window().visible());
  EXPECT_EQ(BrushSize, 2.0f);
  EXPECT_EQ(BrushPress, 255.0f);
  EXPECT_EQ(BrushOpacity, 255.0f);
  EXPECT_EQ(BrushStep, 15.0f);
  EXPECT_EQ(PaperStrength, 0);
  // Black paint although the colour sliders show 1.
  EXPECT_EQ(panel::HProp2().value(), 1.0);
  EXPECT_EQ(PaintRed + PaintGreen + PaintBlue, 0.0f);
  EXPECT_EQ(Panel().vx_button5.backColor(), 0x000000u);
  EXPECT_TRUE(Panel().vx_button8.value());
  EXPECT_EQ(panel::vx_pte_button15().caption(), "Mode");
}

TEST_F(ToolPanelTest, APanelMadeAgainAfterTheWindowsWentStartsFromItsDesign) {
  panel::HProp1().SetValue(9);
  panel::DeactivateButtons();
  DestroyWindows();
  EXPECT_EQ(panel::HProp1().value(), 2.0);
  EXPECT_TRUE(Panel().vx_button8.value());
  EXPECT_TRUE(Form2Exists());
}

TEST_F(ToolPanelTest, ClearIsOneUndoStepAndUndoBringsTheImageBack) {
  Start(10, 8);
  const BytePlane red = PlaneR, green = PlaneG;
  Form2::vx_button2_Click();
  EXPECT_EQ(PlaneR, BytePlane(10, 8, 255));
  EXPECT_EQ(ViewG, BytePlane(10, 8, 255));
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  EXPECT_EQ(Form1Window().SurfacePixel(9, 7), platform::RGB(255, 255, 255));
  Form2::vx_button1_Click();
  EXPECT_EQ(PlaneR, red);
  EXPECT_EQ(PlaneG, green);
  EXPECT_TRUE(canvas::TheHistory().undoStack().empty());
  EXPECT_EQ(Form1Window().SurfacePixel(9, 7), platform::RGB(PlaneR(9, 7), PlaneG(9, 7), PlaneB(9, 7)));
}

TEST_F(ToolPanelTest, AClickOnTheClearButtonClears) {
  Start(5, 5);
  QWidget* clear = Panel().vx_button2.impl().widget;
  QTest::mouseClick(clear, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
  EXPECT_EQ(PlaneB, BytePlane(5, 5, 255));
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 1u);
}

TEST_F(ToolPanelTest, GetAndSendGoToTheHost) {
  Start(6, 4);
  host->ClearCalls();
  Paint(PlaneB, 2, 2, 1);
  Form2::vx_button4_Click();
  // The send-back sequence closes the button's calls (the host link may ask the host's size first).
  ASSERT_GE(host->calls.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(host->calls.end() - 7, host->calls.end()),
              ElementsAre("Brisel_ChangedBox", "Tarn_SaveUndo", "Tarn_SetRbuffer", "Tarn_SetGbuffer", "Tarn_SetBbuffer",
                          "tarn_Refresh", "Brisel_HeldAfterSend"));
  host->ClearCalls();
  Form2::vx_button3_Click();
  EXPECT_THAT(host->calls, ::testing::IsSupersetOf({"Tarn_GetRBuffer", "Tarn_GetGBuffer", "Tarn_GetBBuffer"}));
  EXPECT_EQ(canvas::TheHistory().undoStack().size(), 2u);  // the painted pixel, then the fetch
}

}  // namespace
}  // namespace brisel::testing
