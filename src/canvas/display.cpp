#include "canvas/display.h"

#include <algorithm>
#include <cmath>

#include "canvas/display_bitmap.h"
#include "canvas/pyramid.h"
#include "canvas/view_turn.h"
#include "state/shared_state.h"

namespace brisel::canvas {

void SyncView(const PixelRect& r) {
  const BytePlane* planes[3] = {&PlaneR, &PlaneG, &PlaneB};
  BytePlane* views[3] = {&ViewR, &ViewG, &ViewB};
  for (int k = 0; k < 3; ++k) {
    const BytePlane& plane = *planes[k];
    BytePlane& view = *views[k];
    if (view.width() != plane.width() || view.height() != plane.height()) {
      view = plane;
      continue;
    }
    const PixelRect c = Intersection(r, {0, 0, plane.width(), plane.height()});
    if (c.empty() || !plane.covers(c.x2, c.y2)) continue;
    for (int32_t y = c.y1; y < c.y2; ++y) std::copy_n(plane.row(y) + c.x1, c.width(), view.row(y) + c.x1);
  }
}

Refusals RedrawRect(platform::Form& canvas, const PixelRect& r) {
  if (r.empty()) return {};
  // Zoomed out, a bitmap pixel mixes the cells within about 1 / Zoom of it.
  const int32_t reach = Zoom >= 1 || !(Zoom > 0) ? 1 : int32_t(std::ceil(1.0 / double(Zoom))) + 1;
  return Dibs::BlitRect(canvas, ViewR, ViewG, ViewB, Widened(r, reach));
}

Refusals RepaintImage(platform::Form& canvas) {
  return Dibs::BlitRect(canvas, PlaneR, PlaneG, PlaneB, {0, 0, ImageWidth, ImageHeight});
}

void ResetDisplay() {
  Dibs::FreeDib();
  Pyramid::Forget();  // new planes may come back at the old ones' addresses
}

Refusals displaybuffers(platform::Form& canvas) {
  const int32_t SW = canvas.clientWidth(), SH = canvas.clientHeight();
  const platform::Color C = canvas.backColor();
  if (ViewTurned()) {
    // The turned picture's margins are no boxes: the window is cleared, and the picture drawn over it.
    canvas.FillBox(0, 0, SW - 1, SH - 1, C);
    return RepaintImage(canvas);
  }
  const int32_t right = static_cast<int32_t>(std::floor(double(ImageWidth) * Zoom)) + PanX;
  const int32_t bottom = static_cast<int32_t>(std::floor(double(ImageHeight) * Zoom)) + PanY;
  // Four boxes around the image, corners inclusive; each may be empty or reach past the window.
  canvas.FillBox(-1, -1, PanX - 1, SH, C);             // left
  canvas.FillBox(-1, -1, SW, PanY - 1, C);             // top
  canvas.FillBox(SW + 1, -1, right, SH + 1, C);        // right
  canvas.FillBox(-1, SH + 1, SW + 1, bottom, C);       // bottom
  return RepaintImage(canvas);
}

}  // namespace brisel::canvas
