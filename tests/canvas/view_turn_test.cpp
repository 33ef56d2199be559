// The turned and mirrored view: window positions back to the picture and forth, the display a quarter turn
// shows against the upright one's pixels, and what lies under the pointer.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/canvas_input.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "canvas/view_turn.h"
#include "platform/native.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

struct ViewState {
  double angle;
  bool mirrored;
  float zoom;
};

std::vector<ViewState> AllViewStates() {
  std::vector<ViewState> states;
  for (const double angle : {0.0, 90.0, 180.0, 270.0, 30.0, -15.0})
    for (const bool mirrored : {false, true})
      for (const float zoom : {0.25f, 1.0f, 3.0f}) states.push_back({angle, mirrored, zoom});
  return states;
}

void SetViewState(const ViewState& s, int32_t panX, int32_t panY) {
  ASSERT_TRUE(canvas::SetView(Form1Window(), s.zoom, panX, panY));
  canvas::SetTurn(Form1Window(), s.angle, s.mirrored);
  canvas::displaybuffers(Form1Window());
}

// The window point where image point (x, y) is drawn: upright placement, then the turn.
canvas::ViewPoint WindowOf(double x, double y) {
  return canvas::CurrentTurn(Form1Window()).ToWindow(x * Zoom + PanX, y * Zoom + PanY);
}

// The weights are whole 256ths of a cell: between cells 255 apart the mix may lie two levels off the
// exact one, never more. (A point within a 65536th of a cell of the image's edge may fall on either side of
// it: the spans keep clear of that.)
TEST(TurnedBlit, MatchesItsPlainReferenceWithinTwoLevels) {
  // A 181 x 143 source whose held cells start at (3, 2), and spans turned, shrunk, magnified and mirrored
  // reaching past its edges, into a window of several of the kernel's tiles.
  const int32_t w = 181, h = 143, stride = 185, outW = 300, outH = 200;
  std::vector<uint8_t> r(size_t(stride) * h), g(r.size()), b(r.size());
  for (size_t i = 0; i < r.size(); ++i) r[i] = uint8_t(i * 7), g[i] = uint8_t(i * 13 + 5), b[i] = uint8_t(i * i);
  native::BlitSource source;
  source.r = r.data(), source.g = g.data(), source.b = b.data();
  source.stride = stride, source.originX = 3, source.originY = 2;
  source.width = w, source.height = h, source.extentWidth = 180.5, source.extentHeight = 142.25;
  struct Span {
    double qx, qy, iqx, iqy, jqx, jqy;
  };
  const Span spans[] = {{-2.37, -1.71, 0.866, 0.5, -0.5, 0.866},                  // 30 degrees at zoom 1
                        {140.1, 3.3, -0.25, 0.1, 0.1, 0.25},                      // magnified, mirrored
                        {5.5, 7.5, 1, 0, 0, 1},                                   // upright, on cell centres
                        {150.23, -5.17, -0.9013, 0.5477, 0.5477, 0.9013},         // shrunk, mirrored
                        {10.53, 130.29, 2.5031, -1.2017, 1.2017, -2.5031}};       // over two cells a pixel
  for (const Span& s : spans) {
    native::TurnedSpan span{s.qx, s.qy, s.iqx, s.iqy, s.jqx, s.jqy, 3, 2, 3 + 170, 2 + 135};
    std::vector<uint8_t> fast(size_t(outW) * outH * 4), plain(fast.size()), single(fast.size());
    native::p_turnblit(source, span, outW, outH, 0x332211, fast.data(), outW);
    native::p_turnblit_reference(source, span, outW, outH, 0x332211, plain.data(), outW);
    for (size_t i = 0; i < fast.size(); ++i)
      ASSERT_LE(std::abs(int(fast[i]) - int(plain[i])), 2) << "byte " << i << " of span at " << s.qx << "," << s.qy;
    // The vector paths compute the pixel-by-pixel integers exactly, whatever the processor runs.
    native::UseTurnblitVectors(false);
    native::p_turnblit(source, span, outW, outH, 0x332211, single.data(), outW);
    native::UseTurnblitVectors(true);
    for (size_t i = 0; i < fast.size(); ++i)
      ASSERT_EQ(fast[i], single[i]) << "byte " << i << " of span at " << s.qx << "," << s.qy;
  }
}

TEST_F(AppTest, EveryViewStateTakesAWindowPointToThePictureAndBackWithinAQuarterPixel) {
  Start(90, 70);
  Form1Window().SetClientSize(161, 120);  // an odd width: the centre is a whole pixel, not a half
  for (const ViewState& s : AllViewStates()) {
    SCOPED_TRACE(::testing::Message() << s.angle << " degrees, mirrored " << s.mirrored << ", zoom " << s.zoom);
    SetViewState(s, -13, 7);
    for (const float X : {0.0f, 33.5f, 80.0f, 160.0f})
      for (const float Y : {0.0f, 61.25f, 119.0f}) {
        const canvas::ViewPoint u = canvas::WindowToUpright(Form1Window(), X, Y);
        const float x = canvas::UprightImageX(float(u.x)), y = canvas::UprightImageY(float(u.y));
        const canvas::ViewPoint back = WindowOf(x, y);
        EXPECT_NEAR(back.x, X, 0.25) << X << "," << Y;
        EXPECT_NEAR(back.y, Y, 0.25) << X << "," << Y;
      }
    // The canvas's centre stays where it is, whatever the turn.
    const canvas::ViewPoint centre = canvas::CurrentTurn(Form1Window()).ToWindow(80, 60);
    EXPECT_DOUBLE_EQ(centre.x, 80);
    EXPECT_DOUBLE_EQ(centre.y, 60);
  }
}

TEST_F(AppTest, TheMirrorFlipsWhatTheScreenShowsLeftToRightWhateverTheTurn) {
  Start(90, 70);
  Form1Window().SetClientSize(161, 120);
  for (const double angle : {0.0, 30.0, 90.0, -15.0}) {
    SetViewState({angle, false, 1.0f}, 5, 3);
    const canvas::ViewPoint before = WindowOf(20, 50);
    canvas::MirrorView(Form1Window());
    const canvas::ViewPoint after = WindowOf(20, 50);
    EXPECT_NEAR(after.x, 160 - before.x, 1e-9) << angle;
    EXPECT_NEAR(after.y, before.y, 1e-9) << angle;
    canvas::MirrorView(Form1Window());
    EXPECT_NEAR(WindowOf(20, 50).x, before.x, 1e-9) << angle << ": twice is none";
  }
}

TEST_F(AppTest, AQuarterTurnOrAMirrorShowsTheUprightDisplaysPixelsMoved) {
  Start(70, 50);
  platform::Form& canvas = Form1Window();
  for (const int32_t width : {120, 121}) {
    canvas.SetClientSize(width, 100);
    for (const ViewState& s : AllViewStates()) {
      if (std::fmod(s.angle, 90.0) != 0 || s.zoom == 0.25f) continue;
      SCOPED_TRACE(::testing::Message() << width << " wide, " << s.angle << " degrees, mirrored " << s.mirrored
                                        << ", zoom " << s.zoom);
      SetViewState({0, false, s.zoom}, 9, -4);
      std::vector<platform::Color> upright(size_t(width) * 100);
      for (int Y = 0; Y < 100; ++Y)
        for (int X = 0; X < width; ++X) upright[size_t(Y) * width + X] = canvas.SurfacePixel(X, Y);
      SetViewState(s, 9, -4);
      // Window pixel (X, Y) shows the upright pixel whose centre its own centre turns back to; one off the
      // window shows the back colour.
      const canvas::ViewTurn turn = canvas::CurrentTurn(Form1Window());
      int compared = 0;
      for (int Y = 0; Y < 100; ++Y)
        for (int X = 0; X < width; ++X) {
          const canvas::ViewPoint u = turn.ToUpright(X + 0.5, Y + 0.5);
          const int ux = int(std::floor(u.x)), uy = int(std::floor(u.y));
          if (ux < 0 || uy < 0 || ux >= width || uy >= 100) continue;
          ASSERT_EQ(canvas.SurfacePixel(X, Y), upright[size_t(uy) * width + ux]) << X << "," << Y;
          ++compared;
        }
      EXPECT_GT(compared, width * 60);
    }
  }
}

// A redraw of a rectangle draws only the pixels near its turned image: every pixel it changed must be among
// them, so the window shows what a redraw of the whole picture shows (a level off at most, the rows'
// fixed-point starts differing), near the picture's edges too.
TEST_F(AppTest, ARectangleRedrawnTurnedShowsWhatTheWholePictureRedrawnShows) {
  Start(90, 70);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(170, 130);
  const PixelRect blocks[] = {{30, 20, 45, 31}, {0, 50, 9, 70}};
  for (const ViewState& s : AllViewStates()) {
    if (std::fmod(s.angle, 90.0) == 0) continue;
    SCOPED_TRACE(::testing::Message() << s.angle << " degrees, mirrored " << s.mirrored << ", zoom " << s.zoom);
    SetViewState(s, 12, -5);
    for (const PixelRect& block : blocks) {
      for (int32_t y = block.y1; y < block.y2; ++y)
        for (int32_t x = block.x1; x < block.x2; ++x) ViewR(x, y) ^= 0xFF, ViewG(x, y) ^= 0x80, ViewB(x, y) = 255;
      canvas::RedrawRect(Form1Window(), block);
    }
    std::vector<platform::Color> part(size_t(170) * 130);
    for (int Y = 0; Y < 130; ++Y)
      for (int X = 0; X < 170; ++X) part[size_t(Y) * 170 + X] = canvas.SurfacePixel(X, Y);
    canvas::RedrawRect(Form1Window(), {0, 0, ImageWidth, ImageHeight});
    for (int Y = 0; Y < 130; ++Y)
      for (int X = 0; X < 170; ++X) {
        const platform::Color a = part[size_t(Y) * 170 + X], b = canvas.SurfacePixel(X, Y);
        for (const int k : {0, 8, 16}) ASSERT_LE(std::abs(int(a >> k & 0xFF) - int(b >> k & 0xFF)), 1) << X << "," << Y;
      }
  }
}

TEST_F(AppTest, ThePixelUnderThePointerIsThePictureTheHandlersReadThere) {
  // At zoom 1 every turn shows the picture's own pixel under the pointer, or its neighbour at a free angle
  // (its bilinear mix lies between them): the colour a pick takes there is what the display shows.
  Start(80, 60);
  platform::Form& canvas = Form1Window();
  canvas.SetClientSize(140, 110);
  for (const ViewState& s : AllViewStates()) {
    if (s.zoom != 1.0f) continue;
    SCOPED_TRACE(::testing::Message() << s.angle << " degrees, mirrored " << s.mirrored);
    SetViewState(s, 30, 25);
    const bool exact = std::fmod(s.angle, 90.0) == 0;
    for (int Y = 5; Y < 110; Y += 7)
      for (int X = 3; X < 140; X += 9) {
        const canvas::ViewPoint u = canvas::WindowToUpright(Form1Window(), X + 0.5f, Y + 0.5f);
        const int x = int(std::floor(canvas::UprightImageX(float(u.x)))),
                  y = int(std::floor(canvas::UprightImageY(float(u.y))));
        const platform::Color shown = canvas.SurfacePixel(X, Y);
        if (x < 1 || y < 1 || x >= 79 || y >= 59) continue;
        if (exact) {
          ASSERT_EQ(shown, platform::RGB(PlaneR(x, y), PlaneG(x, y), PlaneB(x, y))) << X << "," << Y;
        } else {
          // red is x + y: a mix of the cells around the point lies within one of either neighbour's.
          EXPECT_NEAR(int(shown & 0xFF), x + y, 2) << X << "," << Y;
        }
      }
  }
}

TEST_F(AppTest, AStrokePaintedTurnedIsTheStrokePaintedUprightAlongTheSamePath) {
  Start(120, 90);
  Form1Window().SetClientSize(150, 130);
  const std::vector<canvas::ViewPoint> path = {{20, 30}, {26, 33}, {35, 38}, {47, 45}, {60, 50}, {70, 58}};
  auto paintAlong = [&](const ViewState& s) {
    SetViewState(s, 11, 6);
    std::vector<canvas::ViewPoint> window;
    for (const canvas::ViewPoint& p : path) window.push_back(WindowOf(p.x, p.y));
    Form1::Form_MouseDown(1, 0, float(window[0].x), float(window[0].y));
    for (size_t i = 1; i + 1 < window.size(); ++i) Form1::Form_MouseMove(1, 0, float(window[i].x), float(window[i].y));
    Form1::Form_MouseUp(1, 0, float(window.back().x), float(window.back().y));
    BytePlane painted[3] = {PlaneR, PlaneG, PlaneB};
    canvas::TheHistory().UndoLastStep(false);
    return std::vector<BytePlane>(painted, painted + 3);
  };
  for (const float zoom : {1.0f, 3.0f}) {
    const std::vector<BytePlane> upright = paintAlong({0, false, zoom});
    ASSERT_NE(upright[0](47, 45), PlaneR(47, 45)) << "the stroke painted nothing";
    for (const ViewState& s : AllViewStates()) {
      if (s.zoom != zoom || (s.angle == 0 && !s.mirrored)) continue;
      SCOPED_TRACE(::testing::Message() << s.angle << " degrees, mirrored " << s.mirrored << ", zoom " << zoom);
      const std::vector<BytePlane> turned = paintAlong(s);
      // A free angle's window positions are floats, a few millionths of a pixel off the path.
      const int slack = std::fmod(s.angle, 90.0) == 0 ? 0 : 1;
      int differ = 0;
      for (int k = 0; k < 3; ++k)
        for (int y = 0; y < 90; ++y)
          for (int x = 0; x < 120; ++x) {
            const int d = std::abs(int(turned[k](x, y)) - int(upright[k](x, y)));
            ASSERT_LE(d, slack) << k << " " << x << "," << y;
            differ += d != 0;
          }
      EXPECT_LE(differ, 12);
    }
  }
}

}  // namespace
}  // namespace brisel::testing
