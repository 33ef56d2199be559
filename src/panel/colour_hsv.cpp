// Hue, saturation and value of the paint colour, kept for the triangle and the hue strip.

#include "panel/colour_hsv.h"

#include <cmath>
#include <cstdint>

#include "panel/triangle_pick.h"
#include "platform/native.h"
#include "platform/numbers.h"
#include "state/shared_state.h"

namespace brisel::panel {

void GetHSV() {
  float h, s, v;
  native::RGB_To_HSV(PaintRed / 255.0f, PaintGreen / 255.0f, PaintBlue / 255.0f, h, s, v);
  if (TrianglePicking == 0) ColorHue = Nearest(h);
  ColorSat = Nearest(s * 255.0f);
  ColorVal = Nearest(v * 255.0f);
}

}  // namespace brisel::panel
