#include "stroke/compositing_parts.h"

#include <cmath>


namespace brisel::stroke::compositing {
namespace {

// A colour component to the nearest whole number, held to 0..255 (a NaN gives 0), so that a value set
// from code outside the sliders' range can neither leave a byte's range nor index past a table row.
int32_t ComponentByte(float v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return int32_t(std::nearbyint(v));
}

// floor(v) as a whole number, held to the range a pixel index can take, so that no far or NaN corner
// overflows the conversion.
float FloorIndex(float v) {
  const float f = std::floor(v);
  if (!(f > -1e9f)) return -1e9f;
  return f < 1e9f ? f : 1e9f;
}


// The columns (or rows) from floor(a - dir r) to floor(b + dir r), dir = -1 when a > b, clipped to
// 0..limit - 1: [lo, hi), empty when none.
void Span(float a, float b, float r, int32_t limit, int32_t& lo, int32_t& hi) {
  const float dir = a > b ? -1.0f : 1.0f;
  const float from = FloorIndex(a - dir * r), to = FloorIndex(b + dir * r);
  float first = dir > 0 ? from : to, last = dir > 0 ? to : from;
  if (first < 0) first = 0;
  if (last > float(limit - 1)) last = float(limit - 1);
  lo = int32_t(first);
  hi = int32_t(last) + 1;
}

bool Holds(const BytePlane& p, const Surface& surface) {
  return p.width() == surface.width && p.covers(surface.width, surface.height);
}

}  // namespace

Ink ReadInk(const Brush& brush, const Surface& surface) {
  Ink ink;
  if (brush.turnedOver) {
    ink.paint[0] = ink.paint[1] = ink.paint[2] = 255;  // a turned-over pen paints white
  } else {
    ink.paint[0] = ComponentByte(brush.paintRed);
    ink.paint[1] = ComponentByte(brush.paintGreen);
    ink.paint[2] = ComponentByte(brush.paintBlue);
  }
  // Modes and curves outside the tables' range are taken as none rather than read past the tables.
  if (brush.blendTable && brush.mode >= 1 && brush.mode <= kBlendLayers)
    ink.layer = brush.blendTable + size_t(brush.mode - 1) * 256 * 256;
  if (brush.coverageCurves && brush.curve >= 1 && brush.curve <= 2)
    ink.curve = brush.coverageCurves + size_t(brush.curve - 1) * 256;
  const bool paper = surface.paperWidth > 0 && surface.paperHeight > 0 &&
                     surface.paper.covers(surface.paperWidth, surface.paperHeight);
  ink.paperStrength = paper && brush.paperStrength >= 1 ? brush.paperStrength : 0;
  ink.relief = brush.relief;
  ink.opacity = brush.opacity;
  return ink;
}

int32_t Opacity(int32_t c, double opacity) {
  // c * opacity is exact in double (a byte times a float); N rounds halves to even.
  const double n = std::nearbyint(double(c) * opacity);
  if (!(n > 0)) return 0;
  return n >= 255.0 * 255.0 ? 255 : int32_t(n) / 255;
}

PixelRect PixelBox(float x1, float y1, float x2, float y2, float r, int32_t width, int32_t height) {
  PixelRect box;
  if (width <= 0 || height <= 0) return box;
  Span(x1, x2, r, width, box.x1, box.x2);
  Span(y1, y2, r, height, box.y1, box.y2);
  return box.empty() ? PixelRect{} : box;
}

bool PlanesReady(const Surface& surface, int32_t flags) {
  if (surface.width <= 0 || surface.height <= 0) return false;
  const auto holds = [&](const BytePlane& p) { return Holds(p, surface); };
  if (!holds(surface.mask) || !holds(surface.planeR) || !holds(surface.planeG) || !holds(surface.planeB)) return false;
  return !(flags & 1) || (holds(surface.viewR) && holds(surface.viewG) && holds(surface.viewB));
}

}  // namespace brisel::stroke::compositing
