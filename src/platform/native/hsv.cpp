// Standard HSV conversions (hexcone model), in float.
//
// Units: r, g, b, s, v in 0..1; h in degrees, 0 up to but excluding 360 on output.
// Out-of-range input is made sane rather than passed through: the per-pixel triangle computes saturations
// up to about 1.5 and values a little above 1, and a slider set by code may hold any number. So r, g, b,
// s and v are limited to 0..1 (NaN counts as 0), and h wraps modulo 360 (-30 is 330, 360 is 0). A grey
// (r = g = b) has no hue and reports hue 0 and saturation 0.

#include <algorithm>
#include <cmath>

#include "platform/native.h"

namespace brisel::native {
namespace {

// Limits to 0..1; NaN becomes 0 (the comparison is false for it).
float Unit(float x) { return x > 0.0f ? std::min(x, 1.0f) : 0.0f; }

// Wraps degrees into [0, 360); NaN and infinities give 0.
float WrapDegrees(float h) {
  if (!std::isfinite(h)) return 0.0f;
  float w = std::fmod(h, 360.0f);
  if (w < 0.0f) w += 360.0f;
  return w >= 360.0f ? 0.0f : w;  // a tiny negative h can round up to 360 after the += above
}

}  // namespace

void RGB_To_HSV(float r, float g, float b, float& h, float& s, float& v) {
  r = Unit(r);
  g = Unit(g);
  b = Unit(b);
  const float max = std::max({r, g, b});
  const float min = std::min({r, g, b});
  const float delta = max - min;
  v = max;
  s = max > 0.0f ? delta / max : 0.0f;
  if (delta <= 0.0f) {
    h = 0.0f;
    return;
  }
  float sector;  // hue in sixths of the circle, -1 .. 5
  if (max == r)
    sector = (g - b) / delta;
  else if (max == g)
    sector = 2.0f + (b - r) / delta;
  else
    sector = 4.0f + (r - g) / delta;
  h = WrapDegrees(sector * 60.0f);
}

void HSV_To_RGB(float& r, float& g, float& b, float h, float s, float v) {
  s = Unit(s);
  v = Unit(v);
  const float sixths = WrapDegrees(h) / 60.0f;  // 0 .. 6
  const int sector = std::min(int(sixths), 5);
  const float f = sixths - float(sector);  // position inside the sector, 0..1
  const float p = v * (1.0f - s);
  const float q = v * (1.0f - s * f);
  const float t = v * (1.0f - s * (1.0f - f));
  switch (sector) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
  }
}

}  // namespace brisel::native
