#include "canvas/clear.h"

#include <algorithm>

#include "canvas/changed_box.h"
#include "canvas/display.h"
#include "canvas/rectangles.h"
#include "state/shared_state.h"

namespace brisel::canvas {

PixelRect clearbuffer() {
  for (int32_t y = 0; y < ImageHeight; ++y) {
    std::fill_n(&PlaneR(0, y), ImageWidth, uint8_t(255));
    std::fill_n(&PlaneG(0, y), ImageWidth, uint8_t(255));
    std::fill_n(&PlaneB(0, y), ImageWidth, uint8_t(255));
    std::fill_n(&FXbuffer(0, y), ImageWidth, uint8_t(0));
  }
  // The display copy follows: white too, written rather than copied.
  BytePlane* views[3] = {&ViewR, &ViewG, &ViewB};
  if (std::all_of(views, views + 3, [](const BytePlane* v) { return v->width() == ImageWidth && v->height() == ImageHeight; }))
    for (BytePlane* view : views) view->fill(255);
  else
    SyncView({0, 0, ImageWidth, ImageHeight});  // a display copy of another size: the planes copied whole
  NoteWholeImageChanged();
  return {0, 0, ImageWidth, ImageHeight};
}

void ClearFXbuffer(const PixelRect& rect) {
  const PixelRect r = Intersection(rect, {0, 0, ImageWidth, ImageHeight});
  if (r.empty() || !FXbuffer.covers(r.x2, r.y2)) return;
  for (int32_t y = r.y1; y < r.y2; ++y) std::fill_n(&FXbuffer(r.x1, y), r.x2 - r.x1, uint8_t(0));
}

}  // namespace brisel::canvas
