// The display bitmap's size, the rectangle redraw's clamping, the full redraw's margins and the caption.

#include "app/canvas_input.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "panel/panel_buttons.h"
#include "panel/tool_panel.h"
#include "platform/native.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using Dibs::CreateDib;
using Dibs::DibWidth;

platform::Color ImagePixel(int x, int y) { return platform::RGB(PlaneR(x, y), PlaneG(x, y), PlaneB(x, y)); }

TEST_F(AppTest, BitmapRowsAreWholeWordsOfTheZoomedWidth) {
  Start(333, 10);
  EXPECT_EQ(DibWidth, 336);
  ImageWidth = 332;
  CreateDib(Form1Window());
  EXPECT_EQ(DibWidth, 332);
  ImageWidth = 101;
  Zoom = 0.5f;
  CreateDib(Form1Window());
  EXPECT_EQ(Dibs::ZoomedWidth(), 50);
  EXPECT_EQ(DibWidth, 52);
}

TEST_F(AppTest, CaptionShowsTheZoomOnlyOnceTheBitmapIsRemade) {
  Start(20, 10);
  const std::string plain = Form1Window().caption();
  EXPECT_EQ(plain, AppCaption);
  ASSERT_TRUE(canvas::SetView(Form1Window(), 1.25f, PanX, PanY));
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 125");
  // 0.3 in single precision is a hair above 0.3: 30, not 29
  ASSERT_TRUE(canvas::SetView(Form1Window(), 0.3f, PanX, PanY));
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 30");
}

TEST_F(AppTest, ABitmapThatCannotBeMadeIsError31001) {
  Start(20, 10);
  platform::SetBitmapSizeLimit(100);
  try {
    CreateDib(Form1Window());
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 31001);
  }
}

TEST_F(AppTest, FullRedrawAtZoomOneCopiesEveryPixelAndNothingElse) {
  Start(100, 80);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(120, 90);
  canvas.FillBox(0, 0, 119, 89, platform::RGB(1, 2, 3));
  canvas::displaybuffers(Form1Window());
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(canvas.SurfacePixel(x, y), ImagePixel(x, y)) << x << "," << y;
  // The margins right of and below the image take the window's back colour.
  EXPECT_EQ(canvas.SurfacePixel(100, 10), canvas.backColor());
  EXPECT_EQ(canvas.SurfacePixel(119, 89), canvas.backColor());
  EXPECT_EQ(canvas.SurfacePixel(10, 80), canvas.backColor());
}

TEST_F(AppTest, BlitRectDrawsOnlyTheClampedRectangleAtThePanOffset) {
  Start(50, 40);
  platform::Form& canvas = Form1Window();
  const platform::Color mark = platform::RGB(9, 9, 9);
  canvas.FillBox(0, 0, 49, 39, mark);
  PanX = 5;
  PanY = 3;
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {10, 10, 13, 12});  // far corner exclusive
  EXPECT_EQ(canvas.SurfacePixel(15, 13), ImagePixel(10, 10));
  EXPECT_EQ(canvas.SurfacePixel(17, 14), ImagePixel(12, 11));
  EXPECT_EQ(canvas.SurfacePixel(18, 14), mark);
  EXPECT_EQ(canvas.SurfacePixel(15, 15), mark);

  // Reaching past the image's far edge refreshes the last column, and nothing beyond it.
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {40, 0, 501, 1});
  EXPECT_EQ(canvas.SurfacePixel(49, 3), ImagePixel(44, 0));
  canvas.FillBox(0, 0, 49, 39, mark);
  PanX = PanY = 0;
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {45, 35, 1001, 1001});
  EXPECT_EQ(canvas.SurfacePixel(49, 39), ImagePixel(49, 39));

  // Wholly outside the image or the window, or reversed: nothing at all.
  canvas.FillBox(0, 0, 49, 39, mark);
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {-30, -30, -4, -4});
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {60, 0, 71, 11});
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {20, 20, 11, 11});
  PanX = -1000;
  Dibs::BlitRect(Form1Window(), PlaneR, PlaneG, PlaneB, {0, 0, 50, 40});
  for (int y = 0; y < 40; y += 3)
    for (int x = 0; x < 50; x += 3) ASSERT_EQ(canvas.SurfacePixel(x, y), mark) << x << "," << y;
}

TEST_F(AppTest, AnImagePannedOutOfSightLeavesOnlyMargins) {
  Start(30, 20);
  platform::Form& canvas = Form1Window();
  PanX = 500;
  PanY = -400;
  canvas::displaybuffers(Form1Window());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(canvas.SurfacePixel(x, y), canvas.backColor());
}

TEST_F(AppTest, ZoomedRedrawCoversExactlyTheZoomedImage) {
  Start(16, 8);
  PlaneR.fill(40);
  PlaneG.fill(90);
  PlaneB.fill(140);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(70, 40);
  Zoom = 4;
  CreateDib(Form1Window());
  canvas::displaybuffers(Form1Window());
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool inImage = x < 64 && y < 32;
      ASSERT_EQ(canvas.SurfacePixel(x, y), inImage ? platform::RGB(40, 90, 140) : canvas.backColor()) << x << "," << y;
    }
}

// A 4096 x 4096 picture (at 800 % a bitmap of 32768 x 32768 pixels, 4 GiB whole) in a small window: every Ctrl and + step to 800 % is taken, with the caption and
// the bitmap's rounded width of each, while the display holds about the window's pixels; 100 % is exact far
// into the picture, 600 % is smooth there, a click at 600 % paints the pixels under the pointer, and shrunk
// to 1/4 the window shows each 4 x 4 block's mean, a clear and its undo included.
TEST_F(AppTest, ABigPictureTakesEveryZoomInAWindowsWorthOfMemory) {
  constexpr int32_t kSide = 4096;
  Start(kSide, kSide);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(640, 400);
  // The tiles of a 640 x 400 window (12 at most, 3 MiB), and at most 16 MiB of tiles kept for reuse.
  constexpr uint64_t kWindowsWorth = uint64_t(20) << 20;
  for (int step = 1; step <= 28; ++step) {
    int16_t plus = 187, ctrl = 2;
    Form1::Form_KeyUp(plus, ctrl);
    ASSERT_EQ(Zoom, 1.0f + 0.25f * float(step));
    ASSERT_EQ(canvas.caption(), AppCaption + " zoom = " + std::to_string(100 + 25 * step));
    ASSERT_EQ(DibWidth, (int32_t(kSide * Zoom) + 3) / 4 * 4);
    ASSERT_LT(Dibs::DisplayBytes(), kWindowsWorth) << "zoom " << Zoom;
  }
  EXPECT_TRUE(messages.empty());

  const int32_t left = 2500, top = 1500;
  ASSERT_TRUE(canvas::SetView(Form1Window(), 1.0f, -left, -top));
  canvas::displaybuffers(Form1Window());
  for (int32_t y = 0; y < 400; y += 7)
    for (int32_t x = 0; x < 640; x += 7) ASSERT_EQ(canvas.SurfacePixel(x, y), ImagePixel(left + x, top + y)) << x << "," << y;

  // 600 %: the window is what the smoothing filter makes of the planes there, tile seams and all.
  ASSERT_TRUE(canvas::SetView(Form1Window(), 6.0f, -6 * left, -6 * top));
  canvas::displaybuffers(Form1Window());
  native::BlitSource planes;
  planes.r = PlaneR.data(), planes.g = PlaneG.data(), planes.b = PlaneB.data();
  planes.stride = planes.width = planes.height = kSide;
  planes.extentWidth = planes.extentHeight = kSide;
  std::vector<uint8_t> expected(size_t(640) * 400 * 4);
  native::p_smoothblit_window(planes, 6.0f, 6 * left, 6 * left + 640, 6 * top, 6 * top + 400, expected.data(), 640);
  int ramps = 0;
  for (int32_t y = 0; y < 400; ++y)
    for (int32_t x = 0; x < 640; ++x) {
      const uint8_t* p = &expected[(size_t(y) * 640 + x) * 4];
      ASSERT_EQ(canvas.SurfacePixel(x, y), platform::RGB(p[2], p[1], p[0])) << x << "," << y;
      ramps += x > 0 && canvas.SurfacePixel(x, y) != canvas.SurfacePixel(x - 1, y) &&
               (x % 6 != 3);  // changes inside an image pixel's 6 x 6 block: smooth, not blocky
    }
  EXPECT_GT(ramps, 640 * 400 / 6);
  EXPECT_LT(Dibs::DisplayBytes(), kWindowsWorth);

  // A click at 600 % paints the image pixel under the pointer, and the window shows it there.
  BrushSize = 4, BrushOpacity = 255, BrushPress = 255, BrushStep = 15;
  PaintRed = 200, PaintGreen = 40, PaintBlue = 90;
  const float X = 321.0f, Y = 203.0f;
  const int32_t px = left + int32_t(X / 6), py = top + int32_t(Y / 6);
  const platform::Color before = ImagePixel(px, py);
  Form1::Form_MouseDown(1, 0, X, Y);
  Form1::Form_MouseUp(1, 0, X, Y);
  EXPECT_NE(ImagePixel(px, py), before);
  EXPECT_EQ(canvas.SurfacePixel(int32_t(X), int32_t(Y)), ImagePixel(px, py));

  // 1/4: each window pixel is the mean of its 4 x 4 block, from the pyramid, which follows a clear and an undo.
  ASSERT_TRUE(canvas::SetView(Form1Window(), 0.25f, -100, -50));
  canvas::displaybuffers(Form1Window());
  auto blockMean = [](const BytePlane& p, int32_t u, int32_t v) {
    int sum = 0;
    for (int32_t y = 4 * v; y < 4 * v + 4; ++y)
      for (int32_t x = 4 * u; x < 4 * u + 4; ++x) sum += p(x, y);
    return (sum + 8) / 16;
  };
  std::vector<platform::Color> shrunk;
  for (int32_t y = 0; y < 400; y += 3)
    for (int32_t x = 0; x < 640; x += 3) {
      const platform::Color c = canvas.SurfacePixel(x, y);
      shrunk.push_back(c);
      ASSERT_EQ(c, platform::RGB(blockMean(PlaneR, x + 100, y + 50), blockMean(PlaneG, x + 100, y + 50),
                                 blockMean(PlaneB, x + 100, y + 50)))
          << x << "," << y;
    }
  Form2::vx_button2_Click();
  for (int32_t y = 0; y < 400; y += 3)
    for (int32_t x = 0; x < 640; x += 3) ASSERT_EQ(canvas.SurfacePixel(x, y), platform::RGB(255, 255, 255));
  canvas::RedrawRect(Form1Window(), canvas::TheHistory().UndoLastStep(false));
  size_t i = 0;
  for (int32_t y = 0; y < 400; y += 3)
    for (int32_t x = 0; x < 640; x += 3) ASSERT_EQ(canvas.SurfacePixel(x, y), shrunk[i++]) << x << "," << y;
}

}  // namespace
}  // namespace brisel::testing
