// The colour triangle and its hit mask.
//
// Gradient path: one Gouraud fill of triangle A, B, C. The fill's channels are 16-bit and an 8-bit
// channel c goes in as c * 255, so white arrives as 0xFE01 and shows as 254: picking the white corner
// gives 254, 254, 254, and a pure hue's 255 shows as 254 too.
//
// Per-pixel path, taken when the fill fails: for every row y = 0 .. H and column
// x = 0 .. rounded(W - |(y - H / 2) * 2|), both inclusive (row H and column W fall outside the box and are
// clipped), the pixel gets
//     s = y / H + x / W   (at least 0.0001)
//     v = (H - y) * (x / W + 1) / H
// through HSV_To_RGB at ColorHue. s reaches about 1.5 and v a little above 1 towards the right corner;
// the conversion limits both to 1, which keeps those pixels at the pure hue instead of garbage.

#include "panel/colour_triangle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

#include "panel/tool_panel.h"
#include "platform/native.h"
#include "platform/numbers.h"
#include "platform/window.h"
#include "state/shared_state.h"

namespace brisel::TriPicker {
namespace {

using platform::PictureBox;

constexpr platform::Color kMaskWhite = 0xFFFFFF;

// A 0..1 channel as a byte, rounded half to even.

// An 8-bit channel as the gradient fill's 16-bit channel.
uint16_t Wide(int byte) { return uint16_t(byte * 255); }

// The triangle's drawing size: Picker's, whichever box is drawn into.
struct Size {
  int32_t W, H;
};
Size PickerSize() {
  const PictureBox& picker = panel::Panel().Picker;
  return {picker.width(), picker.height()};
}

// Fills A (white-ish), B, C with the given corner colours. False when the fill is unavailable.
bool FillTriangle(PictureBox& box, Size size, PictureBox::GradientVertex a, PictureBox::GradientVertex b,
                  PictureBox::GradientVertex c) {
  a.x = 0, a.y = 0;
  b.x = 0, b.y = size.H;
  c.x = size.W, c.y = Nearest(size.H / 2.0);
  try {
    return box.FillGradientTriangle(a, b, c);
  } catch (const std::exception&) {
    return false;  // the fill is optional: any failure means the per-pixel path
  }
}

// Visits the per-pixel path's pixels, row by row, with the arithmetic of the file's head.
template <class Visit>
void ForEachTrianglePixel(Size size, Visit visit) {
  const double W = size.W, H = size.H;
  for (int32_t y = 0; y <= size.H; ++y) {
    const int32_t last = Nearest(W - std::abs((y - H / 2) * 2));
    for (int32_t x = 0; x <= last; ++x) visit(x, y);
  }
}

bool DrawGradientTriangle(PictureBox& box, Size size) {
  float r, g, b;
  native::HSV_To_RGB(r, g, b, float(ColorHue), 1.0f, 1.0f);
  const PictureBox::GradientVertex white{0, 0, Wide(255), Wide(255), Wide(255)};
  const PictureBox::GradientVertex black{0, 0, 0, 0, 0};
  const PictureBox::GradientVertex hue{0, 0, Wide(UnitByte(r)), Wide(UnitByte(g)), Wide(UnitByte(b))};
  return FillTriangle(box, size, white, black, hue);
}

void DrawTrianglePixels(PictureBox& box, Size size) {
  const double W = size.W, H = size.H;
  ForEachTrianglePixel(size, [&](int32_t x, int32_t y) {
    const float s = float(std::max(y / H + x / W, 0.0001));
    const float v = float((H - y) * (x / W + 1) / H);
    float r, g, b;
    native::HSV_To_RGB(r, g, b, float(ColorHue), s, v);
    box.SetPixel(x, y, platform::RGB(UnitByte(r), UnitByte(g), UnitByte(b)));
  });
}

}  // namespace

void DrawTriangle() {
  PictureBox& picker = panel::Panel().Picker;
  const Size size = PickerSize();
  if (!DrawGradientTriangle(picker, size)) DrawTrianglePixels(picker, size);
}

void DrawTriangleMask() {
  PictureBox& mask = panel::Panel().Picture2;
  const Size size = PickerSize();
  // Everything that is not the triangle must read black (below 1) for a pick to stop there.
  mask.SetBackColor(0x000000);
  const PictureBox::GradientVertex white{0, 0, Wide(255), Wide(255), Wide(255)};
  if (FillTriangle(mask, size, white, white, white)) return;
  ForEachTrianglePixel(size, [&](int32_t x, int32_t y) { mask.SetPixel(x, y, kMaskWhite); });
}

}  // namespace brisel::TriPicker
