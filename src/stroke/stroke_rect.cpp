#include "stroke/stroke_rect.h"

#include "state/shared_state.h"

namespace brisel::stroke {

void GrowStrokeRect(float x, float y) { GrowStrokeRectBy(x, y, BrushSize); }

void GrowStrokeRectBy(float x, float y, float r) {
  if (x + r > StrokeMaxX) StrokeMaxX = x + r;
  if (x - r < StrokeMinX) StrokeMinX = x - r;
  if (y + r > StrokeMaxY) StrokeMaxY = y + r;
  if (y - r < StrokeMinY) StrokeMinY = y - r;
}

}  // namespace brisel::stroke
