#pragma once
// The stroke's dirty rectangle, StrokeMinX .. StrokeMaxY in image pixels: it covers every recorded point
// and every drawn sample, widened by the brush's size on each side.

#include "stroke/stroke.h"

namespace brisel::stroke {

// Grows the rectangle so that it holds (x, y) widened by the brush's size; each side only ever moves outwards.
void GrowStrokeRect(Stroke& s, const compositing::Brush& brush, float x, float y);
// The same with a reach of its own, for a dab whose size exceeds the brush's.
void GrowStrokeRectBy(Stroke& s, float x, float y, float r);

}  // namespace brisel::stroke
