#include "stroke/stroke_rect.h"

namespace brisel::stroke {

void GrowStrokeRect(Stroke& s, const compositing::Brush& brush, float x, float y) {
  GrowStrokeRectBy(s, x, y, brush.size);
}

void GrowStrokeRectBy(Stroke& s, float x, float y, float r) {
  if (x + r > s.StrokeMaxX) s.StrokeMaxX = x + r;
  if (x - r < s.StrokeMinX) s.StrokeMinX = x - r;
  if (y + r > s.StrokeMaxY) s.StrokeMaxY = y + r;
  if (y - r < s.StrokeMinY) s.StrokeMinY = y - r;
}

}  // namespace brisel::stroke
