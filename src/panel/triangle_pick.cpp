// The colour triangle box Picker: its paint and the pick on it.

#include "panel/triangle_pick.h"

#include <cmath>
#include <cstdint>

#include "panel/colour_triangle.h"
#include "panel/tool_panel.h"
#include "panel/wallpaper.h"
#include "platform/numbers.h"
#include "platform/window.h"

namespace brisel::panel {

int32_t TrianglePicking = 0;

}  // namespace brisel::panel

namespace brisel::Form2 {
namespace {

// A pointer coordinate as the pixel it names, rounded half to even; far-off positions stay far off
// instead of overflowing.
int32_t PixelIndex(float coordinate) {
  if (!(std::fabs(coordinate) < 1e9f)) return -1;
  return Nearest(coordinate);
}

// Keeps TrianglePicking at 255 for one pick, and back at 0 however the pick ends.
struct PickingScope {
  PickingScope() { panel::TrianglePicking = 255; }
  ~PickingScope() { panel::TrianglePicking = 0; }
};

}  // namespace

void Picker_Paint() {
  TriPicker::PaintBackdrop(panel::Panel().Picker);  // the panel's wallpaper continues behind the triangle
  TriPicker::DrawTriangle();
}

void Picker_MouseMove(int16_t Button, int16_t, float X, float Y) {
  if (Button == 0) return;  // a press alone picks nothing; the drag does
  panel::Controls& p = panel::Panel();
  const int32_t x = PixelIndex(X), y = PixelIndex(Y);
  // The mask is black outside the triangle and -1 outside the box: both end the pick.
  if (int32_t(p.Picture2.Pixel(x, y)) < 1) return;
  const platform::Color c = p.Picker.Pixel(x, y);
  {
    const PickingScope picking;
    p.HProp2.SetValue(c & 0xFF);
    p.HProp3.SetValue(c >> 8 & 0xFF);
    p.HProp4.SetValue(c >> 16 & 0xFF);
  }
  TriPicker::DrawTriangle();
}

}  // namespace brisel::Form2
