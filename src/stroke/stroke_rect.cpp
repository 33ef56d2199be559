#include "stroke/stroke_rect.h"

#include "app/shared_state.h"

namespace brisel {

void GrowStrokeRect(float x, float y) {
  const float r = BrushSize;
  if (x + r > StrokeMaxX) StrokeMaxX = x + r;
  if (x - r < StrokeMinX) StrokeMinX = x - r;
  if (y + r > StrokeMaxY) StrokeMaxY = y + r;
  if (y - r < StrokeMinY) StrokeMinY = y - r;
}

}  // namespace brisel
