// A picture box's own drawing and events: the Gouraud triangle fill (coverage by pixel centres, shared
// edges covered once, exact corners, 16-bit channels shown by their high byte), lines, pixels, the fill's
// failure seam, and mouse events in box pixels.

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/controls_impl.h"
#include "platform/window.h"

namespace brisel::platform {
namespace {

using V = PictureBox::GradientVertex;

class PictureBoxDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetClientSize(100, 100);
    form.Show();
    box.SetBackColor(0);
  }
  void TearDown() override { SetGradientFillAvailable(true); }
  int Count(Color c) const {
    int n = 0;
    for (int y = 0; y < box.height(); ++y)
      for (int x = 0; x < box.width(); ++x) n += box.Pixel(x, y) == c;
    return n;
  }
  Form form;
  PictureBox box{form, 0, 0, 16, 12};
};

TEST_F(PictureBoxDrawingTest, TwoTrianglesOfASquareCoverEachPixelOnce) {
  // The diagonal runs through the centres of pixels (i, 7 - i): each belongs to exactly one triangle.
  const uint16_t full = 0xFFFF;
  ASSERT_TRUE(box.FillGradientTriangle(V{0, 0, full, 0, 0}, V{8, 0, full, 0, 0}, V{0, 8, full, 0, 0}));
  const int first = Count(RGB(255, 0, 0));
  box.SetBackColor(0);
  ASSERT_TRUE(box.FillGradientTriangle(V{8, 8, 0, 0, full}, V{0, 8, 0, 0, full}, V{8, 0, 0, 0, full}));
  const int second = Count(RGB(0, 0, 255));
  EXPECT_EQ(first + second, 64);
  EXPECT_EQ(first, 28) << "the diagonal's centres go to the triangle whose top-left edge it is";
  EXPECT_EQ(box.Pixel(8, 0), 0u) << "column 8 lies outside";
}

TEST_F(PictureBoxDrawingTest, ChannelsBlendLinearlyAndShowTheirHighByte) {
  // White (255 * 255 per channel) at the top left, black at the bottom left, red at the right middle.
  const uint16_t w = 0xFE01;
  ASSERT_TRUE(box.FillGradientTriangle(V{0, 0, w, w, w}, V{0, 12, 0, 0, 0}, V{16, 6, w, 0, 0}));
  EXPECT_EQ(box.Pixel(0, 0), RGB(254, 254, 254)) << "a corner pixel shows its corner exactly";
  EXPECT_EQ(box.Pixel(0, 6), RGB(127, 127, 127)) << "halfway down the left edge: 0x7F00 >> 8";
  EXPECT_EQ(box.Pixel(8, 6), RGB(190, 63, 63)) << "half white-black, half red: (0xFE01 * 3/4) >> 8 and 1/4";
  EXPECT_EQ(box.Pixel(15, 0), 0u) << "outside the triangle nothing is drawn";
  // A triangle with no inside draws nothing and is no failure.
  box.SetBackColor(0);
  EXPECT_TRUE(box.FillGradientTriangle(V{0, 0, w, w, w}, V{5, 5, w, w, w}, V{10, 10, w, w, w}));
  EXPECT_EQ(Count(0), 16 * 12);
}

TEST_F(PictureBoxDrawingTest, TheSeamMakesTheFillFailWithoutDrawing) {
  SetGradientFillAvailable(false);
  EXPECT_FALSE(box.FillGradientTriangle(V{0, 0, 0xFFFF, 0, 0}, V{0, 12, 0, 0, 0}, V{16, 6, 0, 0, 0}));
  EXPECT_EQ(Count(0), 16 * 12);
}

TEST_F(PictureBoxDrawingTest, LinesStopBeforeTheirEndAndEverythingIsClipped) {
  box.DrawLine(3, 0, 3, 12, RGB(1, 2, 3));
  EXPECT_EQ(Count(RGB(1, 2, 3)), 12);
  box.DrawLine(0, 0, 4, 2, RGB(9, 9, 9));
  EXPECT_EQ(box.Pixel(0, 0), RGB(9, 9, 9));
  EXPECT_EQ(box.Pixel(2, 1), RGB(9, 9, 9));
  EXPECT_NE(box.Pixel(4, 2), RGB(9, 9, 9)) << "the end point is not drawn";
  box.DrawLine(-5, 5, 40, 5, RGB(7, 7, 7));
  EXPECT_EQ(Count(RGB(7, 7, 7)), 16);
  box.SetPixel(16, 0, RGB(8, 8, 8));
  box.SetPixel(-1, 3, RGB(8, 8, 8));
  box.SetPixel(15, 11, RGB(8, 8, 8));
  EXPECT_EQ(Count(RGB(8, 8, 8)), 1);
}

TEST_F(PictureBoxDrawingTest, MouseEventsArriveInBoxPixelsWithTheirButtons) {
  std::vector<std::vector<float>> seen;
  auto record = [&](int kind) {
    return [&seen, kind](int16_t b, int16_t s, float x, float y) { seen.push_back({float(kind), float(b), float(s), x, y}); };
  };
  box.MouseDown = record(0);
  box.MouseMove = record(1);
  box.MouseUp = record(2);
  QWidget* w = box.impl().widget;
  auto send = [&](QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::ShiftModifier);
    QApplication::sendEvent(w, &e);
  };
  send(QEvent::MouseButtonPress, QPointF(3, 4), Qt::RightButton, Qt::RightButton);
  send(QEvent::MouseMove, QPointF(-7, 20), Qt::NoButton, Qt::RightButton);
  send(QEvent::MouseButtonRelease, QPointF(5, 6), Qt::RightButton, Qt::NoButton);
  const std::vector<std::vector<float>> expected = {{0, 2, 1, 3, 4}, {1, 2, 1, -7, 20}, {2, 2, 1, 5, 6}};
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace brisel::platform
