#pragma once
// The display of a turned or mirrored view (canvas/view_turn.h). A quarter turn or a mirror shows the
// upright display bitmap's own pixels, moved: the same pixels, so at zoom 1 the picture's own. Any other
// angle samples the picture (or, zoomed out, the pyramid level the upright display reads) for each window
// pixel, bilinear between the nearest four cells, straight into the window: no tiles, so no seams.

#include <cstdint>

#include "canvas/display_bitmap.h"
#include "canvas/view_turn.h"

namespace brisel::Dibs {

// The part of the upright placement (client coordinates before the turn) that the canvas window shows:
// [x0, x1) x [y0, y1). Upright it is the client area itself.
struct UprightBox {
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
UprightBox WindowUpright(const platform::Form& canvas);

// Copies bitmap pixels [u0, u1) x [v0, v1) of the upright display to where the quarter turn shows them in
// the canvas window.
void CopyQuarterTurned(platform::Form& canvas, const TiledBitmap& bitmap, const canvas::ViewTurn& turn, int32_t u0,
                       int32_t v0, int32_t u1, int32_t v1);

// Draws image rectangle [x1, x2) x [y1, y2) of R, G, B (clamped to the image) turned by any angle: the window
// pixels its turned image and their bilinear reach cover, and where the rectangle reaches the image's edge,
// the margin beyond it within its turned box, in the window's back colour. False when no window pixel was
// drawn.
bool BlitTurned(platform::Form& canvas, const BytePlane& R, const BytePlane& G, const BytePlane& B,
                const canvas::ViewTurn& turn, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // namespace brisel::Dibs
