// Colour selection on the running program: the start state, the triangle and hue picks, the colour
// refresh of the Red, Green and Blue sliders, the per-pixel triangle, and the canvas pick's redraw.

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/canvas_input.h"
#include "panel/colour_triangle.h"
#include "panel/hue_strip.h"
#include "panel/tool_panel.h"
#include "panel/triangle_pick.h"
#include "platform/native.h"
#include "platform/qt/controls_impl.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using panel::Panel;
using platform::Color;

constexpr Color kWhite = 0xFFFFFF;
constexpr int16_t kLeft = 1;

int Red(Color c) { return int(c & 0xFF); }
int Green(Color c) { return int(c >> 8 & 0xFF); }
int Blue(Color c) { return int(c >> 16 & 0xFF); }

std::string Sliders() {
  return std::to_string(panel::HProp2().value()) + "," + std::to_string(panel::HProp3().value()) + "," +
         std::to_string(panel::HProp4().value());
}
void SetColour(double r, double g, double b) {
  panel::HProp2().SetValue(r);
  panel::HProp3().SetValue(g);
  panel::HProp4().SetValue(b);
}
// A drag move with the left button over a box's widget, as the user's.
void Drag(platform::PictureBox& box, double x, double y) {
  QWidget* w = box.impl().widget;
  QMouseEvent e(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::LeftButton,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// The triangle's corner near its pure hue, (79, 40), is nearly that hue.
Color HueCorner() { return Panel().Picker.Pixel(79, 40); }

class ColourTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Start(8, 8);
  }
  void TearDown() override {
    platform::SetGradientFillAvailable(true);
    AppTest::TearDown();
  }
};

TEST_F(ColourTest, StartsBlackWithARedTriangleAndTheMarkerAtTheLeft) {
  panel::Controls& p = Panel();
  EXPECT_EQ(p.vx_button5.backColor(), 0u);
  EXPECT_EQ(ColorHue, 0);
  EXPECT_EQ(p.Picker.Pixel(0, 0), platform::RGB(254, 254, 254));
  EXPECT_GT(Red(HueCorner()), 240);
  EXPECT_LT(Green(HueCorner()) + Blue(HueCorner()), 10);
  EXPECT_EQ(p.Picker.Pixel(80, 0), p.Picker.backColor()) << "outside the triangle nothing is drawn";
  // The mask: white triangle on black.
  EXPECT_EQ(p.Picture2.Pixel(0, 0), platform::RGB(254, 254, 254));
  EXPECT_EQ(p.Picture2.Pixel(80, 0), 0u);
  // The strip: columns 0..2 are the marker at hue 0, top to bottom; then the hues.
  for (int x = 0; x <= 2; ++x) EXPECT_EQ(p.Picture1.Pixel(x, 18), kWhite) << x;
  EXPECT_EQ(p.Picture1.Pixel(3, 0), platform::RGB(255, 57, 0)) << "hue 3 / 81 * 360: green 2/9 of full";
  EXPECT_EQ(p.Picture1.Pixel(27, 9), platform::RGB(0, 255, 0)) << "hue 120";
}

TEST_F(ColourTest, TrianglePicksStayOnTheMaskAndKeepTheHue) {
  panel::Controls& p = Panel();
  SetColour(0, 200, 0);  // hue 120
  ASSERT_EQ(ColorHue, 120);
  // A drag that starts outside the triangle picks nothing until it enters.
  Drag(p.Picker, 80, 0);
  Drag(p.Picker, -3, 40);
  EXPECT_EQ(Sliders(), "0.000000,200.000000,0.000000");
  Drag(p.Picker, 0, 0);  // the white corner
  EXPECT_EQ(Sliders(), "254.000000,254.000000,254.000000");
  EXPECT_EQ(ColorHue, 120) << "white keeps the hue";
  EXPECT_EQ(ColorSat, 0);
  EXPECT_GT(Green(HueCorner()), 240) << "the triangle is still green";
  EXPECT_EQ(panel::TrianglePicking, 0);
  Drag(p.Picker, 0, 40);  // grey, on the left edge
  EXPECT_EQ(Red(p.vx_button5.backColor()), Green(p.vx_button5.backColor()));
  EXPECT_EQ(ColorHue, 120) << "grey keeps the hue";
  Drag(p.Picker, 40, 40);
  const Color inside = p.Picker.Pixel(40, 40);
  EXPECT_EQ(p.vx_button5.backColor(), inside);
  // Leaving the triangle stops the picking: past its top edge, then out of the box.
  Drag(p.Picker, 70, 10);
  Drag(p.Picker, 200, 40);
  EXPECT_EQ(p.vx_button5.backColor(), inside);
  // A move without a button picks nothing either.
  Form2::Picker_MouseMove(0, 0, 0, 80);
  EXPECT_EQ(p.vx_button5.backColor(), inside);
  Form2::Picker_MouseMove(kLeft, 0, 0, 80);  // black, or nearly
  EXPECT_LT(Red(p.vx_button5.backColor()), 5);
  EXPECT_EQ(ColorHue, 120) << "black keeps the hue";
}

TEST_F(ColourTest, AHuePickKeepsSaturationAndValueAndStopsAtTheStripsEnds) {
  panel::Controls& p = Panel();
  SetColour(200, 100, 50);
  const int sat = ColorSat, val = ColorVal;
  auto expectHue = [&](float hue, const char* what) {
    float r, g, b;
    native::HSV_To_RGB(r, g, b, hue, sat / 255.0f, val / 255.0f);
    EXPECT_EQ(Sliders(), std::to_string(double(r * 255)) + "," + std::to_string(double(g * 255)) + "," +
                             std::to_string(double(b * 255)))
        << what;
  };
  Drag(p.Picture1, 27, 5);
  expectHue(120, "a third of the way: hue 120");
  EXPECT_EQ(ColorHue, 120);
  EXPECT_EQ(p.Picture1.Pixel(25, 0), kWhite);
  EXPECT_EQ(p.Picture1.Pixel(29, 18), kWhite);
  EXPECT_NE(p.Picture1.Pixel(30, 0), kWhite);
  EXPECT_GT(Green(HueCorner()), 240);
  Form2::Picture1_MouseMove(kLeft, 0, -40, 5);
  expectHue(0, "left of the strip");
  Form2::Picture1_MouseMove(kLeft, 0, 300, 5);
  expectHue(360, "right of the strip");
  EXPECT_EQ(ColorHue, 0) << "the hue the conversion reports for the new red";
  Form2::Picture1_MouseMove(0, 0, 27, 5);
  expectHue(360, "no button: no pick");
}

TEST_F(ColourTest, AHuePickOnAGreyChangesOnlyTheHue) {
  SetColour(100, 100, 100);
  ColorHue = 200;  // whatever came before
  Form2::Picture1_MouseMove(kLeft, 0, 27, 5);
  EXPECT_FLOAT_EQ(PaintRed, 100);
  EXPECT_FLOAT_EQ(PaintGreen, 100);
  EXPECT_FLOAT_EQ(PaintBlue, 100);
  EXPECT_EQ(Panel().vx_button5.backColor(), platform::RGB(100, 100, 100));
  EXPECT_EQ(ColorHue, 0) << "a grey's hue, as the conversion reports it";
}

TEST_F(ColourTest, TheRedSliderAloneRefreshesHsvSwatchStripAndTriangle) {
  panel::HProp3().SetValue(200);
  panel::HProp4().SetValue(0);
  ASSERT_EQ(ColorHue, 120);
  panel::HProp2().SetValue(200);  // yellow
  EXPECT_EQ(ColorHue, 60);
  EXPECT_EQ(ColorSat, 255);
  EXPECT_EQ(ColorVal, 200);
  EXPECT_EQ(Panel().vx_button5.backColor(), platform::RGB(200, 200, 0));
  // The marker centre: 60 / 360 * 81 = 13.5, to the even 14.
  EXPECT_NE(Panel().Picture1.Pixel(11, 0), kWhite);
  EXPECT_EQ(Panel().Picture1.Pixel(12, 0), kWhite);
  EXPECT_EQ(Panel().Picture1.Pixel(16, 18), kWhite);
  EXPECT_NE(Panel().Picture1.Pixel(27, 0), kWhite) << "the old marker is painted over";
  EXPECT_GT(Red(HueCorner()), 240);
  EXPECT_GT(Green(HueCorner()), 240);
}

TEST_F(ColourTest, WithoutTheGradientFillTheTrianglesArePixelByPixelAndSane) {
  panel::Controls& p = Panel();
  platform::SetGradientFillAvailable(false);
  p.Picture2.SetBackColor(0x808080);
  TriPicker::DrawTriangleMask();
  EXPECT_EQ(p.Picture2.Pixel(80, 40), kWhite) << "the per-pixel rows reach column 80";
  EXPECT_EQ(p.Picture2.Pixel(80, 39), 0u) << "and the rest is black";
  SetColour(0, 0, 255);  // hue 240
  EXPECT_EQ(p.Picker.Pixel(0, 0), kWhite) << "s = 0.0001 and v = 1";
  // Where s = y / H + x / W passes 1, the pixel is the pure hue at its value (limited to 1).
  for (int y = 0; y <= 80; ++y)
    for (int x = 0; x <= 80; ++x) {
      if (int32_t(p.Picture2.Pixel(x, y)) < 1 || y / 81.0 + x / 81.0 < 1) continue;
      const double v = std::min(1.0, (81.0 - y) * (x / 81.0 + 1) / 81);
      ASSERT_EQ(p.Picker.Pixel(x, y), platform::RGB(0, 0, int(std::nearbyint(v * 255)))) << x << "," << y;
    }
  Drag(p.Picker, 80, 40);
  EXPECT_EQ(Sliders(), "0.000000,0.000000,255.000000");
}

TEST_F(ColourTest, TheCanvasPickRedrawsTheTriangle) {
  panel::Controls& p = Panel();
  PickMode = true;
  // Picture pixel (5, 0) is (5, 10, 5): a green.
  Form1::Form_MouseDown(kLeft, 0, 5, 0);
  EXPECT_EQ(Sliders(), "5.000000,10.000000,5.000000");
  EXPECT_EQ(ColorHue, 120);
  EXPECT_GT(Green(HueCorner()), 240);
  // The pick's own redraw, with the sliders' refresh out of the way.
  for (platform::HProp* s : {&p.HProp2, &p.HProp3, &p.HProp4}) s->Change = nullptr;
  p.Picker.FillBox(0, 0, 80, 80, 0x808080);
  ColorHue = 240;
  Form1::Form_MouseDown(kLeft, 0, 1, 1);
  EXPECT_EQ(p.Picker.Pixel(0, 0), platform::RGB(254, 254, 254));
  EXPECT_GT(Blue(HueCorner()), 240);
}

}  // namespace
}  // namespace brisel::testing
