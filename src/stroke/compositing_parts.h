#pragma once
// What RenderSegment and its reference share: the brush's state read once per call, the pixel box and
// the canvas refresh. Both do their per-pixel arithmetic on their own.

#include <cstdint>

namespace brisel::compositing {

// The state one call works with, read once at its start.
struct Brush {
  int32_t paint[3] = {0, 0, 0};  // red, green, blue: 0..255
  int32_t layer = -1;            // BlendTable layer, or -1 to mix the paint colour directly
  int32_t curve = -1;            // CoverageCurves curve, or -1 for none
  int32_t paperStrength = 0;     // 0 when there is no paper to thin with
  bool relief = false;
  double opacity = 0;            // BrushOpacity
};
Brush ReadBrush();

// a = N(c * opacity) div 255 for coverage c, held to 0..255.
int32_t Opacity(int32_t c, double opacity);

// The pixel box, whole pixels with both ends inclusive, clipped to the image.
struct Box {
  int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool empty() const { return x0 > x1 || y0 > y1; }
};
Box PixelBox(float x1, float y1, float x2, float y2, float r);

// Whether every plane the flags write, and the ones read, hold the image.
bool PlanesReady(int32_t flags);

// Copies the display copy to the canvas over the box of (x1, y1)-(x2, y2) widened by r and 1 / Zoom.
void RefreshCanvas(float x1, float y1, float x2, float y2, float r);

}  // namespace brisel::compositing
