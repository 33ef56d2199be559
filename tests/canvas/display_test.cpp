// The display bitmap's size, the rectangle redraw's clamping, the full redraw's margins and the caption.

#include "canvas/display.h"
#include "canvas/display_bitmap.h"
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
  CreateDib();
  EXPECT_EQ(DibWidth, 332);
  ImageWidth = 101;
  Zoom = 0.5f;
  CreateDib();
  EXPECT_EQ(Dibs::ZoomedWidth(), 50);
  EXPECT_EQ(DibWidth, 52);
}

TEST_F(AppTest, CaptionShowsTheZoomOnlyOnceTheBitmapIsRemade) {
  Start(20, 10);
  const std::string plain = Form1Window().caption();
  EXPECT_EQ(plain, AppCaption);
  Zoom = 1.25f;
  CreateDib();
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 125");
  Zoom = 0.3f;  // 0.3 in single precision is a hair above 0.3: 30, not 29
  CreateDib();
  EXPECT_EQ(Form1Window().caption(), AppCaption + " zoom = 30");
}

TEST_F(AppTest, ABitmapThatCannotBeMadeIsError31001) {
  Start(20, 10);
  platform::SetBitmapSizeLimit(100);
  try {
    CreateDib();
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
  Form1::displaybuffers();
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
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 10, 10, 12, 11);  // corners inclusive
  EXPECT_EQ(canvas.SurfacePixel(15, 13), ImagePixel(10, 10));
  EXPECT_EQ(canvas.SurfacePixel(17, 14), ImagePixel(12, 11));
  EXPECT_EQ(canvas.SurfacePixel(18, 14), mark);
  EXPECT_EQ(canvas.SurfacePixel(15, 15), mark);

  // Reaching past the image's far edge refreshes the last column, and nothing beyond it.
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 40, 0, 500, 0);
  EXPECT_EQ(canvas.SurfacePixel(49, 3), ImagePixel(44, 0));
  canvas.FillBox(0, 0, 49, 39, mark);
  PanX = PanY = 0;
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 45, 35, 1000, 1000);
  EXPECT_EQ(canvas.SurfacePixel(49, 39), ImagePixel(49, 39));

  // Wholly outside the image or the window, or reversed: nothing at all.
  canvas.FillBox(0, 0, 49, 39, mark);
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, -30, -30, -5, -5);
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 60, 0, 70, 10);
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 20, 20, 10, 10);
  PanX = -1000;
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, 0, 0, 49, 39);
  for (int y = 0; y < 40; y += 3)
    for (int x = 0; x < 50; x += 3) ASSERT_EQ(canvas.SurfacePixel(x, y), mark) << x << "," << y;
}

TEST_F(AppTest, AnImagePannedOutOfSightLeavesOnlyMargins) {
  Start(30, 20);
  platform::Form& canvas = Form1Window();
  PanX = 500;
  PanY = -400;
  Form1::displaybuffers();
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
  CreateDib();
  Form1::displaybuffers();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool inImage = x < 64 && y < 32;
      ASSERT_EQ(canvas.SurfacePixel(x, y), inImage ? platform::RGB(40, 90, 140) : canvas.backColor()) << x << "," << y;
    }
}

}  // namespace
}  // namespace brisel::testing
