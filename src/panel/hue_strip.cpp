// The hue strip Picture1: the hue circle laid out left to right, 0 degrees at x = 0 and 360 at the right
// edge, with a white marker at ColorHue; and the hue pick on it.

#include "panel/hue_strip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "panel/colour_hsv.h"
#include "panel/colour_triangle.h"
#include "panel/tool_panel.h"
#include "platform/native.h"
#include "platform/numbers.h"
#include "platform/window.h"
#include "state/shared_state.h"

namespace brisel::Form2 {
namespace {

constexpr platform::Color kMarkerWhite = 0xFFFFFF;

// A 0..1 channel as a byte, rounded half to even.

}  // namespace

void Picture1_Paint() {
  platform::PictureBox& strip = panel::Panel().Picture1;
  const int32_t W1 = strip.width(), H1 = strip.height();
  for (int32_t x = 0; x < W1; ++x) {
    float r, g, b;
    native::HSV_To_RGB(r, g, b, float(double(x) / W1 * 360), 1.0f, 1.0f);
    strip.DrawLine(x, 0, x, H1, platform::RGB(UnitByte(r), UnitByte(g), UnitByte(b)));
  }
  // Columns m - 2 .. m + 2, the strip's full height; at hue 0 only the three columns inside the strip show.
  const int32_t m = Nearest(ColorHue / 360.0 * W1);
  strip.FillBox(m - 2, 0, m + 2, H1, kMarkerWhite);
}

void Picture1_MouseMove(int16_t Button, int16_t, float X, float) {
  if (Button < 1) return;
  platform::PictureBox& strip = panel::Panel().Picture1;
  // A drag may leave the strip on either side: the hue stops at 0 and at 360. Limited before the
  // conversion to a whole number, so that no position can overflow it.
  const double hue = std::nearbyint(double(X) / strip.width() * 360);
  ColorHue = int32_t(std::clamp(hue, 0.0, 360.0));

  float r, g, b;
  native::HSV_To_RGB(r, g, b, float(ColorHue), float(ColorSat) / 255.0f, float(ColorVal) / 255.0f);
  // Unrounded: the sliders keep fractions. Each set runs the colour refresh, whose GetHSV recomputes
  // ColorHue from the new colour (for a grey, the hue the conversion reports for it).
  panel::Panel().HProp2.SetValue(r * 255.0f);
  panel::Panel().HProp3.SetValue(g * 255.0f);
  panel::Panel().HProp4.SetValue(b * 255.0f);

  Picture1_Paint();
  strip.Refresh();
  TriPicker::DrawTriangle();
}

}  // namespace brisel::Form2
