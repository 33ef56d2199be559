#include "stroke/compositing_parts.h"

#include <cmath>

#include "state/shared_state.h"

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

bool Holds(const BytePlane& p) { return p.width() == ImageWidth && p.covers(ImageWidth, ImageHeight); }

}  // namespace

Brush ReadBrush() {
  Brush b;
  if (PenAltitude < 0) {
    b.paint[0] = b.paint[1] = b.paint[2] = 255;  // a turned-over pen paints white
  } else {
    b.paint[0] = ComponentByte(PaintRed);
    b.paint[1] = ComponentByte(PaintGreen);
    b.paint[2] = ComponentByte(PaintBlue);
  }
  // Modes and curves outside the tables' range are taken as none rather than read past the tables.
  b.layer = BlendMode >= 1 && BlendMode <= kBlendLayers ? BlendMode - 1 : -1;
  b.curve = CoverageCurve >= 1 && CoverageCurve <= 2 ? CoverageCurve - 1 : -1;
  const bool paper = PaperWidth > 0 && PaperHeight > 0 && PaperTexture.covers(PaperWidth, PaperHeight);
  b.paperStrength = paper && PaperStrength >= 1 ? PaperStrength : 0;
  b.relief = ReliefEffect >= 1;
  b.opacity = BrushOpacity;
  return b;
}

int32_t Opacity(int32_t c, double opacity) {
  // c * opacity is exact in double (a byte times a float); N rounds halves to even.
  const double n = std::nearbyint(double(c) * opacity);
  if (!(n > 0)) return 0;
  return n >= 255.0 * 255.0 ? 255 : int32_t(n) / 255;
}

PixelRect PixelBox(float x1, float y1, float x2, float y2, float r) {
  PixelRect box;
  if (ImageWidth <= 0 || ImageHeight <= 0) return box;
  Span(x1, x2, r, ImageWidth, box.x1, box.x2);
  Span(y1, y2, r, ImageHeight, box.y1, box.y2);
  return box.empty() ? PixelRect{} : box;
}

bool PlanesReady(int32_t flags) {
  if (ImageWidth <= 0 || ImageHeight <= 0) return false;
  if (!Holds(FXbuffer) || !Holds(PlaneR) || !Holds(PlaneG) || !Holds(PlaneB)) return false;
  return !(flags & 1) || (Holds(ViewR) && Holds(ViewG) && Holds(ViewB));
}

}  // namespace brisel::stroke::compositing
